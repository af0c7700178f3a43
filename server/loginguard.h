#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QString>

#include <vector>

namespace quillon::dvrd {

// Slows password guessing: an address with too many failed logins within a window has all of
// its logins refused for a while. Each address counts on its own.
class LoginGuard
{
public:
    static constexpr int kMaxFailures = 5;
    static constexpr qint64 kWindowMs = 60 * 1000;
    static constexpr qint64 kLockoutMs = 60 * 1000;
    // Addresses remembered at once; beyond it the one whose last failure is oldest goes.
    static constexpr qsizetype kMaxAddresses = 4096;

    LoginGuard();

    // True while logins from the address are refused without being checked.
    bool isLockedOut(const QHostAddress &peer);
    // Counts a failed login; true when this one locks the address out.
    bool recordFailure(const QHostAddress &peer);

private:
    struct Record
    {
        std::vector<qint64> failures; // times within the window, oldest first
        qint64 lockedUntil = -1;
    };

    static QString keyOf(const QHostAddress &peer);
    void forgetStale(qint64 now);

    QElapsedTimer m_clock;
    QHash<QString, Record> m_records;
};

} // namespace quillon::dvrd
