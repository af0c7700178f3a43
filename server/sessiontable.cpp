#include "sessiontable.h"

#include <algorithm>
#include <utility>

namespace quillon::dvrd {

SessionTable::SessionTable(std::size_t capacity, qint64 idleMs)
    : m_capacity(std::max<std::size_t>(capacity, 1)), m_idleMs(idleMs)
{ }

QByteArray SessionTable::open(const QByteArray &user, const QHostAddress &peer)
{
    dropExpired();
    if (std::size_t(m_sessions.size()) >= m_capacity) {
        const auto oldest = std::min_element(m_sessions.begin(), m_sessions.end(),
            [](const Entry &a, const Entry &b) { return a.lastUse < b.lastUse; });
        end(oldest);
    }
    QByteArray token;
    do {
        token = wire::randomBytes(wire::kTokenBytes);
    } while (m_sessions.contains(token));
    m_sessions.insert(token, Entry {user, peer, QDeadlineTimer(m_idleMs), ++m_uses});
    return token;
}

std::optional<QByteArray> SessionTable::use(const QByteArray &token, const QHostAddress &peer)
{
    const auto found = m_sessions.find(token);
    if (found == m_sessions.end())
        return std::nullopt;
    if (found->expiry.hasExpired()) {
        end(found);
        return std::nullopt;
    }
    if (!found->peer.isEqual(peer, QHostAddress::TolerantConversion))
        return std::nullopt;
    found->expiry.setRemainingTime(m_idleMs);
    found->lastUse = ++m_uses;
    return found->user;
}

void SessionTable::setEndHandler(std::function<void(const QByteArray &token)> handler)
{
    m_endHandler = std::move(handler);
}

void SessionTable::end(QHash<QByteArray, Entry>::iterator session)
{
    const QByteArray token = session.key();
    m_sessions.erase(session);
    if (m_endHandler)
        m_endHandler(token);
}

void SessionTable::dropExpired()
{
    for (auto session = m_sessions.begin(); session != m_sessions.end();) {
        if (session->expiry.hasExpired())
            end(std::exchange(session, std::next(session)));
        else
            ++session;
    }
}

} // namespace quillon::dvrd
