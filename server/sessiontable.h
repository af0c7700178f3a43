#pragma once

#include "hostlink/wire.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QHash>
#include <QHostAddress>

#include <cstddef>
#include <functional>
#include <optional>

namespace quillon::dvrd {

// Session tokens handed out at login. A token is a bearer secret, so it only counts from the
// address that logged in, it expires when unused, and the table is bounded: beyond its
// capacity the least recently used session goes.
class SessionTable
{
public:
    explicit SessionTable(
        std::size_t capacity = 256, qint64 idleMs = wire::timeouts::kSessionIdleMs);

    // A new random token for the user at that address.
    QByteArray open(const QByteArray &user, const QHostAddress &peer);
    // The user of a live session with that token from that address; using it keeps it alive.
    std::optional<QByteArray> use(const QByteArray &token, const QHostAddress &peer);

    // Called with the token of every session that expires or is pushed out.
    void setEndHandler(std::function<void(const QByteArray &token)> handler);
    // Ends every session whose idle time is up.
    void dropExpired();

private:
    struct Entry
    {
        QByteArray user;
        QHostAddress peer;
        QDeadlineTimer expiry;
        quint64 lastUse = 0;
    };

    void end(QHash<QByteArray, Entry>::iterator session);

    QHash<QByteArray, Entry> m_sessions;
    std::function<void(const QByteArray &)> m_endHandler;
    std::size_t m_capacity;
    qint64 m_idleMs;
    quint64 m_uses = 0;
};

} // namespace quillon::dvrd
