#include "settings/backups.h"
#include "settings/profiledocument.h"
#include "support/dvrdprocess.h"
#include "support/testsettings.h"
#include "support/toolrun.h"
#include "tools/quillon/remote.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

using namespace quillon;

namespace {

constexpr char kPassword[] = "s3cret";
const QRegularExpression kApplyLine(QStringLiteral("apply generation="));

using Run = ToolRun;

struct Server : ToolServer
{
    bool start() { return ToolServer::start(QLatin1String(kPassword)); }
};

} // namespace

class TestQuillon : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_data;
    QTemporaryDir m_work;
    QString m_edited; // the samples with one setting changed

    // sizeLimit > 0: the tool's files may not grow beyond it, as on a full disk.
    Run quillon(
        const QStringList &arguments, const QByteArray &password = kPassword, rlim_t sizeLimit = 0)
    {
        return runQuillon(arguments, m_data.path(), QString::fromLatin1(password),
            QProcessEnvironment::systemEnvironment(), sizeLimit);
    }

    QString folder(const char *name) const { return m_work.filePath(QLatin1String(name)); }

private Q_SLOTS:
    void initTestCase();
    void pullGivesFilesByteForByte();
    void diffNamesChangedSettingInBothLanguages_data();
    void diffNamesChangedSettingInBothLanguages();
    void validateRefusesMotionTimetableWithoutArea();
    void refusedLoginIsExit3AndChangesNothing_data();
    void refusedLoginIsExit3AndChangesNothing();
    void pushChangesEightServersInParallelAndRestoreUndoes();
    void serverDownFailsThatHostOnly();
    void badInputIsExplained_data();
    void badInputIsExplained();
    void fileTheServerLacksStaysAbsent();
    void parsesHostAddresses_data();
    void parsesHostAddresses();
    void dryRunChangesNothingAndJsonReportsIt();
    void fullDiskFailsPullAndPushUploadsNothing();
    void jsonReportsEveryFailure_data();
    void jsonReportsEveryFailure();
    void restoreRefusesAnotherServersBackup();
    void valuesTheWindowKeepsValidateAndPushBackWhole();
    void ctrlCAtThePromptGivesTheEchoBack();
};

void TestQuillon::initTestCase()
{
    QVERIFY(m_data.isValid() && m_work.isValid());
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_data.path()));
    m_edited = folder("edited");
    QVERIFY(makeServerRoot(m_edited, QStringLiteral(QUILLON_SAMPLES_DIR)));
    const QString sysSet = m_edited + QStringLiteral("/SysConfig/SysSet.Ext");
    settings::ProfileDocument document(readFile(sysSet));
    document.setValue("Alarm Options", "BackRecTime", "45");
    QVERIFY(writeFile(sysSet, document.toBytes()));
}

void TestQuillon::pullGivesFilesByteForByte()
{
    Server server;
    QVERIFY(server.start());
    const Run run = quillon({QStringLiteral("pull"), server.address(), folder("pulled")});
    QCOMPARE(run.exitCode, 0);
    const QMap<QString, QByteArray> pulled = folderFiles(folder("pulled"));
    QCOMPARE(pulled.size(), 9);
    QMap<QString, QByteArray> served = folderFiles(server.root.path());
    served.remove(QStringLiteral("SysConfig/apply.log"));
    QCOMPARE(pulled, served);

    // Pulling again replaces the folder's files, found without regard to letter case.
    const QString renamed = folder("pulled") + QStringLiteral("/SysConfig/sysset.EXT");
    QVERIFY(QFile::rename(folder("pulled") + QStringLiteral("/SysConfig/SysSet.Ext"), renamed));
    QVERIFY(writeFile(renamed, "stale"));
    QCOMPARE(quillon({QStringLiteral("pull"), server.address(), folder("pulled")}).exitCode, 0);
    const QMap<QString, QByteArray> again = folderFiles(folder("pulled"));
    QCOMPARE(again.size(), 9);
    QCOMPARE(again.value(QStringLiteral("SysConfig/sysset.EXT")),
        served.value(QStringLiteral("SysConfig/SysSet.Ext")));
}

void TestQuillon::diffNamesChangedSettingInBothLanguages_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("line");
    QTest::newRow("en") << "en"
                        << "System settings / Alarm triggered rec time: 30 -> 45";
    QTest::newRow("zh") << "zh"
                        << "系统参数设置 / 报警联动录像时间: 30 -> 45";
}

void TestQuillon::diffNamesChangedSettingInBothLanguages()
{
    QFETCH(QString, language);
    QFETCH(QString, line);
    Server server;
    QVERIFY(server.start());
    const Run run = quillon(
        {QStringLiteral("diff"), QStringLiteral("--lang"), language, server.address(), m_edited});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.out.trimmed(), line);
    const Run raw
        = quillon({QStringLiteral("diff"), QStringLiteral("--raw"), server.address(), m_edited});
    QCOMPARE(raw.out.trimmed(), QStringLiteral("SysSet.Ext[Alarm Options]BackRecTime: 30 -> 45"));
    const Run same
        = quillon({QStringLiteral("diff"), server.address(), QStringLiteral(QUILLON_SAMPLES_DIR)});
    QCOMPARE(same.exitCode, 0);
    QVERIFY(same.out.isEmpty());
}

void TestQuillon::validateRefusesMotionTimetableWithoutArea()
{
    QCOMPARE(
        quillon({QStringLiteral("validate"), QStringLiteral(QUILLON_SAMPLES_DIR)}).exitCode, 0);
    const QString bad = folder("no-area");
    QVERIFY(makeServerRoot(bad, QStringLiteral(QUILLON_SAMPLES_DIR)));
    const QString alarmSet = bad + QStringLiteral("/SysConfig/AlarmSet.Ext");
    settings::ProfileDocument document(readFile(alarmSet));
    document.setValue("ENCODER5", "AutoAlarmRecord", "1");
    for (int row = 1; row <= 10; ++row)
        document.setValue("ALARM MOTION5", QByteArray::number(row), "0000000000");
    QVERIFY(writeFile(alarmSet, document.toBytes()));
    const Run run = quillon({QStringLiteral("validate"), bad});
    QCOMPARE(run.exitCode, 4);
    QCOMPARE(run.out.trimmed(),
        QStringLiteral("Motion detection / Channel 6 / Auto-execute alarm "
                       "schedule: Set motion detect area please!"));
    Server server;
    QVERIFY(server.start());
    QCOMPARE(quillon({QStringLiteral("push"), bad, server.address()}).exitCode, 4);
    QCOMPARE(server.process.countLog(kApplyLine), 0);
}

void TestQuillon::refusedLoginIsExit3AndChangesNothing_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QByteArray>("password");
    QTest::newRow("wrong password") << "admin" << QByteArray("wrong");
    QTest::newRow("unknown user") << "nobody" << QByteArray(kPassword);
}

void TestQuillon::refusedLoginIsExit3AndChangesNothing()
{
    QFETCH(QString, user);
    QFETCH(QByteArray, password);
    Server server;
    QVERIFY(server.start());
    const QMap<QString, QByteArray> before = folderFiles(server.root.path());
    for (const QString &command : {QStringLiteral("push"), QStringLiteral("pull")}) {
        const QString target = command == QLatin1String("push") ? m_edited : folder("refused");
        const QStringList arguments = command == QLatin1String("push")
            ? QStringList {command, QStringLiteral("--user"), user, target, server.address()}
            : QStringList {command, QStringLiteral("--user"), user, server.address(), target};
        const Run run = quillon(arguments, password);
        QCOMPARE(run.exitCode, 3);
        QVERIFY(run.out.contains(QStringLiteral("login refused"))
            || run.err.contains(QStringLiteral("login refused")));
    }
    QCOMPARE(folderFiles(server.root.path()), before);
    QVERIFY(!QFileInfo::exists(folder("refused")));
    QVERIFY(settings::listBackups(server.process.host(), server.process.port()).isEmpty());
}

void TestQuillon::pushChangesEightServersInParallelAndRestoreUndoes()
{
    std::vector<std::unique_ptr<Server>> servers;
    QStringList arguments {
        QStringLiteral("push"), QStringLiteral("--parallel"), QStringLiteral("8"), m_edited};
    for (int i = 0; i < 8; ++i) {
        servers.push_back(std::make_unique<Server>());
        QVERIFY(servers.back()->start());
        arguments << servers.back()->address();
    }
    const QByteArray original = servers.front()->file("SysConfig/SysSet.Ext");
    const Run run = quillon(arguments);
    QCOMPARE(run.exitCode, 0);
    const QByteArray edited = readFile(m_edited + QStringLiteral("/SysConfig/SysSet.Ext"));
    for (const auto &server : servers) {
        QCOMPARE(server->file("SysConfig/SysSet.Ext"), edited);
        QCOMPARE(server->process.countLog(kApplyLine), 1);
        const QStringList backups
            = settings::listBackups(server->process.host(), server->process.port());
        QCOMPARE(backups.size(), 1);
        QCOMPARE(readFile(backups.first() + QStringLiteral("SysConfig/SysSet.Ext")), original);
    }

    Server &first = *servers.front();
    const QString backup
        = settings::listBackups(first.process.host(), first.process.port()).first();
    const Run restored = quillon({QStringLiteral("restore"), backup, first.address()});
    QCOMPARE(restored.exitCode, 0);
    QMap<QString, QByteArray> now = folderFiles(first.root.path());
    now.remove(QStringLiteral("SysConfig/apply.log"));
    QMap<QString, QByteArray> samples = folderFiles(QStringLiteral(QUILLON_SAMPLES_DIR));
    QCOMPARE(now, samples);
    // The restore kept the pushed state as a backup of its own.
    QCOMPARE(settings::listBackups(first.process.host(), first.process.port()).size(), 2);
}

void TestQuillon::serverDownFailsThatHostOnly()
{
    Server up1, down, up2;
    QVERIFY(up1.start() && down.start() && up2.start());
    const QString downAddress = down.address();
    down.process.kill();
    const Run run
        = quillon({QStringLiteral("push"), m_edited, up1.address(), downAddress, up2.address()});
    QCOMPARE(run.exitCode, 5);
    const QByteArray edited = readFile(m_edited + QStringLiteral("/SysConfig/SysSet.Ext"));
    for (Server *server : {&up1, &up2}) {
        QCOMPARE(server->file("SysConfig/SysSet.Ext"), edited);
        QVERIFY(run.out.contains(QRegularExpression(
            QRegularExpression::escape(server->address()) + QStringLiteral(" +done"))));
    }
    QVERIFY(run.out.contains(
        QRegularExpression(QRegularExpression::escape(downAddress) + QStringLiteral(" +failed"))));
}

void TestQuillon::badInputIsExplained_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing folder")
        << QStringList {"validate", "/no/such/folder"} << 2 << "is not a folder";
    QTest::newRow("bad port") << QStringList {"pull", "host:70000", "x"} << 2
                              << "port must be a number";
    QTest::newRow("password argument")
        << QStringList {"pull", "--password", "x", "h", "d"} << 2 << "never given as an argument";
    QTest::newRow("unknown command") << QStringList {"fetch"} << 2 << "unknown command";
    QTest::newRow("unknown host") << QStringList {"pull", "no-such-host.invalid", "x"} << 5
                                  << "no connection";
    QTest::newRow("parallel too high")
        << QStringList {"push", "--parallel", "99", "d", "h"} << 2 << "--parallel";
}

void TestQuillon::badInputIsExplained()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    const Run run = quillon(arguments);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
}

void TestQuillon::fileTheServerLacksStaysAbsent()
{
    Server server;
    QVERIFY(server.start());
    QVERIFY(QFile::remove(server.root.filePath(QStringLiteral("SysConfig/SMSSet.ext"))));
    const Run run = quillon({QStringLiteral("pull"), server.address(), folder("eight")});
    QCOMPARE(run.exitCode, 0);
    const QMap<QString, QByteArray> pulled = folderFiles(folder("eight"));
    QCOMPARE(pulled.size(), 8);
    QVERIFY(!pulled.contains(QStringLiteral("SysConfig/SMSSet.ext")));
}

void TestQuillon::parsesHostAddresses_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("host"); // empty: refused
    QTest::addColumn<int>("port");
    QTest::newRow("name") << "dvr-7.example"
                          << "dvr-7.example" << 5040;
    QTest::newRow("name and port") << "10.0.0.5:6040"
                                   << "10.0.0.5" << 6040;
    QTest::newRow("bracketed v6") << "[fd00::7]"
                                  << "fd00::7" << 5040;
    QTest::newRow("bracketed v6 and port") << "[fd00::7]:1"
                                           << "fd00::7" << 1;
    QTest::newRow("port 0") << "h:0"
                            << "" << 0;
    QTest::newRow("port too high") << "h:65536"
                                   << "" << 0;
    QTest::newRow("port not a number") << "h:50x"
                                       << "" << 0;
    QTest::newRow("empty port") << "h:"
                                << "" << 0;
    QTest::newRow("empty host") << ":5040"
                                << "" << 0;
    QTest::newRow("unclosed bracket") << "[fd00::7:5040"
                                      << "" << 0;
    QTest::newRow("text after bracket") << "[fd00::7]5040"
                                        << "" << 0;
    QTest::newRow("blank in name") << "a b"
                                   << "" << 0;
    // The same server under another spelling would skip its pinned identity.
    QTest::newRow("tab after the address") << "127.0.0.1\t:5040"
                                           << "" << 0;
    QTest::newRow("control character") << "dvr\x01"
                                       << "" << 0;
}

void TestQuillon::parsesHostAddresses()
{
    QFETCH(QString, text);
    QFETCH(QString, host);
    QFETCH(int, port);
    QString error;
    const std::optional<tool::HostAddress> address = tool::parseHostAddress(text, &error);
    QCOMPARE(address.has_value(), !host.isEmpty());
    if (address) {
        QCOMPARE(address->host, host);
        QCOMPARE(address->port, port);
    } else {
        QVERIFY(!error.isEmpty());
    }
}

void TestQuillon::dryRunChangesNothingAndJsonReportsIt()
{
    Server server;
    QVERIFY(server.start());
    const QMap<QString, QByteArray> before = folderFiles(server.root.path());
    // The same server twice runs once.
    const Run run = quillon({QStringLiteral("push"), QStringLiteral("--dry-run"),
        QStringLiteral("--json"), m_edited, server.address(), server.address()});
    QCOMPARE(run.exitCode, 0);
    const QJsonArray hosts = QJsonDocument::fromJson(run.out.toUtf8())
                                 .object()
                                 .value(QStringLiteral("hosts"))
                                 .toArray();
    QCOMPARE(hosts.size(), 1);
    const QJsonObject host = hosts.first().toObject();
    QCOMPARE(host.value(QStringLiteral("outcome")).toString(), QStringLiteral("done"));
    const QJsonArray differences = host.value(QStringLiteral("differences")).toArray();
    QCOMPARE(differences.size(), 1);
    QCOMPARE(differences.first().toObject().value(QStringLiteral("key")).toString(),
        QStringLiteral("BackRecTime"));
    QCOMPARE(differences.first().toObject().value(QStringLiteral("new")).toString(),
        QStringLiteral("45"));
    QCOMPARE(folderFiles(server.root.path()), before);
    QCOMPARE(server.process.countLog(kApplyLine), 0);
    QVERIFY(settings::listBackups(server.process.host(), server.process.port()).isEmpty());
}

// On a full disk nothing claims success: a pull fails (exit 5) and keeps no folder; a push whose
// backup cannot be written uploads nothing.
void TestQuillon::fullDiskFailsPullAndPushUploadsNothing()
{
    Server server;
    QVERIFY(server.start());
    constexpr rlim_t kFullAfter = 4096; // smaller than TVCard.Ext of the samples
    const Run pulled = quillon(
        {QStringLiteral("pull"), server.address(), folder("full")}, kPassword, kFullAfter);
    QCOMPARE(pulled.exitCode, 5);
    QVERIFY2(pulled.err.contains(QLatin1String("local file could not be read or written")),
        qPrintable(pulled.err));
    QVERIFY(!pulled.out.contains(QLatin1String("pulled 9 files")));
    QVERIFY(!QFileInfo::exists(folder("full")));

    // A file where the backups belong: the push cannot keep the server's files first.
    const QString backups = m_data.filePath(QStringLiteral("quillon/Backups"));
    QVERIFY(
        QDir().rename(backups, backups + QStringLiteral(".aside")) || !QFileInfo::exists(backups));
    QVERIFY(QDir().mkpath(m_data.filePath(QStringLiteral("quillon"))) && writeFile(backups, "x"));
    const QMap<QString, QByteArray> before = folderFiles(server.root.path());
    const Run pushed = quillon({QStringLiteral("push"), m_edited, server.address()});
    QVERIFY(QFile::remove(backups));
    QDir().rename(backups + QStringLiteral(".aside"), backups);
    QCOMPARE(pushed.exitCode, 5);
    QVERIFY2(pushed.out.contains(QLatin1String("backup not written")), qPrintable(pushed.out));
    QCOMPARE(folderFiles(server.root.path()), before);
    QCOMPARE(server.process.countLog(QRegularExpression(QStringLiteral("\\bupload "))), 0);
}

void TestQuillon::jsonReportsEveryFailure_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::newRow("usage") << QStringList {"pull", "--json", "onlyhost"} << 2
                           << "pull takes HOST[:PORT] DIR";
    QTest::newRow("unknown option first")
        << QStringList {"--bogus", "--json"} << 2 << "unknown option --bogus";
    QTest::newRow("validate missing folder")
        << QStringList {"validate", "--json", "/no/such/folder"} << 2 << "is not a folder";
    QTest::newRow("diff unknown host") << QStringList {"diff", "--json", "no-such-host.invalid",
        "/no/such/folder"} << 5 << "no connection";
    QTest::newRow("pull unknown host")
        << QStringList {"pull", "--json", "no-such-host.invalid", "x"} << 5 << "no connection";
}

void TestQuillon::jsonReportsEveryFailure()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    const Run run = quillon(arguments);
    QCOMPARE(run.exitCode, exitCode);
    QJsonParseError error {};
    const QJsonDocument document = QJsonDocument::fromJson(run.out.toUtf8(), &error);
    QVERIFY2(error.error == QJsonParseError::NoError && document.isObject(), qPrintable(run.out));
    QCOMPARE(document.object().value(QStringLiteral("exit")).toInt(), exitCode);
    QVERIFY2(document.object().value(QStringLiteral("message")).toString().contains(message),
        qPrintable(run.out));
    QVERIFY2(!run.err.contains(QLatin1String("QObject")), qPrintable(run.err));
}

// A backup holds one server's users and settings: restoring it to another needs --force.
void TestQuillon::restoreRefusesAnotherServersBackup()
{
    Server first, second;
    QVERIFY(first.start() && second.start());
    QCOMPARE(
        quillon({QStringLiteral("push"), m_edited, first.address(), second.address()}).exitCode, 0);
    const QString backupOfFirst
        = settings::listBackups(first.process.host(), first.process.port()).first();
    const Run refused = quillon({QStringLiteral("restore"), backupOfFirst, second.address()});
    QCOMPARE(refused.exitCode, 2);
    QVERIFY2(refused.err.contains(QLatin1String("is a backup of another server")),
        qPrintable(refused.err));
    QCOMPARE(second.process.countLog(kApplyLine), 1);
    const Run forced = quillon(
        {QStringLiteral("restore"), QStringLiteral("--force"), backupOfFirst, second.address()});
    QCOMPARE(forced.exitCode, 0);
    QCOMPARE(second.process.countLog(kApplyLine), 2);
    QVERIFY2(!forced.err.contains(QLatin1String("QObject")), qPrintable(forced.err));
}

// Stored values outside the controls' ranges are what a server may hold and the window keeps:
// they validate with notes (exit 0) and push back byte for byte.
void TestQuillon::valuesTheWindowKeepsValidateAndPushBackWhole()
{
    Server server;
    QVERIFY(server.start());
    const QString sysSetPath = server.root.filePath(QStringLiteral("SysConfig/SysSet.Ext"));
    settings::ProfileDocument sysSet(readFile(sysSetPath));
    sysSet.setValue("Display Options", "SwitchTime", "1");
    sysSet.setValue("System Options", "ChgStateTime", "90");
    sysSet.setValue("Transfers Options", "TransmitPort", "0");
    QVERIFY(writeFile(sysSetPath, sysSet.toBytes()));
    const QString tvCardPath = server.root.filePath(QStringLiteral("SysConfig/TVCard.Ext"));
    settings::ProfileDocument tvCard(readFile(tvCardPath));
    tvCard.setValue("ENCODER0", "Cover_Width", "0");
    QVERIFY(writeFile(tvCardPath, tvCard.toBytes()));
    QMap<QString, QByteArray> served = folderFiles(server.root.path());

    QCOMPARE(quillon({QStringLiteral("pull"), server.address(), folder("kept")}).exitCode, 0);
    const Run validated = quillon({QStringLiteral("validate"), folder("kept")});
    QCOMPARE(validated.exitCode, 0);
    QCOMPARE(validated.out.count(QLatin1String("note: ")), 4);
    // Forced: a push skips a server that already matches, and this one must take the upload.
    const Run pushed = quillon(
        {QStringLiteral("push"), QStringLiteral("--force"), folder("kept"), server.address()});
    QCOMPARE(pushed.exitCode, 0);
    QCOMPARE(server.process.countLog(kApplyLine), 1);
    QMap<QString, QByteArray> after = folderFiles(server.root.path());
    after.remove(QStringLiteral("SysConfig/apply.log"));
    served.remove(QStringLiteral("SysConfig/apply.log"));
    QCOMPARE(after, served);
}

// The prompt turns the terminal's echo off; Ctrl-C there must not leave it off for the shell.
void TestQuillon::ctrlCAtThePromptGivesTheEchoBack()
{
    const QByteArray program = qgetenv("QUILLON_PATH");
    int terminal = -1;
    const pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    QVERIFY(child >= 0);
    if (child == 0) {
        ::unsetenv("QUILLON_PASSWORD");
        ::execl(program.constData(), program.constData(), "pull", "127.0.0.1:1", "x",
            static_cast<char *>(nullptr));
        ::_exit(127);
    }
    // Waits for the prompt, then checks that echo is off while it waits.
    QByteArray shown;
    QElapsedTimer clock;
    clock.start();
    while (!shown.contains("Password: ") && clock.elapsed() < 10000) {
        char buffer[256];
        const ssize_t got = ::read(terminal, buffer, sizeof buffer);
        if (got > 0)
            shown.append(buffer, got);
    }
    QVERIFY2(shown.contains("Password: "), shown.constData());
    termios settings {};
    QCOMPARE(::tcgetattr(terminal, &settings), 0);
    QVERIFY(!(settings.c_lflag & ECHO));
    QCOMPARE(::write(terminal, "\x03", 1), ssize_t(1));
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT);
    QCOMPARE(::tcgetattr(terminal, &settings), 0);
    QVERIFY(settings.c_lflag & ECHO);
    ::close(terminal);
}

QTEST_GUILESS_MAIN(TestQuillon)
#include "tst_quillon.moc"
