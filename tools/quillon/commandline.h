#pragma once

// What the commands share: their options, their output and their steps with hosts.

#include "tools/quillon/hostjobs.h"
#include "tools/quillon/scopes.h"

#include <QJsonObject>
#include <QStringList>
#include <QTextStream>

#include <optional>

namespace quillon::tool {

struct Options
{
    QString command;
    QStringList operands;
    QByteArray user = "admin";
    int parallel = 8;
    bool dryRun = false;
    bool force = false;
    bool json = false;
    bool raw = false;
    bool chinese = false;
    QString hostsFile;
    QString only; // comma-separated scopes
    QString except;
};

QTextStream &out();
void printError(const QString &message);
// A malformed command line: the message and the usage; exit 2.
int usageError(const QString &message);
// Bad input that is not a matter of the command line's shape: the message alone; exit 2.
int inputError(const QString &message);
void printJson(const QJsonObject &object);

// Reads a folder of settings files; an error message when it is missing or holds none.
std::optional<QString> readFolder(const QString &folder, settings::SettingsFileSet *files);
// The password, asked for at most once per run.
std::optional<QByteArray> password(QString *error);
int exitCodeOf(Outcome outcome);
QString outcomeName(Outcome outcome);
// Logs in and fetches one server's files; the exit code of a failure (0 when fetched).
int fetchFrom(const HostAddress &address, const Options &options, settings::SettingsFileSet *files);
// A folder when one exists by that name, else a server: its files; the exit code of a failure.
int readSide(const QString &operand, const Options &options, settings::SettingsFileSet *files);
// The hosts of the operands and of the hosts file, each once.
std::optional<QList<HostAddress>> hostList(
    const QStringList &texts, const QString &hostsFile, QString *error);
// The --only and --except scopes.
std::optional<ScopeFilter> scopeFilter(const Options &options, QString *error);

// What push and drift take: a folder first, then hosts, within the --only and --except scopes.
struct FolderForHosts
{
    ScopeFilter scope;
    QList<HostAddress> hosts;
    settings::SettingsFileSet files;
};
// Reads them; the exit code of a bad command line or folder, with its message printed, or 0.
int readFolderForHosts(const Options &options, const QString &usage, FolderForHosts *into);

QJsonObject differenceJson(const Difference &difference);
void printDifferences(
    const QList<Difference> &differences, const Options &options, const QString &indent = {});
QString problemText(const formats::Problem &problem, bool chinese);
QJsonObject problemJson(const formats::Problem &problem);
// Draws the progress bar on stderr when it is a terminal and no JSON is asked for.
std::function<void(int done)> progressBar(const Options &options, int total);
// The host table's header line; the width of its host column, which fits every host.
int printHostTableHeader(const QList<HostReport> &reports);
// One row of the host table.
void printHostRow(
    const HostReport &report, int hostWidth, const QString &outcome, const QString &detail);
// Runs a plan on the hosts (password from the environment or the prompt) and prints the table
// or the JSON document; the exit code of the worst outcome.
int runJobs(const QList<HostAddress> &hosts, JobPlan plan, const Options &options);

// The commands of fleetcommands.cpp.
int getCommand(const Options &options);
int setCommand(const Options &options);
int driftCommand(const Options &options);
// The command of editcommand.cpp: the setup window on a folder.
int editCommand(const Options &options);

} // namespace quillon::tool
