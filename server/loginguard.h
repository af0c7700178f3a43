#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QString>

#include <vector>

namespace quillon::dvrd {

// Slows password guessing. An address (an IPv6 address counts by its /64 network, which one
// subscriber usually holds whole) with too many failed logins within a window has all of its
// logins refused for a while. Every account also has a budget of failures within a longer
// window, whoever makes them: beyond it, guesses at that account are refused from every address
// that has not logged in successfully of late, so guessing spread over many addresses slows to
// the budget while an operator's own address keeps working. The table of addresses is bounded
// and fails closed: when it is full of recent failures, an address it cannot remember is
// refused rather than a remembered one being forgotten.
class LoginGuard
{
public:
    static constexpr int kMaxFailures = 5;
    static constexpr qint64 kWindowMs = 60 * 1000;
    static constexpr qint64 kLockoutMs = 60 * 1000;
    static constexpr qsizetype kMaxAddresses = 4096;
    static constexpr int kMaxAccountFailures = 20;
    static constexpr qint64 kAccountWindowMs = 10 * 60 * 1000;
    static constexpr qsizetype kMaxAccounts = 4096;
    // Addresses with a successful login within this long count as known.
    static constexpr qint64 kKnownMs = 30LL * 24 * 60 * 60 * 1000;
    static constexpr qsizetype kMaxKnownAddresses = 1024;

    enum class Refusal { None, AddressLockedOut, TableFull, AccountBudgetSpent };

    LoginGuard();

    // Why a login to the account from that address is refused without being checked, if it is.
    Refusal refusal(const QHostAddress &peer, const QByteArray &account);
    // Counts a failed login (accountExists: the name is a real account); true when this one
    // locks the address out.
    bool recordFailure(const QHostAddress &peer, const QByteArray &account, bool accountExists);
    void recordSuccess(const QHostAddress &peer);
    // True for an address that logged in successfully of late.
    bool isKnown(const QHostAddress &peer) const;

    // The key an address counts under: the IPv4 address, or the IPv6 /64 network.
    static QString keyOf(const QHostAddress &peer);

private:
    struct Record
    {
        std::vector<qint64> failures; // times within the window, oldest first
        qint64 lockedUntil = -1;
    };

    void forgetStale(qint64 now);
    bool accountBudgetSpent(const QByteArray &account, qint64 now);

    QElapsedTimer m_clock;
    QHash<QString, Record> m_records;
    QHash<QByteArray, std::vector<qint64>> m_accountFailures;
    QHash<QString, qint64> m_knownAddresses; // last successful login
};

} // namespace quillon::dvrd
