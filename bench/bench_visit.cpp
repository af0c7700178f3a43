// A visit's overhead on loopback: the time from the call of ShowSetupForm to the window shown,
// minus the nine 100 ms pauses between downloads. Runs dvrd on a copy of the samples.

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

constexpr int kRuns = 7;
constexpr int kDownloads = 9;

// Notes when the setup window is shown and closes it at once.
class ShowWatcher : public QObject
{
public:
    QElapsedTimer clock;
    qint64 shownNs = -1;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && watched->objectName() == QLatin1String("SysSetForm")) {
            shownNs = clock.nsecsElapsed();
            auto *form = static_cast<QWidget *>(watched);
            QTimer::singleShot(0, form, [form] { form->close(); });
        }
        return false;
    }
};

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
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
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
    std::vector<double> overheadMs;
    for (int run = 0; run < kRuns; ++run) {
        watcher.shownNs = -1;
        watcher.clock.start();
        const int result = ShowSetupForm("127.0.0.1", 0, "admin", "admin", server.port() + 10);
        if (result != -1 || watcher.shownNs < 0) {
            std::fprintf(stderr, "visit %d failed (result %d)\n", run, result);
            return 1;
        }
        overheadMs.push_back(watcher.shownNs / 1e6 - kDownloads * quillon::visit::kTransferPauseMs);
    }
    std::sort(overheadMs.begin(), overheadMs.end());
    std::printf("visit overhead beyond the %d x %d ms pauses, %d visits on loopback\n", kDownloads,
                quillon::visit::kTransferPauseMs, kRuns);
    std::printf("  median %.2f ms, min %.2f ms, max %.2f ms\n", overheadMs[kRuns / 2],
                overheadMs.front(), overheadMs.back());
    std::printf("  peak resident memory of the calling process: %lld KiB\n",
                static_cast<long long>(peakResidentKiB()));
    return 0;
}
