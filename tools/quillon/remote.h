#pragma once

#include "settings/backups.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace quillon::tool {

constexpr int kDefaultPort = 5040;

struct HostAddress
{
    QString host;
    int port = kDefaultPort;

    QString text() const; // "host:port"
    bool operator==(const HostAddress &) const = default;
};

// "host", "host:port" or "[v6 address]:port"; nothing for an empty host or a port outside
// 1..65535. *error says what is wrong.
std::optional<HostAddress> parseHostAddress(const QString &text, QString *error = nullptr);

// What a step with a server came to; the order is the order of badness for a summary.
enum class Outcome {
    Done,
    Unchanged, // the server already had the result: nothing was backed up, uploaded or applied
    Invalid, // the result would fail the window's checks: nothing was sent
    LoginRefused, // wrong user or password, or no settings privilege
    IdentityChanged, // the server no longer proves the identity pinned for it
    // another apply changed the server's files after they were backed up; nothing changed
    Stale,
    Failed, // no connection, or a transfer or the apply failed
};

struct StepResult
{
    Outcome outcome = Outcome::Done;
    QString message; // empty when done
    // A transfer was refused for want of a live session; a new login may cure it.
    bool sessionRefused = false;
};

// One login session with one server, through the host link. The host link keeps sessions per
// host and port and guards its shared state, so sessions with different servers may run on
// different threads at once.
class RemoteSession
{
public:
    RemoteSession(HostAddress address, QByteArray user, QByteArray password);

    StepResult login();
    // The nine files as the server has them; a file the server does not have is absent.
    StepResult fetch(settings::SettingsFileSet *files);
    // Uploads the given files of the upload order, then sends the apply command, all within
    // this session (the server makes a session's uploads current only at its apply). The apply
    // is based on the files of the last fetch: Outcome::Stale when the server has applied
    // others since.
    StepResult uploadAndApply(const settings::SettingsFileSet &files);

    const HostAddress &address() const { return m_address; }

private:
    // One download (or upload) between a remote path and a local file, on this host's session.
    std::int32_t transfer(bool upload, const QByteArray &remote, const QByteArray &local) const;

    HostAddress m_address;
    QByteArray m_hostBytes;
    QByteArray m_user;
    QByteArray m_password;
};

} // namespace quillon::tool
