// The resident memory of a long run of the window's show step on damaged files: the inputs of
// fuzz_showstep's seed corpus with random bytes changed, each shown, applied twice and closed,
// as the fuzzer does. After a warm-up the figure must stay flat: nothing of the window's may
// be kept from one visit to the next. (Under the fuzzer's address sanitizer the process grows
// anyway: freed memory waits in its quarantine, 256 MiB by default.)

#include "editor/sysset.h"
#include "settings/settingsfiles.h"
#include "support/widgetdriver.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kWarmUp = 200;
constexpr int kDefaultRuns = 1000;
// Between two files of an input, as in fuzz_showstep.
constexpr char kSeparator[] = "\n\x01QUILLON-FILE\x01\n";

long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

void writeLocalCopies(const QString &workFolder, const QByteArray &input)
{
    const QByteArray separator(kSeparator);
    qsizetype from = 0;
    quillon::settings::removeLocalCopies(workFolder);
    for (const quillon::settings::SettingsFileInfo &info : quillon::settings::settingsFiles()) {
        if (from > input.size())
            continue;
        qsizetype end = input.indexOf(separator, from);
        if (end < 0)
            end = input.size();
        QFile file(workFolder + QLatin1String(info.name));
        if (file.open(QIODevice::WriteOnly))
            file.write(input.mid(from, end - from));
        from = end + separator.size();
    }
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("LC_ALL", "zh_CN.UTF-8");
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(std::atoi(argv[1]), kWarmUp) : kDefaultRuns;
    const QString workFolder = quillon::settings::ensureWorkFolder();
    // A check that fails shows a message box; it is answered at once.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [] {
        if (QWidget *modal = QApplication::activeModalWidget())
            modal->close();
    });
    closer.start(0);

    QList<QByteArray> seeds;
    const QDir corpus(QStringLiteral(QUILLON_SHOWSTEP_CORPUS));
    for (const QString &name : corpus.entryList(QDir::Files)) {
        QFile seed(corpus.filePath(name));
        if (seed.open(QIODevice::ReadOnly))
            seeds << seed.readAll();
    }
    if (seeds.isEmpty()) {
        std::fprintf(stderr, "no seeds in %s\n", QUILLON_SHOWSTEP_CORPUS);
        return 1;
    }

    QRandomGenerator random(1);
    long afterWarmUp = 0;
    long highest = 0;
    for (int run = 1; run <= runs; ++run) {
        QByteArray input = seeds[random.bounded(int(seeds.size()))];
        for (int changed = 1 + random.bounded(64); changed > 0 && !input.isEmpty(); --changed)
            input[random.bounded(int(input.size()))] = char(random.bounded(256));
        writeLocalCopies(workFolder, input);
        {
            quillon::editor::TSysSetForm form;
            form.show();
            noteAChange(&form);
            pressApply(&form);
            noteAChange(&form);
            pressApply(&form);
            form.close();
        }
        if (run == kWarmUp)
            afterWarmUp = residentKiB();
        if (run >= kWarmUp)
            highest = std::max(highest, residentKiB());
    }
    std::printf("show step on %d damaged inputs (%d seeds)\n", runs, int(seeds.size()));
    std::printf("  resident after %d runs: %ld KiB, highest after that: %ld KiB, growth: %ld KiB\n",
        kWarmUp, afterWarmUp, highest, highest - afterWarmUp);
    return 0;
}
