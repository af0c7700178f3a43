#pragma once

// What the operator tool's benchmarks share: the tool's environment, many dvrd on loopback and
// one measured run of the tool.

#include "support/dvrdprocess.h"
#include "support/testsettings.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

struct BenchServer
{
    QTemporaryDir root;
    DvrdProcess process;
};

// The tool and dvrd from the build unless the environment names others; the tool's data folder
// in dataHome and the password in its environment.
inline void prepareToolEnvironment(const QString &dataHome, const char *password)
{
    if (qEnvironmentVariableIsEmpty("QUILLON_PATH"))
        qputenv("QUILLON_PATH", QUILLON_DEFAULT_PATH);
    if (qEnvironmentVariableIsEmpty("DVRD_PATH"))
        qputenv("DVRD_PATH", DVRD_DEFAULT_PATH);
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome));
    qputenv("QUILLON_PASSWORD", password);
}

// Starts count dvrd, each serving a copy of the samples; their HOST:PORT texts in hosts. Empty
// when one did not start.
inline std::vector<std::unique_ptr<BenchServer>> startServers(
    int count, const char *password, QStringList *hosts)
{
    std::vector<std::unique_ptr<BenchServer>> servers;
    for (int i = 0; i < count; ++i) {
        servers.push_back(std::make_unique<BenchServer>());
        BenchServer &server = *servers.back();
        if (!makeServerRoot(server.root.path(), QStringLiteral(QUILLON_SAMPLES_DIR))
            || !server.process.start(
                server.root.path(), QStringLiteral("admin"), QLatin1String(password))) {
            std::fprintf(stderr, "dvrd %d did not start\n", i);
            return {};
        }
        *hosts << server.process.host() + QLatin1Char(':') + QString::number(server.process.port());
    }
    return servers;
}

// The tool's environment over a data folder of its own, with count servers started.
struct ToolBench
{
    QTemporaryDir data;
    QStringList hosts;
    std::vector<std::unique_ptr<BenchServer>> servers;

    // The administrator's password of every server the benchmarks start.
    static constexpr char kPassword[] = "bench-pw";

    // False when a server did not start.
    bool start(int count)
    {
        prepareToolEnvironment(data.path(), kPassword);
        servers = startServers(count, kPassword, &hosts);
        return !servers.empty();
    }
};

// Runs a benchmark of the tool against servers started for it: 1 when one did not start, else
// what the benchmark returns.
inline int runToolBench(
    int argc, char **argv, int servers, const std::function<int(const ToolBench &)> &benchmark)
{
    QCoreApplication app(argc, argv);
    ToolBench bench;
    if (!bench.start(servers))
        return 1;
    return benchmark(bench);
}

struct Measure
{
    int exitCode = -1;
    double seconds = 0;
    long peakKiB = 0;
    double cpuSeconds = 0; // user and system time of the tool
    QByteArray output;
};

// Runs the tool to its end with its output in a file; exit code, wall time, peak memory.
inline Measure runTool(const QStringList &arguments, const QString &outputPath)
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
    const QByteArray outputName = QFile::encodeName(outputPath);
    QElapsedTimer clock;
    clock.start();
    pid_t child = 0;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(
        &actions, STDOUT_FILENO, outputName.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
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
    measure.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    measure.output = readFile(outputPath);
    return measure;
}
