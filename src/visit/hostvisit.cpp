#include "visit/hostvisit.h"

#include "formats/language.h"
#include "hostlink/tcpclientdll.h"
#include "hostlink/wire.h"
#include "platform/platform.h"
#include "settings/backups.h"

#include "settings/gbk.h"

#include <QDateTime>
#include <QFile>
#include <QGuiApplication>
#include <QLocale>
#include <QPointer>
#include <QTemporaryDir>
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

const QByteArray &storedHost()
{
    return state().host;
}

std::int32_t storedPort()
{
    return state().port;
}

void setWorkFolder(const QString &folder)
{
    state().workFolder = folder;
}

const QString &workFolder()
{
    return state().workFolder;
}

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

QWindow *ownerWindow()
{
    return state().owner;
}

std::int32_t verifyUser(const char *userName, const char *password)
{
    KX_LoginRecord record {};
    record.userName = userName;
    record.password = password;
    record.host = state().host.constData();
    record.port = state().port;
    return KX_VerifyUser(&record);
}

std::int32_t TransferSettingsFile(
    std::uint8_t direction, const char *remoteFolder, const char *fileName)
{
    const QByteArray remote = QByteArray(remoteFolder) + fileName;
    const QByteArray local = QFile::encodeName(
        settings::findFileNoCase(state().workFolder, QFile::decodeName(fileName)));
    KX_FileTransferRecord record {};
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

std::int32_t sendHostCommandResult(const QByteArray &command)
{
    KX_ConnectRecord record {};
    record.host = state().host.constData();
    record.port = state().port;
    const std::int32_t handle = KX_ConnectTCPServer(&record);
    const auto length = std::int32_t(command.size());
    const std::int32_t result
        = handle != 0 ? KX_ClientSendBuf(handle, command.constData(), length, 0) : KX_ERR_NETWORK;
    KX_DisConnectTCPServer(handle);
    return result;
}

bool SendHostCommand(const QByteArray &command)
{
    return sendHostCommandResult(command) == std::int32_t(command.size());
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
    case KX_ERR_LOGIN_LOST:
        return formats::pick("服务器已不认识本次登录，重新登录失败",
            "the server no longer knew this login and logging in again failed");
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
            "不能保存远程计算机 %1 的设置备份（%2），应用以后将不能撤销。不保存备份就上传并应用吗？"
            "选择“否”不上传任何文件，修改保留在窗口中。",
            "Can not store the backup of Remote Host: %1 settings (%2), so this apply could not "
            "be undone. Upload and apply without a backup? No uploads nothing and keeps your "
            "changes in the window.")
            .arg(host, failure.detail);
    case TransferFailure::Step::Kept:
        return {};
    case TransferFailure::Step::Upload:
        return formats::pick(
            "不能上传文件 %2 到远程计算机 %1（%3），设置没有应用。修改已保留，可以再按确定。",
            "Can not upload %2 to Remote Host: %1 (%3); the settings were not applied. "
            "Your changes are kept: press OK to try again.")
            .arg(host, file, reasonText(failure.result));
    case TransferFailure::Step::Stale:
        return staleQuestion();
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

QString staleQuestion()
{
    KX_ConnectRecord record {};
    record.host = state().host.constData();
    record.port = state().port;
    KX_ServedSetRecord served {};
    const bool known = KX_GetServedSet(&record, &served) == KX_OK;
    const QString user = known && served.userName[0] != 0
        ? settings::fromGbk(QByteArray(served.userName))
        : formats::pick("另一位用户", "another user");
    const QString time = known && served.appliedAt > 0
        ? QLocale().toString(
            QDateTime::fromSecsSinceEpoch(served.appliedAt).toLocalTime(), QLocale::ShortFormat)
        : formats::pick("某时", "an unknown time");
    return formats::pick("远程计算机 %1 的设置已由 %2 于 %3 应用，晚于本窗口下载设置的时间。\n\n"
                         "要用您的设置替换吗？服务器当前的设置会先备份，然后应用您的设置。\n"
                         "选“否”则保留窗口和您的修改，服务器不作任何改变。",
        "The settings of Remote Host: %1 were applied by %2 at %3, after this window "
        "downloaded them.\n\nReplace them with your settings? The server's current settings "
        "are backed up first, then yours are applied.\nNo keeps this window open with your "
        "changes and changes nothing on the server.")
        .arg(QString::fromLocal8Bit(state().host), user, time);
}

// Downloads the server's current files into a folder of their own (the work folder holds the
// operator's edits) and stores them as a backup; the downloads also base the next apply on them.
static std::optional<TransferFailure> backUpServedSettings()
{
    VisitState &visit = state();
    const QTemporaryDir folder;
    if (!folder.isValid())
        return TransferFailure {TransferFailure::Step::Backup, settings::SettingsFile::User, 0,
            formats::pick("不能建立临时文件夹", "no temporary folder")};
    settings::SettingsFileSet served;
    for (const settings::SettingsFileInfo &info : settings::settingsFiles()) {
        const QByteArray remote = settings::remotePath(info.file);
        const QByteArray local = QFile::encodeName(folder.filePath(QLatin1String(info.name)));
        KX_FileTransferRecord record {};
        record.remotePath = remote.constData();
        record.localPath = local.constData();
        record.host = visit.host.constData();
        record.port = visit.port;
        const std::int32_t result = KX_GetRemoteFile(&record);
        if (result == KX_ERR_NOT_FOUND)
            continue;
        QFile file(QFile::decodeName(local));
        if (result != KX_OK || !file.open(QIODevice::ReadOnly))
            return TransferFailure {TransferFailure::Step::Download, info.file, result, {}};
        served.insert(info.file, file.readAll());
    }
    QString error;
    if (settings::writeBackup(QString::fromLocal8Bit(visit.host), visit.port, served, &error)
            .isEmpty())
        return TransferFailure {
            TransferFailure::Step::Backup, settings::SettingsFile::User, 0, error};
    return std::nullopt;
}

std::optional<TransferFailure> uploadSettingsAndApply(
    const UploadWithoutBackup &uploadWithoutBackup, bool replaceNewerSettings)
{
    VisitState &visit = state();
    if (!visit.backupWritten) {
        QString error;
        if (settings::writeBackup(
                QString::fromLocal8Bit(visit.host), visit.port, visit.downloaded, &error)
                .isEmpty()) {
            // A full or read-only data folder must not make applying impossible: the operator
            // chooses between no undo and no apply.
            const TransferFailure backup {
                TransferFailure::Step::Backup, settings::SettingsFile::User, 0, error};
            if (!uploadWithoutBackup(failureText(backup)))
                return TransferFailure {
                    TransferFailure::Step::Kept, settings::SettingsFile::User, 0, {}};
        } else {
            visit.backupWritten = true;
        }
    }
    if (replaceNewerSettings) {
        if (std::optional<TransferFailure> failure = backUpServedSettings())
            return failure;
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
    const QByteArray apply(wire::kApplyCommand);
    const std::int32_t applied = sendHostCommandResult(apply);
    if (applied == KX_ERR_STALE)
        return TransferFailure {
            TransferFailure::Step::Stale, settings::SettingsFile::User, applied, {}};
    if (applied != std::int32_t(apply.size()))
        return TransferFailure {TransferFailure::Step::Apply, settings::SettingsFile::User, 0, {}};
    return std::nullopt;
}

} // namespace quillon::visit
