#include "formats/motionsettings.h"

#include "schema/schema.h"
#include "settings/profilestore.h"

namespace quillon::formats {

namespace {

// A missing row reads as eleven zeros (the eleventh is never used), so it needs no repair.
constexpr char kMissingRow[] = "00000000000";

QByteArray areaSection(int channel)
{
    return schema::indexedSection(schema::kMotionAreaSection, channel);
}
QByteArray rowKey(int row)
{
    return QByteArray::number(row + 1);
}

} // namespace

std::optional<QByteArray> repairedMotionRow(QByteArrayView stored)
{
    if (stored.size() >= kMotionColumns)
        return std::nullopt;
    return stored.toByteArray() + QByteArray(kMotionColumns - stored.size(), '0');
}

MotionRow parseMotionRow(QByteArrayView stored)
{
    MotionRow row {};
    for (int column = 0; column < kMotionColumns && column < stored.size(); ++column)
        row[size_t(column)] = stored[column] == '1';
    return row;
}

QByteArray formatMotionRow(const MotionRow &row)
{
    QByteArray text(kMotionColumns, '0');
    for (int column = 0; column < kMotionColumns; ++column) {
        if (row[size_t(column)])
            text[column] = '1';
    }
    return text;
}

MotionSettings readMotionSettings(const settings::ProfileFile &file, int channel)
{
    MotionSettings values;
    const QByteArray area = areaSection(channel);
    for (int row = 0; row < kMotionRows; ++row) {
        QByteArray stored = file.readText(area, rowKey(row), kMissingRow);
        if (const std::optional<QByteArray> repaired = repairedMotionRow(stored)) {
            file.writeText(area, rowKey(row), *repaired);
            stored = *repaired;
        }
        values.area[size_t(row)] = parseMotionRow(stored);
    }
    values.schedule = readSchedule(file, ScheduleKind::Motion, channel);
    return values;
}

void writeMotionSettings(
    const settings::ProfileFile &file, int channel, const MotionSettings &values)
{
    const QByteArray area = areaSection(channel);
    for (int row = 0; row < kMotionRows; ++row)
        file.writeText(area, rowKey(row), formatMotionRow(values.area[size_t(row)]));
    writeSchedule(file, ScheduleKind::Motion, channel, values.schedule);
}

} // namespace quillon::formats
