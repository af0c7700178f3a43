#pragma once

#include "tools/quillon/settingaddress.h"
#include "tools/quillon/settingsdiff.h"

#include <QList>
#include <QString>

#include <optional>

namespace quillon::tool {

// A part of the settings: a page of the window by its name (system, users, video, motion,
// sensors, camera, network, sms: every key its schema rows name, and for users the user file
// too), or an address pattern with '*' ("TVCard.Ext[*]CameraName": every channel's title).
struct ScopeItem
{
    const char *sheet = nullptr; // a page's sheet, or null for a pattern
    SettingAddress pattern;

    bool covers(settings::SettingsFile file, QByteArrayView section, QByteArrayView key) const;
    bool coversUserFile() const;
};

// The settings a command takes into account: those of the --only scopes (all when none is
// given) that no --except scope names.
struct ScopeFilter
{
    QList<ScopeItem> only;
    QList<ScopeItem> except;

    bool isWhole() const { return only.isEmpty() && except.isEmpty(); }
    bool covers(settings::SettingsFile file, QByteArrayView section, QByteArrayView key) const;
    bool coversUserFile() const;
    bool covers(const Difference &difference) const;
};

// Parses comma-separated scopes; nothing with *error set for a name that is neither a page nor
// an address.
std::optional<QList<ScopeItem>> parseScopes(const QString &text, QString *error);

// What a server's files take from a folder within a scope: with the whole scope, the folder's
// uploaded files as they are; otherwise each key of the folder's profile files that the scope
// covers (one parse per file) and the folder's user file when the scope covers it. Keys the
// folder does not hold, and the server's channel and sensor counts, stay as each server has them.
SettingChanges changesFromFolder(const settings::SettingsFileSet &folder, const ScopeFilter &scope);

} // namespace quillon::tool
