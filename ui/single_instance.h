// One running viewer per user and display session. A second start hands its path to the first
// through a local socket that only the same user can reach, and ends; a start on another
// display (a second X server, a remote session) gets a viewer of its own.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QLocalServer;

namespace vs::ui {

// A hand-off longer than this is no path and is refused.
inline constexpr int handOffPathLimit = 65536;

class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QObject* parent = nullptr);

    // The channel of this user on this display: a socket in the user's private runtime folder
    // when there is one, else a name that carries the user id (the socket file is made
    // readable by its owner only); either way the display session's name is part of it.
    static QString defaultChannel();

    // The display session this process shows on: $WAYLAND_DISPLAY, else $DISPLAY, else the
    // window-system platform's name.
    static QString displaySession();

    // Second start: gives path (possibly empty) to a running instance. False when nobody
    // answers on the channel, i.e. this is the first instance.
    static bool handOff(const QString& channel, const QByteArray& path);

    // First start: takes the channel, removing a stale socket that nobody answers on.
    bool listen(const QString& channel);
    void close();

signals:
    // A second start's path; empty when it named none. Each connection gives at most one.
    void pathReceived(const QByteArray& path);

private:
    void acceptConnection();

    QLocalServer* server_;
};

}  // namespace vs::ui
