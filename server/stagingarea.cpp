#include "stagingarea.h"

#include "hostlink/wire.h"
#include "platform/atomicfile.h"
#include "serverlog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quillon::dvrd {

using settings::SettingsFile;
using wire::StatusCode;

namespace {

constexpr char kStagingFolder[] = ".staging";
constexpr char kSetAsideFolder[] = ".set-aside";
constexpr char kJournalName[] = ".commit-journal";
constexpr char kJournalHeader[] = "apply";
// A header and one line per uploadable file, each well under a path's length.
constexpr qint64 kMaxJournalBytes = 64 * 1024;
// Staged and set-aside files hold every user's password: only the server may read them.
constexpr mode_t kPrivateFolderMode = 0700;
constexpr mode_t kPrivateFileMode = 0600;

QByteArray nativePath(const QString &path)
{
    return QFile::encodeName(path);
}

// Makes the entries of a folder (renames, links, removals) durable.
bool syncFolder(const QString &folder)
{
    const int fd = ::open(nativePath(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

bool makePrivateFolder(const QString &folder)
{
    return QDir().mkpath(folder)
        && ::chmod(nativePath(folder).constData(), kPrivateFolderMode) == 0;
}

bool exists(const QString &path)
{
    struct stat info = {};
    return ::lstat(nativePath(path).constData(), &info) == 0;
}

// True when the file holds exactly size bytes with that SHA-256.
bool holds(const QString &path, qint64 size, const QByteArray &digest)
{
    QFile file(path);
    if (size > wire::kMaxFileBytes || !file.open(QIODevice::ReadOnly) || file.size() != size)
        return false;
    const QByteArray content = file.read(size + 1);
    return content.size() == size && wire::sha256(content) == digest;
}

// One staged file taking the place of a served one. Paths are absolute; setAside is empty when
// no served file existed, and is otherwise where the old file waits until the commit is done.
struct Move
{
    QString staged;
    QString target;
    QString setAside;
    qint64 size = 0;
    QByteArray digest;
};

struct Journal
{
    AppliedSet applied;
    std::vector<Move> moves;
};

// A journal path names a place inside the root: relative, without "..".
bool insideRoot(const QString &relative)
{
    return !relative.isEmpty() && QDir::isRelativePath(relative)
        && !relative.split(QLatin1Char('/')).contains(QStringLiteral(".."));
}

// "apply<TAB>generation<TAB>time<TAB>user in hex", then "STAGED<TAB>TARGET<TAB>SET-ASIDE<TAB>
// SIZE<TAB>SHA-256 in hex" per file, paths relative to the root.
QByteArray journalBytes(const Journal &journal, const QDir &root)
{
    QByteArray bytes = QByteArray(kJournalHeader) + '\t'
        + QByteArray::number(journal.applied.generation) + '\t'
        + journal.applied.time.toUTC().toString(Qt::ISODateWithMs).toLatin1() + '\t'
        + journal.applied.user.toHex() + '\n';
    for (const Move &move : journal.moves) {
        bytes += root.relativeFilePath(move.staged).toUtf8() + '\t'
            + root.relativeFilePath(move.target).toUtf8() + '\t'
            + (move.setAside.isEmpty() ? QByteArray()
                                       : root.relativeFilePath(move.setAside).toUtf8())
            + '\t' + QByteArray::number(move.size) + '\t' + move.digest.toHex() + '\n';
    }
    return bytes;
}

std::optional<Journal> parseJournal(const QByteArray &bytes, const QString &root)
{
    const QList<QByteArray> lines = bytes.split('\n');
    const QList<QByteArray> header = lines.value(0).split('\t');
    Journal journal;
    bool ok = header.size() == 4 && header[0] == kJournalHeader;
    journal.applied.generation = ok ? header[1].toLongLong(&ok) : 0;
    if (!ok || journal.applied.generation <= 0)
        return std::nullopt;
    journal.applied.time = QDateTime::fromString(QString::fromLatin1(header[2]), Qt::ISODateWithMs);
    journal.applied.user = QByteArray::fromHex(header[3]);
    const auto absolute = [&](const QByteArray &relative) {
        return root + QLatin1Char('/') + QString::fromUtf8(relative);
    };
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (lines[i].isEmpty())
            continue;
        const QList<QByteArray> fields = lines[i].split('\t');
        if (fields.size() != 5 || !insideRoot(QString::fromUtf8(fields[0]))
            || !insideRoot(QString::fromUtf8(fields[1]))
            || (!fields[2].isEmpty() && !insideRoot(QString::fromUtf8(fields[2]))))
            return std::nullopt;
        Move move {absolute(fields[0]), absolute(fields[1]),
            fields[2].isEmpty() ? QString() : absolute(fields[2]), fields[3].toLongLong(&ok),
            QByteArray::fromHex(fields[4])};
        if (!ok || move.digest.size() != wire::kDigestBytes)
            return std::nullopt;
        journal.moves.push_back(move);
    }
    return journal;
}

// Puts the staged file in place, first keeping the served one under its set-aside name (a
// second link, so the served name never goes missing). A staged file already gone was moved
// before an interruption: then the target must hold it.
bool moveIn(const Move &move)
{
    if (!exists(move.staged))
        return holds(move.target, move.size, move.digest);
    if (!holds(move.staged, move.size, move.digest))
        return false;
    if (!move.setAside.isEmpty() && !exists(move.setAside)
        && ::link(nativePath(move.target).constData(), nativePath(move.setAside).constData()) != 0)
        return false;
    return std::rename(nativePath(move.staged).constData(), nativePath(move.target).constData())
        == 0;
}

// Brings every served file back as it was before the journal's commit, and each moved file back
// to its staged name, so that the session may apply again; false when one could not be.
bool rollBack(const std::vector<Move> &moves)
{
    bool whole = true;
    for (auto move = moves.rbegin(); move != moves.rend(); ++move) {
        const QByteArray staged = nativePath(move->staged);
        const QByteArray target = nativePath(move->target);
        if (!exists(move->staged) && holds(move->target, move->size, move->digest)) {
            // A new file goes away; a replaced one stays served until its old link is back.
            const bool back = move->setAside.isEmpty()
                ? std::rename(target.constData(), staged.constData()) == 0
                : ::link(target.constData(), staged.constData()) == 0;
            whole = back && whole;
        }
        if (!move->setAside.isEmpty() && exists(move->setAside)
            && std::rename(nativePath(move->setAside).constData(), target.constData()) != 0)
            whole = false;
    }
    return whole;
}

bool syncTargetFolders(const std::vector<Move> &moves)
{
    QStringList folders;
    for (const Move &move : moves)
        folders << QFileInfo(move.target).absolutePath();
    folders.removeDuplicates();
    bool synced = true;
    for (const QString &folder : folders)
        synced = syncFolder(folder) && synced;
    return synced;
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

QString StagingArea::setAsideFolder() const
{
    return m_root.root() + QLatin1Char('/') + QLatin1String(kSetAsideFolder);
}

StatusCode StagingArea::stage(
    const QByteArray &token, SettingsFile file, const QByteArray &content, const QByteArray &digest)
{
    SessionUploads &uploads = m_uploads[token];
    const auto previous = uploads.find(file);
    const qint64 replaced = previous == uploads.end() ? 0 : previous->second.size;
    if (m_stagedBytes - replaced + content.size() > kMaxStagedBytes)
        return StatusCode::SizeRefused;
    const QString folder = sessionFolder(token);
    if (!makePrivateFolder(QFileInfo(folder).absolutePath()) || !makePrivateFolder(folder))
        return StatusCode::StorageFailed;
    const QString path = folder + QLatin1Char('/') + QLatin1String(settings::fileInfo(file).name);
    if (const std::optional<QString> error = platform::writeFileAtomically(
            path, content, platform::Durability::Synced, kPrivateFileMode)) {
        logLine(QStringLiteral("cannot stage %1: %2").arg(path, *error));
        return StatusCode::StorageFailed;
    }
    // What the disk gives back is what the client sent, or the upload is not taken.
    if (!holds(path, content.size(), digest)) {
        logLine(QStringLiteral("cannot stage %1: it reads back different").arg(path));
        QFile::remove(path);
        m_stagedBytes -= replaced;
        uploads.erase(file);
        return StatusCode::StorageFailed;
    }
    uploads[file] = StagedFile {content.size(), digest};
    m_stagedBytes += content.size() - replaced;
    return StatusCode::Ok;
}

StagingArea::CommitResult StagingArea::commit(const QByteArray &token, const QByteArray &user)
{
    // A commit that could be neither finished nor rolled back leaves no ground to build on.
    if (exists(journalPath()) && !settleJournal())
        return {StatusCode::StorageFailed, {}};
    const SessionUploads uploads = m_uploads.value(token);
    Journal journal {{m_current.generation + 1, QDateTime::currentDateTimeUtc(), user}, {}};
    // Every apply command is recorded, also one that serves nothing new.
    if (uploads.empty()) {
        if (!appendApply(m_root.applyLogPath(), journal.applied))
            return {StatusCode::StorageFailed, {}};
        m_current = journal.applied;
        return {StatusCode::Ok, m_current};
    }

    const QString folder = sessionFolder(token);
    if (!QDir(setAsideFolder()).removeRecursively() || !makePrivateFolder(setAsideFolder()))
        return {StatusCode::StorageFailed, {}};
    for (const auto &[file, staged] : uploads) {
        const QString name = QLatin1String(settings::fileInfo(file).name);
        Move move {folder + QLatin1Char('/') + name, m_root.filePath(file), {}, staged.size,
            staged.digest};
        if (!QDir().mkpath(QFileInfo(move.target).absolutePath()))
            return {StatusCode::StorageFailed, {}};
        // A served file never becomes more readable than it was; a new one is private.
        struct stat served = {};
        const bool wasServed = ::stat(nativePath(move.target).constData(), &served) == 0;
        if (wasServed)
            move.setAside = setAsideFolder() + QLatin1Char('/') + name;
        const mode_t mode = wasServed ? served.st_mode & 07777 : kPrivateFileMode;
        if (::chmod(nativePath(move.staged).constData(), mode) != 0
            || !holds(move.staged, move.size, move.digest)) {
            logLine(QStringLiteral("cannot apply %1: the staged file is gone or changed")
                        .arg(move.staged));
            return {StatusCode::StorageFailed, {}};
        }
        journal.moves.push_back(move);
    }
    if (const std::optional<QString> error
        = platform::writeFileAtomically(journalPath(), journalBytes(journal, QDir(m_root.root())),
            platform::Durability::Synced, kPrivateFileMode)) {
        logLine(QStringLiteral("cannot write %1: %2").arg(journalPath(), *error));
        return {StatusCode::StorageFailed, {}};
    }
    // Lets a test stop the server at the worst moment: the journal written, nothing moved.
    if (qEnvironmentVariableIsSet("DVRD_TEST_KILL_AFTER_JOURNAL"))
        ::raise(SIGKILL);

    bool moved = true;
    for (const Move &move : journal.moves) {
        if (!moveIn(move)) {
            logLine(QStringLiteral("cannot serve %1: %2")
                        .arg(move.target, QString::fromLocal8Bit(std::strerror(errno))));
            moved = false;
            break;
        }
    }
    moved = moved && syncTargetFolders(journal.moves);
    if (moved && !appendApply(m_root.applyLogPath(), journal.applied)) {
        logLine(QStringLiteral("cannot write %1").arg(m_root.applyLogPath()));
        moved = false;
    }
    if (!moved) {
        if (rollBack(journal.moves) && syncTargetFolders(journal.moves)
            && QFile::remove(journalPath())) {
            logLine(QStringLiteral("rolled the apply back: every served file is as it was"));
        } else {
            m_pendingJournal = true;
            logLine(QStringLiteral("cannot roll the apply back: nothing is served or applied "
                                   "until %1 is settled")
                        .arg(journalPath()));
        }
        return {StatusCode::StorageFailed, {}};
    }
    m_current = journal.applied;
    QFile::remove(journalPath());
    syncFolder(m_root.root());
    QDir(setAsideFolder()).removeRecursively();
    discard(token);
    return {StatusCode::Ok, m_current};
}

bool StagingArea::settleJournal()
{
    m_pendingJournal = true;
    QFile file(journalPath());
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxJournalBytes)
        return false;
    const std::optional<Journal> journal = parseJournal(file.readAll(), m_root.root());
    file.close();
    const std::optional<AppliedSet> logged = lastApply(m_root.applyLogPath());
    if (!journal || !logged)
        return false;
    bool finished = logged->generation >= journal->applied.generation;
    if (!finished) {
        finished = std::all_of(journal->moves.begin(), journal->moves.end(), moveIn)
            && syncTargetFolders(journal->moves)
            && appendApply(m_root.applyLogPath(), journal->applied);
        logLine(finished ? QStringLiteral("finished the interrupted apply generation=%1")
                               .arg(journal->applied.generation)
                         : QStringLiteral("rolling back the interrupted apply generation=%1")
                               .arg(journal->applied.generation));
    }
    if (!finished && (!rollBack(journal->moves) || !syncTargetFolders(journal->moves)))
        return false;
    if (!QFile::remove(journalPath()) || !syncFolder(m_root.root()))
        return false;
    QDir(setAsideFolder()).removeRecursively();
    m_pendingJournal = false;
    return true;
}

bool StagingArea::recover()
{
    if (exists(journalPath()) && !settleJournal())
        return false;
    m_uploads.clear();
    m_stagedBytes = 0;
    if (!QDir(m_root.root() + QLatin1Char('/') + QLatin1String(kStagingFolder)).removeRecursively()
        || !QDir(setAsideFolder()).removeRecursively())
        return false;
    const std::optional<AppliedSet> last = lastApply(m_root.applyLogPath());
    if (!last)
        return false;
    m_current = *last;
    return true;
}

void StagingArea::discard(const QByteArray &token)
{
    const auto found = m_uploads.find(token);
    if (found != m_uploads.end()) {
        for (const auto &[file, staged] : *found)
            m_stagedBytes -= staged.size;
        m_uploads.erase(found);
    }
    QDir(sessionFolder(token)).removeRecursively();
}

} // namespace quillon::dvrd
