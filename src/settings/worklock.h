#pragma once

#include <QString>

namespace quillon::settings {

// The work folder for one visit at a time. Every visit of this user shares the one work folder,
// so a second visit running at once would replace the first one's copies with another server's,
// and the first one's OK would upload them to the wrong server. The lock is held for the whole
// visit; the operating system releases it when the process ends, so a crash leaves none behind.
class WorkFolderLock
{
public:
    enum class State {
        Held,
        Busy, // another visit holds it
        Unavailable, // no lock file can be made in the folder
    };

    // Tries once, without waiting: a visit never waits for another one to end.
    explicit WorkFolderLock(const QString &workFolder);
    ~WorkFolderLock();
    WorkFolderLock(const WorkFolderLock &) = delete;
    WorkFolderLock &operator=(const WorkFolderLock &) = delete;

    State state() const { return m_state; }
    // Records the server this visit configures, for the message of a visit refused meanwhile.
    void setServer(const QString &server) const;
    // The server the holding visit recorded; empty when it has not recorded one yet.
    QString server() const;

private:
    QString m_folder;
    int m_fd = -1;
    State m_state = State::Unavailable;
};

} // namespace quillon::settings
