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
    if (isIPv4)
        return QHostAddress(ipv4).toString();
    Q_IPV6ADDR network = peer.toIPv6Address();
    std::fill(std::begin(network.c) + 8, std::end(network.c), 0);
    return QHostAddress(network).toString() + QStringLiteral("/64");
}

bool LoginGuard::isKnown(const QHostAddress &peer) const
{
    const auto found = m_knownAddresses.constFind(keyOf(peer));
    return found != m_knownAddresses.constEnd() && m_clock.elapsed() - *found < kKnownMs;
}

LoginGuard::Refusal LoginGuard::refusal(const QHostAddress &peer, const QByteArray &account)
{
    const qint64 now = m_clock.elapsed();
    const QString key = keyOf(peer);
    const auto found = m_records.constFind(key);
    if (found != m_records.constEnd() && now < found->lockedUntil)
        return Refusal::AddressLockedOut;
    if (isKnown(peer))
        return Refusal::None;
    if (found == m_records.constEnd() && m_records.size() >= kMaxAddresses) {
        forgetStale(now);
        if (m_records.size() >= kMaxAddresses)
            return Refusal::TableFull;
    }
    return accountBudgetSpent(account, now) ? Refusal::AccountBudgetSpent : Refusal::None;
}

bool LoginGuard::accountBudgetSpent(const QByteArray &account, qint64 now)
{
    const auto found = m_accountFailures.find(account);
    if (found == m_accountFailures.end())
        return false;
    std::erase_if(*found, [now](qint64 at) { return now - at >= kAccountWindowMs; });
    return int(found->size()) >= kMaxAccountFailures;
}

bool LoginGuard::recordFailure(
    const QHostAddress &peer, const QByteArray &account, bool accountExists)
{
    const qint64 now = m_clock.elapsed();
    if (accountExists) {
        if (!m_accountFailures.contains(account) && m_accountFailures.size() >= kMaxAccounts)
            m_accountFailures.removeIf([now](const auto &entry) {
                return entry.value().empty() || now - entry.value().back() >= kAccountWindowMs;
            });
        if (m_accountFailures.contains(account) || m_accountFailures.size() < kMaxAccounts) {
            std::vector<qint64> &failures = m_accountFailures[account];
            std::erase_if(failures, [now](qint64 at) { return now - at >= kAccountWindowMs; });
            failures.push_back(now);
        }
    }
    const QString key = keyOf(peer);
    if (!m_records.contains(key) && m_records.size() >= kMaxAddresses) {
        forgetStale(now);
        // Full of recent failures: this address stays refused by refusal() until room is made.
        if (m_records.size() >= kMaxAddresses)
            return false;
    }
    Record &record = m_records[key];
    std::erase_if(record.failures, [now](qint64 at) { return now - at >= kWindowMs; });
    record.failures.push_back(now);
    if (int(record.failures.size()) < kMaxFailures || now < record.lockedUntil)
        return false;
    record.lockedUntil = now + kLockoutMs;
    record.failures.clear();
    return true;
}

void LoginGuard::recordSuccess(const QHostAddress &peer)
{
    const qint64 now = m_clock.elapsed();
    const QString key = keyOf(peer);
    if (!m_knownAddresses.contains(key) && m_knownAddresses.size() >= kMaxKnownAddresses)
        m_knownAddresses.erase(std::min_element(m_knownAddresses.begin(), m_knownAddresses.end()));
    m_knownAddresses.insert(key, now);
}

void LoginGuard::forgetStale(qint64 now)
{
    // Only records that no longer count go: no lockout running, no failure within the window.
    m_records.removeIf([now](const auto &entry) {
        const Record &record = entry.value();
        return now >= record.lockedUntil
            && (record.failures.empty() || now - record.failures.back() >= kWindowMs);
    });
}

} // namespace quillon::dvrd
