// Random day lines of the three timetables: reading never goes outside the line, a day written
// back reads as the same segments, and no written line is longer than a read returns.

#include "formats/schedule.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

using namespace quillon::formats;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    FuzzedDataProvider data(bytes, size);
    const ScheduleKind kind = data.PickValueInArray(
        {ScheduleKind::Recording, ScheduleKind::Motion, ScheduleKind::Sensor});
    const std::string text = data.ConsumeRemainingBytesAsString();
    const QByteArray line(text.data(), qsizetype(text.size()));

    DaySegments day = parseDayLine(line, kind);
    if (qsizetype(day.size()) * segmentWidth(kind) > line.size())
        std::abort();
    for (const ScheduleSegment &segment : day) {
        if (segment.start.size() != 5 || segment.end.size() != 5)
            std::abort();
        if (hasModeColumn(kind) != !segment.modeCode.isEmpty())
            std::abort();
    }
    if (qsizetype(day.size()) > maxSegmentsPerDay(kind))
        day.resize(size_t(maxSegmentsPerDay(kind)));
    const QByteArray written = formatDayLine(day, kind);
    if (written.size() > 2047)
        std::abort();
    if (parseDayLine(written, kind) != day)
        std::abort();
    return 0;
}
