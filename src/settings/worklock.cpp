#include "settings/worklock.h"

#include "platform/atomicfile.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace quillon::settings {

namespace {

// Neither name is one of the nine settings files, so the downloads never touch them.
constexpr char kLockName[] = ".visit-lock";
constexpr char kServerName[] = ".visit-server";
// A recorded server name longer than this is not one.
constexpr qint64 kMaxServerBytes = 1024;

} // namespace

WorkFolderLock::WorkFolderLock(const QString &workFolder)
    : m_folder(QDir::cleanPath(workFolder) + QLatin1Char('/'))
{
    const QByteArray path = QFile::encodeName(m_folder + QLatin1String(kLockName));
    m_fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_fd < 0)
        return;
    int locked;
    do
        locked = ::flock(m_fd, LOCK_EX | LOCK_NB);
    while (locked != 0 && errno == EINTR);
    if (locked == 0) {
        m_state = State::Held;
        return;
    }
    m_state = errno == EWOULDBLOCK ? State::Busy : State::Unavailable;
    ::close(m_fd);
    m_fd = -1;
}

WorkFolderLock::~WorkFolderLock()
{
    if (m_fd < 0)
        return;
    QFile::remove(m_folder + QLatin1String(kServerName));
    ::close(m_fd); // closing the only descriptor releases the lock
}

void WorkFolderLock::setServer(const QString &server) const
{
    // Only a message reads it: a failed write leaves the refusal without a name, nothing worse.
    platform::writeFileAtomically(
        m_folder + QLatin1String(kServerName), server.toUtf8(), platform::Durability::Written);
}

QString WorkFolderLock::server() const
{
    QFile file(m_folder + QLatin1String(kServerName));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.read(kMaxServerBytes)).trimmed();
}

} // namespace quillon::settings
