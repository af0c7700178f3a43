// quillon-client: the client application's side of a visit. It shows a small main window, loads
// the setup module at run time and calls ShowSetupForm with its own window as the owner, the
// way a client application on the operator's PC does.

#include "screenshottaker.h"
#include "setupmodule.h"

#include "platform/passwordprompt.h"
#include "settings/gbk.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QStringList>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>
#include <optional>

namespace {

constexpr int kFailureExitCode = 1;
constexpr int kUsageExitCode = 2;
constexpr int kLoginFailedExitCode = 3;
constexpr int kDefaultPort = 5040;
constexpr int kPortCodeOffset = 10;

struct Options
{
    QByteArray host;
    QByteArray userName;
    QByteArray password;
    int portCode = 0;
    QString screenshotFolder;
};

void printUsage()
{
    std::fputs(
        "usage: quillon-client --host H --user U [--port-code N] [--screenshots DIR]\n"
        "  --host H          the recording server's name or dotted address\n"
        "  --user U          user name to log in with; the password comes from\n"
        "                    QUILLON_PASSWORD or a prompt, never from an argument\n"
        "  --port-code N     10 or less for port 5040 (the default), else the port plus 10\n"
        "  --screenshots DIR save a picture of every page of the setup window into DIR, then\n"
        "                    press Cancel; a login failure message is printed and closed\n",
        stderr);
}

// The options, or nothing with a message for a usage error.
std::optional<Options> parseArguments(const QStringList &arguments)
{
    Options options;
    std::optional<QByteArray> userName;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &option = arguments[i];
        if (option == QLatin1String("--password")) {
            std::fputs("quillon-client: a password is never given as an argument (every local user "
                       "can read it): set QUILLON_PASSWORD or type it at the prompt\n",
                stderr);
            return std::nullopt;
        }
        if (i + 1 >= arguments.size())
            return std::nullopt;
        const QString value = arguments[++i];
        if (option == QLatin1String("--host")) {
            options.host = value.toLocal8Bit();
        } else if (option == QLatin1String("--user")) {
            if (!(userName = quillon::settings::toGbk(value)))
                return std::nullopt;
        } else if (option == QLatin1String("--port-code")) {
            bool ok = false;
            options.portCode = value.toInt(&ok);
            if (!ok)
                return std::nullopt;
        } else if (option == QLatin1String("--screenshots")) {
            options.screenshotFolder = value;
        } else {
            return std::nullopt;
        }
    }
    if (options.host.isEmpty() || !userName)
        return std::nullopt;
    options.userName = *userName;
    return options;
}

// The password as GBK bytes, as the server stores it; nothing after saying why.
std::optional<QByteArray> readPasswordBytes()
{
    QString error;
    const std::optional<QByteArray> typed
        = quillon::platform::readPassword("QUILLON_PASSWORD", &error);
    if (!typed) {
        std::fprintf(stderr, "quillon-client: %s\n", qPrintable(error));
        return std::nullopt;
    }
    // The environment and the terminal speak the locale's encoding.
    const std::optional<QByteArray> gbk = quillon::settings::toGbk(QString::fromLocal8Bit(*typed));
    if (!gbk)
        std::fputs("quillon-client: the password holds characters GBK cannot carry\n", stderr);
    return gbk;
}

// The client's own window: it stays behind the setup window, which it owns.
class ClientWindow : public QWidget
{
public:
    explicit ClientWindow(const Options &options)
    {
        setWindowTitle(QStringLiteral("Quillon client"));
        const int port = options.portCode <= kPortCodeOffset ? kDefaultPort
                                                             : options.portCode - kPortCodeOffset;
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(
            new QLabel(QStringLiteral("Configuring the recording server at %1, port %2.")
                           .arg(QString::fromLocal8Bit(options.host))
                           .arg(port)));
        resize(420, 80);
    }
};

} // namespace

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    std::optional<Options> options = parseArguments(arguments);
    if (!options) {
        printUsage();
        return kUsageExitCode;
    }
    const std::optional<QByteArray> password = readPasswordBytes();
    if (!password)
        return kUsageExitCode;
    options->password = *password;
    if (!options->screenshotFolder.isEmpty() && !QDir().mkpath(options->screenshotFolder)) {
        std::fprintf(
            stderr, "quillon-client: cannot create %s\n", qPrintable(options->screenshotFolder));
        return kFailureExitCode;
    }

    // Loaded before the application exists, so that a missing module is reported even where
    // no window could open.
    SetupModule module;
    const QString programFolder
        = QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()).path();
    if (!module.load(programFolder)) {
        std::fprintf(stderr, "quillon-client: %s\n", qPrintable(module.errorString()));
        return kFailureExitCode;
    }

    QApplication application(argc, argv);
    ClientWindow window(*options);
    window.show();

    ScreenshotTaker screenshots(options->screenshotFolder);
    if (!options->screenshotFolder.isEmpty())
        application.installEventFilter(&screenshots);

    int exitCode = 0;
    // Called from the running event loop, as a client calls it from a menu command.
    QTimer::singleShot(0, &window, [&] {
        const std::int32_t result
            = module.showSetupForm(options->host.constData(), std::uintptr_t(window.winId()),
                options->userName.constData(), options->password.constData(), options->portCode);
        std::printf("ShowSetupForm returned %d\n", int(result));
        std::fflush(stdout);
        if (result == 0)
            exitCode = kLoginFailedExitCode;
        else if (screenshots.failed())
            exitCode = kFailureExitCode;
        application.quit();
    });
    application.exec();
    return exitCode;
}
