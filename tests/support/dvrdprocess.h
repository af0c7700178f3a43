#pragma once

#include <QByteArray>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Runs dvrd (the binary named by DVRD_PATH) on an ephemeral loopback port for one test. Its
// stderr goes to a file, so a busy server never blocks on a full pipe while the test is
// inside a blocking call. Every server of a test process shows the same identity (see
// testIdentityPath), and a process that sets neither XDG_DATA_HOME nor QUILLON_KNOWN_HOSTS gets
// a known-hosts file of its own, so that no test reads or writes the user's pins.
class DvrdProcess
{
public:
    DvrdProcess();
    ~DvrdProcess();
    DvrdProcess(const DvrdProcess &) = delete;
    DvrdProcess &operator=(const DvrdProcess &) = delete;

    // Starts the server on --port 0 and waits for its "listening" line. The administrator is
    // passed in a private file. Extra arguments come after the usual ones; an --identity among
    // them replaces the shared one.
    bool start(const QString &root, const QString &adminName, const QString &adminPassword,
        const QStringList &extraArguments = {}, int timeoutMs = 10000);

    quint16 port() const { return m_port; }
    QString host() const { return QStringLiteral("127.0.0.1"); }

    // Every line the server wrote to stderr so far.
    QStringList logLines() const;
    // Waits until a line matches; the matching line, or an empty string on timeout.
    QString waitForLog(const QRegularExpression &pattern, int timeoutMs = 5000) const;
    // How many lines match so far.
    int countLog(const QRegularExpression &pattern) const;

    // SIGKILL, for tests of a server that vanishes.
    void kill();
    // SIGTERM and wait; the exit code, or -1 when it had to be killed or was not running.
    int stop(int timeoutMs = 5000);
    bool isRunning() const;
    qint64 processId() const { return m_process.processId(); }
    // Waits for the server to end by itself; its exit code, or -1 on a crash or timeout.
    int waitForExit(int timeoutMs = 5000);

private:
    QProcess m_process;
    QTemporaryDir m_logDir;
    QString m_logPath;
    quint16 m_port = 0;
};

// The identity file shared by the servers of this test process, created on first use.
QString testIdentityPath();

// Creates root/User and root/SysConfig. With a source folder laid out the same way (e.g. the
// repository's samples), copies the nine settings files from it. False on any failure.
bool makeServerRoot(const QString &root, const QString &sourceRoot = QString());

// Runs dvrd with the given arguments to its end; returns its exit code (-1 on a crash or when
// it did not finish in time) and its stderr.
int runDvrdToEnd(
    const QStringList &arguments, QByteArray *stderrOutput = nullptr, int timeoutMs = 10000);
