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

enum class PinCheck { Accepted, Changed, Unreadable };

// Compares the fingerprint with the one pinned in the file at path; the first one seen for a
// host and port is stored (the file written atomically, mode 0600).
PinCheck checkPin(
    const QString &path, const QByteArray &host, int port, const QByteArray &fingerprint);

} // namespace quillon::wire
