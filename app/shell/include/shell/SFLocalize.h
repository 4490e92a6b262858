#pragma once

#include <QString>

class QAbstractButton;
class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QTreeWidget;
class QWidget;

// Controls written with English texts translate themselves through the program's string
// tables (platform::SFLocalizeHelper): one call on a window localises everything in it.
namespace shell {

// The translation of an interface text (a trailing ellipsis or colon is kept apart).
QString localizedString(const QString& text);
// "%1" style formatting after translating the pattern.
QString localizedFormat(const QString& pattern, const QStringList& values);

// A widget and, recursively, its children: each control by its kind below.
void localize(QWidget* widget);
// Tooltip always; the title unless the button shows only its icon.
void localize(QAbstractButton* button);
// The text and the placeholder.
void localize(QLineEdit* field);
void localize(QLabel* label);
// The title and every item, with their submenus; titles are recorded as the base language.
void localize(QMenu* menu);
void localize(QMenuBar* menuBar);
void localize(QAction* action);
// The column titles of a tree or table of items.
void localize(QTreeWidget* tree);

}  // namespace shell
