// A push of one configuration to 64 dvrd servers on loopback with --parallel 16: the tool's wall
// time and peak resident memory. Each run pushes a changed setting, so every server really
// takes the upload and the apply.

#include "settings/profiledocument.h"
#include "support/testsettings.h"
#include "toolbench.h"

#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kServers = 64;
constexpr int kParallel = 16;
constexpr int kRuns = 3;

int measurePushes(const ToolBench &bench)
{
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
                    + bench.hosts,
                QStringLiteral("/dev/null"));
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

} // namespace

int main(int argc, char **argv)
{
    return runToolBench(argc, argv, kServers, measurePushes);
}
