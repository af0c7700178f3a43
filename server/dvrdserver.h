#pragma once

#include "sessiontable.h"
#include "settingsroot.h"

#include <QObject>
#include <QTcpServer>

namespace quillon::dvrd {

// Accepts clients and hands each to a connection of its own, up to a fixed number at once.
class DvrdServer : public QObject
{
    Q_OBJECT

public:
    // Room for dozens of operators at once: a client closing one connection and opening the
    // next is counted twice until the old one is torn down. Before a session a connection may
    // buffer only a small frame, so the cap bounds memory as well.
    static constexpr int kMaxConnections = 128;

    explicit DvrdServer(const SettingsRoot &root, QObject *parent = nullptr);

    bool listen(const QHostAddress &address, quint16 port);
    QString errorString() const { return m_server.errorString(); }
    QHostAddress address() const { return m_server.serverAddress(); }
    quint16 port() const { return m_server.serverPort(); }

private:
    void acceptConnections();

    QTcpServer m_server;
    SettingsRoot m_root;
    SessionTable m_sessions;
    int m_connections = 0;
};

} // namespace quillon::dvrd
