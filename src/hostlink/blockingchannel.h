#pragma once

// The client end of one connection, for callers without an event loop of their own: every call
// blocks, and every wait is bounded by the timeouts of the protocol.

#include "hostlink/wire.h"

#include <QDeadlineTimer>
#include <QSslSocket>

#include <memory>
#include <optional>

namespace quillon::wire {

class BlockingChannel
{
public:
    BlockingChannel();
    ~BlockingChannel();
    BlockingChannel(const BlockingChannel &) = delete;
    BlockingChannel &operator=(const BlockingChannel &) = delete;

    // Starts the overall deadline of one operation anew (a command connection lives longer
    // than one operation).
    void restartDeadline();

    // Looks the host up, connects to the first address that answers and completes the TLS
    // handshake; host is a name or a numeric address. Bounded by the connect timeout and the
    // operation deadline.
    bool open(const QString &host, quint16 port);
    // The SHA-256 fingerprint of the certificate the server showed; empty before open().
    QByteArray peerFingerprint() const;
    bool isOpen() const;
    void close();

    // Sends one frame's bytes and waits until they left the send buffer.
    bool send(const QByteArray &frame);
    // Waits for the next whole frame; nothing on a timeout, a broken frame or a closed peer.
    std::optional<Frame> receive();

    template<typename Message> bool sendMessage(const Message &message)
    {
        const QByteArray frame = encode(message);
        return !frame.isEmpty() && send(frame);
    }

    // Opens a session on this connection with a token from an earlier login.
    std::optional<StatusCode> openSession(const QByteArray &token);

    QSslSocket &socket() { return *m_socket; }

private:
    int waitBudget(int limitMs) const;

    std::unique_ptr<QSslSocket> m_socket;
    FrameDecoder m_decoder;
    QDeadlineTimer m_deadline;
};

} // namespace quillon::wire
