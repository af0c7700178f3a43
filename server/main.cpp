// dvrd: the reference recording server. It serves one configuration root to the setup module
// over the wire protocol: logins, the nine settings files and the apply command.

#include "dvrdserver.h"
#include "identity.h"
#include "serverlog.h"
#include "settingsroot.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QSocketNotifier>
#include <QStringList>

#include <csignal>
#include <cstdio>
#include <optional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillon::dvrd;

namespace {

constexpr int kUsageExitCode = 2;
constexpr quint16 kDefaultPort = 5040;
constexpr qint64 kMaxAdminFileBytes = 4096;

struct Options
{
    QString root;
    QString identity; // empty: identity.pem in the root
    bool printFingerprint = false;
    QHostAddress address {QHostAddress::LocalHost};
    quint16 port = kDefaultPort;
    QByteArray adminName;
    QByteArray adminPassword;
    bool adminOnCommandLine = false;
};

void printUsage()
{
    std::fputs("usage: dvrd --root DIR [--listen ADDR] [--port N] [--identity FILE]\n"
               "            (--admin-file FILE | DVRD_ADMIN=NAME:PASSWORD in the environment)\n"
               "       dvrd (--root DIR | --identity FILE) --print-fingerprint\n"
               "  --root DIR          configuration root holding User/User.she and SysConfig/\n"
               "  --listen ADDR       address to listen on (default 127.0.0.1)\n"
               "  --port N            TCP port, 0 for any free port (default 5040)\n"
               "  --identity FILE     the server's TLS key and certificate (default\n"
               "                      DIR/identity.pem, created with mode 0600 when missing)\n"
               "  --print-fingerprint print the identity's SHA-256 fingerprint and exit\n"
               "  --admin-file FILE   one line NAME:PASSWORD of the built-in administrator;\n"
               "                      refused when group or others may read it\n"
               "  --admin N:P         the same on the command line, where other local users\n"
               "                      can see it (for tests only)\n",
        stderr);
}

// NAME:PASSWORD into the options; false when there is no name or it is too long.
bool takeAdmin(const QByteArray &credentials, Options *options)
{
    const qsizetype colon = credentials.indexOf(':');
    if (colon <= 0 || colon > quillon::wire::kMaxUserNameBytes)
        return false;
    options->adminName = credentials.left(colon);
    options->adminPassword = credentials.mid(colon + 1);
    return true;
}

// The first line of the administrator file; an error text when it may not or cannot be used.
std::optional<QByteArray> readAdminFile(const QString &path, QString *error)
{
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        *error = QStringLiteral("cannot read the administrator file %1").arg(path);
        return std::nullopt;
    }
    if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        *error = QStringLiteral("refusing the administrator file %1: group or others may read it "
                                "(chmod 600 it)")
                     .arg(path);
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxAdminFileBytes) {
        *error = QStringLiteral("cannot read the administrator file %1").arg(path);
        return std::nullopt;
    }
    QByteArray line = file.readLine(kMaxAdminFileBytes);
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return line;
}

std::optional<Options> parseArguments(const QStringList &arguments, QString *error)
{
    Options options;
    bool haveAdmin = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &option = arguments[i];
        if (option == QLatin1String("--print-fingerprint")) {
            options.printFingerprint = true;
            continue;
        }
        if (i + 1 >= arguments.size())
            return std::nullopt;
        const QString value = arguments[++i];
        if (option == QLatin1String("--root")) {
            if (!QDir(value).exists())
                return std::nullopt;
            options.root = value;
        } else if (option == QLatin1String("--identity")) {
            options.identity = value;
        } else if (option == QLatin1String("--listen")) {
            options.address = QHostAddress(value);
            if (options.address.isNull())
                return std::nullopt;
        } else if (option == QLatin1String("--port")) {
            bool ok = false;
            const uint port = value.toUInt(&ok);
            if (!ok || port > 0xFFFF)
                return std::nullopt;
            options.port = quint16(port);
        } else if (option == QLatin1String("--admin") && !haveAdmin) {
            if (!takeAdmin(value.toLocal8Bit(), &options))
                return std::nullopt;
            options.adminOnCommandLine = true;
            haveAdmin = true;
        } else if (option == QLatin1String("--admin-file") && !haveAdmin) {
            const std::optional<QByteArray> credentials = readAdminFile(value, error);
            if (!credentials)
                return std::nullopt;
            if (!takeAdmin(*credentials, &options)) {
                *error = QStringLiteral("the administrator file %1 holds no NAME:PASSWORD line")
                             .arg(value);
                return std::nullopt;
            }
            haveAdmin = true;
        } else {
            return std::nullopt;
        }
    }
    if (options.identity.isEmpty() && !options.root.isEmpty())
        options.identity = QDir(options.root).filePath(QStringLiteral("identity.pem"));
    if (options.printFingerprint)
        return options.identity.isEmpty() ? std::nullopt : std::optional(options);
    if (!haveAdmin && qEnvironmentVariableIsSet("DVRD_ADMIN"))
        haveAdmin = takeAdmin(qgetenv("DVRD_ADMIN"), &options);
    if (options.root.isEmpty() || !haveAdmin)
        return std::nullopt;
    return options;
}

// SIGINT and SIGTERM write a byte to this pipe; the event loop reads it and quits, so the
// handler itself does nothing that is unsafe in a signal handler.
int g_signalPipe[2] = {-1, -1};

void onStopSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
}

bool installStopSignals(QCoreApplication &app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0)
        return false;
    auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [notifier] {
        notifier->setEnabled(false);
        char byte;
        [[maybe_unused]] const ssize_t got = ::read(g_signalPipe[0], &byte, 1);
        logLine(QStringLiteral("stopping"));
        QCoreApplication::quit();
    });
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGINT, &action, nullptr) == 0
        && ::sigaction(SIGTERM, &action, nullptr) == 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QString error;
    const std::optional<Options> options = parseArguments(QCoreApplication::arguments(), &error);
    if (!options) {
        if (error.isEmpty())
            printUsage();
        else
            logLine(error);
        return kUsageExitCode;
    }
    if (options->adminOnCommandLine)
        logLine(QStringLiteral("warning: --admin shows the password to every local user; use "
                               "--admin-file or DVRD_ADMIN"));
    const std::optional<quillon::wire::TlsIdentity> identity
        = loadOrCreateIdentity(options->identity, &error);
    if (!identity) {
        logLine(error);
        return 1;
    }
    if (options->printFingerprint) {
        std::printf("%s\n", quillon::wire::fingerprint(identity->certificate).constData());
        return 0;
    }
    std::signal(SIGPIPE, SIG_IGN);
    // A file size limit makes a write fail with an error the server reports, instead of
    // killing it in the middle of a step.
    std::signal(SIGXFSZ, SIG_IGN);
    if (!installStopSignals(app)) {
        logLine(QStringLiteral("cannot install signal handlers"));
        return 1;
    }

    DvrdServer server(
        SettingsRoot(options->root, options->adminName, options->adminPassword), *identity);
    if (!server.recover()) {
        logLine(QStringLiteral("cannot start on %1: the apply recorded in .commit-journal can be "
                               "neither finished nor rolled back, or apply.log cannot be read")
                    .arg(QDir(options->root).absolutePath()));
        return 1;
    }
    if (!server.listen(options->address, options->port)) {
        logLine(QStringLiteral("cannot listen on %1:%2: %3")
                    .arg(options->address.toString())
                    .arg(options->port)
                    .arg(server.errorString()));
        return 1;
    }
    logLine(
        QStringLiteral("listening on %1:%2").arg(server.address().toString()).arg(server.port()));
    return app.exec();
}
