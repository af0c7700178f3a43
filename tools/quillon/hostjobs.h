#pragma once

#include "tools/quillon/remote.h"
#include "tools/quillon/settingsdiff.h"

#include <QList>

#include <functional>

namespace quillon::tool {

// What to do on each server.
struct JobPlan
{
    QByteArray user;
    QByteArray password;
    settings::SettingsFileSet files; // to upload
    bool dryRun = false; // only fetch and compare
};

struct HostReport
{
    HostAddress address;
    StepResult result;
    QString backup; // the backup of the server's files taken before the upload
    QList<Difference> differences; // a dry run's: from the server's files to the plan's
};

// For each host: log in, fetch its files, then either compare them with the plan's (a dry
// run) or keep them as a backup, upload the plan's files and apply them. Runs up to
// `parallel` hosts at once, each on its own thread; a failing host never stops the others.
// `progress` is called (from any thread, one call at a time) after each host with the number
// done so far. Reports come back in the order of the hosts.
QList<HostReport> runOnHosts(const QList<HostAddress> &hosts, const JobPlan &plan, int parallel,
    const std::function<void(int done)> &progress = {});

} // namespace quillon::tool
