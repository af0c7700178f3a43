#pragma once

#include "hostlink/tlssetup.h"
#include "loginguard.h"
#include "sessiontable.h"
#include "settingsroot.h"
#include "stagingarea.h"

#include <QHash>
#include <QObject>
#include <QSslConfiguration>
#include <QTcpServer>
#include <QTimer>

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
    // Connections at once from one address (an IPv6 /64) that has not logged in of late; a
    // known address, perhaps many operators behind one router, is bounded by the total alone.
    static constexpr int kMaxConnectionsPerAddress = 32;
    // Slots only addresses that logged in successfully of late may take, so a crowd of
    // strangers leaves room for the operators.
    static constexpr int kSlotsForKnownAddresses = 32;

    DvrdServer(
        const SettingsRoot &root, const wire::TlsIdentity &identity, QObject *parent = nullptr);
    ~DvrdServer() override;

    // Finishes or rolls back what a crash left in the root; false when it could not.
    bool recover() { return m_staging.recover(); }
    bool listen(const QHostAddress &address, quint16 port);
    QString errorString() const { return m_server.errorString(); }
    QHostAddress address() const { return m_server.serverAddress(); }
    quint16 port() const { return m_server.serverPort(); }

private:
    // Hands out every accepted socket as a QSslSocket still in clear, so a connection can look at
    // the first bytes before the handshake.
    class Listener : public QTcpServer
    {
    protected:
        void incomingConnection(qintptr descriptor) override;
    };

    void acceptConnections();

    // How often sessions past their idle time are ended, dropping their staged uploads.
    static constexpr int kExpirySweepMs = 60 * 1000;
    // How often the files of the last apply are flushed to disk and its journal removed:
    // applies coming in a burst share one flush, off the path of any request.
    static constexpr int kJournalRetirementMs = 2000;

    Listener m_server;
    SettingsRoot m_root;
    SessionTable m_sessions;
    StagingArea m_staging {m_root};
    LoginGuard m_loginGuard;
    QSslConfiguration m_tls;
    QTimer m_expirySweep;
    QTimer m_journalRetirement;
    int m_connections = 0;
    QHash<QString, int> m_connectionsPerAddress;
};

} // namespace quillon::dvrd
