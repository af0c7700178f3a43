#pragma once

#include "formats/schedule.h"

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <optional>

namespace quillon::settings {
class ProfileFile;
}

namespace quillon::formats {

constexpr int kMotionRows = 10;
constexpr int kMotionColumns = 10;
using MotionRow = std::array<bool, kMotionColumns>;
// The detection area, rows from the top, columns from the left; true is armed.
using MotionArea = std::array<MotionRow, kMotionRows>;

// A stored row shorter than ten characters, padded on the right with '0' to exactly ten;
// nothing for a row that needs no repair.
std::optional<QByteArray> repairedMotionRow(QByteArrayView stored);
// Character k (from 0) arms column k when it is '1'; characters after the tenth are not used.
MotionRow parseMotionRow(QByteArrayView stored);
// Exactly ten characters of '1' and '0'.
QByteArray formatMotionRow(const MotionRow &row);

// One channel's motion area and timetable as the page shows them (the detector values and
// switches are bound to the schema's keys by the page).
struct MotionSettings
{
    MotionArea area {};
    WeeklySchedule schedule;
};

// Reads a channel's area and timetable. A stored area row shorter than ten characters is
// repaired in the file at once.
MotionSettings readMotionSettings(const settings::ProfileFile &file, int channel);
// Writes a channel's area and timetable.
void writeMotionSettings(
    const settings::ProfileFile &file, int channel, const MotionSettings &values);

} // namespace quillon::formats
