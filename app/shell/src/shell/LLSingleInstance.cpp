#include "shell/LLSingleInstance.h"

#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>

#include "platform/Log.h"

namespace shell {
namespace {

// A hand-over larger than this is no list of file names.
constexpr qint64 kMaxMessageBytes = 4 * 1024 * 1024;

}  // namespace

QString LLSingleInstance::defaultServerName() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString name = QString("ledgerlens-%1.socket").arg(::getuid());
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir()) return runtime + "/" + name;
    return QDir::tempPath() + "/" + name;
}

LLSingleInstance::LLSingleInstance(QString serverName, QObject* parent)
    : QObject(parent), serverName_(std::move(serverName)) {}

LLSingleInstance::~LLSingleInstance() = default;

bool LLSingleInstance::sendToRunningInstance(const QStringList& files, int timeoutMs) const {
    QLocalSocket socket;
    socket.connectToServer(serverName_);
    if (!socket.waitForConnected(timeoutMs)) return false;
    QJsonArray list;
    for (const QString& file : files) list.append(QFileInfo(file).absoluteFilePath());
    QByteArray message = QJsonDocument(QJsonObject{{"open", list}}).toJson(QJsonDocument::Compact);
    socket.write(message);
    socket.write("\n");
    if (!socket.waitForBytesWritten(timeoutMs)) return false;
    // The running instance answers once it has taken the files.
    if (!socket.waitForReadyRead(timeoutMs)) return false;
    return socket.readAll().startsWith("ok");
}

bool LLSingleInstance::listen() {
    if (server_) return server_->isListening();
    server_ = new QLocalServer(this);
    // No socket options: with them Qt renames a new socket over an existing one, which would
    // take the name from a running instance. The socket lives in the user's own runtime folder
    // (or carries the user id in the temporary folder).
    if (!server_->listen(serverName_)) {
        // A socket left by a program that crashed answers nobody: remove it and try again.
        QLocalSocket probe;
        probe.connectToServer(serverName_);
        if (probe.waitForConnected(500)) return false;  // somebody is running
        QLocalServer::removeServer(serverName_);
        if (!server_->listen(serverName_)) {
            platform::logLine("Single instance: cannot listen on " + serverName_.toStdString() +
                              ": " + server_->errorString().toStdString());
            return false;
        }
    }
    connect(server_, &QLocalServer::newConnection, this, &LLSingleInstance::readConnection);
    return true;
}

bool LLSingleInstance::isListening() const { return server_ && server_->isListening(); }

void LLSingleInstance::readConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto buffer = std::make_shared<QByteArray>();
        QPointer<QLocalSocket> guard(socket);
        connect(socket, &QLocalSocket::readyRead, this, [this, guard, buffer] {
            if (!guard) return;
            buffer->append(guard->readAll());
            if (buffer->size() > kMaxMessageBytes) {
                guard->abort();
                return;
            }
            const qsizetype end = buffer->indexOf('\n');
            if (end < 0) return;
            QJsonDocument message = QJsonDocument::fromJson(buffer->left(end));
            QStringList files;
            for (const QJsonValue& value : message.object().value("open").toArray())
                if (value.isString() && !value.toString().isEmpty()) files << value.toString();
            guard->write("ok\n");
            guard->flush();
            guard->disconnectFromServer();
            if (message.isObject()) emit filesReceived(files);
        });
    }
}

}  // namespace shell
