#pragma once

#include "settingsroot.h"

#include <QByteArray>
#include <QString>

namespace quillon::dvrd {

// Uploads wait here, apart for each session, until that session's apply command makes them the
// served files all together. A commit first writes a journal naming every move it will make;
// once the journal is on disk the commit is finished even after a crash (at the next start), and
// before that nothing served has changed, so a reader only ever sees the old set or the new one.
class StagingArea
{
public:
    explicit StagingArea(const SettingsRoot &root);

    // At start-up: finishes a commit that a crash interrupted, then drops every upload left
    // waiting (no session outlives the server). False when a commit could not be finished.
    bool recover() const;

    // Keeps the content as the session's upload of the file; a later upload of the same file by
    // the same session replaces it.
    wire::StatusCode stage(
        const QByteArray &token, settings::SettingsFile file, const QByteArray &content) const;
    // Serves every upload of the session at once; Ok also when it uploaded nothing.
    wire::StatusCode commit(const QByteArray &token) const;
    // Forgets the session's uploads (it ended without applying them).
    void discard(const QByteArray &token) const;

    QString journalPath() const;

private:
    QString sessionFolder(const QByteArray &token) const;
    bool finishJournal() const;

    const SettingsRoot &m_root;
};

} // namespace quillon::dvrd
