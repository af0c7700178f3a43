#include "visit/hostvisit.h"

#include "platform/platform.h"
#include "visit/hostlink/tcpclientdll.h"

#include <QFile>
#include <QGuiApplication>
#include <QPointer>
#include <QWindow>

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
    if (handle != 0)
        KX_ClientSendBuf(handle, command.constData(), std::int32_t(command.size()), 0);
    KX_DisConnectTCPServer(handle);
    return handle != 0;
}

void downloadSettingsFiles()
{
    for (const settings::SettingsFileInfo &info : settings::settingsFiles()) {
        TransferSettingsFile(0, info.file);
        platform::pause(kTransferPauseMs);
    }
}

void uploadSettingsAndApply()
{
    for (const settings::SettingsFile file : settings::uploadOrder()) {
        TransferSettingsFile(1, file);
        platform::pause(kTransferPauseMs);
    }
    SendHostCommand(QByteArray(kApplyCommand));
}

} // namespace quillon::visit
