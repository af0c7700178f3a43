#include "hostlink/knownhosts.h"
#include "hostlink/wire.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace quillon::wire;

Q_DECLARE_METATYPE(FrameDecoder::Error)

namespace {

QByteArray header(quint32 magic, quint16 version, quint16 type, quint32 length)
{
    QByteArray bytes(kHeaderSize, '\0');
    qToBigEndian(magic, bytes.data());
    qToBigEndian(version, bytes.data() + 4);
    qToBigEndian(type, bytes.data() + 6);
    qToBigEndian(length, bytes.data() + 8);
    return bytes;
}

// Feeds all bytes at once and returns the frames they hold; fails the test on a decode error.
QList<Frame> decodeAll(const QByteArray &bytes)
{
    FrameDecoder decoder;
    QList<Frame> frames;
    qsizetype offset = 0;
    while (offset < bytes.size()) {
        const qsizetype taken = decoder.feed(QByteArrayView(bytes).sliced(offset));
        offset += taken;
        if (decoder.state() == FrameDecoder::State::FrameReady)
            frames.append(decoder.takeFrame());
        else if (decoder.state() == FrameDecoder::State::Failed || taken == 0)
            break;
    }
    return frames;
}

template<typename Message> std::optional<Message> roundTrip(const Message &message)
{
    const QList<Frame> frames = decodeAll(encode(message));
    if (frames.size() != 1)
        return std::nullopt;
    return decode<Message>(frames.first());
}

QByteArray filled(qsizetype size, char first)
{
    QByteArray bytes(size, '\0');
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char(first + i);
    return bytes;
}

} // namespace

class TestWire : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyMessageSurvivesARoundTrip();
    void framesSplitAnywhereDecodeTheSame();
    void incompleteFramesWaitForMore();
    void badHeadersFailBeforeAnyPayloadIsTaken_data();
    void badHeadersFailBeforeAnyPayloadIsTaken();
    void malformedPayloadsAreRefused_data();
    void malformedPayloadsAreRefused();
    void oversizedPayloadsAreNotEncoded();
    void loginProofFollowsTheDocumentedConstruction();
    void randomInputNeverBreaksTheDecoder();
    void knownHostsLines_data();
    void knownHostsLines();
    void knownHostsFileIsPrivateAndChecked();
    void knownHostsKeepsEveryPinOfConcurrentProcesses();
};

void TestWire::everyMessageSurvivesARoundTrip()
{
    const QByteArray gbkName("\xD6\xB5\xB0\xE0", 4);
    QCOMPARE(roundTrip(LoginHello {gbkName})->userName, gbkName);
    QCOMPARE(roundTrip(LoginHello {})->userName, QByteArray());
    QCOMPARE(roundTrip(LoginChallenge {filled(kNonceBytes, 1)})->nonce, filled(kNonceBytes, 1));
    QCOMPARE(roundTrip(LoginProof {filled(kDigestBytes, 7)})->proof, filled(kDigestBytes, 7));

    const std::optional<LoginResult> accepted
        = roundTrip(LoginResult {LoginCode::Accepted, filled(kTokenBytes, 9)});
    QVERIFY(accepted);
    QCOMPARE(accepted->code, LoginCode::Accepted);
    QCOMPARE(accepted->token, filled(kTokenBytes, 9));
    const std::optional<LoginResult> refused = roundTrip(LoginResult {LoginCode::NotAllowed, {}});
    QVERIFY(refused);
    QCOMPARE(refused->code, LoginCode::NotAllowed);
    QVERIFY(refused->token.isEmpty());

    QCOMPARE(roundTrip(SessionOpen {filled(kTokenBytes, 3)})->token, filled(kTokenBytes, 3));
    QCOMPARE(roundTrip(StatusReply {StatusCode::Busy})->code, StatusCode::Busy);
    QCOMPARE(roundTrip(FileRequest {"SysConfig\\SysSet.Ext"})->path,
        QByteArray("SysConfig\\SysSet.Ext"));

    const QByteArray binary = filled(100000, 0); // every byte value, zeros included
    const std::optional<FileData> data = roundTrip(FileData {binary, sha256(binary)});
    QVERIFY(data);
    QCOMPARE(data->content, binary);
    QVERIFY(data->digestMatches());
    const std::optional<FileData> empty = roundTrip(FileData {{}, sha256({})});
    QVERIFY(empty && empty->content.isEmpty() && empty->digestMatches());

    const std::optional<FileUpload> upload
        = roundTrip(FileUpload {"User\\User.she", binary, sha256(binary)});
    QVERIFY(upload);
    QCOMPARE(upload->path, QByteArray("User\\User.she"));
    QCOMPARE(upload->content, binary);
    QVERIFY(upload->digestMatches());

    QCOMPARE(roundTrip(Command {"!!!!APPLY"})->bytes, QByteArray("!!!!APPLY"));

    // A message of one type is never taken for another.
    const QList<Frame> frames = decodeAll(encode(StatusReply {StatusCode::Ok}));
    QCOMPARE(frames.size(), 1);
    QVERIFY(!decode<LoginResult>(frames.first()));
}

void TestWire::framesSplitAnywhereDecodeTheSame()
{
    const QByteArray content = filled(5000, 5);
    const QByteArray stream = encode(LoginHello {"operator"}) + encode(StatusReply {StatusCode::Ok})
        + encode(FileData {content, sha256(content)}) + encode(Command {"!!!!APPLY"});
    for (const qsizetype step : {qsizetype(1), qsizetype(5), qsizetype(13), qsizetype(4096)}) {
        FrameDecoder decoder;
        QList<Frame> frames;
        for (qsizetype offset = 0; offset < stream.size();) {
            const QByteArrayView piece = QByteArrayView(stream).sliced(offset).first(
                std::min(step, stream.size() - offset));
            qsizetype used = 0;
            while (used < piece.size()) {
                QVERIFY(decoder.wanted() > 0);
                used += decoder.feed(piece.sliced(used));
                if (decoder.state() == FrameDecoder::State::FrameReady)
                    frames.append(decoder.takeFrame());
                QCOMPARE_NE(decoder.state(), FrameDecoder::State::Failed);
            }
            offset += piece.size();
        }
        QCOMPARE(frames.size(), 4);
        QCOMPARE(decode<LoginHello>(frames[0])->userName, QByteArray("operator"));
        QCOMPARE(decode<FileData>(frames[2])->content, content);
        QCOMPARE(decode<Command>(frames[3])->bytes, QByteArray("!!!!APPLY"));
        QCOMPARE(decoder.wanted(), kHeaderSize);
    }
}

void TestWire::incompleteFramesWaitForMore()
{
    const QByteArray frame = encode(FileRequest {"User\\User.she"});
    FrameDecoder decoder;
    QCOMPARE(decoder.feed(QByteArrayView(frame).first(kHeaderSize - 1)), kHeaderSize - 1);
    QCOMPARE(decoder.state(), FrameDecoder::State::NeedMore);
    QCOMPARE(decoder.wanted(), 1);
    QCOMPARE(decoder.feed(QByteArrayView(frame).sliced(kHeaderSize - 1, 3)), 3);
    QCOMPARE(decoder.state(), FrameDecoder::State::NeedMore);
    QCOMPARE(decoder.wanted(), frame.size() - kHeaderSize - 2);
    QVERIFY(decoder.takeFrame().payload.isEmpty()); // nothing to hand over yet

    // Bytes past the end of the frame are left for the next one.
    const QByteArray rest = QByteArrayView(frame).sliced(kHeaderSize + 2).toByteArray() + "xyz";
    QCOMPARE(decoder.feed(rest), rest.size() - 3);
    QCOMPARE(decoder.state(), FrameDecoder::State::FrameReady);
    QCOMPARE(decoder.wanted(), 0);
    QCOMPARE(decoder.feed("more"), 0);
}

void TestWire::badHeadersFailBeforeAnyPayloadIsTaken_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<qsizetype>("limit");
    QTest::addColumn<FrameDecoder::Error>("error");

    const quint16 status = quint16(MessageType::Status);
    const quint16 fileData = quint16(MessageType::FileData);
    QTest::newRow("magic") << header(0x47455420, kVersion, status, 1) << kMaxFramePayload
                           << FrameDecoder::Error::BadMagic;
    QTest::newRow("newer version") << header(kMagic, kVersion + 1, status, 1) << kMaxFramePayload
                                   << FrameDecoder::Error::BadVersion;
    QTest::newRow("version 0") << header(kMagic, 0, status, 1) << kMaxFramePayload
                               << FrameDecoder::Error::BadVersion;
    QTest::newRow("type 0") << header(kMagic, kVersion, 0, 1) << kMaxFramePayload
                            << FrameDecoder::Error::UnknownType;
    QTest::newRow("first unknown type") << header(kMagic, kVersion, kLastMessageType + 1, 1)
                                        << kMaxFramePayload << FrameDecoder::Error::UnknownType;
    QTest::newRow("status of 2 bytes")
        << header(kMagic, kVersion, status, 2) << kMaxFramePayload << FrameDecoder::Error::TooLarge;
    QTest::newRow("4 GiB") << header(kMagic, kVersion, fileData, 0xFFFFFFFF) << kMaxFramePayload
                           << FrameDecoder::Error::TooLarge;
    QTest::newRow("file above the cap")
        << header(kMagic, kVersion, fileData, quint32(4 + kDigestBytes + kMaxFileBytes + 1))
        << kMaxFramePayload << FrameDecoder::Error::TooLarge;
    QTest::newRow("file before a session")
        << header(kMagic, kVersion, fileData, quint32(kMaxControlPayload + 1)) << kMaxControlPayload
        << FrameDecoder::Error::TooLarge;
}

void TestWire::badHeadersFailBeforeAnyPayloadIsTaken()
{
    QFETCH(QByteArray, head);
    QFETCH(qsizetype, limit);
    QFETCH(FrameDecoder::Error, error);

    FrameDecoder decoder(limit);
    const QByteArray stream = head + QByteArray(64, 'p');
    QCOMPARE(decoder.feed(stream), kHeaderSize);
    QCOMPARE(decoder.state(), FrameDecoder::State::Failed);
    QCOMPARE(decoder.error(), error);
    QCOMPARE(decoder.wanted(), 0);
    QCOMPARE(decoder.feed(stream), 0);
}

void TestWire::malformedPayloadsAreRefused_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("payload");

    const QByteArray token = filled(kTokenBytes, 1);
    const QByteArray digest = filled(kDigestBytes, 2);
    const auto sized = [](quint32 size) {
        QByteArray bytes(4, '\0');
        qToBigEndian(size, bytes.data());
        return bytes;
    };
    const auto int_ = [](MessageType type) {
        return int(type);
    };

    QTest::newRow("hello: length beyond the data") << int_(MessageType::LoginHello)
                                                   << QByteArray("\x00\x05"
                                                                 "abc",
                                                          5);
    QTest::newRow("hello: trailing byte") << int_(MessageType::LoginHello)
                                          << QByteArray("\x00\x01"
                                                        "ab",
                                                 4);
    QTest::newRow("hello: no length") << int_(MessageType::LoginHello) << QByteArray("\x00", 1);
    QTest::newRow("challenge: short nonce")
        << int_(MessageType::LoginChallenge) << filled(kNonceBytes - 1, 0);
    QTest::newRow("proof: short proof")
        << int_(MessageType::LoginProof) << filled(kDigestBytes - 1, 0);
    QTest::newRow("result: code 4") << int_(MessageType::LoginResult) << QByteArray(1, '\x04');
    QTest::newRow("result: accepted without token")
        << int_(MessageType::LoginResult) << QByteArray(1, '\0');
    QTest::newRow("result: refused with token")
        << int_(MessageType::LoginResult) << QByteArray(1, '\x02') + token;
    QTest::newRow("session: short token")
        << int_(MessageType::SessionOpen) << token.first(kTokenBytes - 1);
    QTest::newRow("status: unknown code")
        << int_(MessageType::Status) << QByteArray(1, char(kLastStatusCode + 1));
    QTest::newRow("status: empty") << int_(MessageType::Status) << QByteArray();
    QTest::newRow("request: empty path")
        << int_(MessageType::FileRequest) << QByteArray("\x00\x00", 2);
    QTest::newRow("upload: path of 256 bytes")
        << int_(MessageType::FileUpload)
        << QByteArray("\x01\x00", 2) + QByteArray(256, 'a') + sized(0) + digest;
    QTest::newRow("data: size above content")
        << int_(MessageType::FileData) << sized(10) + digest + QByteArray(9, 'c');
    QTest::newRow("data: size below content")
        << int_(MessageType::FileData) << sized(8) + digest + QByteArray(9, 'c');
    QTest::newRow("data: size above the cap")
        << int_(MessageType::FileData) << sized(quint32(kMaxFileBytes + 1)) + digest;
    QTest::newRow("data: cut in the digest")
        << int_(MessageType::FileData) << sized(0) + digest.first(5);
    QTest::newRow("upload: size above content") << int_(MessageType::FileUpload)
                                                << QByteArray("\x00\x01"
                                                              "a",
                                                       3)
            + sized(4) + digest + QByteArray(3, 'c');
    QTest::newRow("command: empty") << int_(MessageType::Command) << QByteArray();
}

void TestWire::malformedPayloadsAreRefused()
{
    QFETCH(int, type);
    QFETCH(QByteArray, payload);

    const QList<Frame> frames = decodeAll(encodeFrame(MessageType(type), payload));
    QCOMPARE(frames.size(), 1);
    const Frame &frame = frames.first();
    QVERIFY(!decode<LoginHello>(frame));
    QVERIFY(!decode<LoginChallenge>(frame));
    QVERIFY(!decode<LoginProof>(frame));
    QVERIFY(!decode<LoginResult>(frame));
    QVERIFY(!decode<SessionOpen>(frame));
    QVERIFY(!decode<StatusReply>(frame));
    QVERIFY(!decode<FileRequest>(frame));
    QVERIFY(!decode<FileData>(frame));
    QVERIFY(!decode<FileUpload>(frame));
    QVERIFY(!decode<Command>(frame));
}

void TestWire::oversizedPayloadsAreNotEncoded()
{
    const QByteArray tooBig(kMaxFileBytes + 1, 'x');
    QVERIFY(encode(FileData {tooBig, sha256(tooBig)}).isEmpty());
    QVERIFY(encode(Command {QByteArray(kMaxCommandBytes + 1, '!')}).isEmpty());
    const QByteArray largest(kMaxFileBytes, 'x');
    QVERIFY(
        !encode(FileUpload {QByteArray(kMaxPathBytes, 'p'), largest, sha256(largest)}).isEmpty());
}

void TestWire::loginProofFollowsTheDocumentedConstruction()
{
    QByteArray nonce(kNonceBytes, '\0');
    for (int i = 0; i < kNonceBytes; ++i)
        nonce[i] = char(i);
    // HMAC-SHA256(key "secret", "QUILLON-LOGIN-1" || nonce 00..1f || "admin"), worked out
    // independently of this code.
    QCOMPARE(loginProof("secret", nonce, "admin").toHex(),
        QByteArray("14b21c6103613809941fbb974e33f90a1485d8ce8970a570d2350d1bd82ac0b6"));
    QCOMPARE_NE(loginProof("secret", nonce, "admin2"), loginProof("secret", nonce, "admin"));
    QCOMPARE_NE(loginProof("secret", randomBytes(kNonceBytes), "admin"),
        loginProof("secret", nonce, "admin"));

    QCOMPARE(randomBytes(kTokenBytes).size(), kTokenBytes);
    QCOMPARE_NE(randomBytes(kTokenBytes), randomBytes(kTokenBytes));
}

void TestWire::randomInputNeverBreaksTheDecoder()
{
    QRandomGenerator random(20240501);
    for (int round = 0; round < 2000; ++round) {
        // Half the rounds start with a valid header so that the message parsers see junk too.
        const quint16 type = quint16(random.bounded(1, 11));
        const quint32 length = quint32(random.bounded(0, 300));
        QByteArray bytes = round % 2 == 0 ? header(kMagic, kVersion, type, length) : QByteArray();
        const int junk = random.bounded(0, 400);
        for (int i = 0; i < junk; ++i)
            bytes.append(char(random.bounded(256)));

        FrameDecoder decoder;
        qsizetype offset = 0;
        while (offset < bytes.size() && decoder.state() != FrameDecoder::State::Failed) {
            const qsizetype taken = decoder.feed(QByteArrayView(bytes).sliced(offset));
            QVERIFY(taken <= bytes.size() - offset);
            offset += taken;
            if (decoder.state() != FrameDecoder::State::FrameReady)
                break;
            const Frame frame = decoder.takeFrame();
            QVERIFY(frame.payload.size() <= maxPayloadFor(quint16(frame.type)));
            decode<LoginHello>(frame);
            decode<LoginResult>(frame);
            decode<StatusReply>(frame);
            decode<FileRequest>(frame);
            decode<FileData>(frame);
            decode<FileUpload>(frame);
            decode<Command>(frame);
        }
    }
}

void TestWire::knownHostsLines_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QByteArray>("pinned");
    QTest::addColumn<QByteArray>("afterPinningNew");

    QTest::newRow("empty file") << QByteArray() << QByteArray("dvr1") << 5040 << QByteArray()
                                << QByteArray("dvr1:5040 new\n");
    QTest::newRow("other port") << QByteArray("dvr1:5041 aa\n") << QByteArray("dvr1") << 5040
                                << QByteArray() << QByteArray("dvr1:5041 aa\ndvr1:5040 new\n");
    QTest::newRow("replaced, comments kept")
        << QByteArray("# pins\ndvr1:5040 aa\ndvr2:5040 bb\n") << QByteArray("dvr1") << 5040
        << QByteArray("aa") << QByteArray("# pins\ndvr2:5040 bb\ndvr1:5040 new\n");
    QTest::newRow("IPv6 host, no final newline")
        << QByteArray("::1:5040 cc") << QByteArray("::1") << 5040 << QByteArray("cc")
        << QByteArray("::1:5040 new\n");
    QTest::newRow("prefix of another host is not it")
        << QByteArray("xdvr1:5040 aa\n") << QByteArray("dvr1") << 5040 << QByteArray()
        << QByteArray("xdvr1:5040 aa\ndvr1:5040 new\n");
    QTest::newRow("damaged line kept, not matched")
        << QByteArray("dvr1:5040\n") << QByteArray("dvr1") << 5040 << QByteArray()
        << QByteArray("dvr1:5040\ndvr1:5040 new\n");
}

void TestWire::knownHostsLines()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, host);
    QFETCH(int, port);
    QFETCH(QByteArray, pinned);
    QFETCH(QByteArray, afterPinningNew);
    QCOMPARE(pinnedFingerprint(text, host, port), pinned);
    const QByteArray updated = withPin(text, host, port, "new");
    QCOMPARE(updated, afterPinningNew);
    QCOMPARE(pinnedFingerprint(updated, host, port), QByteArray("new"));
}

void TestWire::knownHostsFileIsPrivateAndChecked()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("pins/known_hosts"));
    QCOMPARE(checkPin(path, "dvr1", 5040, "aa"), PinCheck::Accepted);
    QCOMPARE(QFileInfo(path).permissions() & ~(QFile::ReadUser | QFile::WriteUser),
        QFile::ReadOwner | QFile::WriteOwner);
    QCOMPARE(checkPin(path, "dvr1", 5040, "aa"), PinCheck::Accepted);
    QCOMPARE(checkPin(path, "dvr1", 5040, "bb"), PinCheck::Changed);
    QCOMPARE(checkPin(path, "dvr1", 5041, "bb"), PinCheck::Accepted);
    QCOMPARE(checkPin(path, "dvr1", 5040, "aa"), PinCheck::Accepted);
    // A host text that cannot be pinned (it would skip its check, or break the file's lines)
    // is refused, never accepted unchecked.
    for (const QByteArray &host :
        {QByteArray("dvr1 bb\nevil"), QByteArray("dvr1\t"), QByteArray(" dvr1"),
            QByteArray("dvr\x7f"
                       "1"),
            QByteArray()})
        QCOMPARE(checkPin(path, host, 5040, "cc"), PinCheck::BadHost);
    QFile stored(path);
    QVERIFY(stored.open(QIODevice::ReadOnly) && !stored.readAll().contains("evil"));
    stored.close();

    // A pin that cannot be stored is said, not skipped: its folder cannot be made.
    QFile notAFolder(dir.filePath(QStringLiteral("file")));
    QVERIFY(notAFolder.open(QIODevice::WriteOnly));
    notAFolder.close();
    QCOMPARE(checkPin(dir.filePath(QStringLiteral("file/known_hosts")), "dvr1", 5040, "aa"),
        PinCheck::Unwritable);

    // A file too large to be a list of pins accepts no server.
    QFile huge(path);
    QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(kMaxKnownHostsBytes + 1));
    huge.close();
    QCOMPARE(checkPin(path, "dvr1", 5040, "aa"), PinCheck::Unreadable);
}

// Processes pinning new servers at once take turns: no pin is lost to another's rename.
void TestWire::knownHostsKeepsEveryPinOfConcurrentProcesses()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("known_hosts"));
    constexpr int kProcesses = 8;
    constexpr int kPinsEach = 20;
    std::vector<pid_t> children;
    for (int process = 0; process < kProcesses; ++process) {
        const pid_t child = ::fork();
        if (child == 0) {
            bool allAccepted = true;
            for (int pin = 0; pin < kPinsEach; ++pin) {
                const QByteArray host = "dvr" + QByteArray::number(process);
                allAccepted = checkPin(path, host, 5000 + pin, host + "-fp") == PinCheck::Accepted
                    && allAccepted;
            }
            ::_exit(allAccepted ? 0 : 1);
        }
        children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    for (int process = 0; process < kProcesses; ++process) {
        const QByteArray host = "dvr" + QByteArray::number(process);
        for (int pin = 0; pin < kPinsEach; ++pin)
            QCOMPARE(pinnedFingerprint(text, host, 5000 + pin), host + "-fp");
    }
}

QTEST_APPLESS_MAIN(TestWire)
#include "tst_wire.moc"
