#pragma once

#include "formats/checks.h"
#include "tools/quillon/remote.h"
#include "tools/quillon/settingaddress.h"
#include "tools/quillon/settingsdiff.h"

#include <QList>

#include <functional>

namespace quillon::tool {

// What to do on each server.
struct JobPlan
{
    QByteArray user;
    QByteArray password;
    SettingChanges changes; // what each server's files take
    bool dryRun = false; // only fetch and compare
    bool force = false; // upload and apply even when the files would not change
    // Refuse a result that fails a check the server's own files pass.
    bool checkResult = false;
};

struct HostReport
{
    HostAddress address;
    StepResult result;
    QString backup; // the backup of the server's files taken before the upload
    QList<Difference> differences; // from the server's files to what they become (or drift)
    QList<formats::Problem> problems; // the checks the result fails that the server's files pass
};

// For each host: log in, fetch its files and make what they become. When that changes no
// uploaded file the host is Unchanged and nothing more happens (unless `force`); a dry run
// stops after comparing; otherwise the server's files are kept as a backup, the changed files
// (every file of the result with `force`) are uploaded and applied in the same session.
// Runs up to `parallel` hosts at once, each on its own thread; a failing host never stops the
// others. `progress` is called (from any thread, one call at a time) after each host with the
// number done so far. Reports come back in the order of the hosts.
QList<HostReport> runOnHosts(const QList<HostAddress> &hosts, const JobPlan &plan, int parallel,
    const std::function<void(int done)> &progress = {});

// The same pool for any per-host job.
using HostJob = std::function<HostReport(const HostAddress &address)>;
QList<HostReport> forEachHost(const QList<HostAddress> &hosts, const HostJob &job, int parallel,
    const std::function<void(int done)> &progress = {});

// Runs a step of a session, and once more after a new login when its transfers were refused for
// want of a session: the host link keeps a bounded number of sessions and pushes out the oldest
// login first, so over hundreds of hosts a slow host's session can be gone before its step
// ends. A refused step uploaded nothing that counts (the server applies only on the apply
// command), so it can start again.
StepResult withLiveSession(RemoteSession &session, const std::function<StepResult()> &step);

// The errors of `wanted` that `current` does not have (notes never count): a server (or folder)
// that already fails a check elsewhere can still take a change that adds no problem.
QList<formats::Problem> newProblems(
    const settings::SettingsFileSet &current, const settings::SettingsFileSet &wanted);

// Logs in to a host and fetches its files; the report's result says how that went.
HostReport fetchHost(const HostAddress &address, const QByteArray &user, const QByteArray &password,
    settings::SettingsFileSet *files);

} // namespace quillon::tool
