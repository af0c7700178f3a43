#include "formats/motionsettings.h"

#include "formats/profileaccess.h"
#include "settings/profilestore.h"

#include <algorithm>

namespace quillon::formats {

namespace {

// A missing row reads as eleven zeros (the eleventh is never used), so it needs no repair.
constexpr char kMissingRow[] = "00000000000";

QByteArray encoderSection(int channel)
{
    return schema::indexedSection(schema::kEncoderSection, channel);
}
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
    const auto setting = [](const char *key) -> const schema::Setting & {
        return schema::setting(settings::SettingsFile::AlarmSet, schema::kEncoderSection, key);
    };
    values.alarmY = formats::readNumber(file, setting("AlarmY"), channel);
    values.alarmUV = formats::readNumber(file, setting("AlarmUV"), channel);
    values.alarmSense = formats::readNumber(file, setting("AlarmSense"), channel);
    values.showGrid = formats::readFlag(file, setting("ShowGrid"), channel);
    values.autoAlarmRecord = formats::readFlag(file, setting("AutoAlarmRecord"), channel);

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
    const QByteArray encoder = encoderSection(channel);
    file.writeInt(encoder, "AlarmY", std::clamp(values.alarmY, 0, kMaxFrameInterval));
    file.writeInt(encoder, "AlarmUV", std::clamp(values.alarmUV, 0, kMaxFrameInterval));
    file.writeInt(encoder, "AlarmSense", std::clamp(values.alarmSense, 0, kMaxSensitivity));
    file.writeFlag(encoder, "ShowGrid", values.showGrid);
    file.writeFlag(encoder, "AutoAlarmRecord", values.autoAlarmRecord);

    const QByteArray area = areaSection(channel);
    for (int row = 0; row < kMotionRows; ++row)
        file.writeText(area, rowKey(row), formatMotionRow(values.area[size_t(row)]));
    writeSchedule(file, ScheduleKind::Motion, channel, values.schedule);
}

} // namespace quillon::formats
