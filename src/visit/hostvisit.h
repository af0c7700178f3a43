#pragma once

#include "settings/settingsfiles.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

class QWindow;

namespace quillon::visit {

constexpr std::int32_t kDefaultPort = 5040;
constexpr int kTransferPauseMs = 100;

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
std::int32_t TransferSettingsFile(
    std::uint8_t direction, const char *remoteFolder, const char *fileName);
std::int32_t TransferSettingsFile(std::uint8_t direction, settings::SettingsFile file);

// Sends one command on a connection of its own. True only when the server acknowledged the
// whole command; the connection is closed in every case.
bool SendHostCommand(const QByteArray &command);
// The same, giving the host-link library's result: the command's length when acknowledged.
std::int32_t sendHostCommandResult(const QByteArray &command);

// Where a download or OK's sequence stopped, and why.
struct TransferFailure
{
    // Kept: the operator kept the window rather than upload without a backup. Stale: another
    // apply changed the server's files since this visit downloaded them.
    enum class Step { Download, Backup, Kept, Upload, Apply, Stale };
    Step step = Step::Download;
    settings::SettingsFile file = settings::SettingsFile::User;
    std::int32_t result = 0; // the host-link library's result
    QString detail; // why the backup could not be written
};

// The message for a failure, naming the host and the file, in the current language.
QString failureText(const TransferFailure &failure);

// The nine downloads of a visit, in order, each followed by the transfer pause. The local copies
// of an earlier visit are removed first, so none can pass for this server's. A file the server
// does not have stays absent (its pages show their defaults); any other failure stops the
// sequence at once. The pause runs from the end of each transfer, and the local work on the file
// that arrived (reading it back, then inPause with it) is done inside it: the pause ends at the
// same moment, or later only if that work outlasts it.
std::optional<TransferFailure> downloadSettingsFiles(
    const std::function<void(settings::SettingsFile)> &inPause = {});

// Asked when the backup cannot be written, with the message saying why: true to upload anyway.
using UploadWithoutBackup = std::function<bool(const QString &why)>;

// OK's sequence: the visit's downloaded files are stored as a backup (once per visit), then the
// eight uploads in their order, each followed by the transfer pause, then the apply command.
// A file the server did not have and the window never wrote is not uploaded. Stops at the
// first failure; the apply command is never sent after a failed upload. When the backup cannot
// be written, uploadWithoutBackup decides; when it declines, the result is a failure of the
// step Kept, which needs no further message. The server refuses the apply (Step::Stale) when
// another apply came after this visit's downloads; with replaceNewerSettings the server's current
// files are downloaded and stored as a backup first, and the uploads are then based on them.
std::optional<TransferFailure> uploadSettingsAndApply(
    const UploadWithoutBackup &uploadWithoutBackup, bool replaceNewerSettings = false);

// The question after a stale apply, naming the host and the other apply's user and time.
QString staleQuestion();

} // namespace quillon::visit
