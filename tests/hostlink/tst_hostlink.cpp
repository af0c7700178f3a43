#include "hostlink/tcpclientdll.h"
#include "hostlink/wire.h"
#include "stubserver.h"
#include "support/dvrdprocess.h"
#include "support/testsettings.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <arpa/inet.h>
#include <atomic>
#include <csignal>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

Q_DECLARE_METATYPE(StubServer::Fault)

namespace {

constexpr char kLoopback[] = "127.0.0.1";

// dvrd on a fresh root holding the test settings set.
struct Server
{
    QTemporaryDir root;
    DvrdProcess dvrd;

    bool start() { return root.isValid() && writeTestSettings(root.path()) && startOnRoot(); }
    bool startOnRoot() { return dvrd.start(root.path(), kAdminName, kAdminPassword); }
    QString path(const QString &relative) const { return QDir(root.path()).filePath(relative); }
};

std::int32_t login(const char *host, int port, const QByteArray &user, const QByteArray &password)
{
    const KX_LoginRecord record {user.constData(), password.constData(), host, port};
    return KX_VerifyUser(&record);
}

std::int32_t download(const char *host, int port, const QByteArray &remote, const QString &local)
{
    const QByteArray localPath = QFile::encodeName(local);
    const KX_FileTransferRecord record {remote.constData(), localPath.constData(), host, port};
    return KX_GetRemoteFile(&record);
}

std::int32_t upload(const char *host, int port, const QByteArray &remote, const QString &local)
{
    const QByteArray localPath = QFile::encodeName(local);
    const KX_FileTransferRecord record {remote.constData(), localPath.constData(), host, port};
    return KX_UploadFile(&record);
}

std::int32_t connectTo(const char *host, int port)
{
    const KX_ConnectRecord record {host, port};
    return KX_ConnectTCPServer(&record);
}

// Sends the apply command the way the module does; the send's result.
std::int32_t sendApply(const char *host, int port)
{
    const std::int32_t handle = connectTo(host, port);
    const std::int32_t sent = handle != 0 ? KX_ClientSendBuf(handle, "!!!!APPLY", 9, 0) : 0;
    KX_DisConnectTCPServer(handle);
    return sent;
}

// Forwards every connection made to its port to the target port on loopback and records every
// byte that passes, both ways, as someone on the path could.
class Relay
{
public:
    explicit Relay(quint16 target) : m_target(target)
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = loopback(0);
        socklen_t length = sizeof address;
        if (::bind(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0
            && ::listen(m_listener, 16) == 0
            && ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &length) == 0)
            m_port = ntohs(address.sin_port);
        m_acceptor = std::thread([this] { acceptLoop(); });
    }
    ~Relay()
    {
        m_stop = true;
        m_acceptor.join();
        for (std::thread &pipe : m_pipes)
            pipe.join();
        ::close(m_listener);
    }
    quint16 port() const { return m_port; }
    int connections() const { return m_connections; }
    QByteArray capture()
    {
        const std::lock_guard lock(m_mutex);
        return m_capture;
    }

private:
    static sockaddr_in loopback(quint16 port)
    {
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return address;
    }
    void acceptLoop()
    {
        while (!m_stop) {
            pollfd waiting {m_listener, POLLIN, 0};
            if (::poll(&waiting, 1, 20) <= 0)
                continue;
            const int client = ::accept(m_listener, nullptr, nullptr);
            const int server = ::socket(AF_INET, SOCK_STREAM, 0);
            const sockaddr_in target = loopback(m_target);
            if (::connect(server, reinterpret_cast<const sockaddr *>(&target), sizeof target)
                != 0) {
                ::close(client);
                ::close(server);
                continue;
            }
            ++m_connections;
            m_pipes.emplace_back([this, client, server] { forward(client, server); });
        }
    }
    void forward(int client, int server)
    {
        char buffer[16384];
        pollfd ends[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
        while (!m_stop) {
            if (::poll(ends, 2, 20) <= 0)
                continue;
            const int from = (ends[0].revents != 0) ? 0 : 1;
            const ssize_t got = ::read(ends[from].fd, buffer, sizeof buffer);
            if (got <= 0 || ::write(ends[1 - from].fd, buffer, size_t(got)) != got)
                break;
            const std::lock_guard lock(m_mutex);
            m_capture.append(buffer, got);
        }
        ::close(client);
        ::close(server);
    }

    quint16 m_target;
    quint16 m_port = 0;
    int m_listener = -1;
    std::atomic<bool> m_stop {false};
    std::atomic<int> m_connections {0};
    std::thread m_acceptor;
    std::vector<std::thread> m_pipes;
    std::mutex m_mutex;
    QByteArray m_capture;
};

// A port on which nothing listens.
quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

} // namespace

class TestHostLink : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void loginResultCodes_data();
    void loginResultCodes();
    void loginWithoutServerOrArguments();
    void downloadsEveryFileByteForByte();
    void downloadsTheSampleSet();
    void uploadsReplaceServerFiles();
    void uploadsThatTheServerRefuses();
    void transfersNeedASessionOfThatHostSpelling();
    void pathsOutsideTheNineAreRefused_data();
    void pathsOutsideTheNineAreRefused();
    void applyIsRecordedWithGenerationAndUser();
    void commandHandlesAreChecked();
    void brokenDownloadsKeepTheLocalCopy_data();
    void brokenDownloadsKeepTheLocalCopy();
    void serverKilledAfterLoginKeepsTheLocalCopy();
    void serverStalledOrKilledDuringUpload_data();
    void serverStalledOrKilledDuringUpload();
    void serverStalledBeforeTheApplyCommand();
    void twoClientsAtOnce();
    void capturedVisitShowsNoSecret();
    void impostorOnAPinnedHostIsRefused();
};

void TestHostLink::loginResultCodes_data()
{
    QTest::addColumn<QByteArray>("user");
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<int>("expected");

    QTest::newRow("administrator") << QByteArray(kAdminName) << QByteArray(kAdminPassword) << 0;
    QTest::newRow("user with system settings")
        << QByteArray(kSetterName) << QByteArray(kSetterPassword) << 0;
    QTest::newRow("GBK user name") << gbkSetterName() << QByteArray(kGbkSetterPassword) << 0;
    QTest::newRow("unknown user") << QByteArray("mallory") << QByteArray("x") << 1;
    QTest::newRow("name matched with case")
        << QByteArray("BOB") << QByteArray(kSetterPassword) << 1;
    QTest::newRow("empty name") << QByteArray() << QByteArray() << 1;
    QTest::newRow("overlong name") << QByteArray(300, 'a') << QByteArray("x") << 1;
    QTest::newRow("wrong password") << QByteArray(kSetterName) << QByteArray("bobs pas") << 2;
    QTest::newRow("wrong administrator password")
        << QByteArray(kAdminName) << QByteArray("admin") << 2;
    QTest::newRow("without system settings")
        << QByteArray(kViewerName) << QByteArray(kViewerPassword) << 3;
    QTest::newRow("without system settings, wrong password")
        << QByteArray(kViewerName) << QByteArray("guess") << 2;
}

void TestHostLink::loginResultCodes()
{
    QFETCH(QByteArray, user);
    QFETCH(QByteArray, password);
    QFETCH(int, expected);

    Server server;
    QVERIFY(server.start());
    QCOMPARE(login(kLoopback, server.dvrd.port(), user, password), expected);
    if (user.size() > quillon::wire::kMaxUserNameBytes)
        return;
    const QString logged = expected == 0 ? QStringLiteral("login ok")
                                         : QStringLiteral("login refused code=%1").arg(expected);
    QVERIFY(!server.dvrd.waitForLog(QRegularExpression("^dvrd: " + logged + " ")).isEmpty());
}

void TestHostLink::loginWithoutServerOrArguments()
{
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(login(kLoopback, closedPort(), kAdminName, kAdminPassword), KX_LOGIN_NO_CONNECTION);
    QCOMPARE(login("host.invalid", 5040, kAdminName, kAdminPassword), KX_LOGIN_NO_CONNECTION);
    QCOMPARE(login("", 5040, kAdminName, kAdminPassword), KX_LOGIN_NO_CONNECTION);
    QVERIFY2(timer.elapsed() < 2 * quillon::wire::timeouts::kConnectMs,
        qPrintable(QString::number(timer.elapsed())));

    QCOMPARE(login(kLoopback, 0, kAdminName, kAdminPassword), KX_LOGIN_NO_CONNECTION);
    QCOMPARE(login(kLoopback, -5040, kAdminName, kAdminPassword), KX_LOGIN_NO_CONNECTION);
    QCOMPARE(login(kLoopback, 70000, kAdminName, kAdminPassword), KX_LOGIN_NO_CONNECTION);
    QCOMPARE(KX_VerifyUser(nullptr), KX_LOGIN_NO_CONNECTION);
    const KX_LoginRecord noName {nullptr, "x", kLoopback, 5040};
    QCOMPARE(KX_VerifyUser(&noName), KX_LOGIN_NO_CONNECTION);
    const KX_LoginRecord noHost {"admin", "x", nullptr, 5040};
    QCOMPARE(KX_VerifyUser(&noHost), KX_LOGIN_NO_CONNECTION);
    QCOMPARE(KX_GetRemoteFile(nullptr), KX_ERR_ARGUMENT);
    QCOMPARE(KX_UploadFile(nullptr), KX_ERR_ARGUMENT);
    QCOMPARE(KX_ConnectTCPServer(nullptr), 0);
}

void TestHostLink::downloadsEveryFileByteForByte()
{
    Server server;
    QVERIFY(server.start());
    const int port = server.dvrd.port();
    QCOMPARE(login(kLoopback, port, kAdminName, kAdminPassword), KX_LOGIN_ACCEPTED);

    QTemporaryDir work;
    for (const TestSettingsFile &file : testSettingsFiles()) {
        const QString local = work.filePath(QFileInfo(file.relativePath).fileName());
        QCOMPARE(download(kLoopback, port, file.remotePath, local), KX_OK);
        QCOMPARE(readFile(local), file.content);
        QVERIFY(!server.dvrd
                     .waitForLog(QRegularExpression("^dvrd: download "
                         + QRegularExpression::escape(file.remotePath)
                         + " bytes=" + QString::number(file.content.size())))
                     .isEmpty());
    }

    // A new copy is the user's alone: the user file holds every password.
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup
        | QFileDevice::ReadOther | QFileDevice::WriteOther;
    QVERIFY(!(QFile::permissions(work.filePath(QStringLiteral("User.she"))) & others));

    // Any letter case and either separator name the same file; a new download replaces the
    // previous copy.
    const QString local = work.filePath(QStringLiteral("SysSet.Ext"));
    QVERIFY(writeFile(local, "stale"));
    QCOMPARE(download(kLoopback, port, "sysconfig/SYSSET.EXT", local), KX_OK);
    QCOMPARE(readFile(local), testSettingsFiles()[1].content);

    // A file the server does not have is reported as such and leaves the local copy alone.
    QVERIFY(QFile::remove(server.path(QStringLiteral("SysConfig/CameraSet.Ext"))));
    const QString camera = work.filePath(QStringLiteral("CameraSet.Ext"));
    QCOMPARE(download(kLoopback, port, "SysConfig\\CameraSet.Ext", camera), KX_ERR_NOT_FOUND);
    QCOMPARE(readFile(camera), testSettingsFiles()[6].content);

    // A local folder that does not exist cannot take the file.
    QCOMPARE(download(kLoopback, port, "User\\User.she", work.filePath("missing/User.she")),
        KX_ERR_LOCAL);
}

void TestHostLink::downloadsTheSampleSet()
{
    const QString samples = QStringLiteral(QUILLON_SAMPLES_DIR);
    if (!QFile::exists(samples + QStringLiteral("/User/User.she")))
        QSKIP("no sample set in this tree");
    Server server;
    QVERIFY(makeServerRoot(server.root.path(), samples));
    QVERIFY(server.startOnRoot());
    const int port = server.dvrd.port();
    QCOMPARE(login(kLoopback, port, "operator", "op2024"), KX_LOGIN_ACCEPTED);
    QCOMPARE(login(kLoopback, port, "guest", "guest"), KX_LOGIN_NOT_ALLOWED);
    QCOMPARE(login(kLoopback, port, kAdminName, kAdminPassword), KX_LOGIN_ACCEPTED);

    QTemporaryDir work;
    for (const TestSettingsFile &file : testSettingsFiles()) {
        const QString name = QFileInfo(file.relativePath).fileName();
        QCOMPARE(download(kLoopback, port, file.remotePath, work.filePath(name)), KX_OK);
        QCOMPARE(readFile(work.filePath(name)), readFile(samples + '/' + file.relativePath));
    }
}

void TestHostLink::uploadsReplaceServerFiles()
{
    Server server;
    QVERIFY(server.start());
    const int port = server.dvrd.port();
    QCOMPARE(login(kLoopback, port, kSetterName, kSetterPassword), KX_LOGIN_ACCEPTED);

    QTemporaryDir work;
    const QString local = work.filePath(QStringLiteral("SysSet.Ext"));
    QByteArray changed = testSettingsFiles()[1].content;
    changed.replace("Name=", "Nom=");
    QVERIFY(writeFile(local, changed));
    QCOMPARE(upload(kLoopback, port, "SysConfig\\SysSet.Ext", local), KX_OK);
    // Uploads are served once the apply command arrives.
    QCOMPARE(readFile(server.path(QStringLiteral("SysConfig/SysSet.Ext"))),
        testSettingsFiles()[1].content);
    QCOMPARE(sendApply(kLoopback, port), 9);
    QCOMPARE(readFile(server.path(QStringLiteral("SysConfig/SysSet.Ext"))), changed);
    QVERIFY(!server.dvrd
                 .waitForLog(QRegularExpression("^dvrd: upload SysConfig\\\\SysSet\\.Ext "
                                                "bytes=\\d+ user=bob "))
                 .isEmpty());

    // The server keeps its spelling of a name and reads the user file afresh at each login:
    // an uploaded account can log in at once.
    QVERIFY(QFile::rename(server.path(QStringLiteral("User/User.she")),
        server.path(QStringLiteral("User/user.SHE"))));
    const QString users = work.filePath(QStringLiteral("User.she"));
    const QByteArray withDave
        = testSettingsFiles()[0].content + userRecordBytes("dave", "d4ve", {1, 2});
    QVERIFY(writeFile(users, withDave));
    QCOMPARE(login(kLoopback, port, "dave", "d4ve"), KX_LOGIN_UNKNOWN_USER);
    QCOMPARE(login(kLoopback, port, kSetterName, kSetterPassword), KX_LOGIN_ACCEPTED);
    QCOMPARE(upload(kLoopback, port, "User\\User.she", users), KX_OK);
    QCOMPARE(sendApply(kLoopback, port), 9);
    QCOMPARE(readFile(server.path(QStringLiteral("User/user.SHE"))), withDave);
    QVERIFY(!QFile::exists(server.path(QStringLiteral("User/User.she"))));
    QCOMPARE(login(kLoopback, port, "dave", "d4ve"), KX_LOGIN_ACCEPTED);

    // An empty file is a whole file too.
    const QString sms = work.filePath(QStringLiteral("SMSSet.ext"));
    QVERIFY(writeFile(sms, QByteArray()));
    QCOMPARE(upload(kLoopback, port, "SysConfig\\SMSSet.ext", sms), KX_OK);
    QCOMPARE(sendApply(kLoopback, port), 9);
    QCOMPARE(QFileInfo(server.path(QStringLiteral("SysConfig/SMSSet.ext"))).size(), 0);
}

void TestHostLink::uploadsThatTheServerRefuses()
{
    Server server;
    QVERIFY(server.start());
    const int port = server.dvrd.port();
    QCOMPARE(login(kLoopback, port, kAdminName, kAdminPassword), KX_LOGIN_ACCEPTED);
    const QList<TestSettingsFile> files = testSettingsFiles();
    QTemporaryDir work;

    const QString users = work.filePath(QStringLiteral("User.she"));
    QVERIFY(writeFile(users, files[0].content + "x"));
    QCOMPARE(upload(kLoopback, port, "User\\User.she", users), KX_ERR_REFUSED);
    QCOMPARE(readFile(server.path(files[0].relativePath)), files[0].content);

    // The server's presets are read-only.
    const QString profile = work.filePath(QStringLiteral("Profile.ext"));
    QVERIFY(writeFile(profile, "changed"));
    QCOMPARE(upload(kLoopback, port, "SysConfig\\Profile.ext", profile), KX_ERR_REFUSED);
    QCOMPARE(readFile(server.path(files[8].relativePath)), files[8].content);

    // Nothing is sent for a local file that is missing or too large.
    QCOMPARE(upload(kLoopback, port, "SysConfig\\TVCard.Ext", work.filePath("TVCard.Ext")),
        KX_ERR_LOCAL);
    const QString huge = work.filePath(QStringLiteral("AlarmSet.Ext"));
    QVERIFY(writeFile(huge, QByteArray(quillon::wire::kMaxFileBytes + 1, 'a')));
    QCOMPARE(upload(kLoopback, port, "SysConfig\\AlarmSet.Ext", huge), KX_ERR_LOCAL);
    QCOMPARE(readFile(server.path(files[3].relativePath)), files[3].content);
    QCOMPARE(server.dvrd.countLog(QRegularExpression("upload")), 2);

    // The largest file allowed goes through.
    QVERIFY(writeFile(huge, QByteArray(quillon::wire::kMaxFileBytes, 'a')));
    QCOMPARE(upload(kLoopback, port, "SysConfig\\AlarmSet.Ext", huge), KX_OK);
    QCOMPARE(sendApply(kLoopback, port), 9);
    QCOMPARE(QFileInfo(server.path(files[3].relativePath)).size(), quillon::wire::kMaxFileBytes);
}

void TestHostLink::transfersNeedASessionOfThatHostSpelling()
{
    Server server;
    QVERIFY(server.start());
    const int port = server.dvrd.port();
    QTemporaryDir work;
    const QString local = work.filePath(QStringLiteral("User.she"));

    QCOMPARE(download(kLoopback, port, "User\\User.she", local), KX_ERR_REFUSED);
    QVERIFY(writeFile(local, userRecordBytes("eve", "eve", {1, 2})));
    QCOMPARE(upload(kLoopback, port, "User\\User.she", local), KX_ERR_REFUSED);
    QCOMPARE(connectTo(kLoopback, port), 0);

    QCOMPARE(login(kLoopback, port, kAdminName, kAdminPassword), KX_LOGIN_ACCEPTED);
    QCOMPARE(download("localhost", port, "User\\User.she", local), KX_ERR_REFUSED);
    QCOMPARE(connectTo("localhost", port), 0);
    QCOMPARE(download(kLoopback, closedPort(), "User\\User.she", local), KX_ERR_REFUSED);
    QCOMPARE(readFile(local), userRecordBytes("eve", "eve", {1, 2}));
    QCOMPARE(download(kLoopback, port, "User\\User.she", local), KX_OK);

    // A failed login forgets the session of that host and port.
    QCOMPARE(login(kLoopback, port, kAdminName, "wrong"), KX_LOGIN_WRONG_PASSWORD);
    QCOMPARE(download(kLoopback, port, "User\\User.she", local), KX_ERR_REFUSED);
    QCOMPARE(connectTo(kLoopback, port), 0);
    QCOMPARE(
        readFile(server.path(QStringLiteral("User/User.she"))), testSettingsFiles()[0].content);

    // Sessions live in the server's memory: a restarted server knows none of them.
    QCOMPARE(login(kLoopback, port, kAdminName, kAdminPassword), KX_LOGIN_ACCEPTED);
    QCOMPARE(server.dvrd.stop(), 0);
    QVERIFY(server.dvrd.start(server.root.path(), kAdminName, kAdminPassword,
        {QStringLiteral("--port"), QString::number(port)}));
    QCOMPARE(server.dvrd.port(), port);
    QCOMPARE(download(kLoopback, port, "User\\User.she", local), KX_ERR_REFUSED);
    QCOMPARE(connectTo(kLoopback, port), 0);
}

void TestHostLink::pathsOutsideTheNineAreRefused_data()
{
    QTest::addColumn<QByteArray>("remote");
    QTest::newRow("parent") << QByteArray("..\\x");
    QTest::newRow("through SysConfig") << QByteArray("SysConfig\\..\\User\\User.she");
    QTest::newRow("through User") << QByteArray("User\\..\\SysConfig\\SysSet.Ext");
    QTest::newRow("absolute") << QByteArray("/etc/passwd");
    QTest::newRow("drive") << QByteArray("C:\\User\\User.she");
    QTest::newRow("leading separator") << QByteArray("\\User\\User.she");
    QTest::newRow("doubled separator") << QByteArray("SysConfig\\\\SysSet.Ext");
    QTest::newRow("no folder") << QByteArray("User.she");
    QTest::newRow("wrong folder") << QByteArray("SysConfig\\User.she");
    QTest::newRow("other file") << QByteArray("SysConfig\\Other.Ext");
    QTest::newRow("suffix") << QByteArray("SysConfig\\SysSet.Ext.bak");
    QTest::newRow("apply log") << QByteArray("apply.log");
    QTest::newRow("trailing blank") << QByteArray("User\\User.she ");
}

void TestHostLink::pathsOutsideTheNineAreRefused()
{
    QFETCH(QByteArray, remote);
    Server server;
    QVERIFY(server.start());
    const int port = server.dvrd.port();
    QCOMPARE(login(kLoopback, port, kAdminName, kAdminPassword), KX_LOGIN_ACCEPTED);
    const QStringList before
        = QDir(server.root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

    QTemporaryDir work;
    const QString local = work.filePath(QStringLiteral("got"));
    QCOMPARE(download(kLoopback, port, remote, local), KX_ERR_REFUSED);
    QVERIFY(!QFile::exists(local));
    QVERIFY(writeFile(local, userRecordBytes("eve", "eve", {1, 2})));
    QCOMPARE(upload(kLoopback, port, remote, local), KX_ERR_REFUSED);
    QCOMPARE(server.dvrd.countLog(QRegularExpression("^dvrd: refused (download|upload) ")), 2);

    QCOMPARE(QDir(server.root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
    for (const TestSettingsFile &file : testSettingsFiles())
        QCOMPARE(readFile(server.path(file.relativePath)), file.content);
}

void TestHostLink::applyIsRecordedWithGenerationAndUser()
{
    Server server;
    QVERIFY(server.start());
    const int port = server.dvrd.port();
    const QString log = server.path(QStringLiteral("apply.log"));

    QCOMPARE(login(kLoopback, port, kSetterName, kSetterPassword), KX_LOGIN_ACCEPTED);
    QCOMPARE(sendApply(kLoopback, port), 9);
    QCOMPARE(login(kLoopback, port, gbkSetterName(), kGbkSetterPassword), KX_LOGIN_ACCEPTED);
    QCOMPARE(sendApply(kLoopback, port), 9);

    const QStringList lines = QString::fromUtf8(readFile(log)).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    const QRegularExpression line(
        "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ generation=(\\d+) user=(.+)$");
    QCOMPARE(line.match(lines[0]).captured(1), QStringLiteral("1"));
    QCOMPARE(line.match(lines[0]).captured(2), QStringLiteral("bob"));
    QCOMPARE(line.match(lines[1]).captured(1), QStringLiteral("2"));
    QCOMPARE(line.match(lines[1]).captured(2), QStringLiteral("值班员"));
    QVERIFY(!server.dvrd.waitForLog(QRegularExpression("^dvrd: apply generation=2 user=值班员 "))
                 .isEmpty());

    // Numbering goes on from the highest generation in the log, across restarts.
    QCOMPARE(server.dvrd.stop(), 0);
    QVERIFY(writeFile(log, readFile(log) + "2020-01-01T00:00:00Z generation=41 user=old\n"));
    QVERIFY(server.startOnRoot());
    QCOMPARE(login(kLoopback, server.dvrd.port(), kAdminName, kAdminPassword), KX_LOGIN_ACCEPTED);
    QCOMPARE(sendApply(kLoopback, server.dvrd.port()), 9);
    QVERIFY(QString::fromUtf8(readFile(log)).endsWith(" generation=42 user=admin\n"));

    // Any other command is refused and not recorded.
    const std::int32_t handle = connectTo(kLoopback, server.dvrd.port());
    QVERIFY(handle != 0);
    QCOMPARE(KX_ClientSendBuf(handle, "!!!!APPLX", 9, 0), KX_ERR_REFUSED);
    QCOMPARE(KX_ClientSendBuf(handle, "!!!!APPLY", 9, 0), 9);
    QCOMPARE(KX_DisConnectTCPServer(handle), KX_OK);
    QVERIFY(QString::fromUtf8(readFile(log)).endsWith(" generation=43 user=admin\n"));
    QCOMPARE(server.dvrd.countLog(QRegularExpression("^dvrd: refused command ")), 1);
}

void TestHostLink::commandHandlesAreChecked()
{
    Server server;
    QVERIFY(server.start());
    const int port = server.dvrd.port();
    QCOMPARE(KX_DisConnectTCPServer(0), KX_OK);
    QCOMPARE(KX_ClientSendBuf(0, "!!!!APPLY", 9, 0), KX_ERR_ARGUMENT);
    QCOMPARE(KX_ClientSendBuf(123456, "!!!!APPLY", 9, 0), KX_ERR_ARGUMENT);
    QVERIFY(KX_DisConnectTCPServer(123456) != KX_OK);

    QCOMPARE(login(kLoopback, port, kAdminName, kAdminPassword), KX_LOGIN_ACCEPTED);
    const std::int32_t first = connectTo(kLoopback, port);
    const std::int32_t second = connectTo(kLoopback, port);
    QVERIFY(first != 0 && second != 0 && first != second);
    QCOMPARE(KX_ClientSendBuf(first, nullptr, 9, 0), KX_ERR_ARGUMENT);
    QCOMPARE(KX_ClientSendBuf(first, "!!!!APPLY", 0, 0), KX_ERR_ARGUMENT);
    QCOMPARE(KX_ClientSendBuf(first, "!!!!APPLY", -1, 0), KX_ERR_ARGUMENT);
    QCOMPARE(KX_DisConnectTCPServer(first), KX_OK);
    QCOMPARE(KX_ClientSendBuf(first, "!!!!APPLY", 9, 0), KX_ERR_ARGUMENT);
    QVERIFY(KX_DisConnectTCPServer(first) != KX_OK);
    QCOMPARE(KX_ClientSendBuf(second, "!!!!APPLY", 9, 0), 9);

    // A connection whose server went away reports it instead of waiting.
    server.dvrd.kill();
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(KX_ClientSendBuf(second, "!!!!APPLY", 9, 0), KX_ERR_NETWORK);
    QVERIFY(timer.elapsed() < quillon::wire::timeouts::kStallMs);
    QCOMPARE(KX_DisConnectTCPServer(second), KX_OK);
}

void TestHostLink::brokenDownloadsKeepTheLocalCopy_data()
{
    QTest::addColumn<StubServer::Fault>("fault");
    QTest::addColumn<int>("minimumMs");
    QTest::addColumn<int>("maximumMs");
    const int stall = quillon::wire::timeouts::kStallMs;
    QTest::newRow("closed mid-file") << StubServer::Fault::CloseMidFile << 0 << 2000;
    QTest::newRow("corrupt content") << StubServer::Fault::CorruptContent << 0 << 2000;
    QTest::newRow("status without a file") << StubServer::Fault::StatusWithoutFile << 0 << 2000;
    QTest::newRow("stalled mid-file")
        << StubServer::Fault::StallMidFile << stall - 100 << stall + 2000;
}

void TestHostLink::brokenDownloadsKeepTheLocalCopy()
{
    QFETCH(StubServer::Fault, fault);
    QFETCH(int, minimumMs);
    QFETCH(int, maximumMs);

    StubServer stub(fault);
    QVERIFY(stub.startListening());
    QCOMPARE(login(kLoopback, stub.port(), kAdminName, "anything"), KX_LOGIN_ACCEPTED);

    QTemporaryDir work;
    const QString local = work.filePath(QStringLiteral("TVCard.Ext"));
    QVERIFY(writeFile(local, "previous visit"));
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(download(kLoopback, stub.port(), "SysConfig\\TVCard.Ext", local), KX_ERR_NETWORK);
    const qint64 elapsed = timer.elapsed();
    QVERIFY2(elapsed >= minimumMs && elapsed <= maximumMs, qPrintable(QString::number(elapsed)));
    QCOMPARE(readFile(local), QByteArray("previous visit"));
    QCOMPARE(QDir(work.path()).entryList(QDir::Files | QDir::Hidden), QStringList {"TVCard.Ext"});
}

void TestHostLink::serverKilledAfterLoginKeepsTheLocalCopy()
{
    Server server;
    QVERIFY(server.start());
    const int port = server.dvrd.port();
    QCOMPARE(login(kLoopback, port, kAdminName, kAdminPassword), KX_LOGIN_ACCEPTED);
    server.dvrd.kill();

    QTemporaryDir work;
    const QString local = work.filePath(QStringLiteral("SysSet.Ext"));
    QVERIFY(writeFile(local, "previous visit"));
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(download(kLoopback, port, "SysConfig\\SysSet.Ext", local), KX_ERR_NETWORK);
    QCOMPARE(upload(kLoopback, port, "SysConfig\\SysSet.Ext", local), KX_ERR_NETWORK);
    QCOMPARE(connectTo(kLoopback, port), 0);
    QVERIFY(timer.elapsed() < quillon::wire::timeouts::kConnectMs);
    QCOMPARE(readFile(local), QByteArray("previous visit"));
}

void TestHostLink::serverStalledOrKilledDuringUpload_data()
{
    QTest::addColumn<bool>("killed");
    QTest::newRow("stalled") << false;
    QTest::newRow("killed") << true;
}

// An upload too large for the socket buffers meets a server that stops reading: the call ends
// within the stall timeout, and the server's file is never torn, whatever arrives later.
void TestHostLink::serverStalledOrKilledDuringUpload()
{
    QFETCH(bool, killed);
    Server server;
    QVERIFY(server.start());
    const int port = server.dvrd.port();
    const QString onServer = server.path(QStringLiteral("SysConfig/TVCard.Ext"));
    const QByteArray before = readFile(onServer);
    QCOMPARE(login(kLoopback, port, kAdminName, kAdminPassword), KX_LOGIN_ACCEPTED);

    QTemporaryDir work;
    const QString local = work.filePath(QStringLiteral("TVCard.Ext"));
    const QByteArray content(3 * 1024 * 1024, 'u');
    QVERIFY(writeFile(local, content));
    ::kill(pid_t(server.dvrd.processId()), SIGSTOP);
    std::thread killer;
    if (killed)
        killer = std::thread([&] {
            QThread::msleep(300);
            server.dvrd.kill();
        });
    QElapsedTimer timer;
    timer.start();
    QVERIFY(upload(kLoopback, port, "SysConfig\\TVCard.Ext", local) != KX_OK);
    QVERIFY(timer.elapsed() < quillon::wire::timeouts::kStallMs + 2000);
    if (killer.joinable())
        killer.join();
    QCOMPARE(readFile(local), content);

    if (!killed) {
        ::kill(pid_t(server.dvrd.processId()), SIGCONT);
        // The server goes on serving, and its file is the old one or the whole new one.
        const QString fetched = work.filePath(QStringLiteral("fetched"));
        QCOMPARE(download(kLoopback, port, "SysConfig\\SysSet.Ext", fetched), KX_OK);
        const QByteArray after = readFile(onServer);
        QVERIFY(after == before || after == content);
    } else {
        QCOMPARE(readFile(onServer), before);
    }
}

// A server that accepts the command connection but answers nothing: the connect gives up
// within the stall timeout, and no apply is recorded.
void TestHostLink::serverStalledBeforeTheApplyCommand()
{
    Server server;
    QVERIFY(server.start());
    const int port = server.dvrd.port();
    QCOMPARE(login(kLoopback, port, kAdminName, kAdminPassword), KX_LOGIN_ACCEPTED);
    ::kill(pid_t(server.dvrd.processId()), SIGSTOP);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(sendApply(kLoopback, port), 0);
    QVERIFY(timer.elapsed() < quillon::wire::timeouts::kStallMs + 2000);
    ::kill(pid_t(server.dvrd.processId()), SIGCONT);
    QVERIFY(!QFile::exists(server.path(QStringLiteral("apply.log"))));
    QCOMPARE(sendApply(kLoopback, port), 9); // served again once it runs
    QVERIFY(QFile::exists(server.path(QStringLiteral("apply.log"))));
}

void TestHostLink::twoClientsAtOnce()
{
    Server server;
    QVERIFY(server.start());
    const int port = server.dvrd.port();
    const QList<TestSettingsFile> files = testSettingsFiles();
    QTemporaryDir work;

    // Two callers on two threads share the library, each with a session of its own: the
    // library keeps one session per host text and port, so the second names the server
    // differently.
    const auto visit = [&](const char *host, const QByteArray &user, const QByteArray &password,
                           const QString &folder, int *failures) {
        QDir().mkpath(folder);
        if (login(host, port, user, password) != KX_LOGIN_ACCEPTED)
            ++*failures;
        for (int round = 0; round < 3; ++round) {
            for (const TestSettingsFile &file : files) {
                const QString local = folder + '/' + QFileInfo(file.relativePath).fileName();
                if (download(host, port, file.remotePath, local) != KX_OK
                    || readFile(local) != file.content)
                    ++*failures;
            }
        }
    };
    int failuresA = 0;
    int failuresB = 0;
    std::thread a(visit, kLoopback, QByteArray(kAdminName), QByteArray(kAdminPassword),
        work.filePath("a"), &failuresA);
    std::thread b(visit, "localhost", QByteArray(kSetterName), QByteArray(kSetterPassword),
        work.filePath("b"), &failuresB);
    a.join();
    b.join();
    QCOMPARE(failuresA, 0);
    QCOMPARE(failuresB, 0);
    QCOMPARE(server.dvrd.countLog(QRegularExpression("^dvrd: login ok ")), 2);
    for (const char *user : {kAdminName, kSetterName}) {
        const QRegularExpression downloads(
            QStringLiteral("^dvrd: download .* user=%1 ").arg(QLatin1String(user)));
        QCOMPARE(server.dvrd.countLog(downloads), 3 * files.size());
    }
}

void TestHostLink::capturedVisitShowsNoSecret()
{
    Server server;
    QVERIFY(server.start());
    Relay relay(server.dvrd.port());
    QVERIFY(relay.port() != 0);
    const int port = relay.port();
    const QList<TestSettingsFile> files = testSettingsFiles();
    QTemporaryDir work;

    // A whole visit through the relay: login, the nine downloads, the uploads and apply.
    QCOMPARE(login(kLoopback, port, kAdminName, kAdminPassword), KX_LOGIN_ACCEPTED);
    for (const TestSettingsFile &file : files) {
        const QString local = work.filePath(QFileInfo(file.relativePath).fileName());
        QCOMPARE(download(kLoopback, port, file.remotePath, local), KX_OK);
        QCOMPARE(readFile(local), file.content);
        if (file.remotePath != "SysConfig\\Profile.ext")
            QCOMPARE(upload(kLoopback, port, file.remotePath, local), KX_OK);
    }
    QCOMPARE(sendApply(kLoopback, port), 9);
    // The login's connection carries the transfers; the apply command has one of its own.
    QCOMPARE(relay.connections(), 2);

    const QByteArray capture = relay.capture();
    QVERIFY(capture.size() > 4096);
    // Passwords travel inside the user file; no 16 bytes in a row of any file show.
    for (const QByteArray &password : {QByteArray(kAdminPassword), QByteArray(kSetterPassword)})
        QVERIFY(!capture.contains(password));
    for (const TestSettingsFile &file : files) {
        for (qsizetype at = 0; at + 16 <= file.content.size(); at += 16)
            QVERIFY2(!capture.contains(file.content.mid(at, 16)), file.remotePath.constData());
    }
    QVERIFY(!capture.contains("!!!!APPLY"));
}

void TestHostLink::impostorOnAPinnedHostIsRefused()
{
    Server server;
    QVERIFY(server.start());
    const int port = server.dvrd.port();
    const QStringList samePort {QStringLiteral("--port"), QString::number(port)};
    QTemporaryDir work;
    const QString local = work.filePath(QStringLiteral("SysSet.Ext"));
    QVERIFY(writeFile(local, "previous visit"));
    QCOMPARE(login(kLoopback, port, kAdminName, kAdminPassword), KX_LOGIN_ACCEPTED);
    QCOMPARE(server.dvrd.stop(), 0);

    // Another server with an identity of its own takes the pinned host and port.
    QTemporaryDir elsewhere;
    DvrdProcess impostor;
    QVERIFY(impostor.start(server.root.path(), kAdminName, kAdminPassword,
        samePort + QStringList {QStringLiteral("--identity"), elsewhere.filePath("identity.pem")}));
    QCOMPARE(download(kLoopback, port, "SysConfig\\SysSet.Ext", local), KX_ERR_REFUSED);
    QCOMPARE(connectTo(kLoopback, port), 0);
    QCOMPARE(login(kLoopback, port, kAdminName, kAdminPassword), KX_LOGIN_IDENTITY_CHANGED);
    QCOMPARE(readFile(local), QByteArray("previous visit"));
    // Nothing beyond the handshake reached it.
    QCOMPARE(impostor.countLog(QRegularExpression("login|session|download|upload|apply")), 0);

    // An operator who never visited this host and port gets in.
    const QByteArray pins = qgetenv("QUILLON_KNOWN_HOSTS");
    qputenv("QUILLON_KNOWN_HOSTS", QFile::encodeName(work.filePath(QStringLiteral("new_pins"))));
    const std::int32_t firstVisit = login(kLoopback, port, kAdminName, kAdminPassword);
    qputenv("QUILLON_KNOWN_HOSTS", pins);
    QCOMPARE(firstVisit, KX_LOGIN_ACCEPTED);

    // The pinned server back on its port is accepted again.
    QCOMPARE(impostor.stop(), 0);
    QVERIFY(server.dvrd.start(server.root.path(), kAdminName, kAdminPassword, samePort));
    QCOMPARE(login(kLoopback, port, kAdminName, kAdminPassword), KX_LOGIN_ACCEPTED);
    QCOMPARE(download(kLoopback, port, "SysConfig\\SysSet.Ext", local), KX_OK);
    QCOMPARE(readFile(local), testSettingsFiles()[1].content);
}

QTEST_GUILESS_MAIN(TestHostLink)
#include "tst_hostlink.moc"
