#include "shell/LLRecentDocuments.h"

#include <QFileInfo>
#include <QSettings>

#include "platform/Settings.h"

namespace shell {

LLRecentDocuments::LLRecentDocuments(QString settingsFile) : file_(std::move(settingsFile)) {
    if (file_.isEmpty()) file_ = QString::fromStdString(platform::Settings::defaultPath().string());
}

QStringList LLRecentDocuments::paths() const {
    QSettings settings(file_, QSettings::IniFormat);
    return settings.value(kKey).toStringList();
}

QStringList LLRecentDocuments::libraryPaths() const {
    QStringList libraries;
    for (const QString& path : paths())
        if (QFileInfo(path).suffix() == "ledgerlens") libraries << path;
    return libraries;
}

void LLRecentDocuments::noteDocument(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QStringList list = paths();
    list.removeAll(absolute);
    list.prepend(absolute);
    while (list.size() > kMaximum) list.removeLast();
    QSettings settings(file_, QSettings::IniFormat);
    settings.setValue(kKey, list);
}

void LLRecentDocuments::remove(const QString& path) {
    QStringList list = paths();
    if (list.removeAll(QFileInfo(path).absoluteFilePath()) == 0) return;
    QSettings settings(file_, QSettings::IniFormat);
    settings.setValue(kKey, list);
}

void LLRecentDocuments::clear() {
    QSettings settings(file_, QSettings::IniFormat);
    settings.remove(kKey);
}

}  // namespace shell
