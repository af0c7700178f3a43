#include "settings/backups.h"

#include "platform/atomicfile.h"
#include "platform/platform.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace quillon::settings {

namespace {

constexpr QFile::Permissions kOwnerOnlyFolder
    = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;

bool makeOwnerOnlyFolder(const QString &path)
{
    if (!QDir().mkpath(path))
        return false;
    return QFile::setPermissions(path, kOwnerOnlyFolder);
}

QString safeHostName(const QString &host)
{
    QString safe;
    safe.reserve(host.size());
    for (const QChar c : host) {
        const bool plain = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')
            || (c >= u'0' && c <= u'9') || c == u'.' || c == u'-' || c == u'_';
        safe += plain ? c : QChar(u'_');
    }
    // "." and ".." would name other folders.
    if (safe.isEmpty() || safe == QLatin1String(".") || safe == QLatin1String(".."))
        safe.prepend(u'_');
    return safe;
}

QString fileSubPath(SettingsFile file)
{
    const SettingsFileInfo &info = fileInfo(file);
    QString folder = QString::fromLatin1(info.remoteFolder);
    folder.chop(1); // the remote folder ends with a backslash
    return folder + QLatin1Char('/') + QString::fromLatin1(info.name);
}

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

// Keeps the backup just written and the newest others up to kBackupsKept in all. Names sort by
// time, but backups dated ahead of the clock (a clock set back) sort after the new one, which
// must never be the one removed.
void removeOldBackups(const QString &serverFolder, const QString &justWritten)
{
    QStringList names
        = QDir(serverFolder)
              .entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::Reversed);
    names.removeAll(justWritten);
    for (qsizetype i = kBackupsKept - 1; i < names.size(); ++i)
        QDir(serverFolder + names[i]).removeRecursively();
}

} // namespace

QString backupsRoot()
{
    // Beside the work folder, with the same fallback when there is no data folder.
    QString base = platform::windowsFolder();
    if (base.isEmpty())
        base = platform::executableFolder();
    if (base.isEmpty())
        return {};
    return QDir::cleanPath(base) + QLatin1String("/Backups/");
}

QString serverBackupsFolder(const QString &host, int port)
{
    const QString root = backupsRoot();
    if (root.isEmpty())
        return {};
    return root + safeHostName(host) + QLatin1Char('_') + QString::number(port) + QLatin1Char('/');
}

QString writeBackup(const QString &host, int port, const SettingsFileSet &files, QString *error)
{
    const QString serverFolder = serverBackupsFolder(host, port);
    if (serverFolder.isEmpty() || !makeOwnerOnlyFolder(serverFolder)) {
        setError(error, QStringLiteral("cannot create the backup folder %1").arg(serverFolder));
        return {};
    }
    const QString stamp
        = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss.zzz'Z'"));
    QString name = stamp;
    for (int n = 1; QFileInfo::exists(serverFolder + name); ++n)
        name = stamp + QLatin1Char('-') + QString::number(n);

    const QString partial = serverFolder + QLatin1String(".partial-") + name + QLatin1Char('/');
    QDir(partial).removeRecursively();
    bool written = makeOwnerOnlyFolder(partial + QLatin1String("User"))
        && makeOwnerOnlyFolder(partial + QLatin1String("SysConfig"));
    QString reason;
    for (auto it = files.cbegin(); written && it != files.cend(); ++it) {
        const std::optional<QString> failure = platform::writeFileAtomically(
            partial + fileSubPath(it.key()), it.value(), platform::Durability::Synced, 0600);
        written = !failure;
        reason = failure.value_or(QString());
    }
    if (written && !QDir().rename(partial, serverFolder + name))
        written = false;
    if (written && !platform::syncFolder(serverFolder)) {
        reason = QStringLiteral("cannot flush the folder to disk");
        QDir(serverFolder + name).removeRecursively();
        written = false;
    }
    if (!written) {
        QDir(partial).removeRecursively();
        setError(error,
            QStringLiteral("cannot write the backup in %1%2")
                .arg(serverFolder,
                    reason.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(reason)));
        return {};
    }
    removeOldBackups(serverFolder, name);
    const QString folder = serverFolder + name + QLatin1Char('/');
    if (const std::optional<QString> mismatch = checkBackup(folder, files)) {
        setError(error, *mismatch);
        return {};
    }
    return folder;
}

std::optional<QString> checkBackup(const QString &folder, const SettingsFileSet &files)
{
    SettingsFileSet stored;
    QString error;
    if (!readSettingsFolder(folder, &stored, &error) && !files.isEmpty())
        return QStringLiteral("the backup %1 cannot be read back: %2").arg(folder, error);
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        const QByteArray &copy = stored.value(it.key());
        if (!stored.contains(it.key()) || copy.size() != it.value().size()
            || QCryptographicHash::hash(copy, QCryptographicHash::Sha256)
                != QCryptographicHash::hash(it.value(), QCryptographicHash::Sha256))
            return QStringLiteral("the backup %1 does not hold %2 as it was")
                .arg(folder, fileSubPath(it.key()));
    }
    if (stored.size() != files.size())
        return QStringLiteral("the backup %1 holds files the server did not have").arg(folder);
    return std::nullopt;
}

bool writeSettingsFolder(const QString &folder, const SettingsFileSet &files, QString *error)
{
    const QString base = QDir::cleanPath(folder) + QLatin1Char('/');
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        QString sub = QString::fromLatin1(fileInfo(it.key()).remoteFolder);
        sub.chop(1);
        const QString subFolder = findFileNoCase(base, sub) + QLatin1Char('/');
        if (!QDir().mkpath(subFolder)) {
            setError(error, QStringLiteral("cannot create the folder %1").arg(subFolder));
            return false;
        }
        const QString path
            = findFileNoCase(subFolder, QString::fromLatin1(fileInfo(it.key()).name));
        // A folder the operator edits is a baseline to keep; a failed write says so.
        if (const std::optional<QString> failure
            = platform::writeFileAtomically(path, it.value(), platform::Durability::Synced, 0600)) {
            setError(error, QStringLiteral("cannot write %1: %2").arg(path, *failure));
            return false;
        }
    }
    return true;
}

QString backupServerFolder(const QString &folder)
{
    const QString root = QFileInfo(backupsRoot()).canonicalFilePath();
    const QFileInfo backup(QFileInfo(folder).canonicalFilePath());
    if (root.isEmpty() || backup.filePath().isEmpty())
        return {};
    const QString server = backup.path();
    return QFileInfo(server).path() == root ? server : QString();
}

QStringList listBackups(const QString &host, int port)
{
    const QString serverFolder = serverBackupsFolder(host, port);
    if (serverFolder.isEmpty())
        return {};
    QStringList paths;
    // Hidden partial folders are not listed: they are not whole backups.
    const QStringList names
        = QDir(serverFolder)
              .entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::Reversed);
    for (const QString &name : names)
        paths.append(serverFolder + name + QLatin1Char('/'));
    return paths;
}

bool readSettingsFolder(const QString &folder, SettingsFileSet *files, QString *error)
{
    files->clear();
    const QString base = QDir::cleanPath(folder) + QLatin1Char('/');
    for (const SettingsFileInfo &info : settingsFiles()) {
        QString sub = QString::fromLatin1(info.remoteFolder);
        sub.chop(1);
        const QString subFolder = findFileNoCase(base, sub) + QLatin1Char('/');
        const QString path = findFileNoCase(subFolder, QString::fromLatin1(info.name));
        QFile in(path);
        if (!in.exists())
            continue;
        if (in.size() > kMaxSettingsFileBytes) {
            setError(error, QStringLiteral("%1 is larger than a settings file can be").arg(path));
            return false;
        }
        if (!in.open(QIODevice::ReadOnly)) {
            setError(error, QStringLiteral("cannot read %1: %2").arg(path, in.errorString()));
            return false;
        }
        files->insert(info.file, in.readAll());
    }
    if (files->isEmpty()) {
        setError(
            error, QStringLiteral("%1 holds no settings files (User/ and SysConfig/)").arg(folder));
        return false;
    }
    return true;
}

} // namespace quillon::settings
