#pragma once

#include "applylog.h"
#include "settingsroot.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <map>

namespace quillon::dvrd {

// Uploads wait here, apart for each session, until that session's apply command makes them the
// served files all together. A commit first writes a journal holding the new files and the
// generation they make current, flushed to disk, then sets each served file aside (a second link
// to it) before the staged file is renamed over it, and counts once the apply log records it
// (the journal on disk stands for the log line until both are flushed).
// Any failed step puts every set-aside file back; a crash is finished from the journal at the
// next start (or rolled back when it cannot be). The journal stays until the moved files are
// flushed to disk too. A reader therefore only ever sees one whole set, the old or the new one.
class StagingArea
{
public:
    // Staged bytes of all sessions together: two sessions' worth of the largest files, far above
    // what real settings need, so a crowd of sessions cannot fill the disk.
    static constexpr qint64 kMaxStagedBytes = 64LL * 1024 * 1024;

    struct CommitResult
    {
        wire::StatusCode status = wire::StatusCode::Ok;
        AppliedSet applied; // the new current apply when Ok
    };

    explicit StagingArea(const SettingsRoot &root);

    // At start-up: finishes a commit that a crash interrupted, or rolls it back when it cannot
    // be finished, then drops every upload left waiting (no session outlives the server) and
    // reads the current generation from the apply log. False when the root is left unsure.
    bool recover();

    // Keeps the content as the session's upload of the file, written and flushed to disk, then
    // read back and checked against the size and digest the client sent; a later upload of the
    // same file by the same session replaces it.
    wire::StatusCode stage(const QByteArray &token, settings::SettingsFile file,
        const QByteArray &content, const QByteArray &digest);
    // Serves every upload of the session at once and records the apply for user; Ok also when
    // it uploaded nothing (nothing is recorded then).
    CommitResult commit(const QByteArray &token, const QByteArray &user);
    // Forgets the session's uploads (it ended without applying them).
    void discard(const QByteArray &token);
    // Flushes the files of the last apply to disk and removes its journal; a little after each
    // apply and at a clean stop. False when that did not work (the journal stays).
    bool retireJournal();

    // The apply that made the served set current (generation 0 before any).
    const AppliedSet &current() const { return m_current; }
    // False while an interrupted commit could be neither finished nor rolled back: the served
    // files may then be a mix, so they are not served and nothing is applied on top.
    bool servesWholeSet() const { return !m_pendingJournal; }
    qint64 stagedBytes() const { return m_stagedBytes; }

    QString journalPath() const;

private:
    struct StagedFile
    {
        qint64 size = 0;
        QByteArray digest;
    };
    using SessionUploads = std::map<settings::SettingsFile, StagedFile>;

    QString sessionFolder(const QByteArray &token) const;
    QString setAsideFolder() const;
    // Finishes or rolls back the journal on disk (an unrecorded one rolled back first when
    // rollBackFirst); true when none is left.
    bool settleJournal(bool rollBackFirst);

    const SettingsRoot &m_root;
    QHash<QByteArray, SessionUploads> m_uploads;
    qint64 m_stagedBytes = 0;
    AppliedSet m_current;
    bool m_pendingJournal = false;
};

} // namespace quillon::dvrd
