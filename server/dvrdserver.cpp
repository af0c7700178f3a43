#include "dvrdserver.h"

#include "clientconnection.h"
#include "serverlog.h"

#include <QTcpSocket>

namespace quillon::dvrd {

DvrdServer::DvrdServer(const SettingsRoot &root, QObject *parent) : QObject(parent), m_root(root)
{
    connect(&m_server, &QTcpServer::newConnection, this, &DvrdServer::acceptConnections);
}

bool DvrdServer::listen(const QHostAddress &address, quint16 port)
{
    return m_server.listen(address, port);
}

void DvrdServer::acceptConnections()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        if (m_connections >= kMaxConnections) {
            logLine(QStringLiteral("refused connection from %1: too many connections")
                        .arg(socket->peerAddress().toString()));
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            socket->write(wire::encode(wire::StatusReply {wire::StatusCode::Busy}));
            socket->disconnectFromHost();
            continue;
        }
        ++m_connections;
        auto *connection = new ClientConnection(socket, m_root, m_sessions, this);
        connect(connection, &QObject::destroyed, this, [this] { --m_connections; });
    }
}

} // namespace quillon::dvrd
