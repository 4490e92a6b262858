#include "shell/SFLocalize.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QWidget>

#include "platform/SFLocalizeHelper.h"

namespace shell {
namespace {

QString translated(const QString& text) {
    if (text.isEmpty()) return text;
    return QString::fromStdString(platform::localizedString(text.toStdString()));
}

}  // namespace

QString localizedString(const QString& text) { return translated(text); }

QString localizedFormat(const QString& pattern, const QStringList& values) {
    QString text = translated(pattern);
    for (const QString& value : values) text = text.arg(value);
    return text;
}

void localize(QAbstractButton* button) {
    if (!button) return;
    button->setToolTip(translated(button->toolTip()));
    const bool iconOnly = button->text().isEmpty();
    if (!iconOnly) button->setText(translated(button->text()));
}

void localize(QLineEdit* field) {
    if (!field) return;
    field->setText(translated(field->text()));
    field->setPlaceholderText(translated(field->placeholderText()));
    field->setToolTip(translated(field->toolTip()));
}

void localize(QLabel* label) {
    if (!label || label->textFormat() == Qt::RichText) return;
    label->setText(translated(label->text()));
    label->setToolTip(translated(label->toolTip()));
}

void localize(QAction* action) {
    // An action shown in a menu and a toolbar is met twice; it is translated once.
    if (!action || action->isSeparator() || action->property("sfLocalized").toBool()) return;
    action->setProperty("sfLocalized", true);
    if (!action->text().isEmpty()) {
        platform::SFLocalizeHelper::sharedHelper().recordBaseTitle(action->text().toStdString());
        action->setText(translated(action->text()));
    }
    action->setToolTip(translated(action->toolTip()));
    action->setStatusTip(translated(action->statusTip()));
    if (QMenu* submenu = action->menu()) localize(submenu);
}

void localize(QMenu* menu) {
    if (!menu) return;
    menu->setTitle(translated(menu->title()));
    for (QAction* action : menu->actions()) {
        if (action->menu()) {
            localize(action->menu());  // the menu's own title is its action's text
            continue;
        }
        localize(action);
    }
}

void localize(QMenuBar* menuBar) {
    if (!menuBar) return;
    for (QAction* action : menuBar->actions())
        if (QMenu* menu = action->menu()) localize(menu);
}

void localize(QTreeWidget* tree) {
    if (!tree) return;
    QTreeWidgetItem* header = tree->headerItem();
    for (int column = 0; header && column < header->columnCount(); ++column)
        if (!header->text(column).isEmpty())
            header->setText(column, translated(header->text(column)));
}

void localize(QWidget* widget) {
    if (!widget) return;
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        localize(button);
    } else if (auto* field = qobject_cast<QLineEdit*>(widget)) {
        localize(field);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        localize(label);
    } else if (auto* menuBar = qobject_cast<QMenuBar*>(widget)) {
        localize(menuBar);
        return;
    } else if (auto* menu = qobject_cast<QMenu*>(widget)) {
        localize(menu);
        return;
    } else if (auto* tree = qobject_cast<QTreeWidget*>(widget)) {
        localize(tree);
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        group->setTitle(translated(group->title()));
    } else {
        widget->setToolTip(translated(widget->toolTip()));
    }
    if (widget->isWindow()) widget->setWindowTitle(translated(widget->windowTitle()));
    // Toolbar and window actions that live on the widget itself, not in a menu.
    if (!qobject_cast<QMenu*>(widget))
        for (QAction* action : widget->actions())
            if (!action->menu()) localize(action);
    for (QObject* child : widget->children())
        if (auto* childWidget = qobject_cast<QWidget*>(child)) localize(childWidget);
}

}  // namespace shell
