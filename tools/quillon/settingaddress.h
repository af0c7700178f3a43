#pragma once

#include "settings/backups.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace quillon::tool {

// One key of a profile settings file, written FILE[SECTION]KEY as `diff --raw` prints it, for
// example "SysSet.Ext[Alarm Options]BackRecTime". The file is one of the nine by name and the
// names compare without regard to ASCII letter case; section and key are GBK bytes.
struct SettingAddress
{
    settings::SettingsFile file = settings::SettingsFile::SysSet;
    QByteArray section;
    QByteArray key;

    // The address with the file's own spelling.
    QString text() const;
};

enum class AddressUse {
    OneKey, // names exactly one key
    Pattern, // '*' in the section or the key stands for any run of characters
};

// Parses FILE[SECTION]KEY (blanks around the parts ignored); nothing with *error set for
// another shape, an unknown file, the binary user file, text GBK cannot carry, or a '*' where
// one key is meant.
std::optional<SettingAddress> parseSettingAddress(
    const QString &text, AddressUse use, QString *error);

// One key to store with a value.
struct SettingEdit
{
    SettingAddress address;
    QByteArray value; // GBK
};

// Parses ADDRESS=VALUE, the value given as UTF-8. Refused with *error set: an address no page
// of the window uses, a fact of the server no control writes (its channel and sensor counts),
// a password (it would sit on a command line), the server's read-only
// stream presets, text GBK cannot carry or longer than the setting allows, a flag other than
// 0 or 1, a number or list entry that is not a whole number, a line break.
std::optional<SettingEdit> parseSettingEdit(const QString &text, QString *error);

// What a set of files is to become: whole files replaced, then single keys written.
struct SettingChanges
{
    settings::SettingsFileSet wholeFiles;
    QList<SettingEdit> edits;
};

// Applies the changes to the files, parsing each edited file once; a write changes only its
// key's line, so every other byte of the file stays as it was. An error names the first write
// the profile engine refuses; the files are then left as they were.
std::optional<QString> applyChanges(
    const SettingChanges &changes, settings::SettingsFileSet *files);

} // namespace quillon::tool
