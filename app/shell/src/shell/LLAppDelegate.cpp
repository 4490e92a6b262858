#include "shell/LLAppDelegate.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "library/LLDocument.h"
#include "platform/Log.h"
#include "shell/LLAboutBox.h"
#include "shell/LLLibraryWindow.h"
#include "shell/SFLocalize.h"

namespace shell {

LLAppDelegate::LLAppDelegate(QObject* parent) : QObject(parent) {
    chooseOpenPaths = [this] {
        QWidget* parent = frontWindow();
        return QFileDialog::getOpenFileNames(parent, localizedString("Open"), QString(),
                                             localizedString("Libraries and Invoices") +
                                                 " (*.ledgerlens *.xml *.XML *.pdf *.PDF);;" +
                                                 localizedString("Ledgerlens Library") +
                                                 " (*.ledgerlens)");
    };
    connect(qApp, &QApplication::focusChanged, this, [this] {
        if (auto* window = qobject_cast<LLLibraryWindow*>(QApplication::activeWindow()))
            lastActive_ = window;
    });
}

LLAppDelegate::~LLAppDelegate() = default;

void LLAppDelegate::applicationDidFinishLaunching(const QStringList& files) {
    if (files.isEmpty())
        openRecent();
    else
        openFiles(files);
}

LLLibraryWindow* LLAppDelegate::openRecent() {
    for (const QString& path : recent_.libraryPaths()) {
        if (!QFileInfo::exists(path)) continue;
        platform::Error error;
        auto document = library::LLDocument::open(path.toStdString(), false, &error);
        if (document) {
            recent_.noteDocument(path);
            return showWindow(new LLLibraryWindow(document));
        }
        platform::logLine("Failed to open document: " + error.localizedDescription);
        // A desktop program without a window cannot be reached: a new library follows.
        break;
    }
    return newDocument();
}

LLLibraryWindow* LLAppDelegate::newDocument() {
    platform::Error error;
    auto document = library::LLDocument::makeUntitled(&error);
    if (!document) {
        QMessageBox::critical(frontWindow(), localizedString("New Library"),
                              QString::fromStdString(error.localizedDescription));
        return nullptr;
    }
    return showWindow(new LLLibraryWindow(document));
}

LLLibraryWindow* LLAppDelegate::openDocument(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    for (LLLibraryWindow* window : windows()) {
        const auto& file = window->document()->fileURL();
        if (file && QFileInfo(QString::fromStdString(file->string())) == QFileInfo(absolute)) {
            window->raise();
            window->activateWindow();
            return window;
        }
    }
    platform::Error error;
    auto document = library::LLDocument::open(absolute.toStdString(), false, &error);
    if (!document) {
        platform::logLine("Failed to open document: " + error.localizedDescription);
        QMessageBox::warning(frontWindow(), localizedString("Open"),
                             QString::fromStdString(error.localizedDescription));
        return nullptr;
    }
    recent_.noteDocument(absolute);
    return showWindow(new LLLibraryWindow(document));
}

LLLibraryWindow* LLAppDelegate::showWindow(LLLibraryWindow* window) {
    windows_.append(window);
    lastActive_ = window;
    connect(window, &LLLibraryWindow::newLibraryRequested, this, [this] { newDocument(); });
    connect(window, &LLLibraryWindow::openRequested, this, &LLAppDelegate::showOpenPanel);
    connect(window, &LLLibraryWindow::openPathsRequested, this, &LLAppDelegate::openFromMenu);
    connect(window, &LLLibraryWindow::aboutRequested, this,
            [window] { showAboutBox(window, window->document()->rulesDirectory()); });
    connect(window, &LLLibraryWindow::quitRequested, qApp, &QApplication::closeAllWindows);
    connect(window, &QObject::destroyed, this, [this] { windows_.removeAll(nullptr); });
    emit windowCreated(window);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

void LLAppDelegate::showOpenPanel() {
    const QStringList paths = chooseOpenPaths ? chooseOpenPaths() : QStringList();
    if (!paths.isEmpty()) openFromMenu(paths);
}

void LLAppDelegate::openFromMenu(const QStringList& paths) {
    for (const QString& path : paths) {
        if (library::LLDocument::isLibraryFile(path.toStdString()))
            openDocument(path);
        else
            emit invoiceFileOpenRequested(QFileInfo(path).absoluteFilePath());
    }
}

void LLAppDelegate::openFiles(const QStringList& paths) {
    QStringList others;
    for (const QString& path : paths) {
        if (library::LLDocument::isLibraryFile(path.toStdString()))
            openDocument(path);
        else
            others << QFileInfo(path).absoluteFilePath();
    }
    LLLibraryWindow* window = frontWindow();
    if (!window) window = openRecent();
    if (!window) return;
    window->raise();
    window->activateWindow();
    if (others.isEmpty()) return;
    window->document()->resetErrors();
    window->importPaths(others);
}

QList<LLLibraryWindow*> LLAppDelegate::windows() const {
    QList<LLLibraryWindow*> list;
    for (const auto& window : windows_)
        if (window && !window->document()->isClosed()) list << window;
    return list;
}

LLLibraryWindow* LLAppDelegate::frontWindow() const {
    if (auto* window = qobject_cast<LLLibraryWindow*>(QApplication::activeWindow()))
        if (!window->document()->isClosed()) return window;
    if (lastActive_ && !lastActive_->document()->isClosed()) return lastActive_;
    auto list = windows();
    return list.isEmpty() ? nullptr : list.back();
}

}  // namespace shell
