#include "platform/atomicfile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillon::platform {

namespace {

QString reason(const char *step, int error)
{
    return QStringLiteral("%1: %2").arg(
        QLatin1String(step), QString::fromLocal8Bit(std::strerror(error)));
}

bool writeAll(int fd, QByteArrayView bytes)
{
    const char *next = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, next, static_cast<size_t>(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = ENOSPC;
            return false;
        }
        next += written;
        left -= written;
    }
    return true;
}

// Opens path read-only, flushes it with flush and closes it.
bool syncOpened(const QString &path, int flags, int (*flush)(int))
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | flags);
    if (fd < 0)
        return false;
    const bool synced = flush(fd) == 0;
    ::close(fd);
    return synced;
}

} // namespace

std::optional<QString> writeFileAtomically(
    const QString &path, QByteArrayView bytes, Durability durability, std::optional<mode_t> mode)
{
    const QByteArray target = QFile::encodeName(path);
    QByteArray temporary = target + ".tmp-XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return reason("cannot create a temporary file", errno);

    const auto fail = [&](const char *step, bool open) {
        const int error = errno;
        if (open)
            ::close(fd);
        ::unlink(temporary.constData());
        return reason(step, error);
    };
    if (!mode) {
        struct stat old = {};
        mode = ::stat(target.constData(), &old) == 0 ? old.st_mode & 07777 : 0600;
    }
    if (::fchmod(fd, *mode) != 0)
        return fail("cannot set the file's mode", true);
    if (!writeAll(fd, bytes))
        return fail("cannot write", true);
    if (durability == Durability::Synced && ::fdatasync(fd) != 0)
        return fail("cannot flush to disk", true);
    if (::close(fd) != 0)
        return fail("cannot write", false);
    if (::rename(temporary.constData(), target.constData()) != 0)
        return fail("cannot replace the file", false);
    if (durability == Durability::Synced && !syncFolder(QFileInfo(path).absolutePath()))
        return reason("cannot flush the folder to disk", errno);
    return std::nullopt;
}

bool syncFolder(const QString &folder)
{
    return syncOpened(folder, O_DIRECTORY, ::fsync);
}

bool syncFile(const QString &path)
{
    return syncOpened(path, 0, ::fdatasync);
}

} // namespace quillon::platform
