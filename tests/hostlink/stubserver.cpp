#include "stubserver.h"

#include "visit/hostlink/wire.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <memory>
#include <optional>

using namespace quillon::wire;

namespace {

constexpr int kPollMs = 20;

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
    QTcpServer server;
    const bool listening = server.listen(QHostAddress::LocalHost, 0);
    m_port.storeRelease(listening ? server.serverPort() : 0);
    m_ready.release();
    if (!listening)
        return;

    while (!isInterruptionRequested()) {
        if (!server.waitForNewConnection(kPollMs))
            continue;
        const std::unique_ptr<QTcpSocket> socket(server.nextPendingConnection());
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
            } else if (frame->type == MessageType::SessionOpen) {
                sendNow(encode(StatusReply {StatusCode::Ok}));
            } else if (frame->type == MessageType::FileRequest) {
                const QByteArray content(64 * 1024, 'n');
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
