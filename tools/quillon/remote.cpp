#include "tools/quillon/remote.h"

#include "hostlink/knownhosts.h"
#include "hostlink/tcpclientdll.h"
#include "hostlink/wire.h"
#include "platform/atomicfile.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>

namespace quillon::tool {

namespace {

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
    case KX_ERR_LOGIN_LOST:
        return QStringLiteral("the server no longer knew the session and logging in again failed");
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
    if (address.host.isEmpty()) {
        if (error)
            *error = QStringLiteral("'%1' is not a host").arg(text);
        return std::nullopt;
    }
    // The same server under another spelling would escape its pinned identity.
    if (!wire::pinnableHost(address.host.toLocal8Bit())) {
        if (error)
            *error = QStringLiteral("'%1' is not a host: it holds a blank or a control character")
                         .arg(text);
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
    case KX_LOGIN_KNOWN_HOSTS_UNREADABLE:
        return failed(QStringLiteral("cannot read the known-hosts file %1 (unreadable, or larger "
                                     "than one can be): no server identity can be checked")
                          .arg(wire::knownHostsPath()));
    case KX_LOGIN_KNOWN_HOSTS_UNWRITABLE:
        return failed(QStringLiteral("cannot store the server's identity in the known-hosts file "
                                     "%1, so it could not be checked later: not connected")
                          .arg(wire::knownHostsPath()));
    case KX_LOGIN_BAD_HOST:
        return failed(QStringLiteral("the host text holds a blank or a control character"));
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
        const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        if (bytes.size() != file.size() || file.error() != QFile::NoError)
            return failed(
                QStringLiteral("cannot read the downloaded %1").arg(QLatin1String(info.name)));
        files->insert(info.file, bytes);
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
        if (const std::optional<QString> failure = platform::writeFileAtomically(
                localName, files.value(file), platform::Durability::Written))
            return failed(QStringLiteral("cannot write a temporary copy of %1: %2")
                              .arg(QLatin1String(info.name), *failure));
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
    if (sent == KX_ERR_STALE) {
        KX_ServedSetRecord served {};
        const bool known = KX_GetServedSet(&connect, &served) == KX_OK;
        return {Outcome::Stale,
            QStringLiteral("apply refused: the server's settings were applied by %1 at %2, after "
                           "they were backed up; nothing changed")
                .arg(known ? QString::fromLocal8Bit(served.userName) : QStringLiteral("someone"),
                    known && served.appliedAt > 0
                        ? QDateTime::fromSecsSinceEpoch(served.appliedAt, Qt::UTC)
                              .toString(Qt::ISODate)
                        : QStringLiteral("an unknown time"))};
    }
    if (sent != length)
        return failed(QStringLiteral("apply: %1").arg(transferError(sent)));
    return {};
}

} // namespace quillon::tool
