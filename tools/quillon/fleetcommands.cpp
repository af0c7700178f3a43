// get, set and drift: single settings by address on a folder or a fleet, and a fleet's drift
// from a baseline.

#include "schema/schema.h"
#include "settings/gbk.h"
#include "settings/profiledocument.h"
#include "tools/quillon/commandline.h"
#include "tools/quillon/commands.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QMap>

namespace quillon::tool {

namespace {

constexpr char kHidden[] = "********";

// The leading operands written ADDRESS=VALUE are the changes; the rest name where they go.
qsizetype countChanges(const QStringList &operands)
{
    qsizetype count = 0;
    while (count < operands.size() && operands[count].contains(QLatin1Char('['))
        && operands[count].indexOf(QLatin1Char('='), operands[count].indexOf(QLatin1Char(']'))) > 0)
        ++count;
    return count;
}

// Each file's document, parsed on first use and reused for every later key of that file.
class DocumentCache
{
public:
    explicit DocumentCache(const settings::SettingsFileSet &files) : m_files(files) { }

    std::optional<QByteArray> value(const SettingAddress &address)
    {
        if (!m_files.contains(address.file))
            return std::nullopt;
        auto found = m_documents.find(address.file);
        if (found == m_documents.end())
            found = m_documents.insert(
                address.file, settings::ProfileDocument(m_files.value(address.file)));
        return found->value(address.section, address.key);
    }

private:
    const settings::SettingsFileSet &m_files;
    QMap<settings::SettingsFile, settings::ProfileDocument> m_documents;
};

QString shownValue(const schema::Setting *setting, const QByteArray &value)
{
    if (setting && setting->kind == schema::Kind::Password)
        return QLatin1String(kHidden);
    return settings::fromGbk(value);
}

int setInFolder(const QString &folder, const QList<SettingEdit> &edits, const Options &options)
{
    settings::SettingsFileSet files;
    if (const std::optional<QString> error = readFolder(folder, &files))
        return inputError(*error);
    settings::SettingsFileSet wanted = files;
    if (const std::optional<QString> refused = applyChanges({{}, edits}, &wanted))
        return inputError(*refused);
    const QList<formats::Problem> problems = newProblems(files, wanted);
    if (!problems.isEmpty()) {
        if (options.json) {
            QJsonArray list;
            for (const formats::Problem &problem : problems)
                list.append(problemJson(problem));
            printJson({{QStringLiteral("folder"), folder},
                {QStringLiteral("outcome"), outcomeName(Outcome::Invalid)},
                {QStringLiteral("problems"), list}});
        } else {
            for (const formats::Problem &problem : problems)
                out() << problemText(problem, options.chinese) << "\n";
            out().flush();
        }
        printError(
            QStringLiteral("the change fails the window's checks: %1 not changed").arg(folder));
        return kExitInvalid;
    }
    settings::SettingsFileSet changed;
    for (auto it = wanted.cbegin(); it != wanted.cend(); ++it) {
        if (!files.contains(it.key()) || files.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    }
    const QList<Difference> differences = diffSettings(files, wanted);
    QString error;
    if (!changed.isEmpty() && !options.dryRun
        && !settings::writeSettingsFolder(folder, changed, &error))
        return inputError(error);
    const QString outcome
        = changed.isEmpty() ? QStringLiteral("unchanged") : QStringLiteral("done");
    if (options.json) {
        QJsonArray list;
        for (const Difference &difference : differences)
            list.append(differenceJson(difference));
        printJson({{QStringLiteral("folder"), folder}, {QStringLiteral("outcome"), outcome},
            {QStringLiteral("differences"), list}});
    } else {
        printDifferences(differences, options);
        out() << folder << ": " << outcome << "\n";
        out().flush();
    }
    return kExitDone;
}

} // namespace

int getCommand(const Options &options)
{
    if (options.operands.size() < 2)
        return usageError(QStringLiteral("get takes a folder or a host, then addresses"));
    QList<SettingAddress> addresses;
    for (const QString &text : options.operands.mid(1)) {
        QString error;
        const std::optional<SettingAddress> address
            = parseSettingAddress(text, AddressUse::OneKey, &error);
        if (!address)
            return inputError(error);
        addresses.append(*address);
    }
    settings::SettingsFileSet files;
    if (const int code = readSide(options.operands[0], options, &files); code != kExitDone)
        return code;

    DocumentCache documents(files);
    bool allStored = true;
    QJsonArray list;
    for (const SettingAddress &address : addresses) {
        const std::optional<QByteArray> value = documents.value(address);
        const std::optional<schema::SettingMatch> match
            = schema::findSetting(address.file, address.section, address.key);
        const schema::Setting *setting = match ? match->setting : nullptr;
        QJsonObject object {{QStringLiteral("address"), address.text()},
            {QStringLiteral("present"), value.has_value()}};
        if (value) {
            object.insert(QStringLiteral("value"), shownValue(setting, *value));
            if (!options.json)
                out() << address.text() << "=" << shownValue(setting, *value) << "\n";
        } else {
            allStored = false;
            const QString fallback = setting
                ? QStringLiteral(" (the window shows the default %1)")
                      .arg(settings::fromGbk(setting->fallbackFor(match->index)))
                : QString();
            if (setting)
                object.insert(QStringLiteral("default"),
                    settings::fromGbk(setting->fallbackFor(match->index)));
            if (!options.json)
                printError(QStringLiteral("%1 is not stored%2").arg(address.text(), fallback));
        }
        list.append(object);
    }
    if (options.json)
        printJson(
            {{QStringLiteral("source"), options.operands[0]}, {QStringLiteral("settings"), list}});
    out().flush();
    return allStored ? kExitDone : kExitDifferent;
}

int setCommand(const Options &options)
{
    if (!options.only.isEmpty() || !options.except.isEmpty())
        return usageError(
            QStringLiteral("set changes the keys it names: scopes go with push and drift"));
    const qsizetype changeCount = countChanges(options.operands);
    if (changeCount == 0)
        return usageError(
            QStringLiteral("set takes ADDRESS=VALUE changes, then a folder or hosts"));
    QList<SettingEdit> edits;
    for (const QString &text : options.operands.first(changeCount)) {
        QString error;
        const std::optional<SettingEdit> edit = parseSettingEdit(text, &error);
        if (!edit)
            return inputError(error);
        edits.append(*edit);
    }
    const QStringList targets = options.operands.mid(changeCount);
    if (targets.size() == 1 && options.hostsFile.isEmpty() && QFileInfo(targets[0]).isDir())
        return setInFolder(targets[0], edits, options);
    QString error;
    const std::optional<QList<HostAddress>> hosts = hostList(targets, options.hostsFile, &error);
    if (!hosts)
        return inputError(error);
    JobPlan plan;
    plan.changes.edits = edits;
    plan.dryRun = options.dryRun;
    plan.force = options.force;
    plan.checkResult = true;
    return runJobs(*hosts, plan, options);
}

int driftCommand(const Options &options)
{
    FolderForHosts input;
    if (const int failed = readFolderForHosts(
            options, QStringLiteral("drift takes a baseline folder and hosts"), &input))
        return failed;
    const settings::SettingsFileSet &baseline = input.files;
    const ScopeFilter &scope = input.scope;
    const QList<HostAddress> &hosts = input.hosts;
    QString error;
    const std::optional<QByteArray> secret = password(&error);
    if (!secret)
        return inputError(error);

    const auto job = [&](const HostAddress &address) {
        settings::SettingsFileSet current;
        HostReport report = fetchHost(address, options.user, *secret, &current);
        if (report.result.outcome != Outcome::Done)
            return report;
        for (const Difference &difference : diffSettings(baseline, current)) {
            if (scope.covers(difference))
                report.differences.append(difference);
        }
        return report;
    };
    const QList<HostReport> reports
        = forEachHost(hosts, job, options.parallel, progressBar(options, int(hosts.size())));

    Outcome worst = Outcome::Done;
    bool drifted = false;
    for (const HostReport &report : reports) {
        worst = std::max(worst, report.result.outcome);
        drifted = drifted || !report.differences.isEmpty();
    }
    auto outcomeOf = [](const HostReport &report) {
        if (report.result.outcome != Outcome::Done)
            return outcomeName(report.result.outcome);
        return report.differences.isEmpty() ? QStringLiteral("matches") : QStringLiteral("drifted");
    };
    if (options.json) {
        QJsonArray list;
        for (const HostReport &report : reports) {
            QJsonObject object {{QStringLiteral("host"), report.address.text()},
                {QStringLiteral("outcome"), outcomeOf(report)},
                {QStringLiteral("message"), report.result.message}};
            QJsonArray differences;
            for (const Difference &difference : report.differences)
                differences.append(differenceJson(difference));
            object.insert(QStringLiteral("differences"), differences);
            list.append(object);
        }
        printJson(
            {{QStringLiteral("baseline"), options.operands[0]}, {QStringLiteral("hosts"), list}});
    } else {
        const int width = printHostTableHeader(reports);
        for (const HostReport &report : reports) {
            const QString detail = report.result.outcome == Outcome::Done
                ? QStringLiteral("%1 settings differ").arg(report.differences.size())
                : report.result.message;
            printHostRow(report, width, outcomeOf(report), detail);
            printDifferences(report.differences, options, QStringLiteral("  "));
        }
        out().flush();
    }
    if (worst != Outcome::Done)
        return exitCodeOf(worst);
    return drifted ? kExitDifferent : kExitDone;
}

} // namespace quillon::tool
