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
// A header, then each file's line and content: at most the eight files at their largest.
constexpr qint64 kMaxJournalBytes = 8 * (wire::kMaxFileBytes + 4096) + 4096;
// Staged and set-aside files hold every user's password: only the server may read them.
constexpr mode_t kPrivateFolderMode = 0700;
constexpr mode_t kPrivateFileMode = 0600;

QByteArray nativePath(const QString &path)
{
    return QFile::encodeName(path);
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

// The file's content when it is exactly size bytes with that SHA-256.
std::optional<QByteArray> contentIfHolds(const QString &path, qint64 size, const QByteArray &digest)
{
    QFile file(path);
    if (size > wire::kMaxFileBytes || !file.open(QIODevice::ReadOnly) || file.size() != size)
        return std::nullopt;
    QByteArray content = file.read(size + 1);
    if (content.size() != size || wire::sha256(content) != digest)
        return std::nullopt;
    return content;
}

bool holds(const QString &path, qint64 size, const QByteArray &digest)
{
    return contentIfHolds(path, size, digest).has_value();
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
    mode_t mode = kPrivateFileMode;
    QByteArray content;
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

// "apply<TAB>generation<TAB>time<TAB>user in hex", then per file a line "STAGED<TAB>TARGET<TAB>
// SET-ASIDE<TAB>SIZE<TAB>SHA-256 in hex<TAB>mode in octal" (paths relative to the root) followed
// by the file's content and a newline. The journal holds the new set itself, so that once it is
// on disk the apply can always be finished, whatever became of the staged files.
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
            + '\t' + QByteArray::number(move.size) + '\t' + move.digest.toHex() + '\t'
            + QByteArray::number(uint(move.mode), 8) + '\n' + move.content + '\n';
    }
    return bytes;
}

std::optional<Journal> parseJournal(const QByteArray &bytes, const QString &root)
{
    qsizetype at = bytes.indexOf('\n');
    const QList<QByteArray> header = bytes.left(at).split('\t');
    Journal journal;
    bool ok = at > 0 && header.size() == 4 && header[0] == kJournalHeader;
    journal.applied.generation = ok ? header[1].toLongLong(&ok) : 0;
    if (!ok || journal.applied.generation <= 0)
        return std::nullopt;
    journal.applied.time = QDateTime::fromString(QString::fromLatin1(header[2]), Qt::ISODateWithMs);
    journal.applied.user = QByteArray::fromHex(header[3]);
    const auto absolute = [&](const QByteArray &relative) {
        return root + QLatin1Char('/') + QString::fromUtf8(relative);
    };
    for (++at; at < bytes.size();) {
        const qsizetype end = bytes.indexOf('\n', at);
        const QList<QByteArray> fields
            = bytes.sliced(at, std::max<qsizetype>(end - at, 0)).split('\t');
        if (end < 0 || fields.size() != 6 || !insideRoot(QString::fromUtf8(fields[0]))
            || !insideRoot(QString::fromUtf8(fields[1]))
            || (!fields[2].isEmpty() && !insideRoot(QString::fromUtf8(fields[2]))))
            return std::nullopt;
        bool sizeOk = false;
        bool modeOk = false;
        Move move {absolute(fields[0]), absolute(fields[1]),
            fields[2].isEmpty() ? QString() : absolute(fields[2]), fields[3].toLongLong(&sizeOk),
            QByteArray::fromHex(fields[4]), mode_t(fields[5].toUInt(&modeOk, 8) & 07777), {}};
        if (!sizeOk || !modeOk || move.size < 0 || move.size > wire::kMaxFileBytes
            || end + 1 + move.size >= bytes.size() || bytes[end + 1 + move.size] != '\n')
            return std::nullopt;
        move.content = bytes.sliced(end + 1, move.size);
        if (wire::sha256(move.content) != move.digest)
            return std::nullopt;
        journal.moves.push_back(move);
        at = end + 1 + move.size + 1;
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

// Writes the file from the journal when it does not hold it yet: how a start-up finishes an
// apply. With keepOld the served file is first kept under its set-aside name, for a roll-back.
bool redo(const Move &move, bool keepOld)
{
    if (holds(move.target, move.size, move.digest))
        return true;
    if (keepOld && !move.setAside.isEmpty() && !exists(move.setAside) && exists(move.target)
        && ::link(nativePath(move.target).constData(), nativePath(move.setAside).constData()) != 0)
        return false;
    return !platform::writeFileAtomically(
        move.target, move.content, platform::Durability::Synced, move.mode);
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
        synced = platform::syncFolder(folder) && synced;
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
    // Every write is checked; flushing to disk waits for the apply, whose journal carries the
    // content, since no staged upload outlives a crash anyway.
    if (const std::optional<QString> error = platform::writeFileAtomically(
            path, content, platform::Durability::Written, kPrivateFileMode)) {
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
    if (m_pendingJournal && !settleJournal(true))
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
            staged.digest, kPrivateFileMode, {}};
        if (!QDir().mkpath(QFileInfo(move.target).absolutePath()))
            return {StatusCode::StorageFailed, {}};
        // A served file never becomes more readable than it was; a new one is private.
        struct stat served = {};
        if (::stat(nativePath(move.target).constData(), &served) == 0) {
            move.setAside = setAsideFolder() + QLatin1Char('/') + name;
            move.mode = served.st_mode & 07777;
        }
        std::optional<QByteArray> content = contentIfHolds(move.staged, move.size, move.digest);
        if (!content || ::chmod(nativePath(move.staged).constData(), move.mode) != 0) {
            logLine(QStringLiteral("cannot apply %1: the staged file is gone or changed")
                        .arg(move.staged));
            return {StatusCode::StorageFailed, {}};
        }
        move.content = std::move(*content);
        journal.moves.push_back(std::move(move));
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
    // The moved files and the log line reach the disk later: until then the journal, on disk
    // since before the first move and kept until they are flushed, holds the apply.
    if (moved
        && !appendApply(m_root.applyLogPath(), journal.applied, platform::Durability::Written)) {
        logLine(QStringLiteral("cannot write %1").arg(m_root.applyLogPath()));
        moved = false;
    }
    if (!moved) {
        if (rollBack(journal.moves) && syncTargetFolders(journal.moves)
            && QFile::remove(journalPath()) && platform::syncFolder(m_root.root())) {
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
    QDir(setAsideFolder()).removeRecursively();
    discard(token);
    return {StatusCode::Ok, m_current};
}

bool StagingArea::retireJournal()
{
    return m_pendingJournal || !exists(journalPath()) || settleJournal(false);
}

bool StagingArea::settleJournal(bool rollBackFirst)
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
    const std::vector<Move> &moves = journal->moves;
    const auto onDisk = [&](bool keepOld) {
        return (!keepOld || makePrivateFolder(setAsideFolder()))
            && std::all_of(moves.begin(), moves.end(),
                [keepOld](const Move &move) { return redo(move, keepOld); })
            && std::all_of(moves.begin(), moves.end(),
                [](const Move &move) { return platform::syncFile(move.target); })
            && syncTargetFolders(moves);
    };
    if (logged->generation >= journal->applied.generation) {
        // A recorded apply: its files and its log line must be on disk before it goes.
        if (!onDisk(false) || !platform::syncFile(m_root.applyLogPath()))
            return false;
    } else {
        bool settled = rollBackFirst && rollBack(moves) && syncTargetFolders(moves);
        if (!settled && onDisk(true) && appendApply(m_root.applyLogPath(), journal->applied)) {
            settled = true;
            m_current = journal->applied;
            logLine(QStringLiteral("finished the interrupted apply generation=%1")
                        .arg(journal->applied.generation));
        }
        if (!settled && !(rollBack(moves) && syncTargetFolders(moves)))
            return false;
        if (m_current.generation < journal->applied.generation)
            logLine(QStringLiteral("rolled back the interrupted apply generation=%1")
                        .arg(journal->applied.generation));
    }
    if (!QFile::remove(journalPath()) || !platform::syncFolder(m_root.root()))
        return false;
    QDir(setAsideFolder()).removeRecursively();
    m_pendingJournal = false;
    return true;
}

bool StagingArea::recover()
{
    if (exists(journalPath()) && !settleJournal(false))
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
