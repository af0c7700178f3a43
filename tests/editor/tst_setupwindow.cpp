// The setup window's frame: channel and sensor tabs, the change rule, Apply's checks, the
// language at creation and the language switch.

#include "editor/sysset.h"
#include "editor/tabsets.h"
#include "formats/language.h"
#include "settings/settingsfiles.h"
#include "support/modalscript.h"
#include "support/setupfixture.h"
#include "support/widgetdriver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <limits>
#include <memory>

using namespace quillon;
using editor::TSysSetForm;

class TestSetupWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_fixture = std::make_unique<SetupFixture>();
        writeSystemFile(16, 16);
    }

    void channelTabs_data()
    {
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("lastLabel");
        QTest::newRow("4") << 4 << 91 << QStringLiteral(" 4");
        QTest::newRow("9") << 9 << 196 << QStringLiteral(" 9");
        QTest::newRow("10") << 10 << 221 << QStringLiteral("10");
        QTest::newRow("16") << 16 << 371 << QStringLiteral("16");
        QTest::newRow("32") << 32 << 688 << QStringLiteral("32");
    }

    void channelTabs()
    {
        QFETCH(int, channels);
        QFETCH(int, width);
        QFETCH(QString, lastLabel);
        writeSystemFile(channels, 3);
        auto form = showForm();
        for (const char *name : {"SelectChnTabSet", "AlarmChnTabSet"}) {
            auto *tabs = control<QTabBar>(form.get(), name);
            QCOMPARE(tabs->count(), channels);
            QCOMPARE(tabs->tabText(0), QStringLiteral(" 1"));
            QCOMPARE(tabs->tabText(channels - 1), lastLabel);
            QCOMPARE(tabs->width(), width);
            QCOMPARE(tabs->currentIndex(), 0);
        }
        auto *sensors = control<QTabBar>(form.get(), "SensorChnTabSet");
        QCOMPARE(sensors->count(), 3);
        QCOMPARE(sensors->width(), 70);
        QCOMPARE(chooserRows(form.get(), "BitBtn7"), channels);
        QCOMPARE(chooserRows(form.get(), "BitBtn17"), 3);

        auto *linked = control<QTreeWidget>(form.get(), "LinkChnListView");
        QCOMPARE(linked->topLevelItemCount(), channels);
        QCOMPARE(
            linked->topLevelItem(channels - 1)->text(0), QString::fromUtf8("通道%1").arg(channels));
        QCOMPARE(linked->topLevelItem(0)->text(1), QString::fromUtf8("无"));
    }

    // Damaged counts are bounded at load (and never written), so the show step stays quick.
    void damagedCountsAreBounded_data()
    {
        QTest::addColumn<QByteArray>("channels");
        QTest::addColumn<QByteArray>("sensors");
        QTest::addColumn<int>("shownChannels");
        QTest::addColumn<int>("shownSensors");
        QTest::addColumn<int>("alarmTabsWidth");
        QTest::newRow("huge channels")
            << QByteArray("100000") << QByteArray("3") << 256 << 3 << 688;
        QTest::newRow("largest integer")
            << QByteArray("2147483647") << QByteArray("2147483647") << 256 << 256 << 688;
        QTest::newRow("huge sensors") << QByteArray("4") << QByteArray("100000") << 4 << 256 << 91;
        QTest::newRow("negative") << QByteArray("-5") << QByteArray("-2147483648") << 0 << 0 << 0;
    }

    void damagedCountsAreBounded()
    {
        QFETCH(QByteArray, channels);
        QFETCH(QByteArray, sensors);
        QFETCH(int, shownChannels);
        QFETCH(int, shownSensors);
        QFETCH(int, alarmTabsWidth);
        SetupFixture::write("SysSet.Ext",
            "[System Options]\r\nMaxRecCount=" + channels
                + "\r\n[Sensor Options]\r\nAlarmDevChn=" + sensors + "\r\n");
        auto form = showForm();
        QCOMPARE(control<QTabBar>(form.get(), "SelectChnTabSet")->count(), shownChannels);
        QCOMPARE(control<QTabBar>(form.get(), "SensorChnTabSet")->count(), shownSensors);
        QCOMPARE(control<QTreeWidget>(form.get(), "LinkChnListView")->topLevelItemCount(),
            shownChannels);
        QCOMPARE(chooserRows(form.get(), "BitBtn7"), shownChannels);
        QCOMPARE(control<QTabBar>(form.get(), "AlarmChnTabSet")->width(), alarmTabsWidth);
        QCOMPARE(editor::tabSetWidth(std::numeric_limits<int>::max()), 688);

        SetupFixture::apply(form.get());
        const QByteArray written = SetupFixture::read("SysSet.Ext");
        QVERIFY2(written.contains("MaxRecCount=" + channels + "\r\n"), written.constData());
        QVERIFY2(written.contains("AlarmDevChn=" + sensors + "\r\n"), written.constData());
    }

    // A local copy that cannot be loaded is never replaced; Apply says so and stays on, and OK
    // goes no further.
    void applyThatCannotSaveSaysSo()
    {
        const QByteArray huge
            = "[System Options]\r\nMaxRecCount=4\r\n" + QByteArray(17 * 1024 * 1024, ';');
        SetupFixture::write("SysSet.Ext", huge);
        auto form = showForm();
        SetupFixture::touch(form.get());
        for (const char *button : {"ApplyBitBtn", "BitBtn1"}) {
            ModalScript script;
            QString shown;
            script.answer(QMessageBox::Ok, nullptr, &shown);
            control<QAbstractButton>(form.get(), button)->click();
            QVERIFY(script.finished());
            QCOMPARE(shown, QString::fromUtf8("有设置不能保存到本地设置文件，请检查后再应用。"));
            QVERIFY(control<QAbstractButton>(form.get(), "ApplyBitBtn")->isEnabled());
            QVERIFY(form->isVisible());
        }
        QCOMPARE(QFileInfo(SetupFixture::path("SysSet.Ext")).size(), huge.size());
    }

    // Enter in a field never presses a button: OK would upload and apply on the live server.
    void enterPressesNoButton()
    {
        auto form = showForm();
        for (QPushButton *button : form->findChildren<QPushButton *>())
            QVERIFY2(
                !button->isDefault() && !button->autoDefault(), qPrintable(button->objectName()));
        auto *field = control<QLineEdit>(form.get(), "CameraNameEdit");
        control<QTabWidget>(form.get(), "PageControl1")->setCurrentIndex(2);
        field->setFocus();
        QTest::keyClick(field, Qt::Key_Return);
        QTest::keyClick(field, Qt::Key_Enter);
        QTest::keyClick(form.get(), Qt::Key_Return);
        QVERIFY(form->isVisible());
        QCOMPARE(form->result(), 0);
    }

    // Escape cancels as Cancel does, but not while OK is uploading.
    void escapeCancels()
    {
        auto form = showForm();
        auto *field = control<QLineEdit>(form.get(), "CameraNameEdit");
        control<QTabWidget>(form.get(), "PageControl1")->setCurrentIndex(2);
        int uploads = 0;
        bool openAfterEscape = false;
        form->setUpload([&](bool) {
            ++uploads;
            QTest::keyClick(field, Qt::Key_Escape);
            openAfterEscape = form->isVisible();
            return TSysSetForm::UploadResult {};
        });
        SetupFixture::touch(form.get());
        control<QAbstractButton>(form.get(), "BitBtn1")->click();
        QCOMPARE(uploads, 1);
        QVERIFY(openAfterEscape);
        QCOMPARE(form->result(), int(QDialog::Accepted));

        auto again = showForm();
        again->setUpload([&](bool) {
            ++uploads;
            return TSysSetForm::UploadResult {};
        });
        SetupFixture::touch(again.get());
        QTest::keyClick(control<QLineEdit>(again.get(), "CameraNameEdit"), Qt::Key_Escape);
        QVERIFY(!again->isVisible());
        QCOMPARE(again->result(), int(QDialog::Rejected));
        QCOMPARE(uploads, 1);
    }

    // The channel and sensor tab bars take focus and switch with the arrow keys. Each sensor
    // without a section of its own starts recording on alarm with no channel linked, so its
    // load says that the start-recording box needs a channel and leaves the box off.
    void tabBarsSwitchWithArrows()
    {
        writeSystemFile(4, 4);
        writeChannelValues(4);
        auto form = showForm();
        const std::pair<const char *, int> bars[]
            = {{"SelectChnTabSet", 2}, {"AlarmChnTabSet", 3}, {"SensorChnTabSet", 4}};
        ModalScript script;
        QStringList notices(3);
        for (QString &notice : notices)
            script.answer(QMessageBox::Ok, nullptr, &notice);
        for (const auto &[name, page] : bars) {
            control<QTabWidget>(form.get(), "PageControl1")->setCurrentIndex(page);
            auto *tabs = control<QTabBar>(form.get(), name);
            QVERIFY2(tabs->focusPolicy() & Qt::TabFocus, name);
            QTest::keyClick(tabs, Qt::Key_Right);
            QTest::keyClick(tabs, Qt::Key_Right);
            QTest::keyClick(tabs, Qt::Key_Left);
            QCOMPARE(tabs->currentIndex(), 1);
        }
        QCOMPARE(shownTitle(form.get()), QStringLiteral("Channel 1"));
        QCOMPARE(shownSensitivity(form.get()), 11);
        QVERIFY(script.finished());
        QCOMPARE(notices, QStringList(3, QString::fromUtf8("请选择联动录像的通道！")));
    }

    void noSensors()
    {
        writeSystemFile(4, 0);
        auto form = showForm();
        auto *sensors = control<QTabBar>(form.get(), "SensorChnTabSet");
        QCOMPARE(sensors->count(), 0);
        QCOMPARE(sensors->width(), 0);
        QCOMPARE(sensors->currentIndex(), -1);
        QCOMPARE(chooserRows(form.get(), "BitBtn17"), 0);
    }

    void changeRuleAndChannelSwitch()
    {
        writeChannelValues(16);
        auto form = showForm();
        auto *apply = control<QAbstractButton>(form.get(), "ApplyBitBtn");
        auto *armOnItsOwn = control<QCheckBox>(form.get(), "CheckBox6");
        // The load at show set every control: that is no change.
        QVERIFY(!apply->isEnabled());
        armOnItsOwn->click();
        QVERIFY(apply->isEnabled());

        // Switching the channel drops the edit and disables Apply...
        control<QTabBar>(form.get(), "SelectChnTabSet")->setCurrentIndex(2);
        QCOMPARE(shownTitle(form.get()), QStringLiteral("Channel 2"));
        QVERIFY(!apply->isEnabled());
        // ...unless a pending copy goes to the new channel.
        ModalScript script;
        script.then([](QWidget *chooser) {
            control<QTreeWidget>(chooser, "ChnListView")
                ->topLevelItem(3)
                ->setCheckState(0, Qt::Checked);
            control<QAbstractButton>(chooser, "BitBtn1")->click();
        });
        control<QAbstractButton>(form.get(), "BitBtn7")->click();
        QVERIFY(script.finished());
        control<QTabBar>(form.get(), "SelectChnTabSet")->setCurrentIndex(3);
        QVERIFY(apply->isEnabled());
        control<QTabBar>(form.get(), "SelectChnTabSet")->setCurrentIndex(3);
        QVERIFY(apply->isEnabled());
        control<QTabBar>(form.get(), "AlarmChnTabSet")->setCurrentIndex(1);
        QVERIFY(!apply->isEnabled());
        QCOMPARE(shownSensitivity(form.get()), 11);
    }

    void failedCheckWritesNothingAndKeepsTheWindowOpen_data()
    {
        QTest::addColumn<QByteArray>("box");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("page");
        QTest::newRow("motion area")
            << QByteArray("CheckBox6") << QString::fromUtf8("请设置动态检测区域！") << 3;
        QTest::newRow("linked channel")
            << QByteArray("CheckBox8") << QString::fromUtf8("请选择联动录像的通道！") << 0;
    }

    void failedCheckWritesNothingAndKeepsTheWindowOpen()
    {
        QFETCH(QByteArray, box);
        QFETCH(QString, message);
        QFETCH(int, page);
        auto form = showForm();
        const QStringList before = QDir(settings::workFolderPath()).entryList(QDir::Files);
        control<QCheckBox>(form.get(), box.constData())->setChecked(true);
        SetupFixture::touch(form.get());

        ModalScript script;
        QString shown;
        script.answer(QMessageBox::Ok, nullptr, &shown);
        control<QAbstractButton>(form.get(), "BitBtn1")->click();
        QVERIFY(script.finished());
        QCOMPARE(shown, message);
        QVERIFY(form->isVisible());
        QCOMPARE(form->result(), 0);
        QVERIFY(control<QAbstractButton>(form.get(), "ApplyBitBtn")->isEnabled());
        QVERIFY(control<QAbstractButton>(form.get(), "BitBtn1")->isEnabled());
        QVERIFY(control<QAbstractButton>(form.get(), "BitBtn2")->isEnabled());
        QCOMPARE(control<QTabWidget>(form.get(), "PageControl1")->currentIndex(), page);
        QCOMPARE(QDir(settings::workFolderPath()).entryList(QDir::Files), before);

        // With an armed cell and a linked channel, Apply passes and goes off again.
        QTest::mouseClick(control<QWidget>(form.get(), "MotionCell4_5"), Qt::LeftButton);
        control<QTreeWidget>(form.get(), "LinkChnListView")
            ->topLevelItem(0)
            ->setCheckState(0, Qt::Checked);
        control<QAbstractButton>(form.get(), "ApplyBitBtn")->click();
        QVERIFY(!control<QAbstractButton>(form.get(), "ApplyBitBtn")->isEnabled());
    }

    void languageAtCreation_data()
    {
        QTest::addColumn<QByteArray>("locale");
        QTest::addColumn<bool>("english");
        QTest::newRow("1033") << QByteArray("en_US.UTF-8") << true;
        QTest::newRow("2057") << QByteArray("en_GB.UTF-8") << false;
        QTest::newRow("2052") << QByteArray("zh_CN.UTF-8") << false;
    }

    void languageAtCreation()
    {
        QFETCH(QByteArray, locale);
        QFETCH(bool, english);
        qputenv("LC_ALL", locale);
        auto form = showForm();
        QCOMPARE(form->windowTitle(),
            english ? QStringLiteral("Quillon") : QString::fromUtf8("远程配置"));
        QCOMPARE(control<QRadioButton>(form.get(), "EnRadioBtn")->isChecked(), english);
        QCOMPARE(control<QRadioButton>(form.get(), "CnRadioBtn")->isChecked(), !english);
        QCOMPARE(control<QTabBar>(form.get(), "RecordTabSet")->tabText(6),
            english ? QStringLiteral("Sunday") : QString::fromUtf8("星期天"));
    }

    void commonTextsInBothLanguages()
    {
        struct Expected
        {
            const char *control;
            const char *chinese;
            const char *english;
        };
        const Expected buttons[] = {{"BitBtn1", "确    定", "OK"},
            {"BitBtn2", "取    消", "Cancel"}, {"ApplyBitBtn", "应    用", "Apply"}};
        const Expected pages[] = {{"TabSheet1", "系统参数设置", "System settings"},
            {"TabSheet9", "系统用户管理", "System user settings"},
            {"TabSheet2", "图像属性及自动录像参数设置", "Video settings"},
            {"TabSheet7", "移动报警录像设置", "Motion detection"},
            {"TabSheet3", "报警探头设置", "Alarm sensor"},
            {"TabSheet8", "控制设备设置", "PTZ settings"},
            {"TabSheet10", "电子地图及网络端口", "Map and network port"},
            {"TabSheet11", "手机短信息", "Mobile message"}};
        const Expected innerPages[] = {{"TabSheet4", "视频属性", "Properties"},
            {"TabSheet5", "压缩及传输参数", "Compress/Trans"},
            {"TabSheet6", "自动录像设置", "Record schedule"}};
        auto form = showForm();
        auto *outer = control<QTabWidget>(form.get(), "PageControl1");
        auto *inner = control<QTabWidget>(form.get(), "PageControl2");
        QCOMPARE(outer->count(), 8);
        QVERIFY(!outer->isTabVisible(7));
        for (bool english : {false, true}) {
            control<QRadioButton>(form.get(), english ? "EnRadioBtn" : "CnRadioBtn")->click();
            auto text = [english](const Expected &e) {
                return english ? QString::fromUtf8(e.english) : QString::fromUtf8(e.chinese);
            };
            for (const Expected &e : buttons)
                QCOMPARE(control<QAbstractButton>(form.get(), e.control)->text(), text(e));
            for (int i = 0; i < 8; ++i) {
                QCOMPARE(outer->widget(i)->objectName(), QLatin1String(pages[i].control));
                QCOMPARE(outer->tabText(i), text(pages[i]));
            }
            for (int i = 0; i < 3; ++i) {
                QCOMPARE(inner->widget(i)->objectName(), QLatin1String(innerPages[i].control));
                QCOMPARE(inner->tabText(i), text(innerPages[i]));
            }
            QCOMPARE(form->windowTitle(),
                english ? QStringLiteral("Quillon") : QString::fromUtf8("远程配置"));
            QCOMPARE(outer->tabBar()->font().family(),
                english ? QStringLiteral("MS Sans Serif") : QString::fromUtf8("宋体"));
            QCOMPARE(control<QTreeWidget>(form.get(), "LinkChnListView")->topLevelItem(1)->text(0),
                english ? QStringLiteral("Channel2") : QString::fromUtf8("通道2"));
        }
    }

    void languageSwitchIsNoChange()
    {
        auto form = showForm();
        auto *apply = control<QAbstractButton>(form.get(), "ApplyBitBtn");
        auto *outputType = control<QComboBox>(form.get(), "cbbOutPortType");
        outputType->addItems({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
        outputType->setCurrentIndex(2);
        control<QRadioButton>(form.get(), "EnRadioBtn")->click();
        QVERIFY(!formats::isChinese());
        control<QRadioButton>(form.get(), "CnRadioBtn")->click();
        QVERIFY(formats::isChinese());
        QVERIFY(!apply->isEnabled());
        QCOMPARE(outputType->currentIndex(), 2);

        SetupFixture::touch(form.get());
        control<QRadioButton>(form.get(), "EnRadioBtn")->click();
        QVERIFY(apply->isEnabled());
        // Clicking the checked button again changes nothing.
        control<QRadioButton>(form.get(), "EnRadioBtn")->click();
        QVERIFY(!formats::isChinese());
    }

private:
    void writeSystemFile(int channels, int sensors)
    {
        SetupFixture::writeSystem(channels, sensors);
        SetupFixture::writeQuietFirstSensor();
    }

    // Each channel's own title and motion sensitivity, so that the shown channel shows.
    static void writeChannelValues(int channels)
    {
        QByteArray titles, sensitivities;
        for (int channel = 0; channel < channels; ++channel) {
            const QByteArray section = "[ENCODER" + QByteArray::number(channel) + "]\r\n";
            titles += section + "CameraName=Channel " + QByteArray::number(channel) + "\r\n";
            sensitivities += section + "AlarmSense=" + QByteArray::number(10 + channel) + "\r\n";
        }
        SetupFixture::write("TVCard.Ext", titles);
        SetupFixture::write("AlarmSet.Ext", sensitivities);
    }

    static QString shownTitle(QWidget *form)
    {
        return control<QLineEdit>(form, "CameraNameEdit")->text();
    }

    static int shownSensitivity(QWidget *form)
    {
        return control<QSlider>(form, "TrackBar3")->value();
    }

    // The rows of the channel chooser that the button opens, which is then cancelled; none
    // when it does not open.
    static int chooserRows(QWidget *form, const char *button)
    {
        int rows = 0;
        ModalScript script;
        script.then([&rows](QWidget *chooser) {
            rows = control<QTreeWidget>(chooser, "ChnListView")->topLevelItemCount();
            control<QAbstractButton>(chooser, "BitBtn2")->click();
        });
        control<QAbstractButton>(form, button)->click();
        return rows;
    }

    std::unique_ptr<TSysSetForm> showForm() { return SetupFixture::showForm(); }

    std::unique_ptr<SetupFixture> m_fixture;
};

QTEST_MAIN(TestSetupWindow)
#include "tst_setupwindow.moc"
