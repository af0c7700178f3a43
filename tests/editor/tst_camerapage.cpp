// The camera control page: the list as loaded, the control port, the edit dialog for one or
// several channels with its checks and immediate writes, and stored indexes outside the lists.

#include "support/modalscript.h"
#include "support/setupfixture.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QTimer>
#include <QTreeWidget>

#include <csignal>
#include <sys/resource.h>

namespace {

// Columns of the camera list: channel, type, address, protocol, baud rate texts.
constexpr int kType = 1, kAddress = 2, kProtocol = 3, kBaud = 4;

QByteArray sixCameras()
{
    QByteArray bytes = "[Camera Ctrl]\r\nCtrlPort=2\r\n";
    for (int channel = 0; channel < 6; ++channel)
        bytes += "[ENCODER" + QByteArray::number(channel) + "]\r\nCamNo="
            + QByteArray::number(11 + channel) + "\r\nCamType=1\r\nProtocol=3\r\nBaudrate=2\r\n";
    return bytes;
}

void selectRows(QTreeWidget *list, QList<int> rows)
{
    list->clearSelection();
    for (int row : rows)
        list->topLevelItem(row)->setSelected(true);
}

template<class Control> Control *in(QWidget *dialog, const char *name)
{
    return control<Control>(dialog, name);
}

} // namespace

class TestCameraPage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_fixture = std::make_unique<SetupFixture>();
        SetupFixture::writeSystem(6, 0);
    }

    void missingFileGivesDefaults()
    {
        auto form = SetupFixture::showForm();
        auto *list = control<QTreeWidget>(form.get(), "ListView2");
        QCOMPARE(list->topLevelItemCount(), 6);
        for (int row = 0; row < 6; ++row) {
            const QTreeWidgetItem *item = list->topLevelItem(row);
            QCOMPARE(item->text(0), QString::number(row + 1));
            QCOMPARE(item->text(kType), QString::fromUtf8("固定摄像机"));
            QCOMPARE(item->text(kAddress), QString::number(row + 1));
            QCOMPARE(item->text(kProtocol), QString::fromUtf8("华光HN-4200系列"));
            QCOMPARE(item->text(kBaud), QStringLiteral("9600"));
        }
        QCOMPARE(
            control<QComboBox>(form.get(), "PTZComboBox")->currentText(), QStringLiteral("COM1"));
        SetupFixture::apply(form.get());
        QCOMPARE(
            SetupFixture::read("CameraSet.Ext"), QByteArray("[Camera Ctrl]\r\nCtrlPort=0\r\n"));
    }

    void controlPort_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QByteArray>("saved");
        QTest::newRow("9") << QByteArray("9") << QStringLiteral("COM10") << QByteArray("9");
        QTest::newRow("12") << QByteArray("12") << QStringLiteral("COM1") << QByteArray("0");
        QTest::newRow("-1") << QByteArray("-1") << QStringLiteral("COM1") << QByteArray("0");
        QTest::newRow("text") << QByteArray("COM3") << QStringLiteral("COM1") << QByteArray("0");
    }

    void controlPort()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QString, shown);
        QFETCH(QByteArray, saved);
        SetupFixture::write("CameraSet.Ext", "[Camera Ctrl]\r\nCtrlPort=" + stored + "\r\n");
        auto form = SetupFixture::showForm();
        QCOMPARE(control<QComboBox>(form.get(), "PTZComboBox")->currentText(), shown);
        SetupFixture::apply(form.get());
        QCOMPARE(SetupFixture::value("CameraSet.Ext", "Camera Ctrl", "CtrlPort"), saved);
    }

    // The dialog's edit is written at once; when that write fails (a full disk), it is said.
    void editOnAFullDiskIsReported()
    {
        SetupFixture::write("CameraSet.Ext", sixCameras());
        auto form = SetupFixture::showForm();
        selectRows(control<QTreeWidget>(form.get(), "ListView2"), {1});
        QString failure;
        ModalScript script;
        script.then([](QWidget *dialog) {
            in<QComboBox>(dialog, "ComboBox2")->setCurrentIndex(2);
            in<QAbstractButton>(dialog, "BitBtn1")->click();
        });
        script.answer(QMessageBox::Ok, nullptr, &failure);
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit saved {};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit full {16, saved.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &full);
        control<QAbstractButton>(form.get(), "BitBtn15")->click();
        ::setrlimit(RLIMIT_FSIZE, &saved);
        QVERIFY(script.finished());
        QVERIFY2(failure.startsWith(QString::fromUtf8("不能保存摄像机设置")), qPrintable(failure));
        QCOMPARE(SetupFixture::value("CameraSet.Ext", "ENCODER1", "CamType"), QByteArray("1"));
    }

    void editSeveralRowsKeepsEachAddress()
    {
        SetupFixture::write("CameraSet.Ext", sixCameras());
        auto form = SetupFixture::showForm();
        auto *list = control<QTreeWidget>(form.get(), "ListView2");
        selectRows(list, {1, 2, 3});
        bool startedEmpty = false;
        ModalScript script;
        script.then([&](QWidget *dialog) {
            startedEmpty = in<QComboBox>(dialog, "ComboBox1")->currentIndex() == -1
                && in<QLineEdit>(dialog, "SpinEdit1")->text().isEmpty()
                && !in<QLineEdit>(dialog, "SpinEdit1")->isEnabled()
                && in<QComboBox>(dialog, "ComboBox2")->currentIndex() == -1
                && in<QComboBox>(dialog, "ComboBox3")->currentIndex() == -1
                && in<QComboBox>(dialog, "ComboBox4")->currentIndex() == -1;
            in<QComboBox>(dialog, "ComboBox2")->setCurrentIndex(2);
            in<QComboBox>(dialog, "ComboBox3")->setCurrentIndex(16);
            in<QComboBox>(dialog, "ComboBox4")->setCurrentIndex(4);
            in<QAbstractButton>(dialog, "BitBtn1")->click();
        });
        control<QAbstractButton>(form.get(), "BitBtn15")->click();
        QVERIFY(script.finished());
        QVERIFY(startedEmpty);

        // Written at once, each channel with its own decoder address; no Apply needed.
        QVERIFY(!SetupFixture::applyEnabled(form.get()));
        for (int channel = 0; channel < 6; ++channel) {
            const QByteArray section = "ENCODER" + QByteArray::number(channel);
            const bool edited = channel >= 1 && channel <= 3;
            QCOMPARE(SetupFixture::value("CameraSet.Ext", section, "CamNo"),
                QByteArray::number(11 + channel));
            QCOMPARE(SetupFixture::value("CameraSet.Ext", section, "CamType"),
                edited ? QByteArray("2") : QByteArray("1"));
            QCOMPARE(SetupFixture::value("CameraSet.Ext", section, "Protocol"),
                edited ? QByteArray("16") : QByteArray("3"));
            QCOMPARE(SetupFixture::value("CameraSet.Ext", section, "Baudrate"),
                edited ? QByteArray("4") : QByteArray("2"));
            QCOMPARE(list->topLevelItem(channel)->text(kAddress), QString::number(11 + channel));
        }
        QCOMPARE(list->topLevelItem(2)->text(kType), QString::fromUtf8("室外摄像机"));
        QCOMPARE(list->topLevelItem(2)->text(kProtocol), QString::fromUtf8("PELCO-D-3协议"));
        QCOMPARE(list->topLevelItem(2)->text(kBaud), QStringLiteral("19200"));
    }

    void dialogRefusesMissingChoice()
    {
        SetupFixture::write("CameraSet.Ext", sixCameras());
        auto form = SetupFixture::showForm();
        selectRows(control<QTreeWidget>(form.get(), "ListView2"), {0, 4});
        QString title, text;
        bool stayedOpen = false;
        ModalScript script;
        script
            .then([](QWidget *dialog) {
                in<QComboBox>(dialog, "ComboBox2")->setCurrentIndex(0);
                in<QComboBox>(dialog, "ComboBox4")->setCurrentIndex(0);
                // Pressed once this step has returned, so that the script answers the notice.
                QTimer::singleShot(
                    0, in<QAbstractButton>(dialog, "BitBtn1"), &QAbstractButton::click);
            })
            .answer(QMessageBox::Ok, &title, &text)
            .then([&](QWidget *dialog) {
                stayedOpen
                    = dialog->objectName() == QLatin1String("CamSetForm") && dialog->isVisible();
                in<QAbstractButton>(dialog, "BitBtn2")->click();
            });
        control<QAbstractButton>(form.get(), "BitBtn15")->click();
        QVERIFY(script.finished());
        QCOMPARE(title, QString::fromUtf8("云镜设置"));
        QCOMPARE(text, QString::fromUtf8("请选择控制协议！"));
        QVERIFY(stayedOpen);
        QCOMPARE(SetupFixture::read("CameraSet.Ext"), sixCameras());
    }

    void decoderFieldAtKeyRelease_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("empty") << QString() << QStringLiteral("5");
        QTest::newRow("minus") << QStringLiteral("-2") << QStringLiteral("5");
        QTest::newRow("above") << QStringLiteral("300") << QStringLiteral("127");
        QTest::newRow("leading zeros") << QStringLiteral("042") << QStringLiteral("42");
    }

    void decoderFieldAtKeyRelease()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        SetupFixture::write("CameraSet.Ext", sixCameras());
        auto form = SetupFixture::showForm();
        selectRows(control<QTreeWidget>(form.get(), "ListView2"), {4});
        QString afterRelease;
        ModalScript script;
        script.then([&](QWidget *dialog) {
            auto *field = in<QLineEdit>(dialog, "SpinEdit1");
            field->setText(typed);
            QTest::keyRelease(field, Qt::Key_Backspace);
            afterRelease = field->text();
            in<QAbstractButton>(dialog, "BitBtn1")->click();
        });
        control<QAbstractButton>(form.get(), "BitBtn15")->click();
        QVERIFY(script.finished());
        QCOMPARE(afterRelease, shown);
        QCOMPARE(SetupFixture::value("CameraSet.Ext", "ENCODER4", "CamNo"), shown.toLatin1());
    }

    // Indexes outside their lists show no text and stay as stored until the operator chooses.
    void storedIndexesOutsideTheLists()
    {
        SetupFixture::write(
            "CameraSet.Ext", "[ENCODER0]\r\nCamNo=3\r\nCamType=7\r\nProtocol=-1\r\nBaudrate=9\r\n");
        auto form = SetupFixture::showForm();
        auto *list = control<QTreeWidget>(form.get(), "ListView2");
        const QTreeWidgetItem *row = list->topLevelItem(0);
        QCOMPARE(row->text(kType), QString());
        QCOMPARE(row->text(kProtocol), QString());
        QCOMPARE(row->text(kBaud), QString());

        selectRows(list, {0});
        ModalScript script;
        script
            .then([](QWidget *dialog) {
                auto *field = in<QLineEdit>(dialog, "SpinEdit1");
                QCOMPARE(field->text(), QStringLiteral("3"));
                QCOMPARE(in<QComboBox>(dialog, "ComboBox3")->currentIndex(), -1);
                field->setText(QStringLiteral("8"));
                in<QAbstractButton>(dialog, "BitBtn1")->click();
            })
            .then([](QWidget *dialog) {
                in<QComboBox>(dialog, "ComboBox2")->setCurrentIndex(1);
                in<QAbstractButton>(dialog, "BitBtn1")->click();
            });
        control<QAbstractButton>(form.get(), "BitBtn15")->click();
        QCOMPARE(SetupFixture::read("CameraSet.Ext"),
            QByteArray("[ENCODER0]\r\nCamNo=8\r\nCamType=7\r\nProtocol=-1\r\nBaudrate=9\r\n"));
        control<QAbstractButton>(form.get(), "BitBtn15")->click();
        QVERIFY(script.finished());
        QCOMPARE(SetupFixture::read("CameraSet.Ext"),
            QByteArray("[ENCODER0]\r\nCamNo=8\r\nCamType=1\r\nProtocol=-1\r\nBaudrate=9\r\n"));

        // The list follows a language switch; the unknown protocol still has no text.
        control<QRadioButton>(form.get(), "EnRadioBtn")->click();
        QCOMPARE(row->text(kType), QStringLiteral("Indoor camera"));
        QCOMPARE(row->text(kProtocol), QString());
        QCOMPARE(list->topLevelItem(1)->text(kProtocol), QStringLiteral("HN-4200 series"));
        QCOMPARE(list->headerItem()->text(kAddress), QStringLiteral("Decoder address"));
    }

private:
    std::unique_ptr<SetupFixture> m_fixture;
};

QTEST_MAIN(TestCameraPage)
#include "tst_camerapage.moc"
