// A push of one configuration to 64 dvrd servers on loopback with --parallel 16: the tool's wall
// time and peak resident memory. Each run pushes a changed setting, so every server really
// takes the upload and the apply.

#include "settings/profiledocument.h"
#include "support/dvrdprocess.h"
#include "support/testsettings.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

constexpr int kServers = 64;
constexpr int kParallel = 16;
constexpr int kRuns = 3;
constexpr char kPassword[] = "bench-pw";

struct Server
{
    QTemporaryDir root;
    DvrdProcess process;
};

// Runs the tool to its end; its exit code, wall time and peak resident memory.
struct Measure
{
    int exitCode = -1;
    double seconds = 0;
    long peakKiB = 0;
};

Measure runTool(const QStringList &arguments)
{
    std::vector<QByteArray> storage;
    storage.push_back(QFile::encodeName(QString::fromLocal8Bit(qgetenv("QUILLON_PATH"))));
    for (const QString &argument : arguments)
        storage.push_back(argument.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &argument : storage)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    Measure measure;
    QElapsedTimer clock;
    clock.start();
    pid_t child = 0;
    // The tool's per-host table is not a figure.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return measure;
    int status = 0;
    rusage usage {};
    wait4(child, &status, 0, &usage);
    measure.seconds = double(clock.nsecsElapsed()) / 1e9;
    measure.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    measure.peakKiB = usage.ru_maxrss;
    return measure;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("QUILLON_PATH"))
        qputenv("QUILLON_PATH", QUILLON_DEFAULT_PATH);
    if (qEnvironmentVariableIsEmpty("DVRD_PATH"))
        qputenv("DVRD_PATH", DVRD_DEFAULT_PATH);
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    qputenv("QUILLON_PASSWORD", kPassword);

    std::vector<std::unique_ptr<Server>> servers;
    QStringList hosts;
    for (int i = 0; i < kServers; ++i) {
        servers.push_back(std::make_unique<Server>());
        Server &server = *servers.back();
        if (!makeServerRoot(server.root.path(), QStringLiteral(QUILLON_SAMPLES_DIR))
            || !server.process.start(
                server.root.path(), QStringLiteral("admin"), QLatin1String(kPassword))) {
            std::fprintf(stderr, "dvrd %d did not start\n", i);
            return 1;
        }
        hosts << server.process.host() + QLatin1Char(':') + QString::number(server.process.port());
    }

    QTemporaryDir config;
    std::vector<double> seconds;
    long peakKiB = 0;
    for (int run = 0; run < kRuns; ++run) {
        makeServerRoot(config.path(), QStringLiteral(QUILLON_SAMPLES_DIR));
        const QString sysSet = config.filePath(QStringLiteral("SysConfig/SysSet.Ext"));
        quillon::settings::ProfileDocument document(readFile(sysSet));
        document.setValue("Alarm Options", "BackRecTime", QByteArray::number(40 + run));
        writeFile(sysSet, document.toBytes());

        const Measure measure
            = runTool(QStringList {QStringLiteral("push"), QStringLiteral("--json"),
                          QStringLiteral("--parallel"), QString::number(kParallel), config.path()}
                + hosts);
        if (measure.exitCode != 0) {
            std::fprintf(stderr, "push failed with exit code %d\n", measure.exitCode);
            return 1;
        }
        seconds.push_back(measure.seconds);
        peakKiB = std::max(peakKiB, measure.peakKiB);
    }
    std::sort(seconds.begin(), seconds.end());
    std::printf("push to %d servers with --parallel %d, median time: %.2f s (of %d runs)\n",
        kServers, kParallel, seconds[seconds.size() / 2], kRuns);
    std::printf("push to %d servers, fastest: %.2f s, slowest: %.2f s\n", kServers, seconds.front(),
        seconds.back());
    std::printf("peak resident memory of the tool: %ld KiB\n", peakKiB);
    return 0;
}
