#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>

#include "shell/LLRecentDocuments.h"

namespace shell {

class LLLibraryWindow;

// The running program: opens library windows (the most recent library at start, or a new one),
// keeps the recent libraries, takes files opened from the system or handed over by a later
// start, and answers the application-wide menu commands.
class LLAppDelegate : public QObject {
    Q_OBJECT
  public:
    explicit LLAppDelegate(QObject* parent = nullptr);
    ~LLAppDelegate() override;

    // At start: the files of the command line, or else the most recent library.
    void applicationDidFinishLaunching(const QStringList& files);
    // The most recent library that still opens, else a new untitled one.
    LLLibraryWindow* openRecent();
    LLLibraryWindow* newDocument();
    // A library file; its window when it is open already. None (and a message) on failure.
    LLLibraryWindow* openDocument(const QString& path);
    // Files opened from the system or handed over: libraries open, every other file and folder
    // is imported into the front library (opening the recent one first when none is open).
    void openFiles(const QStringList& paths);
    // File > Open: libraries open; an invoice file opens on its own (invoiceFileOpenRequested).
    void openFromMenu(const QStringList& paths);

    QList<LLLibraryWindow*> windows() const;
    // The active library window, else the one used last.
    LLLibraryWindow* frontWindow() const;
    LLRecentDocuments& recentDocuments() { return recent_; }

    // Where File > Open's answer comes from; tests answer without a dialog.
    std::function<QStringList()> chooseOpenPaths;

  signals:
    void windowCreated(LLLibraryWindow* window);
    // An invoice file (not a library) chosen with File > Open.
    void invoiceFileOpenRequested(const QString& path);

  private:
    LLLibraryWindow* showWindow(LLLibraryWindow* window);
    void showOpenPanel();

    LLRecentDocuments recent_;
    QList<QPointer<LLLibraryWindow>> windows_;
    QPointer<LLLibraryWindow> lastActive_;
};

}  // namespace shell
