#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <vector>

namespace quillon::settings {
class ProfileFile;
}

namespace quillon::formats {

// The three weekly timetables the server keeps. They share the model and the line form; the
// recording timetable alone carries a day or night mode code in each segment.
enum class ScheduleKind {
    Recording, // "RECORD TABLE%d" of TVCard.Ext, per channel
    Motion, // "ALARM RECORD TABLE%d" of AlarmSet.Ext, per channel
    Sensor, // "SENSOR DETECT TABLE%d" of SensorSet.Ext, per sensor input
};

// One time segment as stored: "hh:nn" texts and, in the recording timetable, the mode code.
// Texts are kept as the bytes read, so a segment nobody edited is written back unchanged.
struct ScheduleSegment
{
    QByteArray start;
    QByteArray end;
    QByteArray modeCode; // "91" day mode or "92" night mode; empty without a mode

    bool operator==(const ScheduleSegment &) const = default;
};

using DaySegments = std::vector<ScheduleSegment>;

constexpr int kScheduleDays = 7; // Monday first
using WeeklySchedule = std::array<DaySegments, kScheduleDays>;

inline constexpr char kDayModeCode[] = "91";
inline constexpr char kNightModeCode[] = "92";

bool hasModeColumn(ScheduleKind kind);
// Characters per stored segment: 15 with the mode code ("08:00-12:00,91,"), else 12.
int segmentWidth(ScheduleKind kind);
// The section of a channel's or sensor's timetable, e.g. "RECORD TABLE0".
QByteArray scheduleSection(ScheduleKind kind, int index);
// The most segments one stored line carries within the longest value a read returns:
// 136 with the mode code, 170 without.
int maxSegmentsPerDay(ScheduleKind kind);

// The stored mode code of a mode value: 91 is day mode, every other value night mode.
QByteArray modeCodeFor(int modeValue);
bool isDayMode(QByteArrayView modeCode);

// Reads one day line. The text before the first ',' is the segment count; a count of 0 or
// less, or no ',' at all, gives an empty day. Otherwise the segments come from the length of
// the rest (whole segments only): a count that is not a number hides none of them, and a mode
// that is not a number reads as night mode.
DaySegments parseDayLine(QByteArrayView line, ScheduleKind kind);
// "0," for an empty day, else the count, ',' and each segment in order.
QByteArray formatDayLine(const DaySegments &day, ScheduleKind kind);

// Keys "1" (Monday) to "7" (Sunday) of the timetable's section; a missing key is an empty day.
WeeklySchedule readSchedule(const settings::ProfileFile &file, ScheduleKind kind, int index);
// Writes all seven keys of the section.
void writeSchedule(const settings::ProfileFile &file, ScheduleKind kind, int index,
    const WeeklySchedule &schedule);

} // namespace quillon::formats
