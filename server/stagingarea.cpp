#include "stagingarea.h"

#include "hostlink/wire.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace quillon::dvrd {

using settings::SettingsFile;
using wire::StatusCode;

namespace {

constexpr char kStagingFolder[] = ".staging";
constexpr char kJournalName[] = ".commit-journal";
// One line per uploadable file, each well under a path's length.
constexpr qint64 kMaxJournalBytes = 64 * 1024;

// Makes the renames inside a folder durable.
void syncFolder(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

// A journal path names a place inside the root: relative, without "..".
bool insideRoot(const QString &relative)
{
    return !relative.isEmpty() && QDir::isRelativePath(relative)
        && !relative.split(QLatin1Char('/')).contains(QStringLiteral(".."));
}

} // namespace

StagingArea::StagingArea(const SettingsRoot &root) : m_root(root)
{ }

QString StagingArea::journalPath() const
{
    return m_root.root() + QLatin1Char('/') + QLatin1String(kJournalName);
}

QString StagingArea::sessionFolder(const QByteArray &token) const
{
    // Named after a digest of the token, so the folder name reveals nothing usable.
    return m_root.root() + QLatin1Char('/') + QLatin1String(kStagingFolder) + QLatin1Char('/')
        + QString::fromLatin1(wire::sha256(token).toHex().left(32));
}

StatusCode StagingArea::stage(
    const QByteArray &token, SettingsFile file, const QByteArray &content) const
{
    const QString folder = sessionFolder(token);
    if (!QDir().mkpath(folder))
        return StatusCode::StorageFailed;
    QSaveFile staged(folder + QLatin1Char('/') + QLatin1String(settings::fileInfo(file).name));
    if (!staged.open(QIODevice::WriteOnly) || staged.write(content) != content.size()
        || !staged.commit())
        return StatusCode::StorageFailed;
    return StatusCode::Ok;
}

StatusCode StagingArea::commit(const QByteArray &token) const
{
    const QString folder = sessionFolder(token);
    const QDir root(m_root.root());
    QByteArray journal;
    for (const settings::SettingsFileInfo &info : settings::settingsFiles()) {
        const QString staged = folder + QLatin1Char('/') + QLatin1String(info.name);
        if (!QFileInfo::exists(staged))
            continue;
        if (!QDir().mkpath(QFileInfo(m_root.filePath(info.file)).absolutePath()))
            return StatusCode::StorageFailed;
        journal += root.relativeFilePath(staged).toUtf8() + '\t'
            + root.relativeFilePath(m_root.filePath(info.file)).toUtf8() + '\n';
    }
    if (journal.isEmpty())
        return StatusCode::Ok;
    QSaveFile journalFile(journalPath());
    if (!journalFile.open(QIODevice::WriteOnly) || journalFile.write(journal) != journal.size()
        || !journalFile.commit())
        return StatusCode::StorageFailed;
    syncFolder(m_root.root());
    // Lets a test stop the server at the worst moment: the journal written, nothing moved.
    if (qEnvironmentVariableIsSet("DVRD_TEST_KILL_AFTER_JOURNAL"))
        ::raise(SIGKILL);
    if (!finishJournal())
        return StatusCode::StorageFailed;
    QDir(folder).removeRecursively();
    return StatusCode::Ok;
}

bool StagingArea::finishJournal() const
{
    QFile journal(journalPath());
    if (!journal.exists())
        return true;
    if (!journal.open(QIODevice::ReadOnly) || journal.size() > kMaxJournalBytes)
        return false;
    const QList<QByteArray> lines = journal.readAll().split('\n');
    journal.close();
    QStringList touchedFolders;
    for (const QByteArray &line : lines) {
        const QList<QByteArray> paths = line.split('\t');
        if (line.isEmpty())
            continue;
        const QString staged = QString::fromUtf8(paths.value(0));
        const QString target = QString::fromUtf8(paths.value(1));
        if (paths.size() != 2 || !insideRoot(staged) || !insideRoot(target))
            return false;
        const QString from = m_root.root() + QLatin1Char('/') + staged;
        const QString to = m_root.root() + QLatin1Char('/') + target;
        // A staged file already gone was moved before the interruption.
        if (QFileInfo::exists(from)
            && std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData())
                != 0)
            return false;
        touchedFolders << QFileInfo(to).absolutePath();
    }
    touchedFolders.removeDuplicates();
    for (const QString &folder : touchedFolders)
        syncFolder(folder);
    return QFile::remove(journalPath());
}

bool StagingArea::recover() const
{
    if (!finishJournal())
        return false;
    return QDir(m_root.root() + QLatin1Char('/') + QLatin1String(kStagingFolder))
        .removeRecursively();
}

void StagingArea::discard(const QByteArray &token) const
{
    QDir(sessionFolder(token)).removeRecursively();
}

} // namespace quillon::dvrd
