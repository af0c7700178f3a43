// One setting across 256 dvrd servers on loopback: `quillon set` with --parallel 32 where half
// the servers already have the value (the figures: wall time, applies made, the tool's peak
// resident memory), then `quillon drift` over the same servers against the samples.

#include "figures.h"
#include "settings/profiledocument.h"
#include "support/dvrdprocess.h"
#include "support/testsettings.h"
#include "toolbench.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kServers = 256;
constexpr int kParallel = 32;
constexpr int kRuns = 3;
const QRegularExpression kApplyLine(QStringLiteral("apply generation="));

int countOutcomes(const QByteArray &json, const QString &outcome)
{
    int count = 0;
    for (const QJsonValue &host :
        QJsonDocument::fromJson(json).object().value(QStringLiteral("hosts")).toArray())
        count += host.toObject().value(QStringLiteral("outcome")).toString() == outcome;
    return count;
}

// The hosts that neither changed nor stayed as they were, with the tool's message.
QByteArray failures(const QByteArray &json)
{
    QByteArray text;
    for (const QJsonValue &host :
        QJsonDocument::fromJson(json).object().value(QStringLiteral("hosts")).toArray()) {
        const QJsonObject object = host.toObject();
        const QString outcome = object.value(QStringLiteral("outcome")).toString();
        if (outcome != QLatin1String("done") && outcome != QLatin1String("unchanged")
            && outcome != QLatin1String("drifted"))
            text += (object.value(QStringLiteral("host")).toString() + QStringLiteral(": ")
                + object.value(QStringLiteral("message")).toString() + QLatin1Char('\n'))
                        .toUtf8();
    }
    return text;
}

int measureFleet(const ToolBench &bench)
{
    const QStringList &hosts = bench.hosts;
    auto applies = [&] {
        int total = 0;
        for (const auto &server : bench.servers)
            total += server->process.countLog(kApplyLine);
        return total;
    };
    const QString output = bench.data.filePath(QStringLiteral("out.json"));

    std::vector<double> setSeconds;
    std::vector<double> setCpu;
    long setPeakKiB = 0;
    for (int run = 0; run < kRuns; ++run) {
        // Half the servers already have this run's value.
        const QByteArray value = QByteArray::number(40 + run);
        for (int i = 0; i < kServers / 2; ++i) {
            const QString sysSet
                = bench.servers[size_t(i)]->root.filePath(QStringLiteral("SysConfig/SysSet.Ext"));
            quillon::settings::ProfileDocument document(readFile(sysSet));
            document.setValue("Alarm Options", "BackRecTime", value);
            writeFile(sysSet, document.toBytes());
        }
        const int appliesBefore = applies();
        const Measure measure
            = runTool(QStringList {QStringLiteral("set"), QStringLiteral("--json"),
                          QStringLiteral("--parallel"), QString::number(kParallel),
                          "SysSet.Ext[Alarm Options]BackRecTime=" + QString::fromLatin1(value)}
                    + hosts,
                output);
        const int made = applies() - appliesBefore;
        const int done = countOutcomes(measure.output, QStringLiteral("done"));
        const int unchanged = countOutcomes(measure.output, QStringLiteral("unchanged"));
        if (measure.exitCode != 0 || made != kServers / 2 || done != kServers / 2
            || unchanged != kServers / 2) {
            std::fprintf(stderr, "set: exit %d, %d applies, %d done, %d unchanged\n%s\n",
                measure.exitCode, made, done, unchanged, failures(measure.output).constData());
            return 1;
        }
        setSeconds.push_back(measure.seconds);
        setCpu.push_back(measure.cpuSeconds);
        setPeakKiB = std::max(setPeakKiB, measure.peakKiB);
    }
    std::printf(
        "set of one key on %d servers, half already set, --parallel %d, median time: %.2f s "
        "(of %d runs; each made exactly %d applies)\n",
        kServers, kParallel, median(setSeconds), kRuns, kServers / 2);
    std::printf("processor time of the tool during set (median): %.2f s\n", median(setCpu));
    std::printf("peak resident memory of the tool during set: %ld KiB\n", setPeakKiB);

    std::vector<double> driftSeconds;
    std::vector<double> driftCpu;
    long driftPeakKiB = 0;
    for (int run = 0; run < kRuns; ++run) {
        const Measure measure
            = runTool(QStringList {QStringLiteral("drift"), QStringLiteral("--json"),
                          QStringLiteral("--parallel"), QString::number(kParallel),
                          QStringLiteral(QUILLON_SAMPLES_DIR)}
                    + hosts,
                output);
        if (measure.exitCode != 1
            || countOutcomes(measure.output, QStringLiteral("drifted")) != kServers) {
            std::fprintf(stderr, "drift: exit %d\n%s\n", measure.exitCode,
                failures(measure.output).constData());
            return 1;
        }
        driftSeconds.push_back(measure.seconds);
        driftCpu.push_back(measure.cpuSeconds);
        driftPeakKiB = std::max(driftPeakKiB, measure.peakKiB);
    }
    std::printf(
        "drift of %d servers from a baseline, --parallel %d, median time: %.2f s (of %d runs)\n",
        kServers, kParallel, median(driftSeconds), kRuns);
    std::printf("processor time of the tool during drift (median): %.2f s\n", median(driftCpu));
    std::printf("peak resident memory of the tool during drift: %ld KiB\n", driftPeakKiB);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    return runToolBench(argc, argv, kServers, measureFleet);
}
