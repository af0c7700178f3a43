// The sensor page: linked channels and presets as stored and written, the start-recording
// rule, the output boxes, the alarm device box with its port rule against the control port,
// the copy to other sensors, and a server without sensors.

#include "support/modalscript.h"
#include "support/setupfixture.h"

#include "formats/sensorsettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QTabBar>
#include <QTreeWidget>

using namespace quillon;

namespace {

constexpr int kPresetText = 1;

QByteArray triples(std::initializer_list<const char *> parts)
{
    QByteArray text;
    for (const char *part : parts)
        text += part;
    return text;
}

QByteArray padded(QByteArray text, int length, char fill = '0')
{
    return text + QByteArray(length - text.size(), fill);
}

QStringList entries(const QComboBox *list)
{
    QStringList texts;
    for (int index = 0; index < list->count(); ++index)
        texts << list->itemText(index);
    return texts;
}

QStringList portsWithout(std::initializer_list<int> numbers)
{
    QStringList ports;
    for (int number = 1; number <= 10; ++number) {
        if (std::find(numbers.begin(), numbers.end(), number) == numbers.end())
            ports << QStringLiteral("COM%1").arg(number);
    }
    return ports;
}

// Chooses an entry as the operator does, which is what runs the list's change rule.
void choose(QComboBox *list, const QString &text)
{
    const int index = list->findText(text);
    QVERIFY2(index >= 0, qPrintable(text));
    list->setCurrentIndex(index);
    Q_EMIT list->activated(index);
}

ModalScript::Step chooseRows(QList<int> rows)
{
    return [rows](QWidget *modal) {
        auto *list = control<QTreeWidget>(modal, "ChnListView");
        for (int row : rows)
            list->topLevelItem(row)->setCheckState(0, Qt::Checked);
        control<QAbstractButton>(modal, "BitBtn1")->click();
    };
}

} // namespace

class TestSensorPage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { m_fixture = std::make_unique<SetupFixture>(); }

    void linkedChannelsAndPresets()
    {
        SetupFixture::writeSystem(8, 2);
        SetupFixture::write("SensorSet.Ext", "[SENSOR0]\r\nLinkChn=112\r\nStartupRec=0\r\n");
        auto form = SetupFixture::showForm();
        auto *list = control<QTreeWidget>(form.get(), "LinkChnListView");
        QCOMPARE(list->topLevelItem(0)->checkState(0), Qt::Checked);
        QCOMPARE(list->topLevelItem(0)->text(kPresetText), QStringLiteral("12"));
        QCOMPARE(list->topLevelItem(1)->checkState(0), Qt::Unchecked);
        QCOMPARE(list->topLevelItem(7)->text(kPresetText), QString::fromUtf8("无"));

        // A preset from the dialog: the last entry is 64.
        list->topLevelItem(2)->setSelected(true);
        ModalScript script;
        script.then([](QWidget *dialog) {
            auto *positions = control<QComboBox>(dialog, "PosComboBox");
            QCOMPARE(positions->currentIndex(), 0);
            QCOMPARE(positions->itemText(0), QString::fromUtf8("无"));
            positions->setCurrentIndex(64);
            control<QAbstractButton>(dialog, "BitBtn1")->click();
        });
        Q_EMIT list->itemDoubleClicked(list->topLevelItem(2), 0);
        QVERIFY(script.finished());
        QCOMPARE(list->topLevelItem(2)->text(kPresetText), QStringLiteral("64"));
        list->topLevelItem(4)->setCheckState(0, Qt::Checked);
        QVERIFY(SetupFixture::applyEnabled(form.get()));

        SetupFixture::apply(form.get());
        QCOMPARE(SetupFixture::value("SensorSet.Ext", "SENSOR0", "LinkChn"),
            padded(triples({"112", "000", "064", "000", "100"}), 108));

        // Rows follow the language.
        control<QRadioButton>(form.get(), "EnRadioBtn")->click();
        QCOMPARE(list->topLevelItem(1)->text(0), QStringLiteral("Channel2"));
        QCOMPARE(list->topLevelItem(1)->text(kPresetText), QStringLiteral("NULL"));
        QCOMPARE(list->topLevelItem(2)->text(kPresetText), QStringLiteral("64"));
    }

    void triplesBeyondTheChannelsKept()
    {
        QByteArray stored;
        for (int channel = 0; channel < 36; ++channel)
            stored += "1" + QByteArray::number(10 + channel);
        stored += "XYZ";
        SetupFixture::writeSystem(4, 1);
        SetupFixture::write(
            "SensorSet.Ext", "[SENSOR0]\r\nStartupRec=0\r\nLinkChn=" + stored + "\r\n");
        auto form = SetupFixture::showForm();
        control<QTreeWidget>(form.get(), "LinkChnListView")
            ->topLevelItem(1)
            ->setCheckState(0, Qt::Unchecked);
        SetupFixture::apply(form.get());
        QByteArray expected = stored;
        expected[3] = '0';
        QCOMPARE(SetupFixture::value("SensorSet.Ext", "SENSOR0", "LinkChn"), expected);
    }

    // The text has room for 36 channels, or more when a longer one is stored; channels
    // beyond its room are neither read nor written, and cannot be linked.
    void moreChannelsThanTheTextHolds()
    {
        const QByteArray first = padded(QByteArray(105, '0') + "105", 108);
        const QByteArray second = QByteArray(117, '0') + "107";
        SetupFixture::writeSystem(40, 2);
        SetupFixture::write("SensorSet.Ext",
            "[SENSOR0]\r\nStartupRec=0\r\nLinkChn=" + first
                + "\r\n[SENSOR1]\r\nStartupRec=0\r\nLinkChn=" + second + "\r\n");
        auto form = SetupFixture::showForm();
        auto *list = control<QTreeWidget>(form.get(), "LinkChnListView");
        QCOMPARE(list->topLevelItem(35)->checkState(0), Qt::Checked);
        QVERIFY(list->topLevelItem(35)->flags() & Qt::ItemIsEnabled);
        for (int row = 36; row < 40; ++row) {
            QVERIFY(!(list->topLevelItem(row)->flags() & Qt::ItemIsEnabled));
            QCOMPARE(list->topLevelItem(row)->text(kPresetText), QString());
        }
        SetupFixture::apply(form.get());
        QCOMPARE(SetupFixture::value("SensorSet.Ext", "SENSOR0", "LinkChn"), first);

        control<QTabBar>(form.get(), "SensorChnTabSet")->setCurrentIndex(1);
        QVERIFY(list->topLevelItem(39)->flags() & Qt::ItemIsEnabled);
        QCOMPARE(list->topLevelItem(39)->checkState(0), Qt::Checked);
        QCOMPARE(list->topLevelItem(39)->text(kPresetText), QStringLiteral("7"));
        QCOMPARE(list->topLevelItem(35)->checkState(0), Qt::Unchecked);

        // A copy takes all forty links to a sensor whose text was shorter.
        ModalScript script;
        script.then(chooseRows({0}));
        control<QAbstractButton>(form.get(), "BitBtn17")->click();
        QVERIFY(script.finished());
        SetupFixture::apply(form.get());
        QCOMPARE(SetupFixture::value("SensorSet.Ext", "SENSOR0", "LinkChn"), second);
        QCOMPARE(SetupFixture::value("SensorSet.Ext", "SENSOR1", "LinkChn"), second);
    }

    void startRecordingNeedsALinkedChannel()
    {
        SetupFixture::writeSystem(4, 2);
        SetupFixture::write("SensorSet.Ext",
            "[SENSOR0]\r\nStartupRec=1\r\n[SENSOR1]\r\nStartupRec=1\r\nLinkChn=000100\r\n");
        QString atLoad, onClick;
        ModalScript script;
        script.answer(QMessageBox::Ok, nullptr, &atLoad).answer(QMessageBox::Ok, nullptr, &onClick);
        auto form = SetupFixture::showForm();
        const QString message = QString::fromUtf8("请选择联动录像的通道！");
        QCOMPARE(atLoad, message);
        auto *record = control<QCheckBox>(form.get(), "CheckBox8");
        QVERIFY(!record->isChecked());

        record->click();
        QVERIFY(script.finished());
        QCOMPARE(onClick, message);
        QVERIFY(!record->isChecked());
        QVERIFY(SetupFixture::applyEnabled(form.get()));

        // A sensor with a linked channel keeps the box.
        control<QTabBar>(form.get(), "SensorChnTabSet")->setCurrentIndex(1);
        QVERIFY(record->isChecked());
        // Back on the first sensor the box does not change, so nothing is asked here.
        control<QTabBar>(form.get(), "SensorChnTabSet")->setCurrentIndex(0);
        QVERIFY(record->isChecked());
        control<QTreeWidget>(form.get(), "LinkChnListView")
            ->topLevelItem(3)
            ->setCheckState(0, Qt::Checked);
        record->click();
        record->click();
        QVERIFY(record->isChecked());
        SetupFixture::apply(form.get());
        QCOMPARE(SetupFixture::value("SensorSet.Ext", "SENSOR0", "StartupRec"), QByteArray("1"));
        QCOMPARE(SetupFixture::value("SensorSet.Ext", "SENSOR0", "LinkChn").left(12),
            QByteArray("000000000100"));
    }

    void outputBoxes()
    {
        SetupFixture::writeSystem(4, 1);
        SetupFixture::write("SensorSet.Ext",
            "[SENSOR0]\r\nStartupRec=0\r\nOutputType=2\r\nOutputTime=5000\r\nSensorType=1\r\n");
        auto form = SetupFixture::showForm();
        auto *close = control<QCheckBox>(form.get(), "CheckBox9");
        auto *open = control<QCheckBox>(form.get(), "CheckBox10");
        auto *time = control<QLineEdit>(form.get(), "SpinEdit5");
        QVERIFY(!close->isChecked() && !open->isChecked());
        QVERIFY(!time->isEnabled() && !control<QLabel>(form.get(), "Label51")->isEnabled());
        QCOMPARE(time->text(), QStringLiteral("999"));
        QVERIFY(control<QRadioButton>(form.get(), "RadioButton3")->isChecked());
        SetupFixture::apply(form.get());
        QCOMPARE(SetupFixture::value("SensorSet.Ext", "SENSOR0", "OutputType"), QByteArray("-1"));
        QCOMPARE(SetupFixture::value("SensorSet.Ext", "SENSOR0", "OutputTime"), QByteArray("5000"));

        close->click();
        QVERIFY(time->isEnabled() && control<QLabel>(form.get(), "Label52")->isEnabled());
        open->click();
        QVERIFY(!close->isChecked() && open->isChecked() && time->isEnabled());
        SetupFixture::apply(form.get());
        QCOMPARE(SetupFixture::value("SensorSet.Ext", "SENSOR0", "OutputType"), QByteArray("0"));
        QCOMPARE(SetupFixture::value("SensorSet.Ext", "SENSOR0", "OutputTime"), QByteArray("5000"));
        // Once the operator edits the time, the edit counts as a change and the edited time is
        // written.
        QVERIFY(!SetupFixture::applyEnabled(form.get()));
        time->selectAll();
        QTest::keyClicks(time, QStringLiteral("30"));
        QVERIFY(SetupFixture::applyEnabled(form.get()));
        SetupFixture::apply(form.get());
        QCOMPARE(SetupFixture::value("SensorSet.Ext", "SENSOR0", "OutputTime"), QByteArray("30"));
        open->click();
        QVERIFY(!time->isEnabled());
    }

    void deviceTypeNames_data()
    {
        QTest::addColumn<QByteArray>("card");
        QTest::addColumn<QStringList>("names");
        const QStringList defaults {QString(), QStringLiteral("Ardent"), QStringLiteral("Bexley"),
            QStringLiteral("Corbel"), QStringLiteral("Halcyon")};
        QTest::newRow("count 2") << QByteArray("[Equipments]\r\nCount=2\r\n") << defaults;
        QTest::newRow("count 6, names for 5 and 6")
            << QByteArray("[Equipments]\r\nCount=6\r\n[Equipment Name]\r\n5=Zephyr "
                          "5\r\n6=\xB1\xA8\xBE\xAF\xBA\xD0\r\n")
            << (QStringList(defaults) << QStringLiteral("Zephyr 5") << QString::fromUtf8("报警盒"));
        QTest::newRow("blank names")
            << QByteArray("[Equipments]\r\nCount=5\r\n[Equipment Name]\r\n2=\"  \"\r\n")
            << (QStringList(defaults) << QStringLiteral("5"));
    }

    void deviceTypeNames()
    {
        QFETCH(QByteArray, card);
        QFETCH(QStringList, names);
        SetupFixture::writeSystem(4, 0);
        SetupFixture::write("AlarmCard.ext", card);
        auto form = SetupFixture::showForm();
        QCOMPARE(entries(control<QComboBox>(form.get(), "ComboBox3")), names);
    }

    void hugeDeviceCountIsBounded()
    {
        SetupFixture::writeSystem(4, 0);
        SetupFixture::write("AlarmCard.ext", "[Equipments]\r\nCount=2147483647\r\n");
        auto form = SetupFixture::showForm();
        QCOMPARE(
            control<QComboBox>(form.get(), "ComboBox3")->count(), 1 + formats::kMaxDeviceTypes);
    }

    void portRuleAtShow_data()
    {
        QTest::addColumn<QByteArray>("sensorOptions");
        QTest::addColumn<int>("controlPort");
        QTest::addColumn<QStringList>("controlPorts");
        QTest::addColumn<QStringList>("devicePorts");
        QTest::addColumn<QString>("devicePort");
        QTest::addColumn<QByteArray>("savedAddress");
        QTest::addColumn<QByteArray>("savedType");
        QTest::newRow("device on COM2")
            << QByteArray("BaseType=2\r\nBaseAddr=1\r\n") << 0 << portsWithout({2})
            << portsWithout({1}) << QStringLiteral("COM2") << QByteArray("1") << QByteArray("2");
        QTest::newRow("no device")
            << QByteArray("BaseType=0\r\nBaseAddr=6\r\n") << 0 << portsWithout({})
            << portsWithout({1}) << QString() << QByteArray("6") << QByteArray("0");
        // The same stored port: the control port keeps it, the device's list offers a choice.
        QTest::newRow("same port")
            << QByteArray("BaseType=1\r\nBaseAddr=3\r\n") << 3 << portsWithout({})
            << portsWithout({4}) << QString() << QByteArray("3") << QByteArray("1");
        // A type the list does not offer survives the save.
        QTest::newRow("type past the list")
            << QByteArray("BaseType=99\r\nBaseAddr=4\r\n") << 0 << portsWithout({})
            << portsWithout({1}) << QString() << QByteArray("4") << QByteArray("99");
    }

    void portRuleAtShow()
    {
        QFETCH(QByteArray, sensorOptions);
        QFETCH(int, controlPort);
        QFETCH(QStringList, controlPorts);
        QFETCH(QStringList, devicePorts);
        QFETCH(QString, devicePort);
        QFETCH(QByteArray, savedAddress);
        QFETCH(QByteArray, savedType);
        SetupFixture::writeSystem(4, 0, sensorOptions);
        SetupFixture::write("CameraSet.Ext",
            "[Camera Ctrl]\r\nCtrlPort=" + QByteArray::number(controlPort) + "\r\n");
        auto form = SetupFixture::showForm();
        auto *ptz = control<QComboBox>(form.get(), "PTZComboBox");
        auto *device = control<QComboBox>(form.get(), "AlarmComboBox");
        QCOMPARE(entries(ptz), controlPorts);
        QCOMPARE(ptz->currentText(), QStringLiteral("COM%1").arg(controlPort + 1));
        QCOMPARE(entries(device), devicePorts);
        QCOMPARE(device->currentText(), devicePort);
        SetupFixture::apply(form.get());
        QCOMPARE(SetupFixture::value("SysSet.Ext", "Sensor Options", "BaseAddr"), savedAddress);
        QCOMPARE(SetupFixture::value("SysSet.Ext", "Sensor Options", "BaseType"), savedType);
    }

    void portRuleOnChanges()
    {
        SetupFixture::writeSystem(4, 0, "BaseType=0\r\nBaseAddr=0\r\n");
        SetupFixture::write("CameraSet.Ext", "[Camera Ctrl]\r\nCtrlPort=0\r\n");
        auto form = SetupFixture::showForm();
        auto *ptz = control<QComboBox>(form.get(), "PTZComboBox");
        auto *device = control<QComboBox>(form.get(), "AlarmComboBox");
        auto *type = control<QComboBox>(form.get(), "ComboBox3");
        auto *label = control<QLabel>(form.get(), "Label46");
        QVERIFY(!device->isEnabled() && !label->isEnabled());

        // The stored port is the control port's: the device takes the first free one.
        choose(type, QStringLiteral("Ardent"));
        QVERIFY(device->isEnabled() && label->isEnabled());
        QCOMPARE(device->currentText(), QStringLiteral("COM2"));
        QCOMPARE(entries(ptz), portsWithout({2}));
        QCOMPARE(ptz->currentText(), QStringLiteral("COM1"));
        QVERIFY(SetupFixture::applyEnabled(form.get()));

        choose(device, QStringLiteral("COM5"));
        QCOMPARE(entries(ptz), portsWithout({5}));
        QCOMPARE(ptz->currentText(), QStringLiteral("COM1"));
        choose(ptz, QStringLiteral("COM3"));
        QCOMPARE(entries(device), portsWithout({3}));
        QCOMPARE(device->currentText(), QStringLiteral("COM5"));
        SetupFixture::apply(form.get());
        QCOMPARE(SetupFixture::value("SysSet.Ext", "Sensor Options", "BaseType"), QByteArray("1"));
        QCOMPARE(SetupFixture::value("SysSet.Ext", "Sensor Options", "BaseAddr"), QByteArray("4"));
        QCOMPARE(SetupFixture::value("CameraSet.Ext", "Camera Ctrl", "CtrlPort"), QByteArray("2"));

        // No device: its port is off and stays as stored; the control list offers every port.
        choose(type, QString());
        QVERIFY(!device->isEnabled() && !label->isEnabled());
        QCOMPARE(device->currentIndex(), -1);
        QCOMPARE(entries(ptz), portsWithout({}));
        choose(ptz, QStringLiteral("COM7"));
        QCOMPARE(device->currentIndex(), -1);
        SetupFixture::apply(form.get());
        QCOMPARE(SetupFixture::value("SysSet.Ext", "Sensor Options", "BaseType"), QByteArray("0"));
        QCOMPARE(SetupFixture::value("SysSet.Ext", "Sensor Options", "BaseAddr"), QByteArray("4"));
    }

    void noSensors()
    {
        SetupFixture::writeSystem(4, 0);
        SetupFixture::write(
            "AlarmCard.ext", "[AlarmCard Options]\r\nAlarmIn=40\r\nBaseAlarmIn=2\r\n");
        auto form = SetupFixture::showForm();
        bool dialogOpened = false;
        ModalScript script;
        script.then([&](QWidget *modal) {
            dialogOpened = true;
            modal->close();
        });
        control<QAbstractButton>(form.get(), "BitBtn17")->click();
        control<QAbstractButton>(form.get(), "SnrAddBitBtn")->click();
        QVERIFY(!dialogOpened);
        SetupFixture::apply(form.get());
        QVERIFY(!QFile::exists(SetupFixture::path("SensorSet.Ext")));
        // Counts the fields cannot show are kept as stored.
        QCOMPARE(SetupFixture::read("AlarmCard.ext"),
            QByteArray("[AlarmCard Options]\r\nAlarmIn=40\r\nBaseAlarmIn=2\r\n"));
    }

    void copyBuildsOnEachTargetsOwnText()
    {
        SetupFixture::writeSystem(2, 3);
        QByteArray stored;
        for (char fill : {'A', 'B', 'C'})
            stored += "[SENSOR" + QByteArray::number(fill - 'A')
                + "]\r\nStartupRec=0\r\nLinkChn=" + padded("000000", 108, fill) + "\r\n";
        SetupFixture::write("SensorSet.Ext", stored);
        auto form = SetupFixture::showForm();
        control<QTreeWidget>(form.get(), "LinkChnListView")
            ->topLevelItem(1)
            ->setCheckState(0, Qt::Checked);
        control<QCheckBox>(form.get(), "CheckBox11")->setChecked(false);
        ModalScript script;
        script.then(chooseRows({2}));
        control<QAbstractButton>(form.get(), "BitBtn17")->click();
        QVERIFY(script.finished());
        SetupFixture::apply(form.get());
        QCOMPARE(
            SetupFixture::value("SensorSet.Ext", "SENSOR0", "LinkChn"), padded("000100", 108, 'A'));
        QCOMPARE(
            SetupFixture::value("SensorSet.Ext", "SENSOR1", "LinkChn"), padded("000000", 108, 'B'));
        QCOMPARE(
            SetupFixture::value("SensorSet.Ext", "SENSOR2", "LinkChn"), padded("000100", 108, 'C'));
        QCOMPARE(SetupFixture::value("SensorSet.Ext", "SENSOR2", "StartupDetect"), QByteArray("0"));
        QCOMPARE(SetupFixture::value("SensorSet.Ext", "SENSOR1", "StartupDetect"), kMissingKey);
        // The save ended the copy: another sensor is shown without a word.
        ModalScript quiet;
        control<QTabBar>(form.get(), "SensorChnTabSet")->setCurrentIndex(1);
        QCOMPARE(quiet.takeTexts(), QStringList());
        QCOMPARE(
            control<QTreeWidget>(form.get(), "LinkChnListView")->topLevelItem(1)->checkState(0),
            Qt::Unchecked);
    }

private:
    std::unique_ptr<SetupFixture> m_fixture;
};

QTEST_MAIN(TestSensorPage)
#include "tst_sensorpage.moc"
