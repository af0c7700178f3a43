#pragma once

#include "settings/settingsfiles.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

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

// Writes a backup as a whole: the files go into a hidden folder that is renamed into place only
// when every file is written, then all but the newest kBackupsKept backups are removed. Returns
// the new backup's folder, or an empty string with *error set.
QString writeBackup(const QString &host, int port, const SettingsFileSet &files,
                    QString *error = nullptr);
// One server's backups, newest first, as full paths.
QStringList listBackups(const QString &host, int port);
// Reads the files of a backup (or of any folder laid out as User/ and SysConfig/, letter case
// of the names ignored). Files over the size cap are refused. False with *error set when the
// folder holds none of the nine files or a file cannot be read.
bool readSettingsFolder(const QString &folder, SettingsFileSet *files, QString *error = nullptr);

// Writes the files into a folder laid out as User/ and SysConfig/ (an existing file found by
// its name without regard to letter case), each replaced atomically and readable by the user
// only. False with *error set at the first file that could not be written.
bool writeSettingsFolder(const QString &folder, const SettingsFileSet &files,
                         QString *error = nullptr);

// A backup file larger than this is not a settings file (the wire carries at most 4 MiB).
constexpr qint64 kMaxSettingsFileBytes = 4 * 1024 * 1024;

} // namespace quillon::settings
