#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;

namespace shell {

// One running program per user: the first start listens on a local socket; a later start hands
// its files to it and exits. The running one is never stopped by a later start.
class LLSingleInstance : public QObject {
    Q_OBJECT
  public:
    // The per-user socket: in $XDG_RUNTIME_DIR when set, else the temporary folder with the
    // user id in its name.
    static QString defaultServerName();

    explicit LLSingleInstance(QString serverName = defaultServerName(), QObject* parent = nullptr);
    ~LLSingleInstance() override;

    const QString& serverName() const { return serverName_; }
    // Hands the files (made absolute) to a running instance; true when it took them.
    bool sendToRunningInstance(const QStringList& files, int timeoutMs = 3000) const;
    // Becomes the running instance; false when another one answers or the socket cannot be made.
    bool listen();
    bool isListening() const;

  signals:
    // Files handed over by a later start (possibly none: it only wants a window).
    void filesReceived(const QStringList& files);

  private:
    void readConnection();

    QString serverName_;
    QLocalServer* server_ = nullptr;
};

}  // namespace shell
