#pragma once

#include "settings/settingsfiles.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

class QWindow;

namespace quillon::visit {

constexpr std::int32_t kDefaultPort = 5040;
constexpr int kTransferPauseMs = 100;
constexpr char kApplyCommand[] = "!!!!APPLY";

// Port codes of 10 or less give the default port; larger codes give the code minus 10.
std::int32_t portFromCode(std::int32_t portCode);

// The server of the current visit; each call of the entry replaces it.
void storeHost(const char *host, std::int32_t portCode);
const QByteArray &storedHost();
std::int32_t storedPort();

// The folder that the transfers read and write; set when the setup window is created.
void setWorkFolder(const QString &folder);
const QString &workFolder();

// The caller's window, installed as the owner of the module's windows (none for id 0).
void installOwnerWindow(std::uintptr_t windowId);
QWindow *ownerWindow();

// Logs in to the stored server; the host-link library's result (0 accepted).
std::int32_t verifyUser(const char *userName, const char *password);

// Direction 0 downloads the server's file into the work folder; any other direction uploads
// the local copy. Returns the host-link library's result.
std::int32_t TransferSettingsFile(std::uint8_t direction, const char *remoteFolder,
                                  const char *fileName);
std::int32_t TransferSettingsFile(std::uint8_t direction, settings::SettingsFile file);

// Sends one command on a connection of its own. True when a connection was made and the
// command handed over; the connection is closed in every case.
bool SendHostCommand(const QByteArray &command);

// The nine downloads of a visit, in order, each followed by the transfer pause.
void downloadSettingsFiles();
// The eight uploads in their order, each followed by the transfer pause, then the apply command.
void uploadSettingsAndApply();

} // namespace quillon::visit
