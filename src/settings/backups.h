#pragma once

#include "settings/settingsfiles.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

namespace quillon::settings {

// Backups of one server's settings files, kept per user so that an apply can be undone:
//   <data folder>/Backups/<host>_<port>/<UTC time>/User/User.she
//                                                  /SysConfig/<the other files>
// The time is "yyyyMMddTHHmmss.zzzZ", so names sort oldest to newest. A backup holds the files
// the server had; a file the server did not have is absent. The user file carries passwords, so
// folders are made readable by the user only and files 0600.
using SettingsFileSet = QMap<SettingsFile, QByteArray>;

constexpr int kBackupsKept = 50;

// <data folder>/Backups/ (the executable's folder stands in for a missing data folder, as for
// the work folder), ending with a separator; empty when neither is known.
QString backupsRoot();
// The folder of one server's backups (host characters outside [A-Za-z0-9._-] become '_').
QString serverBackupsFolder(const QString &host, int port);

// Writes a backup as a whole: the files go into a hidden folder, each flushed to the disk, that
// is renamed into place only when every file is written; then all but kBackupsKept backups are
// removed (never the new one), and the new one is read back and compared with files. Returns
// the new backup's folder, or an empty string with *error set: nothing may be uploaded then.
QString writeBackup(
    const QString &host, int port, const SettingsFileSet &files, QString *error = nullptr);
// Why the backup folder does not hold exactly files (each file's size and digest compared);
// nothing when it does.
std::optional<QString> checkBackup(const QString &folder, const SettingsFileSet &files);
// The server folder (canonical path) that holds the backup at folder, when folder is one of the
// backups under backupsRoot(); empty for any other folder.
QString backupServerFolder(const QString &folder);
// One server's backups, newest first, as full paths.
QStringList listBackups(const QString &host, int port);
// Reads the files of a backup (or of any folder laid out as User/ and SysConfig/, letter case
// of the names ignored). Files over the size cap are refused. False with *error set when the
// folder holds none of the nine files or a file cannot be read.
bool readSettingsFolder(const QString &folder, SettingsFileSet *files, QString *error = nullptr);

// Writes the files into a folder laid out as User/ and SysConfig/ (an existing file found by
// its name without regard to letter case), each replaced atomically and readable by the user
// only. False with *error set at the first file that could not be written.
bool writeSettingsFolder(
    const QString &folder, const SettingsFileSet &files, QString *error = nullptr);

// A backup file larger than this is not a settings file (the wire carries at most 4 MiB).
constexpr qint64 kMaxSettingsFileBytes = 4 * 1024 * 1024;

} // namespace quillon::settings
