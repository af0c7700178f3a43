#include "formats/schedule.h"

#include "settings/profilestore.h"

namespace quillon::formats {

namespace {

constexpr int kModeSegmentWidth = 15;
constexpr int kPlainSegmentWidth = 12;
// Inside a segment, counted from 0: start, end and mode code.
constexpr int kStartAt = 0;
constexpr int kEndAt = 6;
constexpr int kModeAt = 12;
constexpr int kTimeLength = 5;
constexpr int kModeLength = 2;
constexpr int kDayModeValue = 91;

const char *sectionPrefix(ScheduleKind kind)
{
    switch (kind) {
    case ScheduleKind::Recording:
        return "RECORD TABLE";
    case ScheduleKind::Motion:
        return "ALARM RECORD TABLE";
    case ScheduleKind::Sensor:
        break;
    }
    return "SENSOR DETECT TABLE";
}

QByteArray dayKey(int day)
{
    return QByteArray::number(day + 1);
}

} // namespace

bool hasModeColumn(ScheduleKind kind)
{
    return kind == ScheduleKind::Recording;
}

int segmentWidth(ScheduleKind kind)
{
    return hasModeColumn(kind) ? kModeSegmentWidth : kPlainSegmentWidth;
}

QByteArray scheduleSection(ScheduleKind kind, int index)
{
    return sectionPrefix(kind) + QByteArray::number(index);
}

int maxSegmentsPerDay(ScheduleKind kind)
{
    const int width = segmentWidth(kind);
    int count = 0;
    while (QByteArray::number(count + 1).size() + 1 + (count + 1) * width
        <= settings::kMaxProfileValue)
        ++count;
    return count;
}

QByteArray modeCodeFor(int modeValue)
{
    return modeValue == kDayModeValue ? kDayModeCode : kNightModeCode;
}

bool isDayMode(QByteArrayView modeCode)
{
    return modeCode == kDayModeCode;
}

DaySegments parseDayLine(QByteArrayView line, ScheduleKind kind)
{
    DaySegments day;
    const qsizetype comma = line.indexOf(',');
    if (comma < 0)
        return day;
    // Only a count that reads as a number of 0 or less empties the day; the segments
    // themselves are counted from the length of the rest.
    bool countIsNumber = false;
    const int count = line.first(comma).trimmed().toInt(&countIsNumber);
    if (countIsNumber && count <= 0)
        return day;

    const QByteArrayView rest = line.sliced(comma + 1);
    const int width = segmentWidth(kind);
    const qsizetype segments = rest.size() / width;
    day.reserve(size_t(segments));
    for (qsizetype j = 0; j < segments; ++j) {
        const QByteArrayView piece = rest.sliced(j * width, width);
        ScheduleSegment segment {piece.sliced(kStartAt, kTimeLength).toByteArray(),
            piece.sliced(kEndAt, kTimeLength).toByteArray(), QByteArray()};
        if (hasModeColumn(kind)) {
            bool modeIsNumber = false;
            const int mode = piece.sliced(kModeAt, kModeLength).toInt(&modeIsNumber);
            segment.modeCode = modeCodeFor(modeIsNumber ? mode : 0);
        }
        day.push_back(std::move(segment));
    }
    return day;
}

QByteArray formatDayLine(const DaySegments &day, ScheduleKind kind)
{
    if (day.empty())
        return QByteArrayLiteral("0,");
    QByteArray line = QByteArray::number(qsizetype(day.size())) + ',';
    line.reserve(line.size() + qsizetype(day.size()) * segmentWidth(kind));
    for (const ScheduleSegment &segment : day) {
        line += segment.start;
        line += '-';
        line += segment.end;
        line += ',';
        if (hasModeColumn(kind)) {
            line += segment.modeCode;
            line += ',';
        }
    }
    return line;
}

WeeklySchedule readSchedule(const settings::ProfileFile &file, ScheduleKind kind, int index)
{
    const QByteArray section = scheduleSection(kind, index);
    WeeklySchedule schedule;
    for (int day = 0; day < kScheduleDays; ++day)
        schedule[size_t(day)] = parseDayLine(file.readText(section, dayKey(day), "0,"), kind);
    return schedule;
}

void writeSchedule(
    const settings::ProfileFile &file, ScheduleKind kind, int index, const WeeklySchedule &schedule)
{
    const QByteArray section = scheduleSection(kind, index);
    for (int day = 0; day < kScheduleDays; ++day)
        file.writeText(section, dayKey(day), formatDayLine(schedule[size_t(day)], kind));
}

} // namespace quillon::formats
