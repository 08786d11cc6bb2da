#include "ui/single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QtEndian>
#include <unistd.h>

namespace vs::ui {

namespace {

constexpr int connectTimeoutMs = 1000;
constexpr int lengthFieldBytes = 4;
// A socket path holds at most 107 bytes; a longer display name (a Wayland socket given by its
// full path) is replaced by a hash of it, so the channel can always be bound.
constexpr int displayPartLimit = 32;

// The display session's name as part of a file name. Percent-encoding keeps two different
// names different and leaves no separator in the result.
QString channelDisplayPart(const QString& display) {
    QByteArray part = display.toUtf8().toPercentEncoding();
    if (part.size() > displayPartLimit)
        part = QCryptographicHash::hash(display.toUtf8(), QCryptographicHash::Sha256).toHex().left(displayPartLimit);
    return QString::fromLatin1(part);
}

}  // namespace

SingleInstance::SingleInstance(QObject* parent) : QObject(parent), server_(new QLocalServer(this)) {
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::acceptConnection);
}

QString SingleInstance::displaySession() {
    for (const char* variable : {"WAYLAND_DISPLAY", "DISPLAY"}) {
        const QString value = qEnvironmentVariable(variable);
        if (!value.isEmpty()) return value;
    }
    return QGuiApplication::platformName();
}

QString SingleInstance::defaultChannel() {
    const QString display = channelDisplayPart(displaySession());
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QFileInfo folder(runtime);
    if (!runtime.isEmpty() && folder.isDir() && folder.isWritable() && folder.ownerId() == getuid())
        return QDir(runtime).filePath("vireoscan-handoff-" + display);
    return QString("vireoscan-handoff-%1-%2").arg(getuid()).arg(display);
}

bool SingleInstance::handOff(const QString& channel, const QByteArray& path) {
    QLocalSocket socket;
    socket.connectToServer(channel);
    if (!socket.waitForConnected(connectTimeoutMs)) return false;
    // A text too long to be a path only brings the running viewer to the front.
    const QByteArray sent = path.size() > handOffPathLimit ? QByteArray() : path;
    char length[lengthFieldBytes];
    qToBigEndian<quint32>(quint32(sent.size()), length);
    socket.write(length, lengthFieldBytes);
    socket.write(sent);
    socket.flush();
    while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(connectTimeoutMs)) {
    }
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(connectTimeoutMs);
    return true;
}

bool SingleInstance::listen(const QString& channel) {
    // Binding replaces whatever socket file is there, so first make sure nobody answers on
    // it: an answer means another instance runs; silence means the file is stale.
    QLocalSocket probe;
    probe.connectToServer(channel);
    if (probe.waitForConnected(connectTimeoutMs)) return false;
    QLocalServer::removeServer(channel);
    return server_->listen(channel);
}

void SingleInstance::close() { server_->close(); }

void SingleInstance::acceptConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // One message per connection: a length, then that many bytes of path. Anything else,
        // or anything after it, is ignored and the connection is dropped.
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->property("done").toBool()) {
                socket->readAll();
                return;
            }
            if (socket->bytesAvailable() < lengthFieldBytes) return;
            char length[lengthFieldBytes];
            socket->peek(length, lengthFieldBytes);
            const quint32 size = qFromBigEndian<quint32>(length);
            if (size > quint32(handOffPathLimit)) {
                socket->setProperty("done", true);
                socket->abort();
                return;
            }
            if (socket->bytesAvailable() < qint64(lengthFieldBytes + size)) return;
            socket->read(lengthFieldBytes);
            const QByteArray path = socket->read(size);
            socket->setProperty("done", true);
            socket->disconnectFromServer();
            emit pathReceived(path);
        });
    }
}

}  // namespace vs::ui
