// The setup window on a 64-channel, 64-sensor server: the show step (every page loaded) and
// one whole Apply (every page saved) with copies pending to every channel and every sensor;
// then the show step on a server at the window's channel and sensor bounds.
// The server's files are the samples, their per-channel and per-sensor sections repeated.

#include "editor/setupcontext.h"
#include "editor/sysset.h"
#include "settings/settingsfiles.h"
#include "support/widgetdriver.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRuns = 9;
constexpr int kChannels = 64;
constexpr int kSampleChannels = 16;

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every section whose name ends in a number ("ENCODER3", "SENSOR DETECT TABLE3") is written
// for numbers 0 to channels - 1, each a copy of the sample section with the number modulo 16.
QByteArray repeatNumberedSections(const QByteArray &sample, int channels)
{
    static const QRegularExpression numbered(QStringLiteral("^\\[(.*?)(\\d+)\\]\\r?$"));
    QByteArray plain;
    QMap<QString, QMap<int, QByteArray>> sections; // base name -> number -> lines
    QString base;
    int number = -1;
    for (const QByteArray &line : sample.split('\n')) {
        if (line.startsWith('[')) {
            const QRegularExpressionMatch match = numbered.match(QString::fromLatin1(line));
            base = match.hasMatch() ? match.captured(1) : QString();
            number = match.hasMatch() ? match.captured(2).toInt() : -1;
            if (number < 0)
                plain += line + '\n';
            continue;
        }
        if (number >= 0)
            sections[base][number] += line + '\n';
        else if (!line.isEmpty())
            plain += line + '\n';
    }
    QByteArray out = plain;
    for (auto it = sections.cbegin(); it != sections.cend(); ++it) {
        for (int index = 0; index < channels; ++index) {
            out += "[" + it.key().toLatin1() + QByteArray::number(index) + "]\r\n";
            out += it.value().value(index % kSampleChannels);
        }
    }
    return out;
}

bool prepareWorkFolder(const QString &samples, int channels)
{
    const QString work = quillon::settings::workFolderPath();
    QDir(work).removeRecursively();
    if (!QDir().mkpath(work))
        return false;
    for (const quillon::settings::SettingsFileInfo &info : quillon::settings::settingsFiles()) {
        const QString folder
            = QString::fromLatin1(info.remoteFolder).replace(QLatin1Char('\\'), QLatin1Char('/'));
        QByteArray bytes = readAll(samples + QLatin1Char('/') + folder + QLatin1String(info.name));
        if (info.file == quillon::settings::SettingsFile::SysSet) {
            bytes.replace("MaxRecCount=16", "MaxRecCount=" + QByteArray::number(channels));
            bytes.replace("AlarmDevChn=16", "AlarmDevChn=" + QByteArray::number(channels));
        } else if (info.file != quillon::settings::SettingsFile::User) {
            bytes = repeatNumberedSections(bytes, channels);
        }
        QFile file(work + QLatin1String(info.name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return false;
    }
    return true;
}

void pendEverywhere(quillon::editor::PendingCopy &copy)
{
    copy.pending = true;
    std::fill(copy.targets.begin(), copy.targets.end(), std::uint8_t(1));
}

void report(const char *what, std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    std::printf("  %-40s median %7.2f ms, min %7.2f ms, max %7.2f ms\n", what, ms[ms.size() / 2],
        ms.front(), ms.back());
}

// Runs kRuns windows on a server of `count` channels and sensors: prepares the work folder, times
// the show step into *showMs, checks the counts the window saw, then hands the shown window to
// afterShow (false from it stops the benchmark).
template<typename AfterShow>
bool timedShows(int count, std::vector<double> *showMs, AfterShow afterShow)
{
    for (int run = 0; run < kRuns; ++run) {
        if (!prepareWorkFolder(QStringLiteral(QUILLON_SAMPLES_DIR), count)) {
            std::fprintf(stderr, "cannot prepare the work folder\n");
            return false;
        }
        quillon::editor::TSysSetForm form;
        QElapsedTimer clock;
        clock.start();
        form.show();
        showMs->push_back(clock.nsecsElapsed() / 1e6);
        const quillon::editor::SetupContext &context = form.context();
        if (context.channelCount != count || context.sensorCount != count) {
            std::fprintf(stderr, "the window saw %d channels and %d sensors\n",
                context.channelCount, context.sensorCount);
            return false;
        }
        if (!afterShow(form))
            return false;
        form.close();
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM",
        qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    qputenv("LC_ALL", "zh_CN.UTF-8");
    QApplication app(argc, argv);

    std::vector<double> showMs, applyMs;
    const bool applied = timedShows(kChannels, &showMs, [&](quillon::editor::TSysSetForm &form) {
        quillon::editor::SetupContext &context = form.context();
        pendEverywhere(context.videoCopy);
        pendEverywhere(context.motionCopy);
        pendEverywhere(context.sensorCopy);
        noteAChange(&form);
        QElapsedTimer clock;
        clock.start();
        pressApply(&form);
        applyMs.push_back(clock.nsecsElapsed() / 1e6);
        if (context.motionCopy.pending || context.sensorCopy.pending) {
            std::fprintf(stderr, "Apply stopped at a check\n");
            return false;
        }
        return true;
    });
    if (!applied)
        return 1;
    std::printf(
        "setup window on a %d-channel, %d-sensor server, %d runs\n", kChannels, kChannels, kRuns);
    report("show step (every page loaded)", showMs);
    report("Apply with copies to every channel/sensor", applyMs);

    static_assert(quillon::formats::kMaxChannels == quillon::formats::kMaxSensors);
    constexpr int kBound = quillon::formats::kMaxChannels;
    std::vector<double> boundMs;
    if (!timedShows(kBound, &boundMs, [](quillon::editor::TSysSetForm &) { return true; }))
        return 1;
    std::printf(
        "setup window at the bounds: %d channels, %d sensors, %d runs\n", kBound, kBound, kRuns);
    report("show step at the bounds", boundMs);
    return 0;
}
