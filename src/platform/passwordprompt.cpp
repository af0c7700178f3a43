#include "platform/passwordprompt.h"

#include <csignal>
#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace quillon::platform {

namespace {

// The terminal's settings before the prompt, for the signal handler; only it and the prompt
// touch them, and the prompt runs once at a time.
termios g_savedTerminal {};

void restoreEchoAndDie(int signalNumber)
{
    // Only async-signal-safe calls here: restore, then end the way the signal would have.
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_savedTerminal);
    ::signal(signalNumber, SIG_DFL);
    ::raise(signalNumber);
}

} // namespace

std::optional<QByteArray> readPassword(const char *environmentVariable, QString *error)
{
    if (const QByteArray fromEnvironment = qgetenv(environmentVariable); !fromEnvironment.isNull())
        return fromEnvironment;
    if (!::isatty(STDIN_FILENO)) {
        *error = QStringLiteral("no password: set %1 or run on a terminal")
                     .arg(QLatin1String(environmentVariable));
        return std::nullopt;
    }
    if (::tcgetattr(STDIN_FILENO, &g_savedTerminal) != 0) {
        *error = QStringLiteral("cannot turn off echo on the terminal");
        return std::nullopt;
    }
    struct sigaction restoring
    { };
    restoring.sa_handler = restoreEchoAndDie;
    sigemptyset(&restoring.sa_mask);
    struct sigaction previous[3] {};
    const int signals[3] = {SIGINT, SIGTERM, SIGQUIT};
    for (int i = 0; i < 3; ++i)
        ::sigaction(signals[i], &restoring, &previous[i]);

    // Echo goes off before the prompt shows, so that nothing typed at once is echoed.
    termios quiet = g_savedTerminal;
    quiet.c_lflag &= ~tcflag_t(ECHO);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    std::fputs("Password: ", stderr);
    std::fflush(stderr);
    QByteArray password;
    for (int c = std::getchar(); c != EOF && c != '\n'; c = std::getchar())
        password.append(char(c));
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_savedTerminal);
    for (int i = 0; i < 3; ++i)
        ::sigaction(signals[i], &previous[i], nullptr);
    std::fputs("\n", stderr);
    return password;
}

} // namespace quillon::platform
