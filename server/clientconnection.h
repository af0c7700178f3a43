#pragma once

#include "hostlink/wire.h"
#include "loginguard.h"
#include "sessiontable.h"
#include "settingsroot.h"
#include "stagingarea.h"

#include <QHostAddress>
#include <QObject>
#include <QSslConfiguration>
#include <QTimer>

#include <optional>

class QSslSocket;

namespace quillon::dvrd {

// What every connection of a server shares.
struct ServerState
{
    const SettingsRoot &root;
    SessionTable &sessions;
    StagingArea &staging;
    LoginGuard &loginGuard;
};

// One client connection, driven by the event loop. A peer that speaks the protocol in clear (an
// earlier version) gets a refusal it can read; every other connection starts with the TLS
// handshake. Over TLS a connection either logs in (hello, challenge, proof, result) or opens a
// session with a token. After an accepted login or an opened session it carries any number of
// transfers and commands; a refused login closes it. It closes itself on a protocol error, after
// the idle timeout and at the end of its lifetime, and deletes itself once closed.
class ClientConnection : public QObject
{
    Q_OBJECT

public:
    ClientConnection(QSslSocket *socket, const QSslConfiguration &tls, const ServerState &server,
        QObject *parent = nullptr);

private:
    enum class Phase { Handshake, Greeting, AwaitingProof, InSession, Closing };

    void startHandshake();
    void readFrames();
    void handleDecodeFailure();
    void handleFrame(const wire::Frame &frame);
    void greet(const wire::Frame &frame);
    void checkProof(const wire::Frame &frame);
    void enterSession(const QByteArray &token);
    void serveRequest(const wire::Frame &frame);
    void sendFile(const wire::FileRequest &request);
    void acceptFile(const wire::FileUpload &upload);
    void sendSetInfo();
    // Carries out the command; an apply with a base generation only while it is still served.
    void runCommand(const QByteArray &command, std::optional<std::uint64_t> baseGeneration);

    void send(const QByteArray &frame);
    void reply(wire::StatusCode code);
    // Replies (when there is something to say), logs why, and closes once the reply is out.
    void refuseAndClose(wire::StatusCode code, const QString &why);
    void closeAfterReply();
    // Logs why, then closes the connection at once without a reply and deletes it.
    void drop(const QString &logText);
    QString who() const;

    QSslSocket *m_socket;
    QSslConfiguration m_tls;
    const SettingsRoot &m_root;
    SessionTable &m_sessions;
    StagingArea &m_staging;
    LoginGuard &m_loginGuard;
    QHostAddress m_peer;
    wire::FrameDecoder m_decoder {wire::kMaxControlPayload};
    Phase m_phase = Phase::Handshake;
    QByteArray m_userName; // the name logging in, then the session's user
    QByteArray m_nonce;
    QByteArray m_token;
    QTimer m_idleTimer;
    QTimer m_lifetimeTimer;
    QTimer m_loginDeadline; // until the session opens or the login's result is sent
};

} // namespace quillon::dvrd
