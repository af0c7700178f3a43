#pragma once

#include "schema/schema.h"
#include "settings/backups.h"

#include <QList>

#include <optional>
#include <span>

namespace quillon::formats {

// One problem found in a set of settings files: where it is and what is wrong, in both
// languages, as the window's notice would say it.
struct Problem
{
    // An error is what Apply refuses (or the server refuses on upload): such a set cannot be
    // applied as it is. A note is a value the window shows and keeps as stored, though its
    // control's range does not reach it: the set applies.
    enum class Severity { Error, Note };
    Severity severity = Severity::Error;
    const char *page = ""; // sheet name
    schema::Scope scope = schema::Scope::Fixed; // what index counts
    int index = -1; // channel or sensor from 0
    settings::SettingsFile file = settings::SettingsFile::SysSet;
    QByteArray section;
    QByteArray key;
    schema::Words setting = {"", ""};
    schema::Words message = {"", ""};
    QByteArray detail; // the stored value and the range, for a value out of range
};

// The server's counts, as the pages take them from the system options, bounded so that a
// damaged file cannot make a check run for ever.
int channelCountOf(const settings::SettingsFileSet &files);
int sensorCountOf(const settings::SettingsFileSet &files);

// A title or date position that Apply wants as a whole number while its overlay is shown.
struct OverlayPosition
{
    const char *key; // in the channel's section of the video settings
    schema::Words missing; // what the page says when the field is empty
    schema::Words notWhole; // what the page and the checks say when it is no whole number
};
// The camera title's positions, checked while the title is shown.
std::span<const OverlayPosition> titlePositions();
// The date's positions, checked while the date or the time is shown.
std::span<const OverlayPosition> datePositions();

// A privacy mask that reaches past the picture: the key to blame and what to say.
struct MaskOverflow
{
    const char *key; // "Cover_Width" when too wide, else "Cover_Height"
    schema::Words message;
};
// Nothing when the mask at (x, y) of the given size lies within the picture.
std::optional<MaskOverflow> maskOverflow(qint64 x, qint64 y, qint64 width, qint64 height);

// Apply's checks for every channel and sensor (not only the one a page shows) and the user
// file's layout, as errors; then every stored number against its control's range, as notes.
// Empty when all is well.
QList<Problem> validateSettings(const settings::SettingsFileSet &files);

// True when a problem is an error, so that the set cannot be applied.
bool hasErrors(const QList<Problem> &problems);

} // namespace quillon::formats
