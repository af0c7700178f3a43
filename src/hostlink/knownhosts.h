#pragma once

// The servers an operator has visited and the identity each showed the first time: a text file
// with a line "HOST:PORT FINGERPRINT" per server. Other lines (comments) are kept as they are.

#include <QByteArray>
#include <QString>

#include <optional>

namespace quillon::wire {

// The largest known-hosts file read; a longer one is damage, and no server is accepted on it.
inline constexpr qsizetype kMaxKnownHostsBytes = 1024 * 1024;

// $QUILLON_KNOWN_HOSTS, else $XDG_DATA_HOME/quillon/known_hosts.
QString knownHostsPath();

// The fingerprint pinned for host and port in the file's text; empty when there is none.
QByteArray pinnedFingerprint(const QByteArray &text, const QByteArray &host, int port);
// The text with the pin of host and port set to the fingerprint (any earlier one removed).
QByteArray withPin(
    const QByteArray &text, const QByteArray &host, int port, const QByteArray &fingerprint);

enum class PinCheck {
    Accepted,
    Changed, // another identity is pinned for host and port
    Unreadable, // the file cannot be read, or is larger than any known-hosts file
    Unwritable, // the first identity seen could not be stored, so it would not be checked later
    BadHost, // the host text holds a blank or a control byte: it cannot be pinned
};

// A host text that can be pinned: not empty, and no blank, tab or other control byte (which
// would name the same server under a key of its own, or break the file's lines).
bool pinnableHost(const QByteArray &host);

// Compares the fingerprint with the one pinned in the file at path; the first one seen for a
// host and port is stored (the file written atomically and flushed, mode 0600). Threads and
// processes checking at once take turns on a lock file beside it, so no pin is lost; a lock
// that stays taken for seconds counts as unwritable rather than waiting for ever.
PinCheck checkPin(
    const QString &path, const QByteArray &host, int port, const QByteArray &fingerprint);

} // namespace quillon::wire
