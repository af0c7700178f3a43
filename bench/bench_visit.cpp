// A visit's overhead on loopback, beyond the nine 100 ms pauses between downloads, measured two
// ways: from the call of ShowSetupForm to the window's Show event, and the whole visit as the
// operator has it (pages filled, the window painted once, then closed and ShowSetupForm
// returned). The second keeps work moved from the window's creation into its show step in the
// figure. Runs dvrd on a copy of the samples; the first visit of the process, which also loads
// TLS and sets up styles and fonts, is reported apart.

#include "support/dvrdprocess.h"

#include "visit/entry.h"
#include "visit/hostvisit.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRuns = 15;
constexpr int kDownloads = 9;

// Notes when the setup window is shown and closes it once it has been painted.
class ShowWatcher : public QObject
{
public:
    QElapsedTimer clock;
    qint64 shownNs = -1;
    bool painted = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched->objectName() != QLatin1String("SysSetForm"))
            return false;
        auto *form = static_cast<QWidget *>(watched);
        if (event->type() == QEvent::Show) {
            shownNs = clock.nsecsElapsed();
        } else if (event->type() == QEvent::Paint && shownNs >= 0 && !painted) {
            painted = true;
            QTimer::singleShot(0, form, [form] { form->close(); });
        }
        return false;
    }
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The process's peak resident memory, in KiB.
qint64 peakResidentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM",
        qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    if (qgetenv("DVRD_PATH").isEmpty())
        qputenv("DVRD_PATH", DVRD_DEFAULT_PATH);
    QTemporaryDir data, root;
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    QApplication app(argc, argv);

    if (!makeServerRoot(root.path(), QStringLiteral(QUILLON_SAMPLES_DIR))) {
        std::fprintf(stderr, "cannot prepare the server root\n");
        return 1;
    }
    DvrdProcess server;
    if (!server.start(root.path(), QStringLiteral("admin"), QStringLiteral("admin"))) {
        std::fprintf(stderr, "cannot start dvrd\n");
        return 1;
    }

    ShowWatcher watcher;
    app.installEventFilter(&watcher);
    const double pausesMs = kDownloads * quillon::visit::kTransferPauseMs;
    std::vector<double> toShowMs, wholeMs;
    double firstToShowMs = 0, firstWholeMs = 0;
    for (int run = 0; run <= kRuns; ++run) {
        watcher.shownNs = -1;
        watcher.painted = false;
        watcher.clock.start();
        const int result = ShowSetupForm("127.0.0.1", 0, "admin", "admin", server.port() + 10);
        const qint64 returnedNs = watcher.clock.nsecsElapsed();
        if (result != -1 || watcher.shownNs < 0 || !watcher.painted) {
            std::fprintf(stderr, "visit %d failed (result %d)\n", run, result);
            return 1;
        }
        const double toShow = watcher.shownNs / 1e6 - pausesMs;
        const double whole = returnedNs / 1e6 - pausesMs;
        if (run == 0) {
            firstToShowMs = toShow;
            firstWholeMs = whole;
            continue;
        }
        toShowMs.push_back(toShow);
        wholeMs.push_back(whole);
    }
    std::printf(
        "visit overhead beyond the %d x %d ms pauses, %d visits on loopback after a first\n",
        kDownloads, quillon::visit::kTransferPauseMs, kRuns);
    std::printf("  to the Show event: median %.2f ms, min %.2f ms, max %.2f ms\n", median(toShowMs),
        *std::min_element(toShowMs.begin(), toShowMs.end()),
        *std::max_element(toShowMs.begin(), toShowMs.end()));
    std::printf(
        "  whole visit (filled, painted, closed): median %.2f ms, min %.2f ms, max %.2f ms\n",
        median(wholeMs), *std::min_element(wholeMs.begin(), wholeMs.end()),
        *std::max_element(wholeMs.begin(), wholeMs.end()));
    std::printf("  first visit of the process: to the Show event %.2f ms, whole visit %.2f ms\n",
        firstToShowMs, firstWholeMs);
    std::printf("  peak resident memory of the calling process: %lld KiB\n",
        static_cast<long long>(peakResidentKiB()));
    return 0;
}
