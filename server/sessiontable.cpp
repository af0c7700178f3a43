#include "sessiontable.h"

#include <algorithm>

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
        m_sessions.erase(oldest);
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
        m_sessions.erase(found);
        return std::nullopt;
    }
    if (!found->peer.isEqual(peer, QHostAddress::TolerantConversion))
        return std::nullopt;
    found->expiry.setRemainingTime(m_idleMs);
    found->lastUse = ++m_uses;
    return found->user;
}

void SessionTable::dropExpired()
{
    m_sessions.removeIf([](const auto &entry) { return entry.value().expiry.hasExpired(); });
}

} // namespace quillon::dvrd
