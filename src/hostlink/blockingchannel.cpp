#include "hostlink/blockingchannel.h"

#include "hostlink/tlssetup.h"

#include <QHostAddress>
#include <QHostInfo>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace quillon::wire {

namespace {

constexpr qint64 kReadBufferBytes = 256 * 1024;

// The system resolver can block far longer than the connect timeout and cannot be cancelled,
// so a name is looked up on a thread of its own; when the budget runs out the caller goes on
// and the thread finishes (and is forgotten) whenever the resolver returns.
QList<QHostAddress> lookUpHost(const QString &host, QDeadlineTimer budget)
{
    const QHostAddress numeric(host);
    if (!numeric.isNull())
        return {numeric};

    struct Lookup
    {
        std::mutex mutex;
        std::condition_variable finished;
        bool done = false;
        QList<QHostAddress> addresses;
    };
    auto lookup = std::make_shared<Lookup>();
    std::thread([lookup, host] {
        const QList<QHostAddress> addresses = QHostInfo::fromName(host).addresses();
        const std::lock_guard lock(lookup->mutex);
        lookup->addresses = addresses;
        lookup->done = true;
        lookup->finished.notify_all();
    }).detach();

    std::unique_lock lock(lookup->mutex);
    const auto wait = std::chrono::milliseconds(std::max<qint64>(budget.remainingTime(), 0));
    if (!lookup->finished.wait_for(lock, wait, [&] { return lookup->done; }))
        return {};
    return lookup->addresses;
}

} // namespace

BlockingChannel::BlockingChannel()
    : m_socket(std::make_unique<QSslSocket>()), m_deadline(timeouts::kOperationMs)
{
    // Bounds what a peer can make the socket hold beyond the frame being decoded.
    m_socket->setReadBufferSize(kReadBufferBytes);
    m_socket->setSslConfiguration(clientTlsConfiguration());
}

BlockingChannel::~BlockingChannel()
{
    close();
}

void BlockingChannel::restartDeadline()
{
    m_deadline.setRemainingTime(timeouts::kOperationMs);
}

int BlockingChannel::waitBudget(int limitMs) const
{
    return int(std::clamp<qint64>(m_deadline.remainingTime(), 0, limitMs));
}

bool BlockingChannel::open(const QString &host, quint16 port)
{
    QDeadlineTimer connectBudget(waitBudget(timeouts::kConnectMs));
    const QList<QHostAddress> addresses = lookUpHost(host, connectBudget);
    for (const QHostAddress &address : addresses) {
        const int wait = int(std::max<qint64>(connectBudget.remainingTime(), 0));
        if (wait == 0)
            break;
        m_socket->connectToHost(address, port);
        if (m_socket->waitForConnected(wait)) {
            // The handshake is bounded like a reply: a server that accepts and then says
            // nothing is left after the stall time.
            m_socket->startClientEncryption();
            const int handshake = waitBudget(timeouts::kStallMs);
            if (handshake > 0 && m_socket->waitForEncrypted(handshake))
                return true;
        }
        m_socket->abort();
    }
    return false;
}

bool BlockingChannel::isOpen() const
{
    return m_socket->state() == QAbstractSocket::ConnectedState && m_socket->isEncrypted();
}

QByteArray BlockingChannel::peerFingerprint() const
{
    const QSslCertificate certificate = m_socket->peerCertificate();
    return certificate.isNull() ? QByteArray() : fingerprint(certificate);
}

void BlockingChannel::close()
{
    if (m_socket->state() != QAbstractSocket::UnconnectedState)
        m_socket->abort();
    m_decoder = FrameDecoder();
}

bool BlockingChannel::send(const QByteArray &frame)
{
    if (!isOpen() || m_socket->write(frame) != frame.size())
        return false;
    while (m_socket->bytesToWrite() > 0) {
        const int wait = waitBudget(timeouts::kStallMs);
        if (wait == 0 || !m_socket->waitForBytesWritten(wait))
            return false;
    }
    return true;
}

std::optional<Frame> BlockingChannel::receive()
{
    for (;;) {
        while (
            m_decoder.state() == FrameDecoder::State::NeedMore && m_socket->bytesAvailable() > 0) {
            const QByteArray chunk
                = m_socket->read(std::min(m_decoder.wanted(), m_socket->bytesAvailable()));
            if (chunk.isEmpty())
                return std::nullopt;
            m_decoder.feed(chunk);
        }
        if (m_decoder.state() == FrameDecoder::State::FrameReady)
            return m_decoder.takeFrame();
        if (m_decoder.state() == FrameDecoder::State::Failed)
            return std::nullopt;
        const int wait = waitBudget(timeouts::kStallMs);
        if (wait == 0 || !m_socket->waitForReadyRead(wait))
            return std::nullopt;
    }
}

std::optional<StatusCode> BlockingChannel::openSession(const QByteArray &token)
{
    if (!sendMessage(SessionOpen {token}))
        return std::nullopt;
    const std::optional<Frame> frame = receive();
    if (!frame)
        return std::nullopt;
    const std::optional<StatusReply> reply = decode<StatusReply>(*frame);
    if (!reply)
        return std::nullopt;
    return reply->code;
}

} // namespace quillon::wire
