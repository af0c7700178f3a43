#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>
#include <span>

namespace quillon::settings {

// The nine settings files a recording server keeps, in download order.
enum class SettingsFile {
    User,
    SysSet,
    TVCard,
    AlarmSet,
    AlarmCard,
    SensorSet,
    CameraSet,
    SMSSet,
    Profile,
};

struct SettingsFileInfo
{
    SettingsFile file;
    const char *remoteFolder; // "User\" or "SysConfig\", as sent to the server
    const char *name; // name as downloaded and uploaded
    bool uploaded; // travels back to the server on OK
};

// All nine files, in download order.
std::span<const SettingsFileInfo> settingsFiles();
const SettingsFileInfo &fileInfo(SettingsFile file);
// The eight files sent back on OK, in upload order (the server's profile presets stay read-only).
std::span<const SettingsFile> uploadOrder();

// Remote path as sent on the wire: folder followed directly by the name, e.g.
// "SysConfig\SysSet.Ext".
QByteArray remotePath(SettingsFile file);
// The file named by a remote path, matched without regard to ASCII letter case and with either
// separator; false for every other path (absolute paths and ".." included).
bool fileForRemotePath(const QByteArray &path, SettingsFile *file);

// Finds a file in a folder by a name compared without regard to letter case, so that every
// spelling the pages use ("Tvcard.ext") reaches the downloaded file ("TVCard.Ext"). When no
// such file exists, the path of the name as given. The folder path ends with a separator.
QString findFileNoCase(const QString &folder, const QString &name);

// The local copy of a settings file in the work folder (see findFileNoCase).
QString localPath(const QString &workFolder, SettingsFile file);
// Removes every local copy of the nine files, whatever the letter case of their names, with one
// look at the folder. The first file (in download order) a copy of which remains, if any.
std::optional<SettingsFile> removeLocalCopies(const QString &workFolder);

// The per-user folder that holds the local copies of every visit: the data folder followed by
// "Temp/", or the executable's folder followed by "Temp/" when there is no data folder. Ends
// with a separator.
QString workFolderPath();
// Works out the work folder and creates it with every missing parent; the folder (new or not)
// is made readable by the user only, since the user file in it carries every password.
// Returns the path whether or not the folder could be created.
QString ensureWorkFolder();

} // namespace quillon::settings
