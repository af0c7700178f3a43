#include "tools/quillon/remote.h"

#include "hostlink/tcpclientdll.h"
#include "hostlink/wire.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace quillon::tool {

namespace {

// The host link's login result for a server that no longer proves the identity pinned for it.
constexpr std::int32_t kLoginIdentityChanged = -2;

QString transferError(std::int32_t code)
{
    switch (code) {
    case KX_ERR_NETWORK:
        return QStringLiteral("no connection, timeout or broken exchange");
    case KX_ERR_REFUSED:
        return QStringLiteral("refused by the server");
    case KX_ERR_NOT_FOUND:
        return QStringLiteral("the server has no such file");
    case KX_ERR_LOCAL:
        return QStringLiteral("local file could not be read or written");
    default:
        return QStringLiteral("failed (code %1)").arg(code);
    }
}

StepResult failed(const QString &message)
{
    return {Outcome::Failed, message};
}

StepResult transferFailed(const QString &what, const QByteArray &remote, std::int32_t code)
{
    StepResult result = failed(
        QStringLiteral("%1 of %2: %3").arg(what, QString::fromLatin1(remote), transferError(code)));
    result.sessionRefused = code == KX_ERR_REFUSED;
    return result;
}

} // namespace

QString HostAddress::text() const
{
    return (host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host)
        + QLatin1Char(':') + QString::number(port);
}

std::optional<HostAddress> parseHostAddress(const QString &text, QString *error)
{
    HostAddress address;
    QString portText;
    if (text.startsWith(QLatin1Char('['))) {
        const qsizetype close = text.indexOf(QLatin1Char(']'));
        if (close < 0) {
            if (error)
                *error = QStringLiteral("'%1': missing ']' after an IPv6 address").arg(text);
            return std::nullopt;
        }
        address.host = text.mid(1, close - 1);
        const QString rest = text.mid(close + 1);
        if (!rest.isEmpty() && !rest.startsWith(QLatin1Char(':'))) {
            if (error)
                *error = QStringLiteral("'%1': expected ':PORT' after ']'").arg(text);
            return std::nullopt;
        }
        portText = rest.mid(1);
        if (rest.isEmpty())
            portText.clear();
    } else if (text.count(QLatin1Char(':')) == 1) {
        address.host = text.section(QLatin1Char(':'), 0, 0);
        portText = text.section(QLatin1Char(':'), 1);
        if (portText.isEmpty()) {
            if (error)
                *error = QStringLiteral("'%1': empty port").arg(text);
            return std::nullopt;
        }
    } else {
        address.host = text;
    }
    if (address.host.isEmpty() || address.host.contains(QLatin1Char(' '))) {
        if (error)
            *error = QStringLiteral("'%1' is not a host").arg(text);
        return std::nullopt;
    }
    if (!portText.isEmpty()) {
        bool ok = false;
        address.port = portText.toInt(&ok);
        if (!ok || address.port < 1 || address.port > 65535) {
            if (error)
                *error
                    = QStringLiteral("'%1': the port must be a number from 1 to 65535").arg(text);
            return std::nullopt;
        }
    }
    return address;
}

RemoteSession::RemoteSession(HostAddress address, QByteArray user, QByteArray password)
    : m_address(std::move(address)), m_hostBytes(m_address.host.toLocal8Bit()),
      m_user(std::move(user)), m_password(std::move(password))
{ }

StepResult RemoteSession::login()
{
    KX_LoginRecord record {};
    record.userName = m_user.constData();
    record.password = m_password.constData();
    record.host = m_hostBytes.constData();
    record.port = m_address.port;
    switch (const std::int32_t result = KX_VerifyUser(&record)) {
    case KX_LOGIN_ACCEPTED:
        return {};
    case KX_LOGIN_UNKNOWN_USER:
        return {Outcome::LoginRefused, QStringLiteral("login refused: unknown user")};
    case KX_LOGIN_WRONG_PASSWORD:
        return {Outcome::LoginRefused, QStringLiteral("login refused: wrong password")};
    case KX_LOGIN_NOT_ALLOWED:
        return {Outcome::LoginRefused,
            QStringLiteral("login refused: the user may not change system settings")};
    case KX_LOGIN_NO_CONNECTION:
        return failed(QStringLiteral("no connection to the server"));
    default:
        // Any other result is the host link's refusal of a server whose identity changed.
        return {Outcome::IdentityChanged,
            QStringLiteral("the server's identity changed since it was first seen (result %1); "
                           "check the server before trusting it")
                .arg(result)};
    }
}

std::int32_t RemoteSession::transfer(
    bool upload, const QByteArray &remote, const QByteArray &local) const
{
    KX_FileTransferRecord record {};
    record.remotePath = remote.constData();
    record.localPath = local.constData();
    record.host = m_hostBytes.constData();
    record.port = m_address.port;
    return upload ? KX_UploadFile(&record) : KX_GetRemoteFile(&record);
}

StepResult RemoteSession::fetch(settings::SettingsFileSet *files)
{
    const QTemporaryDir folder;
    if (!folder.isValid())
        return failed(QStringLiteral("cannot make a temporary folder"));
    files->clear();
    for (const settings::SettingsFileInfo &info : settings::settingsFiles()) {
        const QByteArray remote = settings::remotePath(info.file);
        const QByteArray local = QFile::encodeName(folder.filePath(QLatin1String(info.name)));
        const std::int32_t result = transfer(false, remote, local);
        if (result == KX_ERR_NOT_FOUND)
            continue; // the server has no such file: the set holds what the server has
        if (result != KX_OK)
            return transferFailed(QStringLiteral("download"), remote, result);
        QFile file(QFile::decodeName(local));
        if (!file.open(QIODevice::ReadOnly))
            return failed(
                QStringLiteral("cannot read the downloaded %1").arg(QLatin1String(info.name)));
        files->insert(info.file, file.readAll());
    }
    if (files->isEmpty())
        return failed(QStringLiteral("the server served none of the settings files"));
    return {};
}

StepResult RemoteSession::uploadAndApply(const settings::SettingsFileSet &files)
{
    const QTemporaryDir folder;
    if (!folder.isValid())
        return failed(QStringLiteral("cannot make a temporary folder"));
    for (const settings::SettingsFile file : settings::uploadOrder()) {
        if (!files.contains(file))
            continue;
        const settings::SettingsFileInfo &info = settings::fileInfo(file);
        const QString localName = folder.filePath(QLatin1String(info.name));
        QFile local(localName);
        if (!local.open(QIODevice::WriteOnly)
            || local.write(files.value(file)) != files.value(file).size())
            return failed(QStringLiteral("cannot write a temporary copy of %1")
                              .arg(QLatin1String(info.name)));
        local.close();
        const QByteArray remote = settings::remotePath(file);
        const QByteArray localPath = QFile::encodeName(localName);
        const std::int32_t result = transfer(true, remote, localPath);
        if (result != KX_OK)
            return transferFailed(QStringLiteral("upload"), remote, result);
    }
    KX_ConnectRecord connect {};
    connect.host = m_hostBytes.constData();
    connect.port = m_address.port;
    const std::int32_t handle = KX_ConnectTCPServer(&connect);
    if (handle == 0)
        return failed(QStringLiteral("apply: no command connection"));
    const std::int32_t length = std::int32_t(sizeof wire::kApplyCommand - 1);
    const std::int32_t sent = KX_ClientSendBuf(handle, wire::kApplyCommand, length, 0);
    KX_DisConnectTCPServer(handle);
    if (sent != length)
        return failed(QStringLiteral("apply: %1").arg(transferError(sent)));
    return {};
}

std::optional<QByteArray> readPassword(QString *error)
{
    if (const QByteArray fromEnvironment = qgetenv("QUILLON_PASSWORD"); !fromEnvironment.isNull())
        return fromEnvironment;
    if (!isatty(STDIN_FILENO)) {
        *error = QStringLiteral("no password: set QUILLON_PASSWORD or run on a terminal");
        return std::nullopt;
    }
    termios saved {};
    if (tcgetattr(STDIN_FILENO, &saved) != 0) {
        *error = QStringLiteral("cannot turn off echo on the terminal");
        return std::nullopt;
    }
    termios quiet = saved;
    quiet.c_lflag &= ~tcflag_t(ECHO);
    std::fputs("Password: ", stderr);
    std::fflush(stderr);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    QByteArray password;
    for (int c = std::getchar(); c != EOF && c != '\n'; c = std::getchar())
        password.append(char(c));
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::fputs("\n", stderr);
    return password;
}

} // namespace quillon::tool
