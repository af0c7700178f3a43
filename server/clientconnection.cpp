#include "clientconnection.h"

#include "serverlog.h"
#include "settings/userrecords.h"

#include <QSslSocket>

#include <algorithm>

namespace quillon::dvrd {

using namespace wire;
using settings::SettingsFile;

namespace {

// Bounds what a peer can make the socket hold beyond the frame being decoded.
constexpr qint64 kReadBufferBytes = 256 * 1024;
// Requests wait while this much of earlier replies is still unsent, so a peer that asks for
// files without reading them cannot pile replies up in memory.
constexpr qint64 kMaxUnsentReplyBytes = 64 * 1024;

QString refusalReason(LoginGuard::Refusal refusal)
{
    switch (refusal) {
    case LoginGuard::Refusal::AddressLockedOut:
        return QStringLiteral("too many failed logins");
    case LoginGuard::Refusal::TableFull:
        return QStringLiteral("too many addresses failing logins");
    case LoginGuard::Refusal::AccountBudgetSpent:
        return QStringLiteral("too many failed logins to this account from unknown addresses");
    case LoginGuard::Refusal::None:
        break;
    }
    return {};
}

QString remoteName(SettingsFile file)
{
    return QString::fromLatin1(settings::remotePath(file));
}

} // namespace

ClientConnection::ClientConnection(
    QSslSocket *socket, const QSslConfiguration &tls, const ServerState &server, QObject *parent)
    : QObject(parent), m_socket(socket), m_tls(tls), m_root(server.root),
      m_sessions(server.sessions), m_staging(server.staging), m_loginGuard(server.loginGuard),
      m_peer(socket->peerAddress())
{
    m_socket->setParent(this);
    m_socket->setReadBufferSize(kReadBufferBytes);

    m_idleTimer.setSingleShot(true);
    m_idleTimer.setInterval(timeouts::kServerIdleMs);
    connect(&m_idleTimer, &QTimer::timeout, this,
        [this] { drop(QStringLiteral("closed idle connection %1").arg(who())); });
    m_lifetimeTimer.setSingleShot(true);
    m_lifetimeTimer.setInterval(timeouts::kServerConnectionMs);
    connect(&m_lifetimeTimer, &QTimer::timeout, this,
        [this] { drop(QStringLiteral("closed connection open too long %1").arg(who())); });

    // Bytes alone do not keep a connection that has not logged in or opened a session.
    m_loginDeadline.setSingleShot(true);
    m_loginDeadline.setInterval(timeouts::kServerLoginMs);
    connect(&m_loginDeadline, &QTimer::timeout, this, [this] {
        drop(QStringLiteral("closed connection that did not log in in time %1").arg(who()));
    });

    connect(m_socket, &QSslSocket::readyRead, this, [this] {
        m_idleTimer.start();
        if (m_phase == Phase::Handshake)
            startHandshake();
        else
            readFrames();
    });
    connect(m_socket, &QSslSocket::bytesWritten, this, [this] {
        m_idleTimer.start();
        readFrames();
    });
    connect(m_socket, &QSslSocket::encrypted, this, [this] { m_idleTimer.start(); });
    connect(m_socket, &QSslSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (error != QAbstractSocket::SslHandshakeFailedError)
            return;
        drop(QStringLiteral("refused connection: TLS handshake failed (%1) %2")
                 .arg(m_socket->errorString(), who()));
    });
    connect(m_socket, &QSslSocket::disconnected, this, &QObject::deleteLater);

    m_idleTimer.start();
    m_lifetimeTimer.start();
    m_loginDeadline.start();
    if (m_socket->bytesAvailable() > 0)
        startHandshake();
}

void ClientConnection::startHandshake()
{
    // The first bytes tell a peer speaking the protocol in clear from a TLS client hello.
    const QByteArray magic = wire::clearTextVersionRefusal().first(4);
    if (m_socket->bytesAvailable() < magic.size())
        return;
    if (m_socket->peek(magic.size()) == magic) {
        logLine(
            QStringLiteral("refused connection speaking the protocol without TLS %1").arg(who()));
        m_socket->write(clearTextVersionRefusal());
        closeAfterReply();
        return;
    }
    m_phase = Phase::Greeting;
    m_socket->setSslConfiguration(m_tls);
    m_socket->startServerEncryption();
}

void ClientConnection::readFrames()
{
    if (!m_socket->isEncrypted())
        return;
    while (m_phase != Phase::Closing && m_socket->bytesToWrite() <= kMaxUnsentReplyBytes) {
        if (m_decoder.state() == FrameDecoder::State::NeedMore) {
            const qint64 available = m_socket->bytesAvailable();
            if (available <= 0)
                return;
            m_decoder.feed(m_socket->read(std::min<qint64>(m_decoder.wanted(), available)));
        }
        if (m_decoder.state() == FrameDecoder::State::FrameReady) {
            handleFrame(m_decoder.takeFrame());
        } else if (m_decoder.state() == FrameDecoder::State::Failed) {
            handleDecodeFailure();
            return;
        }
    }
}

void ClientConnection::handleDecodeFailure()
{
    switch (m_decoder.error()) {
    case FrameDecoder::Error::BadMagic:
        drop(QStringLiteral("refused connection speaking another protocol %1").arg(who()));
        return;
    case FrameDecoder::Error::BadVersion:
        refuseAndClose(StatusCode::UnsupportedVersion,
            QStringLiteral("protocol version %1").arg(m_decoder.lastVersion()));
        return;
    case FrameDecoder::Error::TooLarge:
        refuseAndClose(StatusCode::SizeRefused, QStringLiteral("frame too large"));
        return;
    case FrameDecoder::Error::UnknownType:
    case FrameDecoder::Error::None:
        refuseAndClose(StatusCode::Malformed, QStringLiteral("unknown message type"));
        return;
    }
}

void ClientConnection::handleFrame(const Frame &frame)
{
    switch (m_phase) {
    case Phase::Handshake:
        return;
    case Phase::Greeting:
        greet(frame);
        return;
    case Phase::AwaitingProof:
        checkProof(frame);
        return;
    case Phase::InSession:
        serveRequest(frame);
        return;
    case Phase::Closing:
        return;
    }
}

void ClientConnection::greet(const Frame &frame)
{
    if (const std::optional<LoginHello> hello = decode<LoginHello>(frame)) {
        m_userName = hello->userName;
        m_nonce = randomBytes(kNonceBytes);
        m_phase = Phase::AwaitingProof;
        send(encode(LoginChallenge {m_nonce}));
        return;
    }
    if (const std::optional<SessionOpen> open = decode<SessionOpen>(frame)) {
        const std::optional<QByteArray> user = m_sessions.use(open->token, m_peer);
        if (!user) {
            refuseAndClose(StatusCode::NoSession, QStringLiteral("session: no valid token"));
            return;
        }
        m_userName = *user;
        enterSession(open->token);
        reply(StatusCode::Ok);
        return;
    }
    refuseAndClose(StatusCode::Malformed, QStringLiteral("unexpected message before login"));
}

void ClientConnection::checkProof(const Frame &frame)
{
    const std::optional<LoginProof> proof = decode<LoginProof>(frame);
    if (!proof) {
        refuseAndClose(StatusCode::Malformed, QStringLiteral("login without a proof"));
        return;
    }
    // The nonce answers one proof only; a proof replayed on another connection meets another
    // nonce and fails.
    const QByteArray nonce = std::exchange(m_nonce, QByteArray());
    if (const LoginGuard::Refusal refusal = m_loginGuard.refusal(m_peer, m_userName);
        refusal != LoginGuard::Refusal::None) {
        // Answered like a wrong password, without looking at the proof.
        logLine(QStringLiteral("login refused code=%1 %2 %3")
                    .arg(int(LoginCode::WrongPassword))
                    .arg(refusalReason(refusal), who()));
        send(encode(LoginResult {LoginCode::WrongPassword, {}}));
        closeAfterReply();
        return;
    }
    const std::optional<Account> account = m_root.account(m_userName);
    LoginResult result;
    if (!account)
        result.code = LoginCode::UnknownUser;
    else if (!equalInConstantTime(proof->proof, loginProof(account->password, nonce, m_userName)))
        result.code = LoginCode::WrongPassword;
    else if (!account->maySetUp)
        result.code = LoginCode::NotAllowed;
    else
        result.code = LoginCode::Accepted;

    if (result.code == LoginCode::Accepted) {
        m_loginGuard.recordSuccess(m_peer);
        result.token = m_sessions.open(m_userName, m_peer);
        logLine(QStringLiteral("login ok %1").arg(who()));
    } else {
        logLine(QStringLiteral("login refused code=%1 %2").arg(int(result.code)).arg(who()));
    }
    if ((result.code == LoginCode::UnknownUser || result.code == LoginCode::WrongPassword)
        && m_loginGuard.recordFailure(m_peer, m_userName, account.has_value()))
        logLine(QStringLiteral("locked out peer=%1 for %2 s after %3 failed logins")
                    .arg(m_peer.toString())
                    .arg(LoginGuard::kLockoutMs / 1000)
                    .arg(LoginGuard::kMaxFailures));
    send(encode(result));
    if (result.code != LoginCode::Accepted) {
        closeAfterReply();
        return;
    }
    // The connection that logged in carries the new session, as if it had been opened with
    // the token: a visit's transfers need no second handshake.
    enterSession(result.token);
}

void ClientConnection::enterSession(const QByteArray &token)
{
    m_token = token;
    m_phase = Phase::InSession;
    m_loginDeadline.stop();
    m_decoder.setPayloadLimit(kMaxFramePayload);
}

void ClientConnection::serveRequest(const Frame &frame)
{
    if (!m_sessions.use(m_token, m_peer)) {
        refuseAndClose(StatusCode::NoSession, QStringLiteral("session expired"));
        return;
    }
    if (const std::optional<FileRequest> request = decode<FileRequest>(frame))
        sendFile(*request);
    else if (const std::optional<FileUpload> upload = decode<FileUpload>(frame))
        acceptFile(*upload);
    else if (const std::optional<Command> command = decode<Command>(frame))
        runCommand(command->bytes, std::nullopt);
    else if (const std::optional<BasedCommand> based = decode<BasedCommand>(frame))
        runCommand(based->bytes, based->baseGeneration);
    else if (decode<SetRequest>(frame))
        sendSetInfo();
    else
        refuseAndClose(StatusCode::Malformed, QStringLiteral("malformed request"));
}

void ClientConnection::sendFile(const FileRequest &request)
{
    SettingsFile file;
    if (!settings::fileForRemotePath(request.path, &file)) {
        logLine(QStringLiteral("refused download of %1: not a settings file %2")
                    .arg(printable(request.path), who()));
        reply(StatusCode::PathRefused);
        return;
    }
    QByteArray content;
    const StatusCode status
        = m_staging.servesWholeSet() ? m_root.read(file, &content) : StatusCode::StorageFailed;
    if (status != StatusCode::Ok) {
        logLine(QStringLiteral("refused download of %1: %2 %3")
                    .arg(remoteName(file),
                        status == StatusCode::NotFound ? QStringLiteral("no such file")
                                                       : QStringLiteral("cannot read it"),
                        who()));
        reply(status);
        return;
    }
    logLine(QStringLiteral("download %1 bytes=%2 %3")
                .arg(remoteName(file))
                .arg(content.size())
                .arg(who()));
    send(encode(FileData {content, sha256(content)}));
}

void ClientConnection::acceptFile(const FileUpload &upload)
{
    SettingsFile file;
    const auto refuse = [&](StatusCode code, const QString &why) {
        logLine(
            QStringLiteral("refused upload of %1: %2 %3").arg(printable(upload.path), why, who()));
        reply(code);
    };
    if (!settings::fileForRemotePath(upload.path, &file))
        return refuse(StatusCode::PathRefused, QStringLiteral("not a settings file"));
    if (!settings::fileInfo(file).uploaded)
        return refuse(StatusCode::PathRefused, QStringLiteral("read-only file"));
    if (!upload.digestMatches())
        return refuse(StatusCode::IntegrityFailed, QStringLiteral("digest mismatch"));
    if (file == SettingsFile::User && upload.content.size() % settings::UserRecord::kSize != 0)
        return refuse(StatusCode::SizeRefused, QStringLiteral("not whole user records"));
    const StatusCode status = m_staging.stage(m_token, file, upload.content, upload.digest);
    if (status == StatusCode::SizeRefused)
        return refuse(status, QStringLiteral("the staging area is full"));
    if (status != StatusCode::Ok)
        return refuse(status, QStringLiteral("cannot store it"));
    logLine(QStringLiteral("upload %1 bytes=%2 %3")
                .arg(remoteName(file))
                .arg(upload.content.size())
                .arg(who()));
    reply(StatusCode::Ok);
}

void ClientConnection::sendSetInfo()
{
    const AppliedSet &current = m_staging.current();
    send(encode(SetInfo {std::uint64_t(current.generation),
        current.time.isValid() ? std::uint64_t(std::max<qint64>(current.time.toSecsSinceEpoch(), 0))
                               : 0,
        current.user.left(kMaxUserNameBytes)}));
}

void ClientConnection::runCommand(
    const QByteArray &command, std::optional<std::uint64_t> baseGeneration)
{
    if (command != kApplyCommand) {
        logLine(QStringLiteral("refused command %1 %2").arg(printable(command), who()));
        reply(StatusCode::UnknownCommand);
        return;
    }
    // Files based on another generation than the one served would undo an apply unseen.
    const qint64 served = m_staging.current().generation;
    if (baseGeneration && *baseGeneration != std::uint64_t(served)) {
        logLine(QStringLiteral("refused apply: based on generation %1 while %2 is served %3")
                    .arg(*baseGeneration)
                    .arg(served)
                    .arg(who()));
        reply(StatusCode::Stale);
        return;
    }
    const StagingArea::CommitResult result = m_staging.commit(m_token, m_userName);
    if (result.status != StatusCode::Ok) {
        logLine(QStringLiteral("refused apply: cannot serve the uploaded files %1").arg(who()));
        reply(result.status);
        return;
    }
    logLine(QStringLiteral("apply generation=%1 %2").arg(result.applied.generation).arg(who()));
    reply(StatusCode::Ok);
}

void ClientConnection::send(const QByteArray &frame)
{
    m_socket->write(frame);
}

void ClientConnection::reply(StatusCode code)
{
    send(encode(StatusReply {code}));
}

void ClientConnection::refuseAndClose(StatusCode code, const QString &why)
{
    logLine(QStringLiteral("refused %1 %2").arg(why, who()));
    reply(code);
    closeAfterReply();
}

void ClientConnection::drop(const QString &logText)
{
    logLine(logText);
    // Closing stops the frame loop, so nothing more is read or answered before the deletion.
    m_phase = Phase::Closing;
    m_socket->abort();
    deleteLater();
}

void ClientConnection::closeAfterReply()
{
    m_phase = Phase::Closing;
    m_socket->disconnectFromHost();
}

QString ClientConnection::who() const
{
    QString text = QStringLiteral("peer=%1").arg(m_peer.toString());
    if (!m_userName.isEmpty() || (m_phase != Phase::Greeting && m_phase != Phase::Handshake))
        text.prepend(QStringLiteral("user=%1 ").arg(printable(m_userName)));
    return text;
}

} // namespace quillon::dvrd
