#include "hostlink/knownhosts.h"

#include "hostlink/tlssetup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QStandardPaths>

#include <algorithm>
#include <mutex>

namespace quillon::wire {

namespace {

QByteArray hostKey(const QByteArray &host, int port)
{
    return host + ':' + QByteArray::number(port);
}

// The key and fingerprint of a pin line; nothing for a comment or a damaged line.
std::optional<std::pair<QByteArray, QByteArray>> parsePin(const QByteArray &line)
{
    const QByteArray trimmed = line.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith('#'))
        return std::nullopt;
    const qsizetype space = trimmed.lastIndexOf(' ');
    if (space <= 0)
        return std::nullopt;
    return std::pair {trimmed.left(space).trimmed(), trimmed.mid(space + 1)};
}

std::optional<QByteArray> readText(const QString &path)
{
    QFile file(path);
    if (!file.exists())
        return QByteArray();
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxKnownHostsBytes)
        return std::nullopt;
    const QByteArray text = file.read(kMaxKnownHostsBytes + 1);
    if (text.size() != file.size())
        return std::nullopt;
    return text;
}

} // namespace

QString knownHostsPath()
{
    const QString chosen = qEnvironmentVariable("QUILLON_KNOWN_HOSTS");
    if (!chosen.isEmpty())
        return chosen;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/quillon/known_hosts");
}

QByteArray pinnedFingerprint(const QByteArray &text, const QByteArray &host, int port)
{
    const QByteArray key = hostKey(host, port);
    for (const QByteArray &line : text.split('\n')) {
        const auto pin = parsePin(line);
        if (pin && pin->first == key)
            return pin->second;
    }
    return {};
}

QByteArray withPin(
    const QByteArray &text, const QByteArray &host, int port, const QByteArray &fingerprint)
{
    const QByteArray key = hostKey(host, port);
    QByteArray result;
    for (const QByteArray &line : text.split('\n')) {
        const auto pin = parsePin(line);
        if (line.isEmpty() || (pin && pin->first == key))
            continue;
        result += line + '\n';
    }
    return result + key + ' ' + fingerprint + '\n';
}

PinCheck checkPin(
    const QString &path, const QByteArray &host, int port, const QByteArray &fingerprint)
{
    // Threads of one caller visiting new servers at once must not lose each other's pins.
    static std::mutex fileMutex;
    const std::lock_guard lock(fileMutex);
    const std::optional<QByteArray> text = readText(path);
    if (!text)
        return PinCheck::Unreadable;
    const QByteArray pinned = pinnedFingerprint(*text, host, port);
    if (!pinned.isEmpty())
        return pinned == fingerprint ? PinCheck::Accepted : PinCheck::Changed;
    // A pin that cannot be stored only means the next visit is a first visit again; a host
    // text with blanks or control bytes names no server and could break the file's lines.
    if (std::any_of(host.begin(), host.end(), [](char c) { return uchar(c) <= ' '; }))
        return PinCheck::Accepted;
    const QString folder = QFileInfo(path).absolutePath();
    if (QDir().mkpath(folder))
        writePrivateFile(path, withPin(*text, host, port, fingerprint));
    return PinCheck::Accepted;
}

} // namespace quillon::wire
