#include "formats/checks.h"
#include "settings/profiledocument.h"
#include "settings/userrecords.h"
#include "tools/quillon/settingsdiff.h"

#include <QTest>

using namespace quillon;
using settings::SettingsFile;

namespace {

settings::SettingsFileSet samples()
{
    settings::SettingsFileSet files;
    if (!settings::readSettingsFolder(QStringLiteral(QUILLON_SAMPLES_DIR), &files))
        qFatal("samples unreadable");
    return files;
}

// Sets "section/key=value" edits (separated by ';') in one file of a set.
void edit(settings::SettingsFileSet &files, SettingsFile file, const QString &edits)
{
    settings::ProfileDocument document(files.value(file));
    for (const QString &one : edits.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString path = one.section(QLatin1Char('='), 0, 0);
        const QByteArray value = one.section(QLatin1Char('='), 1).toUtf8();
        QVERIFY(document.setValue(path.section(QLatin1Char('/'), 0, 0).toUtf8(),
                    path.section(QLatin1Char('/'), 1).toUtf8(), value)
            != settings::ProfileDocument::WriteResult::Refused);
    }
    files[file] = document.toBytes();
}

QByteArray allZeroRows(int channel)
{
    QByteArray edits;
    for (int row = 1; row <= 10; ++row)
        edits += "ALARM MOTION" + QByteArray::number(channel) + "/" + QByteArray::number(row)
            + "=0000000000;";
    return edits;
}

} // namespace

class TestSchema : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void findsSettingBySectionPattern_data();
    void findsSettingBySectionPattern();
    void validateFindsApplyProblems_data();
    void validateFindsApplyProblems();
    void userFileOfBrokenLengthIsAProblem();
    void diffNamesSettingInBothLanguages_data();
    void diffNamesSettingInBothLanguages();
    void diffIgnoresLayoutAndHidesPasswords();
};

void TestSchema::findsSettingBySectionPattern_data()
{
    QTest::addColumn<int>("file");
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("control"); // empty: not found
    QTest::addColumn<int>("index");
    auto row = [](const char *name, SettingsFile file, const char *section, const char *key,
                   const char *control, int index) {
        QTest::newRow(name) << int(file) << QByteArray(section) << QByteArray(key)
                            << QByteArray(control) << index;
    };
    row("fixed", SettingsFile::SysSet, "Alarm Options", "BackRecTime", "SpinEdit3", -1);
    row("letter case", SettingsFile::TVCard, "encoder3", "camera_x", "CamXEdit", 3);
    row("same key other file", SettingsFile::AlarmSet, "ENCODER3", "AlarmY", "TrackBar1", 3);
    row("numbered key", SettingsFile::AlarmSet, "ALARM MOTION12", "4", "AlarmPanel", 12);
    row("sensor scope", SettingsFile::SensorSet, "SENSOR DETECT TABLE5", "7", "GroupBox6", 5);
    row("prefix of another section", SettingsFile::SensorSet, "SENSOR5", "LinkChn",
        "LinkChnListView", 5);
    row("index not a number", SettingsFile::TVCard, "ENCODERx", "Camera_X", "", -1);
    row("no index", SettingsFile::TVCard, "ENCODER", "Camera_X", "", -1);
    row("wrong file", SettingsFile::SMSSet, "Alarm Options", "BackRecTime", "", -1);
    row("preset of a level", SettingsFile::Profile, "16 chn options", "Quality_2",
        "QualityTrackBar", -1);
    row("preset without level", SettingsFile::Profile, "16 Chn Options", "Quality_", "", -1);
}

void TestSchema::findsSettingBySectionPattern()
{
    QFETCH(int, file);
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, control);
    QFETCH(int, index);
    const auto match = schema::findSetting(SettingsFile(file), section, key);
    QCOMPARE(match.has_value(), !control.isEmpty());
    if (match) {
        QCOMPARE(QByteArray(match->setting->control), control);
        QCOMPARE(match->index, index);
    }
}

void TestSchema::validateFindsApplyProblems_data()
{
    QTest::addColumn<int>("file");
    QTest::addColumn<QString>("edits");
    QTest::addColumn<QByteArray>("key"); // empty: no problem expected
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("note"); // a value the window keeps: the set still applies
    QTest::newRow("samples") << int(SettingsFile::SysSet) << QString() << QByteArray() << -1
                             << QString() << false;
    QTest::newRow("motion timetable without armed cell")
        << int(SettingsFile::AlarmSet)
        << QString::fromLatin1("ENCODER2/AutoAlarmRecord=1;" + allZeroRows(2))
        << QByteArray("AutoAlarmRecord") << 2 << QStringLiteral("Set motion detect area please!")
        << false;
    QTest::newRow("no armed cell but no timetable")
        << int(SettingsFile::AlarmSet)
        << QString::fromLatin1("ENCODER2/AutoAlarmRecord=0;" + allZeroRows(2)) << QByteArray() << -1
        << QString() << false;
    QTest::newRow("last channel checked too")
        << int(SettingsFile::AlarmSet)
        << QString::fromLatin1("ENCODER15/AutoAlarmRecord=1;" + allZeroRows(15))
        << QByteArray("AutoAlarmRecord") << 15 << QStringLiteral("Set motion detect area please!")
        << false;
    QTest::newRow("mask wider than the picture")
        << int(SettingsFile::TVCard)
        << QStringLiteral("ENCODER4/PreviewCover=1;ENCODER4/Cover_X=300;ENCODER4/Cover_Width=60")
        << QByteArray("Cover_Width") << 4
        << QStringLiteral("Width must less than 352, and Height must less than 288!") << false;
    QTest::newRow("wide mask not in use")
        << int(SettingsFile::TVCard)
        << QStringLiteral("ENCODER4/PreviewCover=0;ENCODER4/RecordCover=0;ENCODER4/"
                          "Cover_X=300;ENCODER4/Cover_Width=60")
        << QByteArray() << -1 << QString() << false;
    QTest::newRow("title position not a number")
        << int(SettingsFile::TVCard)
        << QStringLiteral("ENCODER1/ShowCamera=1;ENCODER1/Camera_X=1 2") << QByteArray("Camera_X")
        << 1 << QStringLiteral("The title X coordinate must be a whole number!") << false;
    QTest::newRow("sensor records with no linked channel")
        << int(SettingsFile::SensorSet)
        << QStringLiteral("SENSOR6/StartupRec=1;SENSOR6/LinkChn=000000") << QByteArray("StartupRec")
        << 6 << QStringLiteral("Select alarm trigger record channel please!") << false;
    QTest::newRow("number out of range")
        << int(SettingsFile::SysSet) << QStringLiteral("Alarm Options/BackRecTime=0")
        << QByteArray("BackRecTime") << -1 << QStringLiteral("outside the range its control offers")
        << true;
    QTest::newRow("per-channel number out of range")
        << int(SettingsFile::CameraSet) << QStringLiteral("ENCODER9/CamNo=128")
        << QByteArray("CamNo") << 9 << QStringLiteral("outside the range its control offers")
        << true;
    QTest::newRow("list index the window lacks is kept")
        << int(SettingsFile::CameraSet) << QStringLiteral("ENCODER9/Protocol=40") << QByteArray()
        << -1 << QString() << false;
    // Values a server may hold that Apply does not refuse.
    const auto kept = QStringLiteral("outside the range its control offers");
    QTest::newRow("switch time below its field")
        << int(SettingsFile::SysSet) << QStringLiteral("Display Options/SwitchTime=1")
        << QByteArray("SwitchTime") << -1 << kept << true;
    QTest::newRow("auto change time above its field")
        << int(SettingsFile::SysSet) << QStringLiteral("System Options/ChgStateTime=90")
        << QByteArray("ChgStateTime") << -1 << kept << true;
    QTest::newRow("transmit port 0")
        << int(SettingsFile::SysSet) << QStringLiteral("Transfers Options/TransmitPort=0")
        << QByteArray("TransmitPort") << -1 << kept << true;
    QTest::newRow("mask of width 0")
        << int(SettingsFile::TVCard) << QStringLiteral("ENCODER3/Cover_Width=0")
        << QByteArray("Cover_Width") << 3 << kept << true;
    QTest::newRow("number that is no number")
        << int(SettingsFile::SysSet) << QStringLiteral("Alarm Options/BackRecTime=soon")
        << QByteArray("BackRecTime") << -1
        << QStringLiteral("not a whole number; the window reads the default") << true;
}

void TestSchema::validateFindsApplyProblems()
{
    QFETCH(int, file);
    QFETCH(QString, edits);
    QFETCH(QByteArray, key);
    QFETCH(int, index);
    QFETCH(QString, message);
    QFETCH(bool, note);
    settings::SettingsFileSet files = samples();
    edit(files, SettingsFile(file), edits);
    const QList<formats::Problem> problems = formats::validateSettings(files);
    if (key.isEmpty()) {
        QVERIFY2(problems.isEmpty(), problems.isEmpty() ? "" : problems.first().key.constData());
        return;
    }
    QCOMPARE(problems.size(), 1);
    QCOMPARE(problems.first().key, key);
    QCOMPARE(problems.first().index, index);
    QCOMPARE(problems.first().message.in(false), message);
    QCOMPARE(formats::hasErrors(problems), !note);
}

void TestSchema::userFileOfBrokenLengthIsAProblem()
{
    settings::SettingsFileSet files = samples();
    files[SettingsFile::User].append('x');
    const QList<formats::Problem> problems = formats::validateSettings(files);
    QCOMPARE(problems.size(), 1);
    QCOMPARE(problems.first().file, SettingsFile::User);
}

void TestSchema::diffNamesSettingInBothLanguages_data()
{
    QTest::addColumn<int>("file");
    QTest::addColumn<QString>("edits");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("chinese");
    QTest::addColumn<QString>("newValue");
    QTest::newRow("fixed number") << int(SettingsFile::SysSet)
                                  << QStringLiteral("Alarm Options/BackRecTime=45")
                                  << QStringLiteral("System settings / Alarm triggered rec time")
                                  << QStringLiteral("系统参数设置 / 报警联动录像时间")
                                  << QStringLiteral("45");
    QTest::newRow("channel choice")
        << int(SettingsFile::CameraSet) << QStringLiteral("ENCODER2/Baudrate=4")
        << QStringLiteral("PTZ settings / Channel 3 / Baudrate")
        << QStringLiteral("控制设备设置 / 通道3 / 波特率") << QStringLiteral("19200");
    QTest::newRow("flag")
        << int(SettingsFile::AlarmSet) << QStringLiteral("ENCODER0/ShowGrid=1")
        << QStringLiteral("Motion detection / Channel 1 / Display mesh when the arming area change")
        << QStringLiteral("移动报警录像设置 / 通道1 / 移动报警区域发生变化时显示网格")
        << QStringLiteral("on");
    QTest::newRow("timetable day")
        << int(SettingsFile::SensorSet) << QStringLiteral("SENSOR DETECT TABLE1/3=0,")
        << QStringLiteral("Alarm sensor / Sensor 2 / Schedule setup Wednesday")
        << QStringLiteral("报警探头设置 / 探头2 / 布防设置 星期三") << QStringLiteral("0,");
    QTest::newRow("key no page uses")
        << int(SettingsFile::SysSet) << QStringLiteral("Extra/Thing=1")
        << QStringLiteral("SysSet.Ext[Extra]Thing") << QStringLiteral("SysSet.Ext[Extra]Thing")
        << QStringLiteral("1");
}

void TestSchema::diffNamesSettingInBothLanguages()
{
    QFETCH(int, file);
    QFETCH(QString, edits);
    QFETCH(QString, english);
    QFETCH(QString, chinese);
    QFETCH(QString, newValue);
    const settings::SettingsFileSet before = samples();
    settings::SettingsFileSet after = before;
    edit(after, SettingsFile(file), edits);
    const QList<tool::Difference> differences = tool::diffSettings(before, after);
    QCOMPARE(differences.size(), 1);
    QCOMPARE(tool::describePlace(differences.first(), false, false), english);
    QCOMPARE(tool::describePlace(differences.first(), true, false), chinese);
    QCOMPARE(tool::describeValue(differences.first(), false, false, false), newValue);
    QVERIFY(tool::diffSettings(after, after).isEmpty());
}

void TestSchema::diffIgnoresLayoutAndHidesPasswords()
{
    settings::SettingsFileSet before;
    before[SettingsFile::SysSet]
        = "[Login Options]\r\nAutoUserPwd=old secret\r\n[Alarm Options]\r\nOutTime=10\r\n";
    settings::SettingsFileSet after;
    after[SettingsFile::SysSet]
        = "[alarm options]\n  outtime = 10 \n\n[Login Options]\nAutoUserPwd=new secret\n";
    const QList<tool::Difference> differences = tool::diffSettings(before, after);
    QCOMPARE(differences.size(), 1);
    QCOMPARE(differences.first().key, QByteArray("AutoUserPwd"));
    for (const bool old : {true, false})
        QVERIFY(!tool::describeValue(differences.first(), old, false, true).contains("secret"));

    settings::UserRecord user;
    user.setName("op");
    user.setPassword("one");
    settings::UserRecord changed = user;
    changed.setPassword("two");
    changed.setPrivilege(3, true);
    const QList<tool::Difference> users
        = tool::diffSettings({{SettingsFile::User, settings::encodeUsers({user})}},
            {{SettingsFile::User, settings::encodeUsers({changed})}});
    QCOMPARE(users.size(), 2);
    QCOMPARE(users[0].userField, QStringLiteral("password"));
    QVERIFY(!tool::describeValue(users[0], false, false, false).contains("two"));
    QCOMPARE(tool::describePlace(users[1], false, false),
        QStringLiteral("System user settings / op / Authorization"));
    QCOMPARE(tool::describeValue(users[1], false, false, false), QStringLiteral("3"));
}

QTEST_GUILESS_MAIN(TestSchema)
#include "tst_schema.moc"
