#include "tools/quillon/hostjobs.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace quillon::tool {

namespace {

// The uploaded files of `wanted` that differ from the server's (all of them with `all`).
settings::SettingsFileSet filesToUpload(
    const settings::SettingsFileSet &current, const settings::SettingsFileSet &wanted, bool all)
{
    settings::SettingsFileSet upload;
    for (const settings::SettingsFile file : settings::uploadOrder()) {
        const auto found = wanted.find(file);
        if (found == wanted.end())
            continue;
        if (all || !current.contains(file) || current.value(file) != *found)
            upload.insert(file, *found);
    }
    return upload;
}

bool sameProblem(const formats::Problem &a, const formats::Problem &b)
{
    return a.file == b.file && a.section == b.section && a.key == b.key
        && qstrcmp(a.message.english, b.message.english) == 0 && a.detail == b.detail;
}

// Logs in, fetches the server's files and, unless a dry run or nothing changed, keeps them as a
// backup, then uploads the changed files based on them and applies.
HostReport backUpAndPush(const HostAddress &address, const JobPlan &plan)
{
    RemoteSession session(address, plan.user, plan.password);
    HostReport report;
    report.address = address;
    report.result = session.login();
    if (report.result.outcome != Outcome::Done)
        return report;
    settings::SettingsFileSet current;
    report.result = withLiveSession(session, [&] { return session.fetch(&current); });
    if (report.result.outcome != Outcome::Done)
        return report;
    settings::SettingsFileSet wanted = current;
    if (const std::optional<QString> refused = applyChanges(plan.changes, &wanted)) {
        report.result = {Outcome::Failed, *refused};
        return report;
    }
    report.differences = diffSettings(current, wanted);
    const settings::SettingsFileSet upload = filesToUpload(current, wanted, plan.force);
    if (upload.isEmpty()) {
        report.result = {Outcome::Unchanged, {}};
        return report;
    }
    if (plan.checkResult) {
        report.problems = newProblems(current, wanted);
        if (!report.problems.isEmpty()) {
            report.result = {Outcome::Invalid,
                QStringLiteral("the result fails %1 of the window's checks: nothing sent")
                    .arg(report.problems.size())};
            return report;
        }
    }
    if (plan.dryRun)
        return report;
    // Nothing is uploaded unless the server's files are safely kept first.
    QString error;
    report.backup = settings::writeBackup(address.host, address.port, current, &error);
    if (report.backup.isEmpty()) {
        report.result = {Outcome::Failed, QStringLiteral("backup not written: %1").arg(error)};
        return report;
    }
    report.result = withLiveSession(session, [&] { return session.uploadAndApply(upload); });
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

StepResult withLiveSession(RemoteSession &session, const std::function<StepResult()> &step)
{
    StepResult result = step();
    if (result.outcome != Outcome::Failed || !result.sessionRefused)
        return result;
    if (const StepResult login = session.login(); login.outcome != Outcome::Done)
        return login;
    return step();
}

QList<formats::Problem> newProblems(
    const settings::SettingsFileSet &current, const settings::SettingsFileSet &wanted)
{
    const QList<formats::Problem> before = formats::validateSettings(current);
    QList<formats::Problem> added;
    for (const formats::Problem &problem : formats::validateSettings(wanted)) {
        // A note is a value the window keeps as it is: it never stops a change.
        if (problem.severity == formats::Problem::Severity::Note)
            continue;
        const bool known = std::any_of(before.begin(), before.end(),
            [&](const formats::Problem &old) { return sameProblem(old, problem); });
        if (!known)
            added.append(problem);
    }
    return added;
}

HostReport fetchHost(const HostAddress &address, const QByteArray &user, const QByteArray &password,
    settings::SettingsFileSet *files)
{
    RemoteSession session(address, user, password);
    HostReport report;
    report.address = address;
    report.result = session.login();
    if (report.result.outcome == Outcome::Done)
        report.result = withLiveSession(session, [&] { return session.fetch(files); });
    return report;
}

QList<HostReport> forEachHost(const QList<HostAddress> &hosts, const HostJob &job, int parallel,
    const std::function<void(int done)> &progress)
{
    std::vector<HostReport> reports(size_t(hosts.size()));
    std::atomic<qsizetype> next = 0;
    std::mutex progressMutex;
    int done = 0;
    auto worker = [&] {
        for (qsizetype at = next++; at < hosts.size(); at = next++) {
            reports[size_t(at)] = job(hosts[at]);
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

QList<HostReport> runOnHosts(const QList<HostAddress> &hosts, const JobPlan &plan, int parallel,
    const std::function<void(int done)> &progress)
{
    return forEachHost(
        hosts, [&](const HostAddress &address) { return runOne(address, plan); }, parallel,
        progress);
}

} // namespace quillon::tool
