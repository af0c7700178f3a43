#include "hostlink/knownhosts.h"

#include "platform/atomicfile.h"
#include "platform/platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <unistd.h>

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

// How long a check waits for another process to finish its update of the file.
constexpr auto kLockPatience = std::chrono::seconds(5);
constexpr int kLockRetryMs = 20;

// An exclusive lock on PATH.lock, held while the object lives. The file itself cannot carry the
// lock: each update renames a new file over it.
class KnownHostsLock
{
public:
    explicit KnownHostsLock(const QString &path)
    {
        const QByteArray lockPath = QFile::encodeName(path + QStringLiteral(".lock"));
        m_fd = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd < 0)
            return;
        const auto deadline = std::chrono::steady_clock::now() + kLockPatience;
        while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
            if ((errno != EWOULDBLOCK && errno != EINTR)
                || std::chrono::steady_clock::now() >= deadline) {
                ::close(m_fd);
                m_fd = -1;
                return;
            }
            platform::pause(kLockRetryMs);
        }
    }
    ~KnownHostsLock()
    {
        if (m_fd >= 0)
            ::close(m_fd); // closing the only descriptor releases the lock
    }
    KnownHostsLock(const KnownHostsLock &) = delete;
    KnownHostsLock &operator=(const KnownHostsLock &) = delete;

    bool held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

} // namespace

bool pinnableHost(const QByteArray &host)
{
    return !host.isEmpty() && std::none_of(host.begin(), host.end(), [](char c) {
        return uchar(c) <= ' ' || c == 0x7F;
    });
}

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
    // Such a host would reach a server under a key no pin is stored for.
    if (!pinnableHost(host))
        return PinCheck::BadHost;
    // Threads of one process take turns here first; processes take turns on the lock file.
    static std::mutex fileMutex;
    const std::lock_guard threadLock(fileMutex);
    const std::optional<QByteArray> unlockedText = readText(path);
    if (!unlockedText)
        return PinCheck::Unreadable;
    // A pinned server is checked without the lock: the file is only ever replaced whole.
    if (const QByteArray pinned = pinnedFingerprint(*unlockedText, host, port); !pinned.isEmpty())
        return pinned == fingerprint ? PinCheck::Accepted : PinCheck::Changed;

    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return PinCheck::Unwritable;
    const KnownHostsLock processLock(path);
    if (!processLock.held())
        return PinCheck::Unwritable;
    // Read again under the lock: another process may have pinned servers since.
    const std::optional<QByteArray> text = readText(path);
    if (!text)
        return PinCheck::Unreadable;
    if (const QByteArray pinned = pinnedFingerprint(*text, host, port); !pinned.isEmpty())
        return pinned == fingerprint ? PinCheck::Accepted : PinCheck::Changed;
    const QByteArray updated = withPin(*text, host, port, fingerprint);
    if (updated.size() > kMaxKnownHostsBytes
        || platform::writeFileAtomically(path, updated, platform::Durability::Synced, 0600))
        return PinCheck::Unwritable;
    return PinCheck::Accepted;
}

} // namespace quillon::wire
