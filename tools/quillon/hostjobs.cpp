#include "tools/quillon/hostjobs.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace quillon::tool {

namespace {

// Logs in, fetches the server's files and, unless a dry run, keeps them as a backup, then
// uploads the plan's files based on them and applies.
HostReport backUpAndPush(const HostAddress &address, const JobPlan &plan)
{
    HostReport report;
    report.address = address;
    RemoteSession session(address, plan.user, plan.password);
    report.result = session.login();
    if (report.result.outcome != Outcome::Done)
        return report;
    settings::SettingsFileSet current;
    report.result = session.fetch(&current);
    if (report.result.outcome != Outcome::Done)
        return report;
    if (plan.dryRun) {
        report.differences = diffSettings(current, plan.files);
        return report;
    }
    // Nothing is uploaded unless the server's files are safely kept first.
    QString error;
    report.backup = settings::writeBackup(address.host, address.port, current, &error);
    if (report.backup.isEmpty()) {
        report.result = {Outcome::Failed, QStringLiteral("backup not written: %1").arg(error)};
        return report;
    }
    report.result = session.uploadAndApply(plan.files);
    return report;
}

// When another apply slipped in between the backup and the apply, the host is tried once more
// from a fresh backup, so the backup always holds what the push replaced.
HostReport runOne(const HostAddress &address, const JobPlan &plan)
{
    const HostReport first = backUpAndPush(address, plan);
    return first.result.outcome == Outcome::Stale ? backUpAndPush(address, plan) : first;
}

} // namespace

QList<HostReport> runOnHosts(const QList<HostAddress> &hosts, const JobPlan &plan, int parallel,
    const std::function<void(int done)> &progress)
{
    std::vector<HostReport> reports(size_t(hosts.size()));
    std::atomic<qsizetype> next = 0;
    std::mutex progressMutex;
    int done = 0;
    auto worker = [&] {
        for (qsizetype at = next++; at < hosts.size(); at = next++) {
            reports[size_t(at)] = runOne(hosts[at], plan);
            const std::lock_guard lock(progressMutex);
            ++done;
            if (progress)
                progress(done);
        }
    };
    const int threads
        = int(std::clamp<qsizetype>(parallel, 1, std::max<qsizetype>(hosts.size(), 1)));
    std::vector<std::thread> pool;
    pool.reserve(size_t(threads));
    for (int i = 0; i < threads; ++i)
        pool.emplace_back(worker);
    for (std::thread &thread : pool)
        thread.join();
    return QList<HostReport>(reports.begin(), reports.end());
}

} // namespace quillon::tool
