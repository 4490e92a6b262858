#pragma once

#include <QString>

class QWidget;

namespace shell {

class LLAppDelegate;
class LLLibraryWindow;

// Gives every library window the delegate opens its preview pane and validation sheets, and
// opens invoice files chosen with File > Open in a window of their own.
void connectWindowParts(LLAppDelegate& delegate);
// The same for one window (the delegate's windows get it through connectWindowParts).
void addWindowParts(LLLibraryWindow* window);
// The window of an invoice file (XML, or a PDF that carries one) opened on its own; none (and
// a message over `parent`) when the file holds no invoice that can be shown.
QWidget* openInvoiceFileWindow(const QString& path, QWidget* parent = nullptr);

}  // namespace shell
