#include "dvrdserver.h"

#include "clientconnection.h"
#include "serverlog.h"

#include <QSslSocket>

namespace quillon::dvrd {

DvrdServer::DvrdServer(const SettingsRoot &root, const wire::TlsIdentity &identity, QObject *parent)
    : QObject(parent), m_root(root), m_tls(wire::serverTlsConfiguration(identity))
{
    connect(&m_server, &QTcpServer::newConnection, this, &DvrdServer::acceptConnections);
    // The uploads of a session that ends without the apply command are never served.
    m_sessions.setEndHandler([this](const QByteArray &token) { m_staging.discard(token); });
    connect(&m_expirySweep, &QTimer::timeout, this, [this] { m_sessions.dropExpired(); });
    m_expirySweep.start(kExpirySweepMs);
    connect(&m_journalRetirement, &QTimer::timeout, this, [this] {
        if (!m_staging.retireJournal())
            logLine(QStringLiteral("cannot flush the last apply to disk yet; its journal stays"));
    });
    m_journalRetirement.start(kJournalRetirementMs);
}

DvrdServer::~DvrdServer()
{
    m_staging.retireJournal();
    m_sessions.setEndHandler({});
}

void DvrdServer::Listener::incomingConnection(qintptr descriptor)
{
    auto *socket = new QSslSocket(this);
    if (socket->setSocketDescriptor(descriptor))
        addPendingConnection(socket);
    else
        delete socket;
}

bool DvrdServer::listen(const QHostAddress &address, quint16 port)
{
    return m_server.listen(address, port);
}

void DvrdServer::acceptConnections()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        const QHostAddress peer = socket->peerAddress();
        const QString address = LoginGuard::keyOf(peer);
        const bool known = m_loginGuard.isKnown(peer);
        const int slots = known ? kMaxConnections : kMaxConnections - kSlotsForKnownAddresses;
        const char *refusal = m_connections >= slots ? "too many connections"
            : !known && m_connectionsPerAddress.value(address) >= kMaxConnectionsPerAddress
            ? "too many connections from that address"
            : nullptr;
        if (refusal) {
            logLine(QStringLiteral("refused connection from %1: %2")
                        .arg(peer.toString(), QLatin1String(refusal)));
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++m_connections;
        ++m_connectionsPerAddress[address];
        auto *connection = new ClientConnection(static_cast<QSslSocket *>(socket), m_tls,
            {m_root, m_sessions, m_staging, m_loginGuard}, this);
        connect(connection, &QObject::destroyed, this, [this, address] {
            --m_connections;
            if (--m_connectionsPerAddress[address] == 0)
                m_connectionsPerAddress.remove(address);
        });
    }
}

} // namespace quillon::dvrd
