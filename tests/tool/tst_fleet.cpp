// Settings by address across a fleet of real dvrd servers: set, scoped push, drift and get.

#include "settings/backups.h"
#include "settings/gbk.h"
#include "settings/profiledocument.h"
#include "support/dvrdprocess.h"
#include "support/testsettings.h"
#include "support/toolrun.h"
#include "tools/quillon/hostjobs.h"
#include "tools/quillon/scopes.h"
#include "tools/quillon/settingaddress.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace quillon;

namespace {

constexpr char kPassword[] = "fleet-pw";
constexpr char kBackRecTime[] = "SysSet.Ext[Alarm Options]BackRecTime";

using Run = ToolRun;

struct Server : ToolServer
{
    bool start() { return ToolServer::start(QLatin1String(kPassword)); }
};

std::vector<std::unique_ptr<Server>> startServers(int count)
{
    std::vector<std::unique_ptr<Server>> servers;
    for (int i = 0; i < count; ++i) {
        servers.push_back(std::make_unique<Server>());
        if (!servers.back()->start())
            qFatal("dvrd did not start");
    }
    return servers;
}

// Every line of `before` but the changed ones is in `after` unchanged and in place.
QList<QByteArray> changedLines(const QByteArray &before, const QByteArray &after)
{
    const QList<QByteArray> oldLines = before.split('\n');
    const QList<QByteArray> newLines = after.split('\n');
    if (oldLines.size() != newLines.size())
        return {"line count differs"};
    QList<QByteArray> changed;
    for (qsizetype i = 0; i < oldLines.size(); ++i) {
        if (oldLines[i] != newLines[i])
            changed.append(newLines[i].trimmed());
    }
    return changed;
}

} // namespace

class TestFleet : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_data;
    QTemporaryDir m_work;

    Run quillon(const QStringList &arguments,
        const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
    {
        return runQuillon(arguments, m_data.path(), QLatin1String(kPassword), environment);
    }

    // A copy of the samples to work on.
    QString sampleFolder(const char *name)
    {
        const QString folder = m_work.filePath(QLatin1String(name));
        if (!makeServerRoot(folder, QStringLiteral(QUILLON_SAMPLES_DIR)))
            qFatal("cannot copy the samples");
        return folder;
    }

private Q_SLOTS:
    void initTestCase();
    void parsesChanges_data();
    void parsesChanges();
    void scopesCoverTheirSettings_data();
    void scopesCoverTheirSettings();
    void setChangesOnlyServersThatDiffer();
    void setInFolderChangesOnlyThatLine();
    void setRefusesResultFailingChecks();
    void pushExceptTitlesKeepsEachServersTitles();
    void driftNamesExactlyTheChangedSettings();
    void getAgreesBetweenFolderAndServer();
    void onlyEditNeedsADisplay();
    void sessionPushedOutIsRenewed();
};

void TestFleet::initTestCase()
{
    QVERIFY(m_data.isValid() && m_work.isValid());
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_data.path()));
}

void TestFleet::parsesChanges_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("address"); // empty: refused
    QTest::addColumn<QByteArray>("value"); // the stored bytes, or a part of the refusal
    QTest::newRow("number") << "SysSet.Ext[Alarm Options]BackRecTime=45" << kBackRecTime
                            << QByteArray("45");
    QTest::newRow("any letter case, blanks")
        << "sysset.ext [alarm options] backrectime = 45 "
        << "SysSet.Ext[alarm options]backrectime" << QByteArray("45");
    QTest::newRow("GBK title") << "TVCard.Ext[ENCODER3]CameraName=后门"
                               << "TVCard.Ext[ENCODER3]CameraName"
                               << settings::toGbk(QStringLiteral("后门")).value();
    QTest::newRow("'=' in a value") << "SMSSet.ext[Telephone No]3=130=1"
                                    << "SMSSet.ext[Telephone No]3" << QByteArray("130=1");
    QTest::newRow("title too long") << "TVCard.Ext[ENCODER0]CameraName=一二三四五六七八九十一"
                                    << "" << QByteArray("at most 20 bytes");
    QTest::newRow("not GBK") << "TVCard.Ext[ENCODER0]CameraName=\u00e9\u263a"
                             << "" << QByteArray("GBK cannot carry");
    QTest::newRow("out of range") << "SysSet.Ext[Alarm Options]BackRecTime=1000"
                                  << "" << QByteArray("from 1 to 999");
    QTest::newRow("flag") << "AlarmSet.Ext[ENCODER0]AutoAlarmRecord=2"
                          << "" << QByteArray("1 (on) or 0 (off)");
    QTest::newRow("unknown key") << "SysSet.Ext[Alarm Options]BackRecTme=45"
                                 << "" << QByteArray("not a setting");
    QTest::newRow("unknown file") << "SysSet.ini[Alarm Options]BackRecTime=45"
                                  << "" << QByteArray("no settings file");
    QTest::newRow("user file") << "User.she[admin]Password=x"
                               << "" << QByteArray("user records");
    QTest::newRow("password") << "SysSet.Ext[Login Options]AutoUserPwd=x"
                              << "" << QByteArray("never goes on a command line");
    QTest::newRow("channel count") << "SysSet.Ext[System Options]MaxRecCount=8"
                                   << "" << QByteArray("server's own");
    QTest::newRow("pattern") << "TVCard.Ext[*]CameraName=x"
                             << "" << QByteArray("names one key");
    QTest::newRow("no value") << "SysSet.Ext[Alarm Options]BackRecTime"
                              << "" << QByteArray("ADDRESS=VALUE");
}

void TestFleet::parsesChanges()
{
    QFETCH(QString, text);
    QFETCH(QString, address);
    QFETCH(QByteArray, value);
    QString error;
    const std::optional<tool::SettingEdit> edit = tool::parseSettingEdit(text, &error);
    QCOMPARE(edit.has_value(), !address.isEmpty());
    if (edit) {
        QCOMPARE(edit->address.text(), address);
        QCOMPARE(edit->value, value);
    } else {
        QVERIFY2(error.contains(QString::fromUtf8(value)), qPrintable(error));
    }
}

void TestFleet::scopesCoverTheirSettings_data()
{
    QTest::addColumn<QString>("scope");
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("covered");
    QTest::newRow("page") << "system" << kBackRecTime << true;
    QTest::newRow("other page") << "video" << kBackRecTime << false;
    QTest::newRow("channel section of its page") << "video"
                                                 << "TVCard.Ext[ENCODER15]CameraName" << true;
    QTest::newRow("pattern, any section") << "TVCard.Ext[*]CameraName"
                                          << "tvcard.ext[encoder7]cameraname" << true;
    QTest::newRow("pattern, other key") << "TVCard.Ext[*]CameraName"
                                        << "TVCard.Ext[ENCODER7]IFrameInterval" << false;
    QTest::newRow("pattern in the key") << "TVCard.Ext[ENCODER1]*"
                                        << "TVCard.Ext[ENCODER1]IFrameInterval" << true;
    QTest::newRow("pattern in the key, other section")
        << "TVCard.Ext[ENCODER1]*"
        << "TVCard.Ext[ENCODER12]IFrameInterval" << false;
    QTest::newRow("key no page uses") << "system"
                                      << "SysSet.Ext[Alarm Options]Unknown" << false;
}

void TestFleet::scopesCoverTheirSettings()
{
    QFETCH(QString, scope);
    QFETCH(QString, address);
    QFETCH(bool, covered);
    QString error;
    const std::optional<QList<tool::ScopeItem>> items = tool::parseScopes(scope, &error);
    QVERIFY2(items, qPrintable(error));
    const std::optional<tool::SettingAddress> place
        = tool::parseSettingAddress(address, tool::AddressUse::OneKey, &error);
    QVERIFY2(place, qPrintable(error));
    const tool::ScopeFilter only {*items, {}};
    const tool::ScopeFilter except {{}, *items};
    QCOMPARE(only.covers(place->file, place->section, place->key), covered);
    QCOMPARE(except.covers(place->file, place->section, place->key), !covered);
    QVERIFY(!tool::parseScopes(QStringLiteral("cameras"), &error));
    QVERIFY(error.contains(QStringLiteral("neither a page")));
}

void TestFleet::setChangesOnlyServersThatDiffer()
{
    const auto servers = startServers(4);
    for (int i = 0; i < 2; ++i)
        servers[size_t(i)]->setKeys(
            "SysConfig/SysSet.Ext", {{"Alarm Options", "BackRecTime", "45"}});
    QList<QByteArray> before;
    for (const auto &server : servers)
        before.append(server->file("SysConfig/SysSet.Ext"));
    const QByteArray tvCard = servers[3]->file("SysConfig/TVCard.Ext");

    QStringList arguments {QStringLiteral("set"), QStringLiteral("--json"),
        QStringLiteral("--parallel"), QStringLiteral("4"),
        QLatin1String(kBackRecTime) + QStringLiteral("=45")};
    for (const auto &server : servers)
        arguments << server->address();
    const Run run = quillon(arguments);
    QCOMPARE(run.exitCode, 0);
    const QJsonArray hosts = run.json().value(QStringLiteral("hosts")).toArray();
    QCOMPARE(hosts.size(), 4);
    for (int i = 0; i < 4; ++i) {
        const Server &server = *servers[size_t(i)];
        const bool hadIt = i < 2;
        QCOMPARE(hosts[i].toObject().value(QStringLiteral("outcome")).toString(),
            hadIt ? QStringLiteral("unchanged") : QStringLiteral("done"));
        QCOMPARE(server.applies(), hadIt ? 0 : 1);
        QCOMPARE(server.backups(), hadIt ? 0 : 1);
        const QByteArray after = server.file("SysConfig/SysSet.Ext");
        QCOMPARE(changedLines(before[i], after),
            hadIt ? QList<QByteArray>() : QList<QByteArray> {"BackRecTime=45"});
    }
    // Only the changed file travelled: the others are the server's own, byte for byte.
    QCOMPARE(servers[3]->file("SysConfig/TVCard.Ext"), tvCard);

    // --force applies to a server that already matches.
    const Run forced = quillon({QStringLiteral("set"), QStringLiteral("--force"),
        QLatin1String(kBackRecTime) + QStringLiteral("=45"), servers[0]->address()});
    QCOMPARE(forced.exitCode, 0);
    QCOMPARE(servers[0]->applies(), 1);
}

void TestFleet::setInFolderChangesOnlyThatLine()
{
    const QString folder = sampleFolder("set-folder");
    const QString sysSet = folder + QStringLiteral("/SysConfig/SysSet.Ext");
    const QByteArray before = readFile(sysSet);
    const QByteArray tvCard = readFile(folder + QStringLiteral("/SysConfig/TVCard.Ext"));
    const Run run
        = quillon({QStringLiteral("set"), QLatin1String(kBackRecTime) + QStringLiteral("=60"),
            QStringLiteral("TVCard.Ext[ENCODER2]CameraName=后门"), folder});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(changedLines(before, readFile(sysSet)), QList<QByteArray> {"BackRecTime=60"});
    QCOMPARE(changedLines(tvCard, readFile(folder + QStringLiteral("/SysConfig/TVCard.Ext"))),
        QList<QByteArray> {"CameraName=" + settings::toGbk(QStringLiteral("后门")).value()});
    const Run again = quillon(
        {QStringLiteral("set"), QLatin1String(kBackRecTime) + QStringLiteral("=60"), folder});
    QCOMPARE(again.exitCode, 0);
    QVERIFY(again.out.contains(QStringLiteral("unchanged")));
}

void TestFleet::setRefusesResultFailingChecks()
{
    // Arming the motion timetable of a channel without a motion area fails the window's check.
    Server server;
    QVERIFY(server.start());
    QList<std::array<QByteArray, 3>> noArea;
    for (int row = 1; row <= 10; ++row)
        noArea.append({"ALARM MOTION4", QByteArray::number(row), "0000000000"});
    server.setKeys("SysConfig/AlarmSet.Ext", noArea);
    server.setKeys("SysConfig/AlarmSet.Ext", {{"ENCODER4", "AutoAlarmRecord", "0"}});
    const QByteArray before = server.file("SysConfig/AlarmSet.Ext");
    const Run run = quillon({QStringLiteral("set"),
        QStringLiteral("AlarmSet.Ext[ENCODER4]AutoAlarmRecord=1"), server.address()});
    QCOMPARE(run.exitCode, 4);
    QVERIFY2(
        run.out.contains(QStringLiteral("Set motion detect area please!")), qPrintable(run.out));
    QCOMPARE(server.file("SysConfig/AlarmSet.Ext"), before);
    QCOMPARE(server.applies(), 0);
}

void TestFleet::pushExceptTitlesKeepsEachServersTitles()
{
    const auto servers = startServers(3);
    for (int i = 0; i < 3; ++i)
        servers[size_t(i)]->setKeys("SysConfig/TVCard.Ext",
            {{"ENCODER0", "CameraName", "Site" + QByteArray::number(i)},
                {"ENCODER5", "CameraName", "Gate" + QByteArray::number(i)}});
    // A server with fewer channels keeps its count.
    servers[2]->setKeys("SysConfig/SysSet.Ext", {{"System Options", "MaxRecCount", "8"}});
    const QByteArray sysSet = servers[2]->file("SysConfig/SysSet.Ext");
    QList<QByteArray> titlesBefore;
    for (const auto &server : servers)
        titlesBefore.append(server->file("SysConfig/TVCard.Ext"));
    // The baseline changes a policy setting and, in its own copy, every title.
    const QString baseline = sampleFolder("baseline-titles");
    const QString tvCardPath = baseline + QStringLiteral("/SysConfig/TVCard.Ext");
    settings::ProfileDocument tvCard(readFile(tvCardPath));
    for (int channel = 0; channel < 16; ++channel)
        tvCard.setValue("ENCODER" + QByteArray::number(channel), "CameraName", "Baseline");
    tvCard.setValue("ENCODER1", "IFrameInterval", "3");
    QVERIFY(writeFile(tvCardPath, tvCard.toBytes()));

    QStringList arguments {QStringLiteral("push"), QStringLiteral("--except"),
        QStringLiteral("TVCard.Ext[*]CameraName"), baseline};
    for (const auto &server : servers)
        arguments << server->address();
    const Run run = quillon(arguments);
    QCOMPARE(run.exitCode, 0);
    for (int i = 0; i < 3; ++i) {
        const Server &server = *servers[size_t(i)];
        QCOMPARE(changedLines(titlesBefore[i], server.file("SysConfig/TVCard.Ext")),
            QList<QByteArray> {"IFrameInterval=3"});
        QCOMPARE(server.applies(), 1);
    }
    QCOMPARE(servers[2]->file("SysConfig/SysSet.Ext"), sysSet);
    // Pushed again, every server already matches.
    const Run again = quillon(arguments);
    QCOMPARE(again.exitCode, 0);
    QCOMPARE(again.out.count(QStringLiteral("unchanged")), 3);
    for (const auto &server : servers)
        QCOMPARE(server->applies(), 1);
}

void TestFleet::driftNamesExactlyTheChangedSettings()
{
    const auto servers = startServers(3);
    servers[1]->setKeys("SysConfig/SysSet.Ext", {{"Alarm Options", "BackRecTime", "90"}});
    servers[1]->setKeys("SysConfig/TVCard.Ext", {{"ENCODER6", "CameraName", "Loading bay"}});
    QStringList arguments {
        QStringLiteral("drift"), QStringLiteral("--json"), QStringLiteral(QUILLON_SAMPLES_DIR)};
    for (const auto &server : servers)
        arguments << server->address();
    const Run run = quillon(arguments);
    QCOMPARE(run.exitCode, 1);
    const QJsonArray hosts = run.json().value(QStringLiteral("hosts")).toArray();
    QCOMPARE(hosts.size(), 3);
    QStringList drifted;
    for (const QJsonValue &difference :
        hosts[1].toObject().value(QStringLiteral("differences")).toArray())
        drifted << difference.toObject().value(QStringLiteral("address")).toString() + "="
                + difference.toObject().value(QStringLiteral("new")).toString();
    QCOMPARE(drifted,
        (QStringList {QStringLiteral("SysSet.Ext[Alarm Options]BackRecTime=90"),
            QStringLiteral("TVCard.Ext[ENCODER6]CameraName=Loading bay")}));
    for (int i : {0, 2})
        QCOMPARE(hosts[i].toObject().value(QStringLiteral("outcome")).toString(),
            QStringLiteral("matches"));

    // Out of scope, the titles do not count; a server that cannot be read makes the exit 5.
    const Run scoped = quillon({QStringLiteral("drift"), QStringLiteral("--raw"),
        QStringLiteral("--except"), QStringLiteral("TVCard.Ext[*]CameraName"),
        QStringLiteral(QUILLON_SAMPLES_DIR), servers[1]->address()});
    QCOMPARE(scoped.exitCode, 1);
    QVERIFY(scoped.out.contains(QStringLiteral("SysSet.Ext[Alarm Options]BackRecTime: 30 -> 90")));
    QVERIFY(!scoped.out.contains(QStringLiteral("CameraName")));
    const QString downAddress = servers[2]->address();
    servers[2]->process.kill();
    QCOMPARE(quillon({QStringLiteral("drift"), QStringLiteral(QUILLON_SAMPLES_DIR),
                         servers[0]->address(), downAddress})
                 .exitCode,
        5);
}

void TestFleet::getAgreesBetweenFolderAndServer()
{
    Server server;
    QVERIFY(server.start());
    server.setKeys("SysConfig/TVCard.Ext", {{"ENCODER0", "CameraName", "Lobby"}});
    const QString pulled = m_work.filePath(QStringLiteral("get-pulled"));
    QCOMPARE(quillon({QStringLiteral("pull"), server.address(), pulled}).exitCode, 0);
    const QStringList addresses {QLatin1String(kBackRecTime),
        QStringLiteral("TVCard.Ext[ENCODER0]CameraName"),
        QStringLiteral("TVCard.Ext[ENCODER1]CameraName")};
    const Run fromServer
        = quillon(QStringList {QStringLiteral("get"), server.address()} + addresses);
    const Run fromFolder = quillon(QStringList {QStringLiteral("get"), pulled} + addresses);
    QCOMPARE(fromServer.exitCode, 0);
    QCOMPARE(fromFolder.out, fromServer.out);
    QVERIFY(fromFolder.out.contains(QStringLiteral("TVCard.Ext[ENCODER0]CameraName=Lobby\n")));
    QVERIFY(fromFolder.out.contains(QLatin1String(kBackRecTime) + QStringLiteral("=30\n")));

    const Run absent = quillon({QStringLiteral("get"), pulled,
        QStringLiteral("SysSet.Ext[Alarm Options]NoSuchKey"), QLatin1String(kBackRecTime)});
    QCOMPARE(absent.exitCode, 1);
    QVERIFY(absent.err.contains(QStringLiteral("NoSuchKey is not stored")));
    QVERIFY(absent.out.contains(QLatin1String(kBackRecTime) + QStringLiteral("=30")));
}

void TestFleet::onlyEditNeedsADisplay()
{
    QProcessEnvironment console = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        console.remove(QLatin1String(name));
    const Run get = quillon(
        {QStringLiteral("get"), QStringLiteral(QUILLON_SAMPLES_DIR), QLatin1String(kBackRecTime)},
        console);
    QCOMPARE(get.exitCode, 0);
    QCOMPARE(get.out, QLatin1String(kBackRecTime) + QStringLiteral("=30\n"));
    const Run edit = quillon({QStringLiteral("edit"), sampleFolder("no-display")}, console);
    QCOMPARE(edit.exitCode, 2);
    QVERIFY(edit.err.contains(QStringLiteral("needs a display")));
}

// The host link keeps 64 sessions and pushes out the oldest login first: across hundreds of
// hosts a slow host can lose its session mid-step, and the step then runs once more after a new
// login.
void TestFleet::sessionPushedOutIsRenewed()
{
    constexpr int kHostLinkSessions = 64;
    const auto servers = startServers(kHostLinkSessions + 1);
    auto addressOf = [&](int i) {
        return tool::HostAddress {
            servers[size_t(i)]->process.host(), servers[size_t(i)]->process.port()};
    };
    tool::RemoteSession slow(addressOf(0), "admin", kPassword);
    QCOMPARE(slow.login().outcome, tool::Outcome::Done);
    for (int i = 1; i <= kHostLinkSessions; ++i)
        QCOMPARE(tool::RemoteSession(addressOf(i), "admin", kPassword).login().outcome,
            tool::Outcome::Done);
    settings::SettingsFileSet files;
    const tool::StepResult lost = slow.fetch(&files);
    QCOMPARE(lost.outcome, tool::Outcome::Failed);
    QVERIFY(lost.sessionRefused);
    const tool::StepResult renewed
        = tool::withLiveSession(slow, [&] { return slow.fetch(&files); });
    QCOMPARE(renewed.outcome, tool::Outcome::Done);
    QCOMPARE(files.size(), 9);
}

QTEST_GUILESS_MAIN(TestFleet)
#include "tst_fleet.moc"
