// The video page: per-channel overlay, mask, encoding and recording keys of TVCard.Ext, the
// quality presets of Profile.ext, the checks at Apply, the channel switch and the copy to
// other channels.

#include "editor/numberfield.h"
#include "editor/sysset.h"
#include "formats/language.h"
#include "formats/profileaccess.h"
#include "formats/videosettings.h"
#include "settings/profilestore.h"
#include "settings/settingsfiles.h"
#include "support/modalscript.h"
#include "support/setupfixture.h"
#include "support/storedvalue.h"
#include "support/widgetdriver.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <csignal>
#include <memory>
#include <sys/resource.h>

using namespace quillon;
using editor::NumberField;
using editor::TSysSetForm;

namespace {

// A key of the local TVCard.Ext as the server would read it.
QByteArray stored(const QByteArray &section, const char *key)
{
    return SetupFixture::value("TVCard.Ext", section, key);
}

// A channel's section with a title of its own and a recording timetable.
QByteArray channelSections(int channel, const QByteArray &keys = "CompressMode=4\r\n")
{
    const QByteArray n = QByteArray::number(channel);
    return "[ENCODER" + n + "]\r\nShowCamera=1\r\nCameraName=Cam" + n + "\r\nCamera_Y=10" + n
        + "\r\n" + keys + "[RECORD TABLE" + n + "]\r\n1=1,0" + n + ":00-0" + n + ":30,91,\r\n";
}

} // namespace

class TestVideoPage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { m_form.reset(); }

    void init()
    {
        m_fixture = std::make_unique<SetupFixture>();
        setChannels(4);
        QFile::copy(QStringLiteral(QUILLON_SAMPLES_DIR "/SysConfig/Profile.ext"),
            SetupFixture::path("Profile.ext"));
    }

    void codes_data()
    {
        QTest::addColumn<QByteArray>("keys");
        QTest::addColumn<QByteArray>("radios");
        QTest::addColumn<QByteArray>("written"); // RecordMode, CompressMode, EncodeMode
        QTest::newRow("MPEG4, audio, excellent")
            << QByteArray("RecordMode=1\r\nCompressMode=2\r\nEncodeMode=0\r\n")
            << QByteArray("LAVERadioBtn RadioButton1 RadioButton5") << QByteArray("1 1 0");
        QTest::newRow("out of range")
            << QByteArray("RecordMode=3\r\nCompressMode=7\r\nEncodeMode=5\r\n")
            << QByteArray("LVERadioBtn RadioButton2 RadioButton7") << QByteArray("2 4 2");
        QTest::newRow("zero") << QByteArray("RecordMode=0\r\nCompressMode=0\r\nEncodeMode=1\r\n")
                              << QByteArray("LVERadioBtn RadioButton1 RadioButton6")
                              << QByteArray("2 1 1");
        QTest::newRow("not numbers")
            << QByteArray("RecordMode=a\r\nCompressMode=b\r\nEncodeMode=c\r\n")
            << QByteArray("LVERadioBtn RadioButton2 RadioButton7") << QByteArray("2 4 2");
    }

    void codes()
    {
        QFETCH(QByteArray, keys);
        QFETCH(QByteArray, radios);
        QFETCH(QByteArray, written);
        SetupFixture::write("TVCard.Ext", "[ENCODER0]\r\n" + keys);
        showForm();
        for (const QByteArray &radio : radios.split(' '))
            QVERIFY2(ui<QRadioButton>(radio.constData())->isChecked(), radio.constData());
        apply();
        const QList<QByteArray> codes = written.split(' ');
        QCOMPARE(stored("ENCODER0", "RecordMode"), codes[0]);
        QCOMPARE(stored("ENCODER0", "CompressMode"), codes[1]);
        QCOMPARE(stored("ENCODER0", "EncodeMode"), codes[2]);
    }

    void profileSectionByChannelCount()
    {
        const std::pair<int, const char *> cases[] = {{1, "4 Chn Options"}, {4, "4 Chn Options"},
            {5, "8 Chn Options"}, {8, "8 Chn Options"}, {9, "12 Chn Options"},
            {12, "12 Chn Options"}, {13, "16 Chn Options"}, {16, "16 Chn Options"},
            {17, "24 Chn Options"}, {20, "24 Chn Options"}, {64, "24 Chn Options"}};
        for (const auto &[channels, section] : cases)
            QCOMPARE(formats::profileSection(channels), QByteArray(section));
    }

    // The good level of a 16-channel server comes from "16 Chn Options"; without the file the
    // presets are 256 and 5.
    void qualityPresetShown()
    {
        setChannels(16);
        SetupFixture::write("TVCard.Ext", "[ENCODER0]\r\nEncodeMode=1\r\n");
        {
            showForm();
            QCOMPARE(ui<QSlider>("MaxRateTrackBar")->value(), 448);
            QCOMPARE(ui<QLineEdit>("MaxRateEdit")->text(), QStringLiteral("448"));
            QCOMPARE(ui<QLineEdit>("QualityEdit")->text(), QStringLiteral("9"));
            QVERIFY(!ui<QAbstractButton>("ApplyBitBtn")->isEnabled());
        }
        QFile::remove(SetupFixture::path("Profile.ext"));
        {
            showForm();
            QCOMPARE(ui<QLineEdit>("MaxRateEdit")->text(), QStringLiteral("256"));
            QCOMPARE(ui<QLineEdit>("QualityEdit")->text(), QStringLiteral("5"));
        }
        // Presets at the sliders' minimums are shown too.
        SetupFixture::write("Profile.ext", "[16 Chn Options]\r\nBitRate_1=56\r\nQuality_1=1\r\n");
        showForm();
        QCOMPARE(ui<QLineEdit>("MaxRateEdit")->text(), QStringLiteral("56"));
        QCOMPARE(ui<QLineEdit>("QualityEdit")->text(), QStringLiteral("1"));
    }

    // A channel's stored numbers that its fields cannot show are written back as stored; the
    // one the operator edits is written as edited.
    void storedNumbersOutsideTheFieldsSurvive()
    {
        setChannels(2);
        SetupFixture::write("TVCard.Ext",
            channelSections(0)
                + channelSections(1, "Cover_Width=400\r\nSecondPerFile=0\r\nDate_X=-3\r\n"));
        showForm();
        ui<QTabBar>("SelectChnTabSet")->setCurrentIndex(1);
        QCOMPARE(ui<NumberField>("CoverWEdit")->value(), 352);
        QCOMPARE(ui<QLineEdit>("DateXEdit")->text(), QStringLiteral("0"));
        auto *fileLength = ui<NumberField>("SpinEdit1");
        QCOMPARE(fileLength->value(), 1);
        fileLength->selectAll();
        QTest::keyClicks(fileLength, QStringLiteral("20"));
        apply();
        QCOMPARE(stored("ENCODER1", "Cover_Width"), QByteArray("400"));
        QCOMPARE(stored("ENCODER1", "Date_X"), QByteArray("-3"));
        QCOMPARE(stored("ENCODER1", "SecondPerFile"), QByteArray("20"));
    }

    void channelWithoutSectionLoadsAndWritesDefaults()
    {
        SetupFixture::write("TVCard.Ext", channelSections(0));
        showForm();
        ui<QTabBar>("SelectChnTabSet")->setCurrentIndex(2);
        QCOMPARE(ui<QLineEdit>("CameraNameEdit")->text(), QStringLiteral("Cam No.2"));
        QCOMPARE(ui<QLineEdit>("CoverWEdit")->text(), QStringLiteral("1"));
        QCOMPARE(ui<QLineEdit>("IFrameEdit")->text(), QStringLiteral("4"));
        QVERIFY(ui<QRadioButton>("RadioButton7")->isChecked());
        QVERIFY(!ui<QGroupBox>("RateSetupGroupBox")->isEnabled());
        QVERIFY(!ui<QGroupBox>("QualityGroupBox")->isEnabled());
        QVERIFY(ui<QCheckBox>("CheckBox5")->isHidden());
        QCOMPARE(ui<QTreeWidget>("RecordListView0")->topLevelItemCount(), 0);

        apply();
        const std::pair<const char *, const char *> expected[] = {{"ShowCamera", "1"},
            {"CameraName", "Cam No.2"}, {"Camera_X", "8"}, {"Camera_Y", "10"}, {"ShowDate", "1"},
            {"ShowTime", "1"}, {"Date_X", "80"}, {"Date_Y", "10"}, {"PreviewCover", "0"},
            {"RecordCover", "0"}, {"Cover_X", "0"}, {"Cover_Y", "0"}, {"Cover_Width", "1"},
            {"Cover_Height", "1"}, {"RecordMode", "2"}, {"CompressMode", "4"}, {"EncodeMode", "2"},
            {"IFrameInterval", "4"}, {"FrameRateLevel", "2"}, {"FrameRateReduction", "0"},
            {"PreRecord", "0"}, {"PreRecTime", "5"}, {"AutoRecord", "0"}, {"SecondPerFile", "10"},
            {"AllowATMRecord", "0"}, {"ATMNo", "3"}, {"ATMSecondPerFile", "1"}};
        for (const auto &[key, value] : expected)
            QCOMPARE(stored("ENCODER2", key), QByteArray(value));
        QCOMPARE(stored("ENCODER2", "IFrameIntervalPS"), kMissingKey);
        for (const char *day : {"1", "7"})
            QCOMPARE(stored("RECORD TABLE2", day), QByteArray("0,"));
        // The whole server uses one compression; no other key reaches another channel.
        QCOMPARE(stored("ENCODER3", "CompressMode"), QByteArray("4"));
        QCOMPARE(stored("ENCODER3", "ShowCamera"), kMissingKey);
        QCOMPARE(stored("ENCODER0", "CameraName"), QByteArray("Cam0"));
        QCOMPARE(stored("RECORD TABLE0", "1"), QByteArray("1,00:00-00:30,91,"));
    }

    // CompressMode goes into every channel, the other keys only into the channel shown; the key
    // interval is read from IFrameIntervalPS and written to IFrameInterval.
    void compressModeGoesToEveryChannel()
    {
        setChannels(8);
        QByteArray content;
        for (int channel = 0; channel < 8; ++channel)
            content += channel == 2
                ? channelSections(2, "CompressMode=1\r\nIFrameIntervalPS=3\r\nIFrameInterval=5\r\n")
                : channelSections(channel);
        SetupFixture::write("TVCard.Ext", content);
        showForm();
        ui<QTabBar>("SelectChnTabSet")->setCurrentIndex(2);
        QVERIFY(ui<QRadioButton>("RadioButton1")->isChecked());
        QCOMPARE(ui<QLineEdit>("IFrameEdit")->text(), QStringLiteral("3"));
        apply();
        for (int channel = 0; channel < 8; ++channel)
            QCOMPARE(
                stored("ENCODER" + QByteArray::number(channel), "CompressMode"), QByteArray("1"));
        QCOMPARE(stored("ENCODER2", "IFrameInterval"), QByteArray("3"));
        QCOMPARE(stored("ENCODER2", "IFrameIntervalPS"), QByteArray("3"));
        QCOMPARE(stored("ENCODER2", "Cover_Width"), QByteArray("1"));
        QCOMPARE(stored("ENCODER1", "Cover_Width"), kMissingKey);
        QCOMPARE(stored("ENCODER7", "Camera_Y"), QByteArray("107"));
    }

    void maskMustFitThePicture_data()
    {
        QTest::addColumn<QList<int>>("area"); // x, width, y, height
        QTest::addColumn<QString>("focus"); // empty when Apply passes
        QTest::newRow("300 + 60") << QList<int> {300, 60, 0, 1} << QStringLiteral("CoverWEdit");
        QTest::newRow("292 + 60") << QList<int> {292, 60, 0, 1} << QString();
        QTest::newRow("300 + 53") << QList<int> {300, 53, 0, 1} << QStringLiteral("CoverWEdit");
        QTest::newRow("200 + 100 high")
            << QList<int> {0, 10, 200, 100} << QStringLiteral("CoverHEdit");
        QTest::newRow("200 + 88 high") << QList<int> {0, 10, 200, 88} << QString();
        QTest::newRow("both too big")
            << QList<int> {300, 60, 200, 100} << QStringLiteral("CoverWEdit");
    }

    void maskMustFitThePicture()
    {
        QFETCH(QList<int>, area);
        QFETCH(QString, focus);
        SetupFixture::write("TVCard.Ext", "[ENCODER0]\r\nPreviewCover=1\r\n");
        showForm();
        const char *fields[] = {"CoverXEdit", "CoverWEdit", "CoverYEdit", "CoverHEdit"};
        for (int i = 0; i < 4; ++i)
            ui<NumberField>(fields[i])->setValue(area[i]);
        ui<QTabWidget>("PageControl1")->setCurrentIndex(4);
        const QByteArray before = SetupFixture::read("TVCard.Ext");
        const QString message = applyWithNotice();
        if (focus.isEmpty()) {
            QCOMPARE(message, QString());
            QCOMPARE(stored("ENCODER0", "Cover_Width"), QByteArray::number(area[1]));
            return;
        }
        QCOMPARE(message, QString::fromUtf8("宽度应少于352，高度应少于288！"));
        QCOMPARE(m_form->focusWidget()->objectName(), focus);
        QVERIFY(ui<QLineEdit>(focus.toLatin1().constData())->hasSelectedText());
        QCOMPARE(ui<QTabWidget>("PageControl1")->currentIndex(), 2);
        QCOMPARE(ui<QTabWidget>("PageControl2")->currentIndex(), 0);
        QCOMPARE(SetupFixture::read("TVCard.Ext"), before);
        QVERIFY(ui<QAbstractButton>("ApplyBitBtn")->isEnabled());
    }

    void positionsMustBeWholeNumbers()
    {
        SetupFixture::write("TVCard.Ext", "[ENCODER0]\r\nShowCamera=1\r\n");
        showForm();
        auto *camX = ui<QLineEdit>("CamXEdit");
        auto *dateY = ui<QLineEdit>("DateYEdit");
        auto *inner = ui<QTabWidget>("PageControl2");
        const QByteArray before = SetupFixture::read("TVCard.Ext");

        camX->clear();
        inner->setCurrentIndex(2);
        QCOMPARE(
            applyWithNotice(), QString::fromUtf8("请输入摄像机标题显示的横坐标（8 的倍数）！"));
        QCOMPARE(m_form->focusWidget(), camX);
        QCOMPARE(inner->currentIndex(), 0);

        // Digits with a blank between them, as the three-place field lets them be typed.
        camX->setCursorPosition(0);
        QTest::keyClick(camX, Qt::Key_1);
        QTest::keyClick(camX, Qt::Key_Right);
        QTest::keyClick(camX, Qt::Key_2);
        QCOMPARE(camX->displayText(), QStringLiteral("1 2"));
        QCOMPARE(applyWithNotice(), QString::fromUtf8("摄像机标题显示的横坐标必须是整数！"));
        QCOMPARE(m_form->focusWidget(), camX);
        QCOMPARE(camX->selectedText(), camX->displayText());
        QCOMPARE(SetupFixture::read("TVCard.Ext"), before);

        camX->setText(QStringLiteral("016"));
        dateY->setText(QStringLiteral("  "));
        formats::setChinese(false);
        QCOMPARE(applyWithNotice(), QStringLiteral("Input date Y coordinates please!"));
        QCOMPARE(camX->text(), QStringLiteral("16"));
        QCOMPARE(m_form->focusWidget(), dateY);
        formats::setChinese(true);

        // With the title off its fields are not checked; an empty position reads back as 8.
        ui<QCheckBox>("CameraCheckBox")->setChecked(false);
        camX->clear();
        dateY->setText(QStringLiteral("9"));
        QCOMPARE(applyWithNotice(), QString());
        QCOMPARE(stored("ENCODER0", "Camera_X"), QByteArray(""));
        QCOMPARE(stored("ENCODER0", "Date_Y"), QByteArray("9"));
        settings::ProfileStore store;
        const settings::ProfileFile tvCard(store, SetupFixture::path("TVCard.Ext"));
        QCOMPARE(formats::readNumber(tvCard, schema::settingOf("CamXEdit"), 0), 8);
    }

    void titleHoldsTwentyGbkBytes()
    {
        SetupFixture::write("TVCard.Ext",
            "[ENCODER0]\r\nCameraName=\x81\x30"
            "ab\r\n[ENCODER1]\r\nCameraName=x\r\n");
        setChannels(2);
        {
            // A title the operator leaves alone keeps its bytes, even ones GBK cannot show.
            showForm();
            apply();
            QCOMPARE(stored("ENCODER0", "CameraName"),
                QByteArray("\x81\x30"
                           "ab"));
        }
        showForm();
        ui<QTabBar>("SelectChnTabSet")->setCurrentIndex(1);
        auto *title = ui<QLineEdit>("CameraNameEdit");
        title->clear();
        QTest::keyClicks(title, QStringLiteral("abcdefghijklmnopqrstuvw"));
        QCOMPARE(title->text(), QStringLiteral("abcdefghijklmnopqrst"));
        title->clear();
        for (QChar c : QString::fromUtf8("一二三四五六七八九十百"))
            title->insert(QString(c));
        QCOMPARE(title->text(), QString::fromUtf8("一二三四五六七八九十"));
        apply();
        QCOMPARE(stored("ENCODER1", "CameraName"),
            QByteArray("\xD2\xBB\xB6\xFE\xC8\xFD\xCB\xC4\xCE\xE5\xC1\xF9\xC6\xDF\xB0\xCB\xBE\xC5"
                       "\xCA\xAE"));
    }

    void copyToChannelsWritesExactlyTheTargets()
    {
        setChannels(6);
        QByteArray content;
        for (int channel = 0; channel < 6; ++channel)
            content += channelSections(channel);
        SetupFixture::write("TVCard.Ext", content);
        showForm();
        auto *apply = ui<QAbstractButton>("ApplyBitBtn");
        auto *camY = ui<QLineEdit>("CamYEdit");
        auto *tabs = ui<QTabBar>("SelectChnTabSet");

        ModalScript script;
        QString caption;
        script.then([&](QWidget *chooser) {
            caption = chooser->windowTitle();
            auto *rows = chooser->findChild<QTreeWidget *>(QStringLiteral("ChnListView"));
            rows->topLevelItem(1)->setCheckState(0, Qt::Checked);
            rows->topLevelItem(3)->setCheckState(0, Qt::Checked);
            chooser->findChild<QAbstractButton *>(QStringLiteral("BitBtn1"))->click();
        });
        ui<QAbstractButton>("BitBtn7")->click();
        QCOMPARE(caption, QString::fromUtf8("通道选择"));
        QVERIFY(apply->isEnabled());
        camY->setText(QStringLiteral("200"));

        // A target keeps the shown values; only its own title is shown.
        tabs->setCurrentIndex(3);
        QCOMPARE(camY->text(), QStringLiteral("200"));
        QCOMPARE(ui<QLineEdit>("CameraNameEdit")->text(), QStringLiteral("Cam3"));
        QCOMPARE(
            ui<QTreeWidget>("RecordListView0")->topLevelItem(0)->text(0), QStringLiteral("00:00"));
        QVERIFY(apply->isEnabled());
        tabs->setCurrentIndex(0);
        QVERIFY(apply->isEnabled());

        // An Apply whose save fails (a full disk) keeps the copy, so the next one writes it.
        {
            ::signal(SIGXFSZ, SIG_IGN);
            rlimit saved {};
            ::getrlimit(RLIMIT_FSIZE, &saved);
            const rlimit full {64, saved.rlim_max};
            ::setrlimit(RLIMIT_FSIZE, &full);
            ModalScript failure;
            QString failureText;
            failure.answer(QMessageBox::Ok, nullptr, &failureText);
            apply->click();
            ::setrlimit(RLIMIT_FSIZE, &saved);
            QVERIFY(failureText.startsWith(QString::fromUtf8("有设置不能保存到本地设置文件")));
            QVERIFY(apply->isEnabled());
        }
        QCOMPARE(stored("ENCODER1", "Camera_Y"), QByteArray("101"));

        apply->click();
        for (const char *target : {"0", "1", "3"}) {
            QCOMPARE(stored(QByteArray("ENCODER") + target, "Camera_Y"), QByteArray("200"));
            QCOMPARE(stored(QByteArray("ENCODER") + target, "CompressMode"), QByteArray("4"));
            QCOMPARE(
                stored(QByteArray("RECORD TABLE") + target, "1"), QByteArray("1,00:00-00:30,91,"));
            QCOMPARE(stored(QByteArray("RECORD TABLE") + target, "2"), QByteArray("0,"));
        }
        QCOMPARE(stored("ENCODER1", "CameraName"), QByteArray("Cam1"));
        QCOMPARE(stored("ENCODER3", "CameraName"), QByteArray("Cam3"));
        for (const char *other : {"2", "4", "5"}) {
            QCOMPARE(stored(QByteArray("ENCODER") + other, "Camera_Y"), QByteArray("10") + other);
            QCOMPARE(stored(QByteArray("ENCODER") + other, "Cover_Width"), kMissingKey);
            QCOMPARE(stored(QByteArray("RECORD TABLE") + other, "2"), kMissingKey);
        }
        // The save ended the copy: another channel is shown without a word.
        ModalScript quiet;
        tabs->setCurrentIndex(2);
        QCOMPARE(quiet.takeTexts(), QStringList());
        QCOMPARE(camY->text(), QStringLiteral("102"));
    }

    // A switch to a channel that is no target ends the copy and says so; that channel's edits
    // are what Apply writes.
    void switchToAnotherChannelEndsTheCopy()
    {
        qputenv("LC_ALL", "en_US.UTF-8");
        setChannels(3);
        SetupFixture::write(
            "TVCard.Ext", channelSections(0) + channelSections(1) + channelSections(2));
        showForm();
        ModalScript script;
        QString notice;
        script
            .then([](QWidget *chooser) {
                auto *rows = chooser->findChild<QTreeWidget *>(QStringLiteral("ChnListView"));
                rows->topLevelItem(1)->setCheckState(0, Qt::Checked);
                chooser->findChild<QAbstractButton *>(QStringLiteral("BitBtn1"))->click();
            })
            .answer(QMessageBox::Ok, nullptr, &notice);
        ui<QLineEdit>("CamYEdit")->setText(QStringLiteral("200"));
        ui<QAbstractButton>("BitBtn7")->click();
        ui<QTabBar>("SelectChnTabSet")->setCurrentIndex(2);
        QVERIFY(script.finished());
        QCOMPARE(notice,
            QStringLiteral("Switching to another channel (sensor) cancelled the pending "
                           "\"Copy to ...\"; nothing was copied."));
        QCOMPARE(ui<QLineEdit>("CamYEdit")->text(), QStringLiteral("102"));
        ui<QLineEdit>("CamYEdit")->setText(QStringLiteral("150"));
        ui<QAbstractButton>("ApplyBitBtn")->click();
        QCOMPARE(stored("ENCODER2", "Camera_Y"), QByteArray("150"));
        QCOMPARE(stored("ENCODER1", "Camera_Y"), QByteArray("101"));
        QCOMPARE(stored("ENCODER0", "Camera_Y"), QByteArray("100"));
    }

    // A copy target keeps its own title even while titles are not shown, and cancelling the
    // chooser later leaves the copy as it was.
    void copyKeepsTitlesAndSurvivesACancel()
    {
        setChannels(3);
        SetupFixture::write(
            "TVCard.Ext", channelSections(0) + channelSections(1) + channelSections(2));
        showForm();
        ui<QCheckBox>("CameraCheckBox")->setChecked(false);
        ModalScript script;
        script.then([](QWidget *chooser) {
            auto *rows = chooser->findChild<QTreeWidget *>(QStringLiteral("ChnListView"));
            rows->topLevelItem(2)->setCheckState(0, Qt::Checked);
            chooser->findChild<QAbstractButton *>(QStringLiteral("BitBtn1"))->click();
        });
        ui<QAbstractButton>("BitBtn7")->click();
        script.then([](QWidget *chooser) {
            chooser->findChild<QAbstractButton *>(QStringLiteral("BitBtn2"))->click();
        });
        ui<QAbstractButton>("BitBtn7")->click();

        ui<QTabBar>("SelectChnTabSet")->setCurrentIndex(2);
        QCOMPARE(ui<QLineEdit>("CameraNameEdit")->text(), QStringLiteral("Cam2"));
        ui<QAbstractButton>("ApplyBitBtn")->click();
        QCOMPARE(stored("ENCODER2", "CameraName"), QByteArray("Cam2"));
        QCOMPARE(stored("ENCODER0", "ShowCamera"), QByteArray("0"));
        QCOMPARE(stored("ENCODER2", "ShowCamera"), QByteArray("0"));
        QCOMPARE(stored("ENCODER1", "ShowCamera"), QByteArray("1"));
    }

    void switchingChannelsDropsEdits()
    {
        setChannels(2);
        SetupFixture::write("TVCard.Ext", channelSections(0) + channelSections(1));
        showForm();
        auto *apply = ui<QAbstractButton>("ApplyBitBtn");
        auto *title = ui<QLineEdit>("CameraNameEdit");
        auto *tabs = ui<QTabBar>("SelectChnTabSet");
        QTest::keyClicks(title, QStringLiteral("X"));
        ui<QCheckBox>("PrevCoverCheckBox")->click();
        QVERIFY(apply->isEnabled());
        tabs->setCurrentIndex(1);
        QCOMPARE(title->text(), QStringLiteral("Cam1"));
        QVERIFY(!apply->isEnabled());
        tabs->setCurrentIndex(0);
        QCOMPARE(title->text(), QStringLiteral("Cam0"));
        QVERIFY(!ui<QCheckBox>("PrevCoverCheckBox")->isChecked());
        QVERIFY(!apply->isEnabled());
    }

    void enablingFollowsTheBoxes()
    {
        SetupFixture::write(
            "TVCard.Ext", "[ENCODER0]\r\nShowCamera=0\r\nShowDate=0\r\nShowTime=1\r\n");
        showForm();
        QVERIFY(!ui<QLineEdit>("CamXEdit")->isEnabled());
        QVERIFY(ui<QLineEdit>("DateXEdit")->isEnabled());
        ui<QCheckBox>("CameraCheckBox")->click();
        QVERIFY(ui<QLineEdit>("CameraNameEdit")->isEnabled());
        ui<QCheckBox>("TimeCheckBox")->click();
        QVERIFY(!ui<QLineEdit>("DateYEdit")->isEnabled());
        QVERIFY(ui<QAbstractButton>("ApplyBitBtn")->isEnabled());
    }

    void layoutFollowsTheLanguage()
    {
        SetupFixture::write("TVCard.Ext", "[ENCODER0]\r\n");
        showForm();
        auto *note = ui<QLabel>("Label28");
        auto *group = ui<QGroupBox>("GroupBox14");
        const int lefts[2][3] = {{27, 99, 172}, {17, 105, 162}};
        for (bool english : {true, false}) {
            ui<QRadioButton>(english ? "EnRadioBtn" : "CnRadioBtn")->click();
            QCOMPARE(note->text(),
                english ? QStringLiteral("Area size range: Width 1-352, Height 1-288")
                        : QString::fromUtf8("区域大小范围：宽 1-352，高 1-288"));
            QCOMPARE(note->x(), (group->width() - note->width()) / 2);
            QCOMPARE(note->width(), note->sizeHint().width());
            const char *buttons[] = {"RadioButton5", "RadioButton6", "RadioButton7"};
            for (int i = 0; i < 3; ++i)
                QCOMPARE(ui<QRadioButton>(buttons[i])->x(), lefts[english ? 1 : 0][i]);
        }
    }

private:
    void setChannels(int channels) { SetupFixture::writeSystem(channels, 0); }

    void showForm()
    {
        m_form.reset();
        m_form = SetupFixture::showForm();
        m_form->activateWindow();
        if (!QTest::qWaitForWindowActive(m_form.get()))
            qWarning("the setup window did not become active");
    }

    template<class Control> Control *ui(const char *name)
    {
        return control<Control>(m_form.get(), name);
    }

    // A change, then Apply.
    void apply()
    {
        SetupFixture::apply(m_form.get());
        QVERIFY(!ui<QAbstractButton>("ApplyBitBtn")->isEnabled());
    }

    // Apply; the text of the notice it showed, or nothing when it passed.
    QString applyWithNotice()
    {
        QString text;
        ModalScript script;
        script.answer(QMessageBox::Ok, nullptr, &text);
        SetupFixture::apply(m_form.get());
        return text;
    }

    std::unique_ptr<SetupFixture> m_fixture;
    std::unique_ptr<TSysSetForm> m_form;
};

QTEST_MAIN(TestVideoPage)
#include "tst_videopage.moc"
