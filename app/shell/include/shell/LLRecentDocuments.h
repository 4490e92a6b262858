#pragma once

#include <QString>
#include <QStringList>

namespace shell {

// The libraries opened lately, newest first, kept in the user's settings file (QSettings on
// the INI file the whole program shares).
class LLRecentDocuments {
  public:
    static constexpr int kMaximum = 10;
    static constexpr const char* kKey = "RecentDocuments";

    // The settings file; empty uses the program's (platform::Settings::defaultPath()).
    explicit LLRecentDocuments(QString settingsFile = {});

    QStringList paths() const;
    // Only libraries (extension "ledgerlens" exactly), newest first.
    QStringList libraryPaths() const;
    // Puts the file first (absolute path), dropping an older entry of it and the oldest.
    void noteDocument(const QString& path);
    void remove(const QString& path);
    void clear();

  private:
    QString file_;
};

}  // namespace shell
