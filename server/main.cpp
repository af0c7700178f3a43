// dvrd: the reference recording server. It serves one configuration root to the setup module
// over the wire protocol: logins, the nine settings files and the apply command.

#include "dvrdserver.h"
#include "serverlog.h"
#include "settingsroot.h"

#include <QCoreApplication>
#include <QDir>
#include <QHostAddress>
#include <QSocketNotifier>
#include <QStringList>

#include <csignal>
#include <cstdio>
#include <optional>
#include <sys/socket.h>
#include <unistd.h>

using namespace quillon::dvrd;

namespace {

constexpr int kUsageExitCode = 2;
constexpr quint16 kDefaultPort = 5040;

struct Options
{
    QString root;
    QHostAddress address {QHostAddress::LocalHost};
    quint16 port = kDefaultPort;
    QByteArray adminName;
    QByteArray adminPassword;
};

void printUsage()
{
    std::fputs("usage: dvrd --root DIR [--listen ADDR] [--port N] --admin NAME:PASSWORD\n"
               "  --root DIR     configuration root holding User/User.she and SysConfig/\n"
               "  --listen ADDR  address to listen on (default 127.0.0.1)\n"
               "  --port N       TCP port, 0 for any free port (default 5040)\n"
               "  --admin N:P    name and password of the built-in administrator\n",
        stderr);
}

std::optional<Options> parseArguments(const QStringList &arguments)
{
    Options options;
    bool haveAdmin = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &option = arguments[i];
        if (i + 1 >= arguments.size())
            return std::nullopt;
        const QString value = arguments[++i];
        if (option == QLatin1String("--root")) {
            if (!QDir(value).exists())
                return std::nullopt;
            options.root = value;
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
        } else if (option == QLatin1String("--admin")) {
            const QByteArray credentials = value.toLocal8Bit();
            const qsizetype colon = credentials.indexOf(':');
            if (colon <= 0 || colon > quillon::wire::kMaxUserNameBytes)
                return std::nullopt;
            options.adminName = credentials.left(colon);
            options.adminPassword = credentials.mid(colon + 1);
            haveAdmin = true;
        } else {
            return std::nullopt;
        }
    }
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
    const std::optional<Options> options = parseArguments(QCoreApplication::arguments());
    if (!options) {
        printUsage();
        return kUsageExitCode;
    }
    std::signal(SIGPIPE, SIG_IGN);
    if (!installStopSignals(app)) {
        logLine(QStringLiteral("cannot install signal handlers"));
        return 1;
    }

    DvrdServer server(SettingsRoot(options->root, options->adminName, options->adminPassword));
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
