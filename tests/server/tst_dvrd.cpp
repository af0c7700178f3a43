#include "hostlink/blockingchannel.h"
#include "hostlink/wire.h"
#include "support/dvrdprocess.h"
#include "support/testsettings.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <vector>

using namespace quillon::wire;

namespace {

struct Server
{
    QTemporaryDir root;
    DvrdProcess dvrd;

    bool start() { return root.isValid() && writeTestSettings(root.path()) && serve(); }
    // Starts the server on the root as it is (again, after a stop, or with files of a test's own).
    bool serve() { return dvrd.start(root.path(), kAdminName, kAdminPassword); }
    QString path(const QString &relative) const { return QDir(root.path()).filePath(relative); }
};

std::optional<Frame> exchange(BlockingChannel &channel, const QByteArray &frame)
{
    if (!channel.send(frame))
        return std::nullopt;
    return channel.receive();
}

std::optional<StatusCode> statusOf(const std::optional<Frame> &frame)
{
    const std::optional<StatusReply> reply = frame ? decode<StatusReply>(*frame) : std::nullopt;
    return reply ? std::optional(reply->code) : std::nullopt;
}

// Logs in over a fresh connection; the proof is kept so a test can replay it, and the
// connection so that a test can go on using it.
struct Login
{
    QByteArray nonce;
    QByteArray proof;
    std::optional<LoginResult> result;
    std::unique_ptr<BlockingChannel> channel = std::make_unique<BlockingChannel>();
};

Login logIn(quint16 port, const QByteArray &user, const QByteArray &password,
    const QByteArray &proofToSend = {}, const QString &from = QStringLiteral("127.0.0.1"))
{
    Login login;
    BlockingChannel &channel = *login.channel;
    if (!channel.socket().bind(QHostAddress(from))
        || !channel.open(QStringLiteral("127.0.0.1"), port))
        return login;
    const std::optional<Frame> challenge = exchange(channel, encode(LoginHello {user}));
    const std::optional<LoginChallenge> nonce
        = challenge ? decode<LoginChallenge>(*challenge) : std::nullopt;
    if (!nonce)
        return login;
    login.nonce = nonce->nonce;
    login.proof = proofToSend.isEmpty() ? loginProof(password, login.nonce, user) : proofToSend;
    const std::optional<Frame> result = exchange(channel, encode(LoginProof {login.proof}));
    login.result = result ? decode<LoginResult>(*result) : std::nullopt;
    return login;
}

QByteArray tokenFor(quint16 port)
{
    const Login login = logIn(port, kAdminName, kAdminPassword);
    return login.result ? login.result->token : QByteArray();
}

// A connection from a chosen loopback address with an open session; null on failure.
std::unique_ptr<BlockingChannel> sessionChannel(quint16 port, const QByteArray &token,
    std::optional<StatusCode> *status = nullptr, const QString &from = QStringLiteral("127.0.0.1"))
{
    auto channel = std::make_unique<BlockingChannel>();
    if (!channel->socket().bind(QHostAddress(from))
        || !channel->open(QStringLiteral("127.0.0.1"), port))
        return nullptr;
    const std::optional<StatusCode> opened = channel->openSession(token);
    if (status)
        *status = opened;
    return opened == StatusCode::Ok ? std::move(channel) : nullptr;
}

// The rows of a test that runs once with a switch off and once with it on.
void addSwitchRows(const char *column, const char *off, const char *on)
{
    QTest::addColumn<bool>(column);
    QTest::newRow(off) << false;
    QTest::newRow(on) << true;
}

// The answer to the settings user's login from a loopback address; -1 for none.
int setterLoginCode(quint16 port, const QByteArray &password, const QString &from)
{
    const Login login = logIn(port, kSetterName, password, {}, from);
    return login.result ? int(login.result->code) : -1;
}

// A connection with a new session of the administrator; null on failure.
std::unique_ptr<BlockingChannel> adminSession(quint16 port)
{
    return sessionChannel(port, tokenFor(port));
}

QByteArray rawHeader(quint32 magic, quint16 version, MessageType type, quint32 length)
{
    QByteArray bytes(kHeaderSize, '\0');
    qToBigEndian(magic, bytes.data());
    qToBigEndian(version, bytes.data() + 4);
    qToBigEndian(quint16(type), bytes.data() + 6);
    qToBigEndian(length, bytes.data() + 8);
    return bytes;
}

bool upload(BlockingChannel &channel, const QByteArray &remotePath, const QByteArray &content,
    StatusCode expected = StatusCode::Ok)
{
    return statusOf(exchange(channel, encode(FileUpload {remotePath, content, sha256(content)})))
        == expected;
}

std::optional<StatusCode> apply(BlockingChannel &channel)
{
    return statusOf(exchange(channel, encode(Command {"!!!!APPLY"})));
}

// Every served file, by its path below the root.
QMap<QString, QByteArray> servedSet(const Server &server)
{
    QMap<QString, QByteArray> served;
    for (const TestSettingsFile &file : testSettingsFiles())
        served.insert(file.relativePath, readFile(server.path(file.relativePath)));
    return served;
}

// Limits the size of any file the server writes; writes beyond it fail (the server ignores
// SIGXFSZ), as on a full disk.
bool limitFileSize(const DvrdProcess &dvrd, rlim_t bytes)
{
    const rlimit limit {bytes, bytes};
    return ::prlimit(pid_t(dvrd.processId()), RLIMIT_FSIZE, &limit, nullptr) == 0;
}

mode_t modeOf(const QString &path)
{
    struct stat info = {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// True when the server closed the connection (nothing more arrives and the line is down).
bool closedByServer(BlockingChannel &channel)
{
    return !channel.receive() && channel.socket().state() != QAbstractSocket::ConnectedState;
}

} // namespace

class TestDvrd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void wrongArgumentsExitWithUsage_data();
    void wrongArgumentsExitWithUsage();
    void stopsCleanlyOnSignals_data();
    void stopsCleanlyOnSignals();
    void replayedProofIsRefused();
    void sessionTokenIsBoundToTheLoginAddress();
    void protocolErrorsCloseTheConnection();
    void anonymousPeersCannotSendLargeFrames();
    void uploadsAreCheckedBeforeReplacing();
    void slowClientDoesNotHoldUpOthers();
    void truncatedUploadWritesNothing();
    void connectionsBeyondTheCapAreTurnedAway();
    void idleCrowdLeavesLoginsWorking();
    void bytesAloneDoNotKeepAConnection();
    void guessesFromManyAddressesAreSlowed();
    void applyServesAWholeSetAcrossKills_data();
    void applyServesAWholeSetAcrossKills();
    void failedLoginsLockTheAddressOut();
    void administratorFileReadableByOthersIsRefused_data();
    void administratorFileReadableByOthersIsRefused();
    void identityIsCreatedPrivateAndKept();
    void failedWritesAnswerTheFailure_data();
    void failedWritesAnswerTheFailure();
    void failedStepRollsEveryFileBack();
    void secretsKeepTheirModes();
    void staleApplyChangesNothing();
    void stagedUploadsAreBounded();
    void appliedFilesSurviveALostWriteBack();
};

void TestDvrd::wrongArgumentsExitWithUsage_data()
{
    QTest::addColumn<QStringList>("arguments");
    const QString root = QDir::tempPath();
    QTest::newRow("none") << QStringList {};
    QTest::newRow("no admin") << QStringList {"--root", root};
    QTest::newRow("no root") << QStringList {"--admin", "a:b"};
    QTest::newRow("missing root") << QStringList {
        "--root", root + "/no/such/dir", "--admin", "a:b"};
    QTest::newRow("admin without password separator")
        << QStringList {"--root", root, "--admin", "admin"};
    QTest::newRow("admin without name") << QStringList {"--root", root, "--admin", ":pw"};
    QTest::newRow("port too large")
        << QStringList {"--root", root, "--admin", "a:b", "--port", "70000"};
    QTest::newRow("port not a number")
        << QStringList {"--root", root, "--admin", "a:b", "--port", "50x"};
    QTest::newRow("bad listen address")
        << QStringList {"--root", root, "--admin", "a:b", "--listen", "999.1.1.1"};
    QTest::newRow("unknown option") << QStringList {"--root", root, "--admin", "a:b", "--verbose"};
    QTest::newRow("option without value") << QStringList {"--root", root, "--admin"};
}

void TestDvrd::wrongArgumentsExitWithUsage()
{
    QFETCH(QStringList, arguments);
    QByteArray output;
    QCOMPARE(runDvrdToEnd(arguments, &output), 2);
    QVERIFY2(output.startsWith("usage: dvrd "), output.constData());
}

void TestDvrd::stopsCleanlyOnSignals_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void TestDvrd::stopsCleanlyOnSignals()
{
    QFETCH(int, signal);
    Server server;
    QVERIFY(server.start());
    // A client in the middle of an exchange does not keep the server alive.
    BlockingChannel idle;
    QVERIFY(idle.open(QStringLiteral("127.0.0.1"), server.dvrd.port()));
    QVERIFY(idle.send(encode(LoginHello {"admin"})));
    QVERIFY(idle.receive());

    QCOMPARE(::kill(pid_t(server.dvrd.processId()), signal), 0);
    QCOMPARE(server.dvrd.waitForExit(), 0);
    QVERIFY(server.dvrd.logLines().contains(QStringLiteral("dvrd: stopping")));
}

void TestDvrd::replayedProofIsRefused()
{
    Server server;
    QVERIFY(server.start());
    const quint16 port = server.dvrd.port();

    const Login first = logIn(port, kSetterName, kSetterPassword);
    QVERIFY(first.result);
    QCOMPARE(first.result->code, LoginCode::Accepted);
    QCOMPARE(first.result->token.size(), kTokenBytes);
    // The connection that logged in carries the session.
    const TestSettingsFile user = testSettingsFiles().first();
    const std::optional<Frame> reply
        = exchange(*first.channel, encode(FileRequest {user.remotePath}));
    const std::optional<FileData> data = reply ? decode<FileData>(*reply) : std::nullopt;
    QVERIFY(data && data->digestMatches());
    QCOMPARE(data->content, user.content);

    // Someone who captured that exchange answers a new challenge with the old proof.
    const Login replay = logIn(port, kSetterName, {}, first.proof);
    QVERIFY(replay.result);
    QVERIFY(replay.nonce != first.nonce);
    QCOMPARE(replay.result->code, LoginCode::WrongPassword);
    QVERIFY(replay.result->token.isEmpty());
    QVERIFY(closedByServer(*replay.channel));

    // Each accepted login gets its own token.
    const Login second = logIn(port, kSetterName, kSetterPassword);
    QVERIFY(second.result && second.result->code == LoginCode::Accepted);
    QVERIFY(second.result->token != first.result->token);
}

void TestDvrd::sessionTokenIsBoundToTheLoginAddress()
{
    Server server;
    QVERIFY(server.start());
    const quint16 port = server.dvrd.port();
    const QByteArray token = tokenFor(port);
    QCOMPARE(token.size(), kTokenBytes);

    std::optional<StatusCode> status;
    QVERIFY(!sessionChannel(port, token, &status, QStringLiteral("127.0.0.2")));
    QCOMPARE(status, StatusCode::NoSession);
    QVERIFY(!sessionChannel(port, randomBytes(kTokenBytes), &status));
    QCOMPARE(status, StatusCode::NoSession);
    QVERIFY(!server.dvrd
                 .waitForLog(QRegularExpression("^dvrd: refused session: no valid token "
                                                "peer=127\\.0\\.0\\.2$"))
                 .isEmpty());

    // The same token from the address that logged in serves several requests in a row.
    const std::unique_ptr<BlockingChannel> channel = sessionChannel(port, token);
    QVERIFY(channel);
    for (const TestSettingsFile &file : testSettingsFiles()) {
        const std::optional<Frame> reply
            = exchange(*channel, encode(FileRequest {file.remotePath}));
        const std::optional<FileData> data = reply ? decode<FileData>(*reply) : std::nullopt;
        QVERIFY(data && data->digestMatches());
        QCOMPARE(data->content, file.content);
    }
}

void TestDvrd::protocolErrorsCloseTheConnection()
{
    Server server;
    QVERIFY(server.start());
    const quint16 port = server.dvrd.port();

    BlockingChannel web;
    QVERIFY(web.open(QStringLiteral("127.0.0.1"), port));
    QVERIFY(web.send("GET / HTTP/1.0\r\n\r\n"));
    QVERIFY(closedByServer(web));

    // A peer of the earlier version speaks in clear; it gets a refusal it can read, at once.
    QTcpSocket clear;
    clear.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(clear.waitForConnected(3000));
    clear.write(rawHeader(kMagic, kClearTextVersion, MessageType::LoginHello, 7) + "\0\5admin");
    QByteArray refusal;
    while (refusal.size() < clearTextVersionRefusal().size() && clear.waitForReadyRead(3000))
        refusal += clear.readAll();
    QCOMPARE(refusal, clearTextVersionRefusal());
    QVERIFY(clear.state() == QAbstractSocket::UnconnectedState || clear.waitForDisconnected(3000));

    BlockingChannel future;
    QVERIFY(future.open(QStringLiteral("127.0.0.1"), port));
    const std::optional<Frame> unsupported
        = exchange(future, rawHeader(kMagic, kVersion + 1, MessageType::LoginHello, 0));
    QCOMPARE(statusOf(unsupported), StatusCode::UnsupportedVersion);
    QVERIFY(closedByServer(future));

    // A request before any session, and a proof without a challenge.
    for (const QByteArray &frame :
        {encode(FileRequest {"User\\User.she"}), encode(LoginProof {QByteArray(kDigestBytes, 'p')}),
            encodeFrame(MessageType::LoginHello,
                QByteArray("\x00\x09"
                           "adm",
                    5))}) {
        BlockingChannel early;
        QVERIFY(early.open(QStringLiteral("127.0.0.1"), port));
        QCOMPARE(statusOf(exchange(early, frame)), StatusCode::Malformed);
        QVERIFY(closedByServer(early));
    }

    // A refused login ends its connection; it cannot be used for anything else.
    BlockingChannel login;
    QVERIFY(login.open(QStringLiteral("127.0.0.1"), port));
    QVERIFY(exchange(login, encode(LoginHello {kAdminName})));
    QVERIFY(login.send(encode(LoginProof {QByteArray(kDigestBytes, 'p')})));
    const std::optional<Frame> result = login.receive();
    QVERIFY(result && decode<LoginResult>(*result));
    QVERIFY(closedByServer(login));

    QVERIFY(server.dvrd.isRunning());
}

void TestDvrd::anonymousPeersCannotSendLargeFrames()
{
    Server server;
    QVERIFY(server.start());
    BlockingChannel channel;
    QVERIFY(channel.open(QStringLiteral("127.0.0.1"), server.dvrd.port()));
    // Only the header goes out: the server must answer without waiting for the payload.
    const std::optional<Frame> reply
        = exchange(channel, rawHeader(kMagic, kVersion, MessageType::FileUpload, 1024 * 1024));
    QCOMPARE(statusOf(reply), StatusCode::SizeRefused);
    QVERIFY(closedByServer(channel));
}

void TestDvrd::uploadsAreCheckedBeforeReplacing()
{
    Server server;
    QVERIFY(server.start());
    const quint16 port = server.dvrd.port();
    const std::unique_ptr<BlockingChannel> channel = adminSession(port);
    QVERIFY(channel);
    const QString sysSet = server.path(QStringLiteral("SysConfig/SysSet.Ext"));
    const QByteArray original = readFile(sysSet);

    const QByteArray content = "[System Options]\r\nMaxRecCount=4\r\n";
    FileUpload corrupt {"SysConfig\\SysSet.Ext", content, sha256(content)};
    corrupt.content[5] = 'x';
    QCOMPARE(statusOf(exchange(*channel, encode(corrupt))), StatusCode::IntegrityFailed);
    QCOMPARE(readFile(sysSet), original);

    // A frame whose size field disagrees with the content it carries.
    QByteArray mismatched = encode(FileUpload {"SysConfig\\SysSet.Ext", content, sha256(content)});
    qToBigEndian(quint32(content.size() + 1), mismatched.data() + kHeaderSize + 2 + 20);
    QCOMPARE(statusOf(exchange(*channel, mismatched)), StatusCode::Malformed);
    QVERIFY(closedByServer(*channel));
    QCOMPARE(readFile(sysSet), original);

    // A session survives a refused request on the next connection, and a good upload lands.
    const std::unique_ptr<BlockingChannel> again = adminSession(port);
    QVERIFY(again);
    const QByteArray users(2 * 112 + 1, '\0');
    QCOMPARE(
        statusOf(exchange(*again, encode(FileUpload {"User\\User.she", users, sha256(users)}))),
        StatusCode::SizeRefused);
    QCOMPARE(statusOf(exchange(
                 *again, encode(FileUpload {"SysConfig\\SysSet.Ext", content, sha256(content)}))),
        StatusCode::Ok);
    QCOMPARE(readFile(sysSet), original);
    QCOMPARE(statusOf(exchange(*again, encode(Command {"!!!!APPLY"}))), StatusCode::Ok);
    QCOMPARE(readFile(sysSet), content);
    QCOMPARE(
        QDir(server.path(QStringLiteral("SysConfig"))).entryList(QDir::Files | QDir::Hidden).size(),
        8);
}

void TestDvrd::slowClientDoesNotHoldUpOthers()
{
    Server server;
    QVERIFY(server.start());
    const quint16 port = server.dvrd.port();

    // One client sends the first half of a large upload and pauses.
    const std::unique_ptr<BlockingChannel> slow = adminSession(port);
    QVERIFY(slow);
    const QByteArray content(512 * 1024, 'z');
    const QByteArray frame = encode(FileUpload {"SysConfig\\TVCard.Ext", content, sha256(content)});
    QVERIFY(slow->send(frame.first(frame.size() / 2)));

    // Meanwhile another logs in, downloads and applies.
    const std::unique_ptr<BlockingChannel> quick = adminSession(port);
    QVERIFY(quick);
    const std::optional<Frame> reply = exchange(*quick, encode(FileRequest {"User\\User.she"}));
    QVERIFY(reply && decode<FileData>(*reply));
    QCOMPARE(statusOf(exchange(*quick, encode(Command {"!!!!APPLY"}))), StatusCode::Ok);
    QCOMPARE(readFile(server.path(QStringLiteral("SysConfig/TVCard.Ext"))),
        testSettingsFiles()[2].content);

    // The other session's apply served nothing of the slow one's; its own apply does.
    QCOMPARE(statusOf(exchange(*slow, frame.sliced(frame.size() / 2))), StatusCode::Ok);
    QCOMPARE(readFile(server.path(QStringLiteral("SysConfig/TVCard.Ext"))),
        testSettingsFiles()[2].content);
    QCOMPARE(statusOf(exchange(*slow, encode(Command {"!!!!APPLY"}))), StatusCode::Ok);
    QCOMPARE(readFile(server.path(QStringLiteral("SysConfig/TVCard.Ext"))), content);
}

// A client that sends part of an upload and goes away leaves the server file as it was, and a
// made-up token opens nothing; the server goes on serving others.
void TestDvrd::truncatedUploadWritesNothing()
{
    Server server;
    QVERIFY(server.start());
    const quint16 port = server.dvrd.port();
    const QString tvCard = server.path(QStringLiteral("SysConfig/TVCard.Ext"));
    const QByteArray before = readFile(tvCard);

    for (const qsizetype cut : {qsizetype(5), kHeaderSize, kHeaderSize + 100, qsizetype(-1)}) {
        const std::unique_ptr<BlockingChannel> dropped = adminSession(port);
        QVERIFY(dropped);
        const QByteArray content(64 * 1024, 'q');
        const QByteArray frame
            = encode(FileUpload {"SysConfig\\TVCard.Ext", content, sha256(content)});
        QVERIFY(dropped->send(frame.first(cut < 0 ? frame.size() - 1 : cut)));
        dropped->close();
    }
    std::optional<StatusCode> opened;
    QVERIFY(!sessionChannel(port, QByteArray(kTokenBytes, '\x5a'), &opened));
    QCOMPARE(opened, StatusCode::NoSession);

    const std::unique_ptr<BlockingChannel> next = adminSession(port);
    QVERIFY(next);
    const std::optional<Frame> reply
        = exchange(*next, encode(FileRequest {"SysConfig\\TVCard.Ext"}));
    const std::optional<FileData> served = reply ? decode<FileData>(*reply) : std::nullopt;
    QVERIFY(served);
    QCOMPARE(served->content, before);
    QCOMPARE(readFile(tvCard), before);
    QCOMPARE(QDir(server.path(QStringLiteral("SysConfig"))).entryList(QDir::Files).size(), 8);
}

void TestDvrd::connectionsBeyondTheCapAreTurnedAway()
{
    Server server;
    QVERIFY(server.start());
    const quint16 port = server.dvrd.port();
    // An address that logged in successfully counts as known from then on.
    QVERIFY(logIn(port, kAdminName, kAdminPassword).result.has_value());
    std::vector<std::unique_ptr<BlockingChannel>> held;
    const auto holdFrom = [&](const QString &from, int count) {
        int served = 0;
        for (int i = 0; i < count; ++i) {
            auto channel = std::make_unique<BlockingChannel>();
            // Beyond a cap the server closes before the handshake.
            if (!channel->socket().bind(QHostAddress(from))
                || !channel->open(QStringLiteral("127.0.0.1"), port))
                continue;
            // A challenge shows the connection is being served.
            const std::optional<Frame> first = exchange(*channel, encode(LoginHello {kAdminName}));
            if (!first || !decode<LoginChallenge>(*first))
                continue;
            held.push_back(std::move(channel));
            ++served;
        }
        return served;
    };
    // One address gets its share; strangers together leave room for known addresses.
    QCOMPARE(holdFrom(QStringLiteral("127.0.1.1"), 40), 32);
    int strangers = 32;
    for (int i = 2; i <= 4; ++i)
        strangers += holdFrom(QStringLiteral("127.0.1.%1").arg(i), 32);
    QCOMPARE(strangers, 128 - 32);
    QVERIFY(!server.dvrd.waitForLog(QRegularExpression("too many connections$")).isEmpty());
    QVERIFY(!server.dvrd.waitForLog(QRegularExpression("too many connections from that address"))
                 .isEmpty());
    QCOMPARE(holdFrom(QStringLiteral("127.0.0.1"), 40), 32);

    // Once a slot of its own is free, the known address is served again.
    held.back()->close();
    held.pop_back();
    // Each try may wait out a refused handshake, which takes long on a busy machine. The wait
    // evaluates its condition more than once: after one login got through, a later try could
    // meet the slot still taken by that login's own connection, so the first success counts.
    bool servedAgain = false;
    const auto logInOnce = [&] {
        servedAgain = servedAgain || logIn(port, kAdminName, kAdminPassword).result.has_value();
        return servedAgain;
    };
    QTRY_VERIFY_WITH_TIMEOUT(logInOnce(), 15000);
}

// A peer holding every connection it can without ever starting TLS, a byte now and then, leaves
// a login from elsewhere working at once.
void TestDvrd::idleCrowdLeavesLoginsWorking()
{
    Server server;
    QVERIFY(server.start());
    const quint16 port = server.dvrd.port();
    std::vector<std::unique_ptr<QTcpSocket>> crowd;
    for (int i = 0; i < 128; ++i) {
        auto socket = std::make_unique<QTcpSocket>();
        socket->bind(QHostAddress(QStringLiteral("127.0.0.2")));
        socket->connectToHost(QHostAddress::LocalHost, port);
        if (socket->waitForConnected(1000)) {
            socket->write("\x16", 1);
            socket->flush();
        }
        crowd.push_back(std::move(socket));
    }
    QElapsedTimer clock;
    clock.start();
    const Login login = logIn(port, kSetterName, kSetterPassword);
    QVERIFY(login.result && login.result->code == LoginCode::Accepted);
    QVERIFY2(clock.elapsed() < 1000, QByteArray::number(clock.elapsed()).constData());
}

// A peer that never logs in is closed at the login deadline, however steadily it sends bytes.
void TestDvrd::bytesAloneDoNotKeepAConnection()
{
    Server server;
    QVERIFY(server.start());
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, server.dvrd.port());
    QVERIFY(socket.waitForConnected(1000));
    // The start of a TLS record of 512 bytes, then its bytes one by one.
    socket.write(QByteArray::fromHex("1603010200"));
    QElapsedTimer clock;
    clock.start();
    while (socket.state() == QAbstractSocket::ConnectedState && clock.elapsed() < 20000) {
        socket.write("\x01", 1);
        socket.waitForDisconnected(1000);
    }
    QVERIFY2(clock.elapsed() >= timeouts::kServerLoginMs - 500
            && clock.elapsed() < timeouts::kServerLoginMs + 3000,
        QByteArray::number(clock.elapsed()).constData());
    QVERIFY(!server.dvrd.waitForLog(QRegularExpression("did not log in in time")).isEmpty());
}

// Guesses spread over many addresses stop counting once the account's budget is spent; the
// operator's known address still logs in.
void TestDvrd::guessesFromManyAddressesAreSlowed()
{
    Server server;
    QVERIFY(server.start());
    const quint16 port = server.dvrd.port();
    QCOMPARE(setterLoginCode(port, kSetterPassword, QStringLiteral("127.0.0.1")), 0);
    // Four guesses per address stay below the address lockout.
    int guesses = 0;
    for (int address = 1; guesses < 20; ++address) {
        for (int i = 0; i < 4 && guesses < 20; ++i, ++guesses)
            QCOMPARE(setterLoginCode(port, "guess", QStringLiteral("127.0.2.%1").arg(address)), 2);
    }
    QCOMPARE(setterLoginCode(port, kSetterPassword, QStringLiteral("127.0.3.1")), 2);
    QVERIFY(!server.dvrd.waitForLog(QRegularExpression("to this account from unknown addresses"))
                 .isEmpty());
    QCOMPARE(setterLoginCode(port, kSetterPassword, QStringLiteral("127.0.0.1")), 0);
    // Another account is not affected.
    QCOMPARE(logIn(port, kAdminName, kAdminPassword, {}, QStringLiteral("127.0.3.1")).result->code,
        LoginCode::Accepted);
}

void TestDvrd::applyServesAWholeSetAcrossKills_data()
{
    addSwitchRows("killedInCommit", "killed between the uploads and apply",
        "killed with the commit journal written");
}

void TestDvrd::applyServesAWholeSetAcrossKills()
{
    QFETCH(bool, killedInCommit);
    Server server;
    if (killedInCommit)
        qputenv("DVRD_TEST_KILL_AFTER_JOURNAL", "1");
    const bool started = server.start();
    qunsetenv("DVRD_TEST_KILL_AFTER_JOURNAL");
    QVERIFY(started);
    const quint16 port = server.dvrd.port();
    const QList<TestSettingsFile> files = testSettingsFiles();
    const std::unique_ptr<BlockingChannel> channel = adminSession(port);
    QVERIFY(channel);
    // SysSet.Ext, TVCard.Ext and AlarmSet.Ext make the new set.
    const auto newContent = [&](int i) {
        return files[i].content + "; new";
    };
    for (int i = 1; i <= 3; ++i) {
        const QByteArray content = newContent(i);
        QCOMPARE(statusOf(exchange(
                     *channel, encode(FileUpload {files[i].remotePath, content, sha256(content)}))),
            StatusCode::Ok);
    }
    if (killedInCommit) {
        QVERIFY(!exchange(*channel, encode(Command {"!!!!APPLY"})));
        QCOMPARE(server.dvrd.waitForExit(), -1);
        QVERIFY(QFile::exists(server.path(QStringLiteral(".commit-journal"))));
    } else {
        server.dvrd.kill();
    }
    for (int i = 1; i <= 3; ++i)
        QCOMPARE(readFile(server.path(files[i].relativePath)), files[i].content);

    QVERIFY(server.serve());
    // An apply of a new session after the restart serves nothing left from before it.
    const std::unique_ptr<BlockingChannel> next = adminSession(server.dvrd.port());
    QVERIFY(next);
    QCOMPARE(statusOf(exchange(*next, encode(Command {"!!!!APPLY"}))), StatusCode::Ok);
    for (int i = 1; i <= 3; ++i) {
        const QByteArray served = readFile(server.path(files[i].relativePath));
        QCOMPARE(served, killedInCommit ? newContent(i) : files[i].content);
    }
    QVERIFY(!QFile::exists(server.path(QStringLiteral(".commit-journal"))));
    QVERIFY(!QFile::exists(server.path(QStringLiteral(".staging"))));
}

void TestDvrd::failedLoginsLockTheAddressOut()
{
    Server server;
    QVERIFY(server.start());
    const quint16 port = server.dvrd.port();
    const QString first = QStringLiteral("127.0.0.1");
    const QString other = QStringLiteral("127.0.0.2");
    for (int attempt = 0; attempt < 4; ++attempt)
        QCOMPARE(setterLoginCode(port, "guess" + QByteArray::number(attempt), first), 2);
    // A good login elsewhere does not reset the count of the first address.
    QCOMPARE(setterLoginCode(port, kSetterPassword, other), 0);
    QCOMPARE(setterLoginCode(port, "guess", first), 2);
    QVERIFY(!server.dvrd.waitForLog(QRegularExpression("^dvrd: locked out peer=127\\.0\\.0\\.1 "))
                 .isEmpty());
    // The sixth login within the minute is refused even with the right password.
    QCOMPARE(setterLoginCode(port, kSetterPassword, first), 2);
    QCOMPARE(server.dvrd.countLog(QRegularExpression("too many failed logins")), 1);
    QCOMPARE(setterLoginCode(port, kSetterPassword, other), 0);
}

void TestDvrd::administratorFileReadableByOthersIsRefused_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("0644") << 0644;
    QTest::newRow("0640") << 0640;
    QTest::newRow("0604") << 0604;
    QTest::newRow("0660") << 0660;
}

void TestDvrd::administratorFileReadableByOthersIsRefused()
{
    QFETCH(int, mode);
    QTemporaryDir dir;
    const QString admin = dir.filePath(QStringLiteral("admin"));
    QFile file(admin);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("admin:s3cret\n") > 0);
    file.close();
    QCOMPARE(::chmod(QFile::encodeName(admin).constData(), mode_t(mode)), 0);
    QByteArray output;
    QCOMPARE(
        runDvrdToEnd({"--root", dir.path(), "--port", "0", "--admin-file", admin}, &output), 2);
    QVERIFY2(output.contains("group or others may read it"), output.constData());
    QVERIFY(!output.contains("s3cret"));
}

void TestDvrd::identityIsCreatedPrivateAndKept()
{
    QTemporaryDir dir;
    const QString identity = dir.filePath(QStringLiteral("identity.pem"));
    const auto fingerprintOf = [](const QString &path) {
        QProcess dvrd;
        dvrd.start(qEnvironmentVariable("DVRD_PATH"),
            {QStringLiteral("--identity"), path, QStringLiteral("--print-fingerprint")});
        dvrd.waitForFinished(10000);
        return dvrd.exitCode() == 0 ? dvrd.readAllStandardOutput().trimmed() : QByteArray();
    };
    const QByteArray created = fingerprintOf(identity);
    QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{64}$"))
                .match(QString::fromLatin1(created))
                .hasMatch());
    QCOMPARE(QFileInfo(identity).permissions() & ~(QFile::ReadUser | QFile::WriteUser),
        QFile::ReadOwner | QFile::WriteOwner);
    QCOMPARE(fingerprintOf(identity), created);
    QVERIFY(fingerprintOf(dir.filePath(QStringLiteral("other.pem"))) != created);

    // The server shows that identity.
    Server server;
    QVERIFY(server.root.isValid() && writeTestSettings(server.root.path()));
    QVERIFY(server.dvrd.start(
        server.root.path(), kAdminName, kAdminPassword, {QStringLiteral("--identity"), identity}));
    BlockingChannel channel;
    QVERIFY(channel.open(QStringLiteral("127.0.0.1"), server.dvrd.port()));
    QCOMPARE(channel.peerFingerprint(), created);

    // A damaged identity stops the server instead of being replaced.
    QFile damaged(identity);
    QVERIFY(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate) && damaged.write("x") == 1);
    damaged.close();
    QCOMPARE(fingerprintOf(identity), QByteArray());
}

void TestDvrd::failedWritesAnswerTheFailure_data()
{
    addSwitchRows("logIsFull", "the staged upload", "the apply log");
}

void TestDvrd::failedWritesAnswerTheFailure()
{
    QFETCH(bool, logIsFull);
    constexpr rlim_t kLimit = 4096;
    Server server;
    QVERIFY(server.root.isValid() && writeTestSettings(server.root.path()));
    // A log already above the limit cannot be rewritten with its new line.
    QVERIFY(writeFile(server.path(QStringLiteral("apply.log")),
        QByteArray("2026-01-01T00:00:00Z generation=1 user=admin\n")
            .repeated(logIsFull ? 100 : 1)));
    QVERIFY(server.serve());
    const quint16 port = server.dvrd.port();
    const QMap<QString, QByteArray> before = servedSet(server);
    const QByteArray logBefore = readFile(server.path(QStringLiteral("apply.log")));
    QVERIFY(limitFileSize(server.dvrd, kLimit));

    const std::unique_ptr<BlockingChannel> channel = adminSession(port);
    QVERIFY(channel);
    const QByteArray users = userRecordBytes("dave", "pw", {2}).repeated(logIsFull ? 2 : 40);
    QVERIFY(upload(*channel, "SysConfig\\SysSet.Ext", "[System Options]\r\nMaxRecCount=4\r\n"));
    QVERIFY(upload(
        *channel, "User\\User.she", users, logIsFull ? StatusCode::Ok : StatusCode::StorageFailed));
    QCOMPARE(apply(*channel), logIsFull ? StatusCode::StorageFailed : StatusCode::Ok);
    if (logIsFull) {
        QCOMPARE(servedSet(server), before);
        QCOMPARE(readFile(server.path(QStringLiteral("apply.log"))), logBefore);
        QVERIFY(!QFile::exists(server.path(QStringLiteral(".commit-journal"))));
    } else {
        // Only the upload that reached the disk was applied; User.she is whole and as it was.
        QCOMPARE(readFile(server.path(QStringLiteral("User/User.she"))),
            before.value(QStringLiteral("User/User.she")));
    }
}

// A step of the apply that fails (here: a folder nobody may change) puts back every file that
// was already moved; the uploads stay staged, and the same session's next apply serves them all.
void TestDvrd::failedStepRollsEveryFileBack()
{
    Server server;
    QVERIFY(server.start());
    const quint16 port = server.dvrd.port();
    const QMap<QString, QByteArray> before = servedSet(server);
    const std::unique_ptr<BlockingChannel> channel = adminSession(port);
    QVERIFY(channel);
    const QByteArray users = userRecordBytes("dave", "pw", {2});
    const QByteArray sysSet = "[System Options]\r\nMaxRecCount=8\r\n";
    QVERIFY(upload(*channel, "User\\User.she", users));
    QVERIFY(upload(*channel, "SysConfig\\SysSet.Ext", sysSet));

    const QString folder = server.path(QStringLiteral("SysConfig"));
    const bool asRoot = ::geteuid() == 0;
    const auto lockFolder = [&](bool locked) {
        if (asRoot)
            return QProcess::execute(QStringLiteral("chattr"),
                       {locked ? QStringLiteral("+i") : QStringLiteral("-i"), folder})
                == 0;
        return ::chmod(QFile::encodeName(folder).constData(), locked ? 0555 : 0755) == 0;
    };
    if (!lockFolder(true))
        QSKIP("cannot make a folder unchangeable here");
    const std::optional<StatusCode> failed = apply(*channel);
    const QMap<QString, QByteArray> afterFailure = servedSet(server);
    QVERIFY(lockFolder(false));
    QCOMPARE(failed, StatusCode::StorageFailed);
    QCOMPARE(afterFailure, before);
    QVERIFY(!QFile::exists(server.path(QStringLiteral(".commit-journal"))));
    QVERIFY(!server.dvrd.waitForLog(QRegularExpression("rolled the apply back")).isEmpty());

    QCOMPARE(apply(*channel), StatusCode::Ok);
    QCOMPARE(readFile(server.path(QStringLiteral("User/User.she"))), users);
    QCOMPARE(readFile(server.path(QStringLiteral("SysConfig/SysSet.Ext"))), sysSet);
}

void TestDvrd::secretsKeepTheirModes()
{
    const mode_t savedMask = ::umask(022);
    Server server;
    const bool started = server.root.isValid() && writeTestSettings(server.root.path())
        && QFile::remove(server.path(QStringLiteral("SysConfig/SMSSet.ext")))
        && ::chmod(
               QFile::encodeName(server.path(QStringLiteral("User/User.she"))).constData(), 0600)
            == 0
        && ::chmod(
               QFile::encodeName(server.path(QStringLiteral("SysConfig/SysSet.Ext"))).constData(),
               0640)
            == 0
        && server.serve();
    ::umask(savedMask);
    QVERIFY(started);
    const quint16 port = server.dvrd.port();
    const std::unique_ptr<BlockingChannel> channel = adminSession(port);
    QVERIFY(channel);
    QVERIFY(upload(*channel, "User\\User.she", userRecordBytes("dave", "secret", {2})));
    QVERIFY(upload(*channel, "SysConfig\\SysSet.Ext", "[System Options]\r\n"));
    QVERIFY(upload(*channel, "SysConfig\\SMSSet.ext", "[SMS Options]\r\n"));
    const QString staging = server.path(QStringLiteral(".staging"));
    QCOMPARE(modeOf(staging), mode_t(0700));
    const QFileInfoList sessions = QDir(staging).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCOMPARE(sessions.size(), 1);
    QCOMPARE(modeOf(sessions.front().filePath()), mode_t(0700));
    QCOMPARE(modeOf(sessions.front().filePath() + QStringLiteral("/User.she")), mode_t(0600));

    QCOMPARE(apply(*channel), StatusCode::Ok);
    QCOMPARE(modeOf(server.path(QStringLiteral("User/User.she"))), mode_t(0600));
    QCOMPARE(modeOf(server.path(QStringLiteral("SysConfig/SysSet.Ext"))), mode_t(0640));
    QCOMPARE(modeOf(server.path(QStringLiteral("SysConfig/SMSSet.ext"))), mode_t(0600));

    // An identity that others can read is refused, saying how to fix it.
    const QString identity = server.path(QStringLiteral("shared.pem"));
    QVERIFY(QFile::copy(testIdentityPath(), identity));
    QCOMPARE(::chmod(QFile::encodeName(identity).constData(), 0640), 0);
    QByteArray output;
    QCOMPARE(runDvrdToEnd({"--identity", identity, "--print-fingerprint"}, &output), 1);
    QVERIFY2(output.contains("chmod 600"), output.constData());
}

// Two operators: the one whose files are based on an older generation than the one served is
// refused and told whose apply came in between; the served set and the log say who applied.
void TestDvrd::staleApplyChangesNothing()
{
    Server server;
    QVERIFY(server.start());
    const quint16 port = server.dvrd.port();
    const std::unique_ptr<BlockingChannel> first = adminSession(port);
    const Login other = logIn(port, kSetterName, kSetterPassword);
    QVERIFY(first && other.result);
    const std::unique_ptr<BlockingChannel> second = sessionChannel(port, other.result->token);
    QVERIFY(second);
    const auto servedSetOf = [](BlockingChannel &channel) {
        const std::optional<Frame> reply = exchange(channel, encode(SetRequest {}));
        return reply ? decode<SetInfo>(*reply) : std::nullopt;
    };
    const auto applyBasedOn = [](BlockingChannel &channel, std::uint64_t generation) {
        return statusOf(exchange(channel, encode(BasedCommand {generation, "!!!!APPLY"})));
    };
    const std::optional<SetInfo> seen = servedSetOf(*first);
    QVERIFY(seen);
    QCOMPARE(seen->generation, 0u);

    const QString sysSet = server.path(QStringLiteral("SysConfig/SysSet.Ext"));
    QVERIFY(upload(*second, "SysConfig\\SysSet.Ext", "[System Options]\r\nBy=second\r\n"));
    QCOMPARE(applyBasedOn(*second, seen->generation), StatusCode::Ok);
    QVERIFY(upload(*first, "SysConfig\\SysSet.Ext", "[System Options]\r\nBy=first\r\n"));
    QCOMPARE(applyBasedOn(*first, seen->generation), StatusCode::Stale);
    QCOMPARE(readFile(sysSet), QByteArray("[System Options]\r\nBy=second\r\n"));

    const std::optional<SetInfo> now = servedSetOf(*first);
    QVERIFY(now);
    QCOMPARE(now->generation, 1u);
    QCOMPARE(now->user, QByteArray(kSetterName));
    QVERIFY(qAbs(qint64(now->appliedAt) - QDateTime::currentSecsSinceEpoch()) < 60);
    // Based on what is served now, the apply goes through.
    QCOMPARE(applyBasedOn(*first, now->generation), StatusCode::Ok);
    QCOMPARE(readFile(sysSet), QByteArray("[System Options]\r\nBy=first\r\n"));

    // A restarted server knows its generation and who applied it from its log.
    QCOMPARE(server.dvrd.stop(), 0);
    QVERIFY(server.serve());
    const std::unique_ptr<BlockingChannel> later = adminSession(server.dvrd.port());
    QVERIFY(later);
    const std::optional<SetInfo> restarted = servedSetOf(*later);
    QVERIFY(restarted);
    QCOMPARE(restarted->generation, 2u);
    QCOMPARE(restarted->user, QByteArray(kAdminName));
    QCOMPARE(applyBasedOn(*later, 1), StatusCode::Stale);
}

// Sessions together cannot stage more than the bound; an apply frees its session's share.
void TestDvrd::stagedUploadsAreBounded()
{
    Server server;
    QVERIFY(server.start());
    const quint16 port = server.dvrd.port();
    const QList<TestSettingsFile> files = testSettingsFiles();
    const qsizetype userBytes = kMaxFileBytes - kMaxFileBytes % 112;
    std::vector<std::unique_ptr<BlockingChannel>> sessions;
    for (int i = 0; i < 3; ++i) {
        sessions.push_back(adminSession(port));
        QVERIFY(sessions.back());
    }
    // Two sessions stage the eight files at their largest: the bound of 64 MiB.
    for (int i = 0; i < 2; ++i) {
        for (const TestSettingsFile &file : files) {
            if (file.remotePath.endsWith("Profile.ext"))
                continue;
            const bool users = file.remotePath.endsWith("User.she");
            QVERIFY(upload(*sessions[size_t(i)], file.remotePath,
                QByteArray(users ? userBytes : kMaxFileBytes, users ? '\0' : 'x')));
        }
    }
    const QByteArray large(kMaxFileBytes, 'y');
    QVERIFY(upload(*sessions[2], "SysConfig\\TVCard.Ext", large, StatusCode::SizeRefused));
    QVERIFY(!server.dvrd.waitForLog(QRegularExpression("the staging area is full")).isEmpty());
    QCOMPARE(apply(*sessions[0]), StatusCode::Ok);
    QVERIFY(upload(*sessions[2], "SysConfig\\TVCard.Ext", large));
}

// A power cut may take back the moved files' data after the Ok: the journal, kept until they are
// flushed to disk, writes them again at the next start. Without a crash it goes by itself.
void TestDvrd::appliedFilesSurviveALostWriteBack()
{
    Server server;
    QVERIFY(server.start());
    const QString journal = server.path(QStringLiteral(".commit-journal"));
    const QString sysSet = server.path(QStringLiteral("SysConfig/SysSet.Ext"));
    const QByteArray content = "[System Options]\r\nMaxRecCount=16\r\n";
    std::unique_ptr<BlockingChannel> channel = adminSession(server.dvrd.port());
    QVERIFY(channel);
    QVERIFY(upload(*channel, "SysConfig\\SysSet.Ext", content));
    QCOMPARE(apply(*channel), StatusCode::Ok);
    QVERIFY(QFile::exists(journal));
    server.dvrd.kill();
    QVERIFY(writeFile(sysSet, QByteArray()));

    QVERIFY(server.serve());
    QCOMPARE(readFile(sysSet), content);
    QVERIFY(!QFile::exists(journal));

    channel = adminSession(server.dvrd.port());
    QVERIFY(channel);
    QVERIFY(upload(*channel, "SysConfig\\SysSet.Ext", content + "; again"));
    QCOMPARE(apply(*channel), StatusCode::Ok);
    QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(journal), 5000);
    QCOMPARE(readFile(sysSet), content + "; again");
}

QTEST_GUILESS_MAIN(TestDvrd)
#include "tst_dvrd.moc"
