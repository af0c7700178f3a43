#include "loginguard.h"

#include <algorithm>

namespace quillon::dvrd {

LoginGuard::LoginGuard()
{
    m_clock.start();
}

QString LoginGuard::keyOf(const QHostAddress &peer)
{
    // An IPv4 client reached over a dual-stack socket counts as its IPv4 address.
    bool isIPv4 = false;
    const quint32 ipv4 = peer.toIPv4Address(&isIPv4);
    return isIPv4 ? QHostAddress(ipv4).toString() : peer.toString();
}

bool LoginGuard::isLockedOut(const QHostAddress &peer)
{
    const auto found = m_records.constFind(keyOf(peer));
    return found != m_records.constEnd() && m_clock.elapsed() < found->lockedUntil;
}

bool LoginGuard::recordFailure(const QHostAddress &peer)
{
    const qint64 now = m_clock.elapsed();
    const QString key = keyOf(peer);
    if (!m_records.contains(key) && m_records.size() >= kMaxAddresses)
        forgetStale(now);
    Record &record = m_records[key];
    std::erase_if(record.failures, [now](qint64 at) { return now - at >= kWindowMs; });
    record.failures.push_back(now);
    if (int(record.failures.size()) < kMaxFailures || now < record.lockedUntil)
        return false;
    record.lockedUntil = now + kLockoutMs;
    record.failures.clear();
    return true;
}

void LoginGuard::forgetStale(qint64 now)
{
    m_records.removeIf([now](const auto &entry) {
        const Record &record = entry.value();
        return now >= record.lockedUntil
            && (record.failures.empty() || now - record.failures.back() >= kWindowMs);
    });
    if (m_records.size() < kMaxAddresses)
        return;
    const auto oldest = std::min_element(
        m_records.begin(), m_records.end(), [](const Record &a, const Record &b) {
            return std::max(a.lockedUntil, a.failures.empty() ? -1 : a.failures.back())
                < std::max(b.lockedUntil, b.failures.empty() ? -1 : b.failures.back());
        });
    m_records.erase(oldest);
}

} // namespace quillon::dvrd
