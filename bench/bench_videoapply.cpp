// Apply of the video page on a 64-channel server with a pending copy to every channel: the
// shown overlay, encoding and recording keys and the weekly timetable go into all 64 channels'
// sections of a real TVCard.Ext through the page's save, in one batch as the setup window's
// Apply runs it. Each run changes one shown value, so every section is rewritten and the file
// is saved each time. The whole window's Apply (every page's checks and saves) is timed too.

#include "editor/pages/videopage.h"
#include "editor/setupcontext.h"
#include "editor/sysset.h"
#include "settings/profilestore.h"
#include "settings/settingsfiles.h"
#include "support/widgetdriver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace quillon;

namespace {

constexpr int kChannels = 64;
constexpr int kRuns = 21;

QByteArray tvCardFile()
{
    QByteArray content;
    for (int channel = 0; channel < kChannels; ++channel) {
        const QByteArray n = QByteArray::number(channel);
        content += "[ENCODER" + n + "]\r\nShowCamera=1\r\nCameraName=\xCD\xA8\xB5\xC0" + n
            + "\r\nCamera_X=8\r\nCamera_Y=10\r\nShowDate=1\r\nShowTime=1\r\nDate_X=200\r\n"
              "Date_Y=10\r\nPreviewCover=0\r\nRecordCover=0\r\nCover_X=0\r\nCover_Y=0\r\n"
              "Cover_Width=1\r\nCover_Height=1\r\nRecordMode=2\r\nCompressMode=4\r\nEncodeMode="
              "1\r\n"
              "IFrameInterval=4\r\nIFrameIntervalPS=4\r\nFrameRateLevel=1\r\nFrameRateReduction="
              "0\r\n"
              "PreRecord=0\r\nPreRecTime=5\r\nAutoRecord=1\r\nSecondPerFile=15\r\nAllowATMRecord="
              "0\r\n"
              "ATMNo="
            + QByteArray::number(channel + 1) + "\r\nATMSecondPerFile=1\r\n\r\n[RECORD TABLE" + n
            + "]\r\n";
        for (int day = 1; day <= 7; ++day)
            content
                += QByteArray::number(day) + "=3,00:00-07:59,92,08:00-18:59,91,19:00-23:59,92,\r\n";
        content += "\r\n";
    }
    return content;
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && file.write(content) == content.size();
}

struct Figures
{
    double median;
    double fastest;
    double slowest;
};

Figures measure(const std::function<void(int run)> &prepare, const std::function<void()> &work)
{
    std::vector<double> ms;
    for (int run = 0; run < kRuns; ++run) {
        prepare(run);
        QElapsedTimer timer;
        timer.start();
        work();
        ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.front(), ms.back()};
}

void pendCopyToEveryChannel(editor::SetupContext &context)
{
    context.videoCopy.pending = true;
    context.videoCopy.targets.assign(kChannels, 1);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    qputenv("LC_ALL", "zh_CN.UTF-8");
    QApplication app(argc, argv);

    const QString work = settings::workFolderPath();
    QDir().mkpath(work);
    const QString tvCard = work + QStringLiteral("TVCard.Ext");
    if (!writeFile(work + QStringLiteral("SysSet.Ext"),
            "[System Options]\r\nMaxRecCount=64\r\n[Sensor Options]\r\nAlarmDevChn=0\r\n")
        || !writeFile(tvCard, tvCardFile())
        || !QFile::copy(QStringLiteral(QUILLON_SAMPLES_DIR "/SysConfig/Profile.ext"),
            work + QStringLiteral("Profile.ext"))) {
        std::fprintf(stderr, "cannot write the settings files into %s\n", qPrintable(work));
        return 1;
    }
    const qint64 fileSize = QFile(tvCard).size();

    // The page on its own, saved in a batch as Apply saves it.
    editor::SetupContext context;
    context.workFolder = work;
    context.channelCount = kChannels;
    context.noteChange = [] {
    };
    context.noteChannelChange = [] {
    };
    context.showPage = [](editor::PageIndex, std::optional<editor::VideoInnerPage>) {
    };
    QWidget sheet;
    editor::VideoPage page(context, &sheet);
    page.load();
    auto *titleY = sheet.findChild<QLineEdit *>(QStringLiteral("CamYEdit"));
    const Figures pageSave = measure(
        [&](int run) {
            pendCopyToEveryChannel(context);
            titleY->setText(QString::number(20 + run));
        },
        [&] {
            const settings::ProfileBatch batch(context.store);
            page.save();
        });
    // The page's save writes the copies; only the window's Apply, once every page has saved,
    // ends the pending copy.
    settings::ProfileStore check;
    const bool pageWrote = check.readInt(tvCard, "ENCODER63", "Camera_Y", 0) == 20 + kRuns - 1;

    // The whole window's Apply: every page's checks and saves.
    editor::TSysSetForm form;
    form.show();
    auto *formTitleY = form.findChild<QLineEdit *>(QStringLiteral("CamYEdit"));
    auto *apply = form.findChild<QAbstractButton *>(QStringLiteral("ApplyBitBtn"));
    const Figures windowApply = measure(
        [&](int run) {
            pendCopyToEveryChannel(form.context());
            formTitleY->setText(QString::number(100 + run));
            noteAChange(&form);
        },
        [&] { pressApply(&form); });
    const bool windowWrote = check.readInt(tvCard, "ENCODER0", "Camera_Y", 0) == 100 + kRuns - 1
        && check.readInt(tvCard, "ENCODER63", "Camera_Y", 0) == 100 + kRuns - 1
        && !apply->isEnabled();

    std::printf("video page Apply, %d channels, pending copy to every channel, median of %d runs\n",
        kChannels, kRuns);
    std::printf("  TVCard.Ext %lld bytes before, %lld after\n", static_cast<long long>(fileSize),
        static_cast<long long>(QFile(tvCard).size()));
    std::printf("  %-40s %7.2f ms (fastest %.2f, slowest %.2f)\n", "video page save, one batch",
        pageSave.median, pageSave.fastest, pageSave.slowest);
    std::printf("  %-40s %7.2f ms (fastest %.2f, slowest %.2f)\n", "setup window Apply, all pages",
        windowApply.median, windowApply.fastest, windowApply.slowest);
    if (!pageWrote || !windowWrote) {
        std::fprintf(stderr, "the copy did not reach every channel\n");
        return 1;
    }
    return 0;
}
