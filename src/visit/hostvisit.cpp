#include "visit/hostvisit.h"

#include "formats/language.h"
#include "hostlink/tcpclientdll.h"
#include "hostlink/wire.h"
#include "platform/platform.h"
#include "settings/backups.h"

#include <QFile>
#include <QGuiApplication>
#include <QPointer>
#include <QWindow>

#include <chrono>

namespace quillon::visit {

namespace {

struct VisitState
{
    QByteArray host;
    std::int32_t port = kDefaultPort;
    QString workFolder;
    QPointer<QWindow> owner;
    std::uintptr_t ownerId = 0;
    bool ownerIsForeign = false; // a wrapper this module made, so this module deletes it
    settings::SettingsFileSet downloaded;
    bool backupWritten = false;
};

VisitState &state()
{
    static VisitState visit;
    return visit;
}

} // namespace

std::int32_t portFromCode(std::int32_t portCode)
{
    return portCode <= 10 ? kDefaultPort : portCode - 10;
}

void storeHost(const char *host, std::int32_t portCode)
{
    state().host = QByteArray(host ? host : "");
    state().port = portFromCode(portCode);
}

const QByteArray &storedHost() { return state().host; }

std::int32_t storedPort() { return state().port; }

void setWorkFolder(const QString &folder) { state().workFolder = folder; }

const QString &workFolder() { return state().workFolder; }

// A window of this process with that id, when the caller's window lives here.
static QWindow *windowOfThisProcess(WId id)
{
    for (QWindow *window : QGuiApplication::allWindows()) {
        if (window->handle() && window->winId() == id)
            return window;
    }
    return nullptr;
}

void installOwnerWindow(std::uintptr_t windowId)
{
    VisitState &visit = state();
    if (windowId == visit.ownerId && (windowId == 0 || visit.owner))
        return;
    if (visit.ownerIsForeign)
        delete visit.owner;
    visit.ownerId = windowId;
    visit.owner = nullptr;
    visit.ownerIsForeign = false;
    if (windowId == 0)
        return;
    visit.owner = windowOfThisProcess(WId(windowId));
    if (!visit.owner) {
        visit.owner = QWindow::fromWinId(WId(windowId));
        visit.ownerIsForeign = true;
    }
}

QWindow *ownerWindow() { return state().owner; }

std::int32_t verifyUser(const char *userName, const char *password)
{
    KX_LoginRecord record{};
    record.userName = userName;
    record.password = password;
    record.host = state().host.constData();
    record.port = state().port;
    return KX_VerifyUser(&record);
}

std::int32_t TransferSettingsFile(std::uint8_t direction, const char *remoteFolder,
                                  const char *fileName)
{
    const QByteArray remote = QByteArray(remoteFolder) + fileName;
    const QByteArray local = QFile::encodeName(
        settings::findFileNoCase(state().workFolder, QFile::decodeName(fileName)));
    KX_FileTransferRecord record{};
    record.remotePath = remote.constData();
    record.localPath = local.constData();
    record.host = state().host.constData();
    record.port = state().port;
    return direction == 0 ? KX_GetRemoteFile(&record) : KX_UploadFile(&record);
}

std::int32_t TransferSettingsFile(std::uint8_t direction, settings::SettingsFile file)
{
    const settings::SettingsFileInfo &info = settings::fileInfo(file);
    return TransferSettingsFile(direction, info.remoteFolder, info.name);
}

bool SendHostCommand(const QByteArray &command)
{
    KX_ConnectRecord record{};
    record.host = state().host.constData();
    record.port = state().port;
    const std::int32_t handle = KX_ConnectTCPServer(&record);
    const auto length = std::int32_t(command.size());
    const bool acknowledged
        = handle != 0 && KX_ClientSendBuf(handle, command.constData(), length, 0) == length;
    KX_DisConnectTCPServer(handle);
    return acknowledged;
}

static QString reasonText(std::int32_t result)
{
    switch (result) {
    case KX_ERR_REFUSED:
        return formats::pick("服务器拒绝了请求", "the server refused the request");
    case KX_ERR_LOCAL:
        return formats::pick("本地文件不能读写", "the local file could not be read or written");
    case KX_ERR_NOT_FOUND:
        return formats::pick("服务器没有这个文件", "the server has no such file");
    default:
        return formats::pick("连接失败或超时", "the connection failed or timed out");
    }
}

QString failureText(const TransferFailure &failure)
{
    const QString host = QString::fromLocal8Bit(state().host);
    const QString file = QString::fromLatin1(settings::remotePath(failure.file));
    switch (failure.step) {
    case TransferFailure::Step::Download:
        return formats::pick("不能从远程计算机 %1 下载文件 %2（%3）。",
            "Can not download %2 from Remote Host: %1 (%3).")
            .arg(host, file, reasonText(failure.result));
    case TransferFailure::Step::Backup:
        return formats::pick(
            "不能保存远程计算机 %1 的设置备份（%2），没有上传任何文件。修改已保留，可以再按确定。",
            "Can not store the backup of Remote Host: %1 settings (%2); nothing was uploaded. "
            "Your changes are kept: press OK to try again.")
            .arg(host, failure.detail);
    case TransferFailure::Step::Upload:
        return formats::pick(
            "不能上传文件 %2 到远程计算机 %1（%3），设置没有应用。修改已保留，可以再按确定。",
            "Can not upload %2 to Remote Host: %1 (%3); the settings were not applied. "
            "Your changes are kept: press OK to try again.")
            .arg(host, file, reasonText(failure.result));
    case TransferFailure::Step::Apply:
        return formats::pick(
            "远程计算机 %1 没有确认应用命令，新设置可能没有生效。修改已保留，可以再按确定。",
            "Remote Host: %1 did not confirm the apply command; the new settings may not be "
            "in use. Your changes are kept: press OK to try again.")
            .arg(host);
    }
    return {};
}

static std::optional<QByteArray> readLocalCopy(settings::SettingsFile file)
{
    QFile local(settings::localPath(state().workFolder, file));
    if (!local.open(QIODevice::ReadOnly) || local.size() > settings::kMaxSettingsFileBytes)
        return std::nullopt;
    const QByteArray bytes = local.readAll();
    if (bytes.size() != local.size())
        return std::nullopt;
    return bytes;
}

std::optional<TransferFailure> downloadSettingsFiles(
    const std::function<void(settings::SettingsFile)> &inPause)
{
    VisitState &visit = state();
    visit.downloaded.clear();
    visit.backupWritten = false;
    if (const std::optional<settings::SettingsFile> kept
        = settings::removeLocalCopies(visit.workFolder))
        return TransferFailure {TransferFailure::Step::Download, *kept, KX_ERR_LOCAL, {}};
    for (const settings::SettingsFileInfo &info : settings::settingsFiles()) {
        const std::int32_t result = TransferSettingsFile(0, info.file);
        const auto pauseEnd
            = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTransferPauseMs);
        std::optional<TransferFailure> failure;
        if (result == KX_OK) {
            if (const std::optional<QByteArray> bytes = readLocalCopy(info.file)) {
                visit.downloaded.insert(info.file, *bytes);
                if (inPause)
                    inPause(info.file);
            } else {
                failure = {TransferFailure::Step::Download, info.file, KX_ERR_LOCAL, {}};
            }
        } else if (result != KX_ERR_NOT_FOUND) {
            failure = {TransferFailure::Step::Download, info.file, result, {}};
        }
        platform::sleepUntil(pauseEnd);
        if (failure)
            return failure;
    }
    return std::nullopt;
}

std::optional<TransferFailure> uploadSettingsAndApply()
{
    VisitState &visit = state();
    if (!visit.backupWritten) {
        QString error;
        if (settings::writeBackup(
                QString::fromLocal8Bit(visit.host), visit.port, visit.downloaded, &error)
                .isEmpty())
            return TransferFailure {
                TransferFailure::Step::Backup, settings::SettingsFile::User, 0, error};
        visit.backupWritten = true;
    }
    for (const settings::SettingsFile file : settings::uploadOrder()) {
        if (!visit.downloaded.contains(file)
            && !QFile::exists(settings::localPath(visit.workFolder, file)))
            continue;
        const std::int32_t result = TransferSettingsFile(1, file);
        platform::pause(kTransferPauseMs);
        if (result != KX_OK)
            return TransferFailure {TransferFailure::Step::Upload, file, result, {}};
    }
    if (!SendHostCommand(QByteArray(wire::kApplyCommand)))
        return TransferFailure {TransferFailure::Step::Apply, settings::SettingsFile::User, 0, {}};
    return std::nullopt;
}

} // namespace quillon::visit
