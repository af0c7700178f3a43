#include "formats/sensorsettings.h"

#include "formats/profileaccess.h"
#include "settings/gbk.h"
#include "settings/profilestore.h"

#include <algorithm>

namespace quillon::formats {

namespace {

constexpr int kTriple = 3;

QByteArray sensorSection(int sensor)
{
    return schema::indexedSection(schema::kSensorSection, sensor);
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

QByteArray paddedLinkChn(QByteArrayView stored, qsizetype length)
{
    QByteArray text = stored.toByteArray();
    if (text.size() < length)
        text.append(QByteArray(length - text.size(), '0'));
    return text;
}

} // namespace

int linkChnRoom(QByteArrayView stored)
{
    return int(std::max<qsizetype>(stored.size(), kLinkChnLength) / kTriple);
}

std::vector<LinkedChannel> parseLinkChn(QByteArrayView stored, int channels)
{
    const QByteArray text = paddedLinkChn(stored, kLinkChnLength);
    const int count = std::clamp(channels, 0, linkChnRoom(text));
    std::vector<LinkedChannel> links(static_cast<size_t>(count));
    for (int channel = 0; channel < count; ++channel) {
        const char *triple = text.constData() + channel * kTriple;
        LinkedChannel &link = links[size_t(channel)];
        link.linked = triple[0] == '1';
        if (isDigit(triple[1]) && isDigit(triple[2]))
            link.preset = (triple[1] - '0') * 10 + (triple[2] - '0');
    }
    return links;
}

QByteArray formatLinkChn(QByteArrayView stored, std::span<const LinkedChannel> links)
{
    QByteArray text = paddedLinkChn(
        stored, std::max<qsizetype>(kLinkChnLength, qsizetype(links.size()) * kTriple));
    for (size_t channel = 0; channel < links.size(); ++channel) {
        const int preset = std::clamp(links[channel].preset, 0, 99);
        char *triple = text.data() + channel * kTriple;
        triple[0] = links[channel].linked ? '1' : '0';
        triple[1] = char('0' + preset / 10);
        triple[2] = char('0' + preset % 10);
    }
    return text;
}

AlarmOutput alarmOutputFromStored(int stored)
{
    if (stored == 1)
        return AlarmOutput::Close;
    if (stored == 0)
        return AlarmOutput::Open;
    return AlarmOutput::None;
}

SensorSettings readSensorSettings(const settings::ProfileFile &file, int sensor)
{
    SensorSettings values;
    const auto setting = [](const char *key) -> const schema::Setting & {
        return schema::setting(settings::SettingsFile::SensorSet, schema::kSensorSection, key);
    };
    values.startupDetect = formats::readFlag(file, setting("StartupDetect"), sensor);
    values.linkChn = formats::readText(file, setting("LinkChn"), sensor);
    values.normallyOpen = formats::readNumber(file, setting("SensorType"), sensor) == 1;
    values.startupRec = formats::readFlag(file, setting("StartupRec"), sensor);
    values.output = alarmOutputFromStored(formats::readNumber(file, setting("OutputType"), sensor));
    values.outputTime = formats::readNumber(file, setting("OutputTime"), sensor);
    values.schedule = readSchedule(file, ScheduleKind::Sensor, sensor);
    return values;
}

void writeSensorSettings(const settings::ProfileFile &file, int sensor,
    const SensorSettings &values, std::span<const LinkedChannel> links)
{
    const QByteArray section = sensorSection(sensor);
    file.writeFlag(section, "StartupDetect", values.startupDetect);
    file.writeText(section, "LinkChn", formatLinkChn(file.readText(section, "LinkChn"), links));
    file.writeInt(section, "SensorType", values.normallyOpen ? 1 : 0);
    file.writeFlag(section, "StartupRec", values.startupRec);
    file.writeInt(section, "OutputTime", values.outputTime);
    file.writeInt(section, "OutputType", int(values.output));
    writeSchedule(file, ScheduleKind::Sensor, sensor, values.schedule);
}

QStringList alarmDeviceNames(const settings::ProfileFile &alarmCard)
{
    static const char *const kDefaultNames[kMinDeviceTypes]
        = {"Ardent", "Bexley", "Corbel", "Halcyon"};
    const int count = std::clamp(alarmCard.readInt("Equipments", "Count", kMinDeviceTypes),
        kMinDeviceTypes, kMaxDeviceTypes);
    QStringList names;
    for (int number = 1; number <= count; ++number) {
        const QString stored
            = settings::fromGbk(alarmCard.readText("Equipment Name", QByteArray::number(number)));
        if (!stored.trimmed().isEmpty())
            names << stored;
        else if (number <= kMinDeviceTypes)
            names << QLatin1String(kDefaultNames[number - 1]);
        else
            names << QString::number(number);
    }
    return names;
}

} // namespace quillon::formats
