#include "tools/quillon/commands.h"

#include "formats/checks.h"
#include "platform/passwordprompt.h"
#include "settings/gbk.h"
#include "tools/quillon/commandline.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <cstdio>
#include <unistd.h>

namespace quillon::tool {

namespace {

// The host link keeps 64 sessions and 32 command connections at once.
constexpr int kMaxParallel = 32;
constexpr qint64 kMaxHostsFileBytes = 1024 * 1024;

constexpr char kUsage[] = R"(usage:
  quillon pull [--user U] HOST[:PORT] DIR
  quillon diff [--user U] [--raw] [--lang zh|en] A B   (A, B: a folder or HOST[:PORT])
  quillon validate DIR
  quillon push [--user U] [--parallel N] [--dry-run] [--force] [--only S,...] [--except S,...]
               DIR (HOST[:PORT]... | --hosts FILE)
  quillon get [--user U] (DIR | HOST[:PORT]) ADDRESS...
  quillon set [--user U] [--parallel N] [--dry-run] [--force] ADDRESS=VALUE...
              (DIR | HOST[:PORT]... | --hosts FILE)
  quillon drift [--user U] [--raw] [--lang zh|en] [--only S,...] [--except S,...]
                BASELINE (HOST[:PORT]... | --hosts FILE)
  quillon edit DIR                                (the setup window on a folder)
  quillon backups HOST[:PORT]
  quillon restore [--user U] [--force] BACKUP HOST[:PORT]
                  (BACKUP: a folder or a name from backups; --force: one of another server)
  quillon help
ADDRESS: FILE[SECTION]KEY as diff --raw prints it, e.g. SysSet.Ext[Alarm Options]BackRecTime
scope S: a page (system, users, video, motion, sensors, camera, network, sms) or an address
         with '*', e.g. TVCard.Ext[*]CameraName (every camera title)
options: --user defaults to admin; --parallel 1 to 32 (default 8); --json on every command;
         --force uploads and applies to servers that already match;
         the password comes from QUILLON_PASSWORD or a prompt, never from an argument.
exit: 0 done, 1 differences (diff, drift) or a setting not stored (get), 2 usage,
      3 login refused or server identity changed, 4 validation failed,
      5 transfer failed (also a local file that cannot be written)
)";

// With --json a run prints one object, when it ends: what the command reported, its exit code
// and, after a failure, the messages also printed on stderr.
struct JsonReport
{
    bool enabled = false;
    QJsonObject object;
    QStringList errors;
};

JsonReport &jsonReport()
{
    static JsonReport report;
    return report;
}

} // namespace

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

void printError(const QString &message)
{
    std::fprintf(stderr, "quillon: %s\n", message.toLocal8Bit().constData());
    jsonReport().errors.append(message);
}

int usageError(const QString &message)
{
    printError(message);
    std::fputs(kUsage, stderr);
    return kExitUsage;
}

// Bad input that is not a matter of the command line's shape: the message alone.
int inputError(const QString &message)
{
    printError(message);
    return kExitUsage;
}

// Adds to the object printed when the run ends.
void printJson(const QJsonObject &object)
{
    QJsonObject &report = jsonReport().object;
    for (auto it = object.begin(); it != object.end(); ++it)
        report.insert(it.key(), it.value());
}

namespace {

int finishJson(int exitCode)
{
    JsonReport &report = jsonReport();
    report.object.insert(QStringLiteral("exit"), exitCode);
    if (!report.errors.isEmpty())
        report.object.insert(QStringLiteral("message"), report.errors.join(QStringLiteral("; ")));
    out() << QJsonDocument(report.object).toJson(QJsonDocument::Indented);
    out().flush();
    return exitCode;
}

// Parses the options; an error message for a bad one.
std::optional<QString> parseOptions(const QStringList &arguments, Options *options)
{
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        auto value = [&](QString *into) -> bool {
            if (i + 1 >= arguments.size())
                return false;
            *into = arguments[++i];
            return true;
        };
        QString text;
        if (argument == QLatin1String("--json")) {
            options->json = true;
        } else if (argument == QLatin1String("--raw")) {
            options->raw = true;
        } else if (argument == QLatin1String("--dry-run")) {
            options->dryRun = true;
        } else if (argument == QLatin1String("--force")) {
            options->force = true;
        } else if (argument == QLatin1String("--only") || argument == QLatin1String("--except")) {
            QString *into = argument == QLatin1String("--only") ? &options->only : &options->except;
            if (!value(&text) || text.isEmpty())
                return QStringLiteral("%1 needs a list of scopes").arg(argument);
            *into += (into->isEmpty() ? QString() : QStringLiteral(",")) + text;
        } else if (argument == QLatin1String("--user")) {
            if (!value(&text) || text.isEmpty())
                return QStringLiteral("--user needs a user name");
            options->user = text.toLocal8Bit();
        } else if (argument == QLatin1String("--password")) {
            return QStringLiteral("a password is never given as an argument: set QUILLON_PASSWORD "
                                  "or type it at the prompt");
        } else if (argument == QLatin1String("--lang")) {
            if (!value(&text) || (text != QLatin1String("zh") && text != QLatin1String("en")))
                return QStringLiteral("--lang takes zh or en");
            options->chinese = text == QLatin1String("zh");
        } else if (argument == QLatin1String("--parallel")) {
            bool ok = false;
            options->parallel = value(&text) ? text.toInt(&ok) : 0;
            if (!ok || options->parallel < 1 || options->parallel > kMaxParallel)
                return QStringLiteral("--parallel takes a number from 1 to %1").arg(kMaxParallel);
        } else if (argument == QLatin1String("--hosts")) {
            if (!value(&text))
                return QStringLiteral("--hosts needs a file");
            options->hostsFile = text;
        } else if (argument.startsWith(QLatin1String("--"))) {
            return QStringLiteral("unknown option %1").arg(argument);
        } else if (options->command.isEmpty()) {
            options->command = argument;
        } else {
            options->operands.append(argument);
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> readFolder(const QString &folder, settings::SettingsFileSet *files)
{
    if (!QFileInfo(folder).isDir())
        return QStringLiteral("%1 is not a folder").arg(folder);
    QString error;
    if (!settings::readSettingsFolder(folder, files, &error))
        return QStringLiteral("%1: %2").arg(folder, error);
    return std::nullopt;
}

std::optional<QByteArray> password(QString *error)
{
    static std::optional<QByteArray> known;
    if (!known)
        known = platform::readPassword("QUILLON_PASSWORD", error);
    return known;
}

int exitCodeOf(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Done:
    case Outcome::Unchanged:
        return kExitDone;
    case Outcome::Invalid:
        return kExitInvalid;
    case Outcome::LoginRefused:
    case Outcome::IdentityChanged:
        return kExitLoginRefused;
    case Outcome::Stale:
    case Outcome::Failed:
        return kExitFailed;
    }
    return kExitFailed;
}

QString outcomeName(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Done:
        return QStringLiteral("done");
    case Outcome::Unchanged:
        return QStringLiteral("unchanged");
    case Outcome::Invalid:
        return QStringLiteral("invalid");
    case Outcome::LoginRefused:
        return QStringLiteral("login refused");
    case Outcome::IdentityChanged:
        return QStringLiteral("identity changed");
    case Outcome::Stale:
        return QStringLiteral("changed meanwhile");
    case Outcome::Failed:
        return QStringLiteral("failed");
    }
    return {};
}

int fetchFrom(const HostAddress &address, const Options &options, settings::SettingsFileSet *files)
{
    QString error;
    const std::optional<QByteArray> secret = password(&error);
    if (!secret)
        return inputError(error);
    RemoteSession session(address, options.user, *secret);
    StepResult result = session.login();
    if (result.outcome == Outcome::Done)
        result = session.fetch(files);
    if (result.outcome != Outcome::Done)
        printError(QStringLiteral("%1: %2").arg(address.text(), result.message));
    return exitCodeOf(result.outcome);
}

QJsonObject differenceJson(const Difference &difference)
{
    QJsonObject object {
        {QStringLiteral("file"), QLatin1String(settings::fileInfo(difference.file).name)},
        {QStringLiteral("where_en"), describePlace(difference, false, false)},
        {QStringLiteral("where_zh"), describePlace(difference, true, false)},
        {QStringLiteral("old"), describeValue(difference, true, false, true)},
        {QStringLiteral("new"), describeValue(difference, false, false, true)},
    };
    if (difference.file != settings::SettingsFile::User) {
        object.insert(QStringLiteral("section"), settings::fromGbk(difference.section));
        object.insert(QStringLiteral("key"), settings::fromGbk(difference.key));
        object.insert(QStringLiteral("address"),
            SettingAddress {difference.file, difference.section, difference.key}.text());
    }
    if (difference.index >= 0)
        object.insert(QStringLiteral("index"), difference.index);
    return object;
}

void printDifferences(
    const QList<Difference> &differences, const Options &options, const QString &indent)
{
    for (const Difference &difference : differences) {
        out() << indent << describePlace(difference, options.chinese, options.raw) << ": "
              << describeValue(difference, true, options.chinese, options.raw) << " -> "
              << describeValue(difference, false, options.chinese, options.raw) << "\n";
    }
    out().flush();
}

QString problemText(const formats::Problem &problem, bool chinese)
{
    QStringList parts {schema::pageCaption(problem.page).in(chinese)};
    if (problem.scope == schema::Scope::Channel)
        parts << (chinese ? QStringLiteral("通道%1") : QStringLiteral("Channel %1"))
                     .arg(problem.index + 1);
    else if (problem.scope == schema::Scope::Sensor)
        parts << (chinese ? QStringLiteral("探头%1") : QStringLiteral("Sensor %1"))
                     .arg(problem.index + 1);
    parts << problem.setting.in(chinese);
    QString text
        = parts.join(QStringLiteral(" / ")) + QStringLiteral(": ") + problem.message.in(chinese);
    if (problem.severity == formats::Problem::Severity::Note)
        text.prepend(chinese ? QStringLiteral("提示：") : QStringLiteral("note: "));
    if (!problem.detail.isEmpty())
        text += QLatin1Char(' ') + QString::fromLatin1(problem.detail);
    return text;
}

QJsonObject problemJson(const formats::Problem &problem)
{
    const bool note = problem.severity == formats::Problem::Severity::Note;
    return {
        {QStringLiteral("severity"), note ? QStringLiteral("note") : QStringLiteral("error")},
        {QStringLiteral("file"), QLatin1String(settings::fileInfo(problem.file).name)},
        {QStringLiteral("section"), settings::fromGbk(problem.section)},
        {QStringLiteral("key"), settings::fromGbk(problem.key)},
        {QStringLiteral("problem_en"), problemText(problem, false)},
        {QStringLiteral("problem_zh"), problemText(problem, true)},
    };
}

namespace {

// Prints the problems of a set of files, notes included; true when there is no error.
bool reportProblems(const QList<formats::Problem> &problems, const Options &options)
{
    const bool valid = !formats::hasErrors(problems);
    if (options.json) {
        QJsonArray list;
        for (const formats::Problem &problem : problems)
            list.append(problemJson(problem));
        printJson({{QStringLiteral("valid"), valid}, {QStringLiteral("problems"), list}});
    } else {
        for (const formats::Problem &problem : problems)
            out() << problemText(problem, options.chinese) << "\n";
        out().flush();
    }
    return valid;
}

// A new folder appears only with every file in it; an existing one has each file replaced
// atomically.
bool writeFolderWhole(const QString &folder, const settings::SettingsFileSet &files, QString *error)
{
    if (QFileInfo::exists(folder))
        return settings::writeSettingsFolder(folder, files, error);
    const QString partial = QDir::cleanPath(folder) + QStringLiteral(".partial-")
        + QString::number(QCoreApplication::applicationPid());
    if (settings::writeSettingsFolder(partial, files, error) && QDir().rename(partial, folder))
        return true;
    QDir(partial).removeRecursively();
    if (error->isEmpty())
        *error = QStringLiteral("cannot create %1").arg(folder);
    return false;
}

int pull(const Options &options)
{
    if (options.operands.size() != 2)
        return usageError(QStringLiteral("pull takes HOST[:PORT] DIR"));
    QString error;
    const std::optional<HostAddress> address = parseHostAddress(options.operands[0], &error);
    if (!address)
        return usageError(error);
    settings::SettingsFileSet files;
    if (const int code = fetchFrom(*address, options, &files); code != kExitDone)
        return code;
    // The files are fetched but not kept: a failed transfer for the operator, whatever the cause
    // (a full disk, a size limit, no permission).
    if (!writeFolderWhole(options.operands[1], files, &error)) {
        printError(QStringLiteral("nothing pulled into %1: %2").arg(options.operands[1], error));
        return kExitFailed;
    }
    if (options.json)
        printJson({{QStringLiteral("host"), address->text()},
            {QStringLiteral("folder"), options.operands[1]},
            {QStringLiteral("files"), int(files.size())}});
    else
        out() << "pulled " << files.size() << " files from " << address->text() << " into "
              << options.operands[1] << "\n";
    return kExitDone;
}

} // namespace

int readSide(const QString &operand, const Options &options, settings::SettingsFileSet *files)
{
    if (QFileInfo::exists(operand)) {
        if (const std::optional<QString> error = readFolder(operand, files))
            return inputError(*error);
        return kExitDone;
    }
    QString error;
    const std::optional<HostAddress> address = parseHostAddress(operand, &error);
    if (!address)
        return inputError(
            QStringLiteral("%1 is neither a folder nor a host: %2").arg(operand, error));
    return fetchFrom(*address, options, files);
}

namespace {

int diff(const Options &options)
{
    if (options.operands.size() != 2)
        return usageError(QStringLiteral("diff takes two folders or hosts"));
    settings::SettingsFileSet before;
    settings::SettingsFileSet after;
    for (const auto &[operand, files] :
        {std::pair {options.operands[0], &before}, std::pair {options.operands[1], &after}}) {
        if (const int code = readSide(operand, options, files); code != kExitDone)
            return code;
    }
    const QList<Difference> differences = diffSettings(before, after);
    if (options.json) {
        QJsonArray list;
        for (const Difference &difference : differences)
            list.append(differenceJson(difference));
        printJson({{QStringLiteral("equal"), differences.isEmpty()},
            {QStringLiteral("differences"), list}});
    } else {
        printDifferences(differences, options);
    }
    return differences.isEmpty() ? kExitDone : kExitDifferent;
}

int validate(const Options &options)
{
    if (options.operands.size() != 1)
        return usageError(QStringLiteral("validate takes one folder"));
    settings::SettingsFileSet files;
    if (const std::optional<QString> error = readFolder(options.operands[0], &files))
        return inputError(*error);
    return reportProblems(formats::validateSettings(files), options) ? kExitDone : kExitInvalid;
}

} // namespace

// The hosts file holds one host per line; '#' starts a comment.
std::optional<QList<HostAddress>> hostList(
    const QStringList &texts, const QString &hostsFile, QString *error)
{
    QStringList all = texts;
    if (!hostsFile.isEmpty()) {
        QFile file(hostsFile);
        if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxHostsFileBytes) {
            *error = QStringLiteral("cannot read the hosts file %1").arg(hostsFile);
            return std::nullopt;
        }
        const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
        for (qsizetype n = 0; n < lines.size(); ++n) {
            const QString line = lines[n].section(QLatin1Char('#'), 0, 0).trimmed();
            if (!line.isEmpty())
                all.append(line);
        }
    }
    QList<HostAddress> hosts;
    for (const QString &text : all) {
        const std::optional<HostAddress> address = parseHostAddress(text, error);
        if (!address)
            return std::nullopt;
        // The host link keeps one session per host and port: each server runs once.
        if (!hosts.contains(*address))
            hosts.append(*address);
    }
    if (hosts.isEmpty()) {
        *error = QStringLiteral("no hosts given");
        return std::nullopt;
    }
    return hosts;
}

std::optional<ScopeFilter> scopeFilter(const Options &options, QString *error)
{
    ScopeFilter filter;
    for (const auto &[text, into] :
        {std::pair {options.only, &filter.only}, std::pair {options.except, &filter.except}}) {
        if (text.isEmpty())
            continue;
        const std::optional<QList<ScopeItem>> items = parseScopes(text, error);
        if (!items)
            return std::nullopt;
        *into = *items;
    }
    return filter;
}

int readFolderForHosts(const Options &options, const QString &usage, FolderForHosts *into)
{
    if (options.operands.isEmpty())
        return usageError(usage);
    QString error;
    std::optional<ScopeFilter> scope = scopeFilter(options, &error);
    if (!scope)
        return usageError(error);
    std::optional<QList<HostAddress>> hosts
        = hostList(options.operands.mid(1), options.hostsFile, &error);
    if (!hosts)
        return inputError(error);
    if (const std::optional<QString> folderError = readFolder(options.operands[0], &into->files))
        return inputError(*folderError);
    into->scope = std::move(*scope);
    into->hosts = std::move(*hosts);
    return kExitDone;
}

namespace {

void drawProgress(int done, int total)
{
    constexpr int kWidth = 30;
    const int filled = total > 0 ? done * kWidth / total : kWidth;
    std::fprintf(stderr, "\r[%s%s] %d/%d", QByteArray(filled, '#').constData(),
        QByteArray(kWidth - filled, ' ').constData(), done, total);
    if (done == total)
        std::fputs("\n", stderr);
    std::fflush(stderr);
}

} // namespace

std::function<void(int done)> progressBar(const Options &options, int total)
{
    if (options.json || !isatty(STDERR_FILENO))
        return {};
    return [total](int done) {
        drawProgress(done, total);
    };
}

int printHostTableHeader(const QList<HostReport> &reports)
{
    int width = 4;
    for (const HostReport &report : reports)
        width = std::max(width, int(report.address.text().size()));
    out() << QStringLiteral("HOST").leftJustified(width) << "  "
          << QStringLiteral("OUTCOME").leftJustified(16) << "  DETAIL\n";
    return width;
}

void printHostRow(
    const HostReport &report, int hostWidth, const QString &outcome, const QString &detail)
{
    out() << report.address.text().leftJustified(hostWidth) << "  " << outcome.leftJustified(16)
          << "  " << detail << "\n";
}

namespace {

// What the table says of a host.
QString outcomeDetail(const HostReport &report, bool dryRun)
{
    switch (report.result.outcome) {
    case Outcome::Done:
        return dryRun ? QStringLiteral("%1 changes").arg(report.differences.size())
                      : QStringLiteral("backup %1").arg(report.backup);
    case Outcome::Unchanged:
        return QStringLiteral("already as wanted: nothing sent");
    default:
        return report.result.message;
    }
}

QJsonObject hostReportJson(const HostReport &report)
{
    QJsonObject object {{QStringLiteral("host"), report.address.text()},
        {QStringLiteral("outcome"), outcomeName(report.result.outcome)},
        {QStringLiteral("message"), report.result.message}};
    if (!report.backup.isEmpty())
        object.insert(QStringLiteral("backup"), report.backup);
    if (report.result.outcome <= Outcome::Invalid) {
        QJsonArray differences;
        for (const Difference &difference : report.differences)
            differences.append(differenceJson(difference));
        object.insert(QStringLiteral("differences"), differences);
    }
    if (!report.problems.isEmpty()) {
        QJsonArray problems;
        for (const formats::Problem &problem : report.problems)
            problems.append(problemJson(problem));
        object.insert(QStringLiteral("problems"), problems);
    }
    return object;
}

void printReportsJson(const QList<HostReport> &reports)
{
    QJsonArray list;
    for (const HostReport &report : reports)
        list.append(hostReportJson(report));
    printJson({{QStringLiteral("hosts"), list}});
}

// A dry run lists, before the table, the changes each host would get.
void printDryRunChanges(const QList<HostReport> &reports, const Options &options)
{
    for (const HostReport &report : reports) {
        if (report.result.outcome != Outcome::Done)
            continue;
        out() << report.address.text() << ": " << report.differences.size() << " changes\n";
        printDifferences(report.differences, options, QStringLiteral("  "));
    }
}

void printReportTable(const QList<HostReport> &reports, bool dryRun, const Options &options)
{
    if (dryRun)
        printDryRunChanges(reports, options);
    const int width = printHostTableHeader(reports);
    for (const HostReport &report : reports) {
        printHostRow(
            report, width, outcomeName(report.result.outcome), outcomeDetail(report, dryRun));
        for (const formats::Problem &problem : report.problems)
            out() << "  " << problemText(problem, options.chinese) << "\n";
    }
    out().flush();
}

Outcome worstOutcome(const QList<HostReport> &reports)
{
    Outcome worst = Outcome::Done;
    for (const HostReport &report : reports)
        worst = std::max(worst, report.result.outcome);
    return worst;
}

} // namespace

int runJobs(const QList<HostAddress> &hosts, JobPlan plan, const Options &options)
{
    QString error;
    const std::optional<QByteArray> secret = password(&error);
    if (!secret)
        return inputError(error);
    plan.user = options.user;
    plan.password = *secret;
    const QList<HostReport> reports
        = runOnHosts(hosts, plan, options.parallel, progressBar(options, int(hosts.size())));
    if (options.json)
        printReportsJson(reports);
    else
        printReportTable(reports, plan.dryRun, options);
    return exitCodeOf(worstOutcome(reports));
}

namespace {

int push(const Options &options)
{
    FolderForHosts input;
    if (const int failed
        = readFolderForHosts(options, QStringLiteral("push takes DIR and hosts"), &input))
        return failed;
    // Notes do not stop a push: the window would apply such values as they are.
    const QList<formats::Problem> problems = formats::validateSettings(input.files);
    if (formats::hasErrors(problems)) {
        reportProblems(problems, options);
        printError(
            QStringLiteral("%1 does not pass validation: nothing pushed").arg(options.operands[0]));
        return kExitInvalid;
    }
    JobPlan plan;
    plan.dryRun = options.dryRun;
    plan.force = options.force;
    // A scope mixes the folder's settings with each server's: the mix is checked per server.
    plan.checkResult = !input.scope.isWhole();
    plan.changes = changesFromFolder(input.files, input.scope);
    return runJobs(input.hosts, plan, options);
}

int backups(const Options &options)
{
    if (options.operands.size() != 1)
        return usageError(QStringLiteral("backups takes HOST[:PORT]"));
    QString error;
    const std::optional<HostAddress> address = parseHostAddress(options.operands[0], &error);
    if (!address)
        return usageError(error);
    const QStringList paths = settings::listBackups(address->host, address->port);
    if (options.json) {
        printJson({{QStringLiteral("host"), address->text()},
            {QStringLiteral("backups"), QJsonArray::fromStringList(paths)}});
    } else {
        for (const QString &path : paths)
            out() << path << "\n";
        if (paths.isEmpty())
            out() << "no backups of " << address->text() << "\n";
        out().flush();
    }
    return kExitDone;
}

int restore(const Options &options)
{
    if (options.operands.size() != 2)
        return usageError(QStringLiteral("restore takes BACKUP HOST[:PORT]"));
    QString error;
    const std::optional<HostAddress> address = parseHostAddress(options.operands[1], &error);
    if (!address)
        return usageError(error);
    // A backup is a folder, or the name of one of the server's backups.
    QString folder = options.operands[0];
    const QString ownBackups = settings::serverBackupsFolder(address->host, address->port);
    if (!QFileInfo(folder).isDir() && !folder.contains(QLatin1Char('/')))
        folder = ownBackups + folder;
    // Another server's backup would give this one that server's users and settings.
    const QString backupOf = settings::backupServerFolder(folder);
    if (!backupOf.isEmpty() && backupOf != QFileInfo(ownBackups).canonicalFilePath()
        && !options.force)
        return inputError(
            QStringLiteral("%1 is a backup of another server (%2), not of %3: nothing "
                           "restored (--force restores it all the same)")
                .arg(folder, QFileInfo(backupOf).fileName(), address->text()));
    settings::SettingsFileSet files;
    if (const std::optional<QString> folderError = readFolder(folder, &files))
        return inputError(*folderError);
    // A restore puts back exactly what the backup holds, also onto a server that matches it.
    JobPlan plan;
    plan.force = true;
    plan.changes = changesFromFolder(files, ScopeFilter {});
    return runJobs({*address}, plan, options);
}

} // namespace

bool opensWindow(const QStringList &arguments)
{
    Options options;
    return !parseOptions(arguments, &options) && options.command == QLatin1String("edit");
}

namespace {

int runParsed(const QStringList &arguments)
{
    Options options;
    if (const std::optional<QString> error = parseOptions(arguments, &options))
        return usageError(*error);
    if (options.command.isEmpty())
        return usageError(QStringLiteral("no command given"));
    using Command = int (*)(const Options &);
    const std::pair<const char *, Command> commands[] = {
        {"pull", pull},
        {"diff", diff},
        {"validate", validate},
        {"push", push},
        {"get", getCommand},
        {"set", setCommand},
        {"drift", driftCommand},
        {"edit", editCommand},
        {"backups", backups},
        {"restore", restore},
    };
    for (const auto &[name, run] : commands) {
        if (options.command == QLatin1String(name))
            return run(options);
    }
    return usageError(QStringLiteral("unknown command %1").arg(options.command));
}

} // namespace

int runCommand(const QStringList &arguments)
{
    // Known before the options are parsed, so that a usage error is reported as JSON too.
    jsonReport().enabled = arguments.contains(QLatin1String("--json"));
    const bool help = arguments.value(0) == QLatin1String("help")
        || arguments.contains(QLatin1String("--help")) || arguments.contains(QLatin1String("-h"));
    if (help) {
        std::fputs(kUsage, stdout);
        return kExitDone;
    }
    const int exitCode = runParsed(arguments);
    return jsonReport().enabled ? finishJson(exitCode) : exitCode;
}

} // namespace quillon::tool
