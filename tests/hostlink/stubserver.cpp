#include "stubserver.h"

#include "hostlink/tlssetup.h"
#include "hostlink/wire.h"
#include "support/dvrdprocess.h"

#include <QFile>
#include <QSslSocket>
#include <QTcpServer>

#include <memory>
#include <optional>

using namespace quillon::wire;

namespace {

constexpr int kPollMs = 20;

// Accepted sockets come out as QSslSocket, for the server end of the handshake.
class TlsListener : public QTcpServer
{
protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *socket = new QSslSocket(this);
        if (socket->setSocketDescriptor(descriptor))
            addPendingConnection(socket);
        else
            delete socket;
    }
};

std::optional<TlsIdentity> testIdentity()
{
    QFile file(testIdentityPath());
    return file.open(QIODevice::ReadOnly) ? parseIdentity(file.readAll()) : std::nullopt;
}

} // namespace

StubServer::StubServer(Fault fault) : m_fault(fault)
{ }

StubServer::~StubServer()
{
    requestInterruption();
    wait();
}

bool StubServer::startListening()
{
    start();
    m_ready.acquire();
    return port() != 0;
}

void StubServer::run()
{
    const std::optional<TlsIdentity> identity = testIdentity();
    TlsListener server;
    const bool listening = identity && server.listen(QHostAddress::LocalHost, 0);
    m_port.storeRelease(listening ? server.serverPort() : 0);
    m_ready.release();
    if (!listening)
        return;

    while (!isInterruptionRequested()) {
        if (!server.waitForNewConnection(kPollMs))
            continue;
        const std::unique_ptr<QSslSocket> socket(
            static_cast<QSslSocket *>(server.nextPendingConnection()));
        socket->setSslConfiguration(serverTlsConfiguration(*identity));
        socket->startServerEncryption();
        if (!socket->waitForEncrypted(5000))
            continue;
        FrameDecoder decoder;
        const auto nextFrame = [&]() -> std::optional<Frame> {
            while (!isInterruptionRequested()) {
                while (decoder.state() == FrameDecoder::State::NeedMore
                    && socket->bytesAvailable() > 0)
                    decoder.feed(socket->read(decoder.wanted()));
                if (decoder.state() == FrameDecoder::State::FrameReady)
                    return decoder.takeFrame();
                if (decoder.state() == FrameDecoder::State::Failed
                    || socket->state() != QAbstractSocket::ConnectedState)
                    return std::nullopt;
                socket->waitForReadyRead(kPollMs);
            }
            return std::nullopt;
        };
        const auto sendNow = [&](const QByteArray &bytes) {
            socket->write(bytes);
            while (socket->bytesToWrite() > 0 && socket->waitForBytesWritten(kPollMs)) { }
        };

        while (const std::optional<Frame> frame = nextFrame()) {
            if (frame->type == MessageType::LoginHello) {
                sendNow(encode(LoginChallenge {randomBytes(kNonceBytes)}));
            } else if (frame->type == MessageType::LoginProof) {
                sendNow(encode(LoginResult {LoginCode::Accepted, randomBytes(kTokenBytes)}));
                if (m_fault == Fault::ClosesLoginConnection)
                    break;
            } else if (frame->type == MessageType::SessionOpen) {
                sendNow(encode(StatusReply {StatusCode::Ok}));
            } else if (frame->type == MessageType::SetRequest) {
                sendNow(encode(SetInfo {}));
            } else if (frame->type == MessageType::FileRequest) {
                const QByteArray content(64 * 1024, 'n');
                if (m_fault == Fault::ClosesLoginConnection) {
                    sendNow(encode(FileData {content, sha256(content)}));
                    continue;
                }
                if (m_fault == Fault::StatusWithoutFile) {
                    sendNow(encode(StatusReply {StatusCode::Ok}));
                    continue;
                }
                if (m_fault == Fault::CorruptContent) {
                    sendNow(encode(FileData {content, sha256("other content")}));
                    continue;
                }
                const QByteArray whole = encode(FileData {content, sha256(content)});
                sendNow(whole.first(whole.size() / 2));
                if (m_fault == Fault::StallMidFile) {
                    while (!isInterruptionRequested()
                        && socket->state() == QAbstractSocket::ConnectedState)
                        socket->waitForReadyRead(kPollMs);
                }
                break;
            }
        }
        socket->abort();
    }
}
