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

// Ranges of the three detector values as the page offers them.
constexpr int kMaxFrameInterval = 12;
constexpr int kMaxSensitivity = 49;

// A stored row shorter than ten characters, padded on the right with '0' to exactly ten;
// nothing for a row that needs no repair.
std::optional<QByteArray> repairedMotionRow(QByteArrayView stored);
// Character k (from 0) arms column k when it is '1'; characters after the tenth are not used.
MotionRow parseMotionRow(QByteArrayView stored);
// Exactly ten characters of '1' and '0'.
QByteArray formatMotionRow(const MotionRow &row);

// One channel's motion detection as the page shows it.
struct MotionSettings
{
    int alarmY = 2; // high-speed detection frame interval
    int alarmUV = 0; // low-speed detection frame interval
    int alarmSense = 20; // sensitivity, 0 high to 49 low
    bool showGrid = false;
    bool autoAlarmRecord = false;
    MotionArea area {};
    WeeklySchedule schedule;
};

// Reads a channel's sections of the motion settings file. A stored area row shorter than ten
// characters is repaired in the file at once. The detector values come back as stored.
MotionSettings readMotionSettings(const settings::ProfileFile &file, int channel);
// Writes every key of a channel's sections, detector values clamped into their ranges.
void writeMotionSettings(
    const settings::ProfileFile &file, int channel, const MotionSettings &values);

} // namespace quillon::formats
