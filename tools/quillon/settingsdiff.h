#pragma once

#include "schema/schema.h"
#include "settings/backups.h"

#include <QList>
#include <QString>

namespace quillon::tool {

// One setting that differs between two sets of settings files. A value that is not stored is
// empty with `present` false (the page then shows its default).
struct Difference
{
    settings::SettingsFile file = settings::SettingsFile::SysSet;
    QByteArray section;
    QByteArray key;
    const schema::Setting *setting = nullptr; // null for a key no page uses
    int index = -1; // channel or sensor from 0
    bool oldPresent = false;
    bool newPresent = false;
    QByteArray oldValue;
    QByteArray newValue;
    // For the user file: the account and what about it changed.
    QByteArray userName;
    QString userField; // English field name: "account", "password", "privileges", "preview"
};

// The settings that differ from `before` to `after`, file by file in download order and in
// each file's key order. Keys compare as the pages read them (names without regard to ASCII
// letter case, the first of a repeated name), so layout and comments do not count.
QList<Difference> diffSettings(
    const settings::SettingsFileSet &before, const settings::SettingsFileSet &after);

// Where a difference is, as "page / channel 3 / caption" in one language; with `raw`,
// the setting's address "file[section]key".
QString describePlace(const Difference &difference, bool chinese, bool raw);
// A value as the page shows it (a list entry by its wording, a flag as on or off), in one
// language; "(not stored: default X)" for a value that is not stored.
QString describeValue(const Difference &difference, bool before, bool chinese, bool raw);

} // namespace quillon::tool
