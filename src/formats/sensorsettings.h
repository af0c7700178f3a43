#pragma once

#include "formats/schedule.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <span>
#include <vector>

namespace quillon::settings {
class ProfileFile;
}

namespace quillon::formats {

// The linked-channel text keeps three characters per video channel, channel 1 first: '1' when
// the channel records on the sensor's alarm, then the camera preset as two decimal digits
// ("00" is none). It has room for 36 channels; a longer stored text has room for more.
constexpr int kLinkChnLength = 108;
constexpr int kMaxPreset = 64;

struct LinkedChannel
{
    bool linked = false;
    int preset = 0;
};

// How many channels a stored text has room for: a third of its length, at least 36.
int linkChnRoom(QByteArrayView stored);
// The links of the first `channels` channels that the text has room for (fewer when it has
// less room). A preset that is not two decimal digits reads as none.
std::vector<LinkedChannel> parseLinkChn(QByteArrayView stored, int channels);
// The stored text (padded with '0' to 108 characters, and further when more links are given)
// with the triples of the given channels replaced. Every other character stays as stored.
QByteArray formatLinkChn(QByteArrayView stored, std::span<const LinkedChannel> links);

// The output an alarm triggers: OutputType 1 closes the output, 0 opens it, anything else
// (stored as -1) drives none.
enum class AlarmOutput { None = -1, Open = 0, Close = 1 };
AlarmOutput alarmOutputFromStored(int stored);

// One sensor input as the page shows it.
struct SensorSettings
{
    bool startupDetect = true; // armed
    QByteArray linkChn; // the text as stored (empty when absent)
    bool normallyOpen = false; // SensorType 1; any other value is normally closed
    bool startupRec = true; // start recording on the linked channels
    AlarmOutput output = AlarmOutput::Close;
    int outputTime = 10; // seconds
    WeeklySchedule schedule;
};

SensorSettings readSensorSettings(const settings::ProfileFile &file, int sensor);
// Writes a sensor's keys in their stored order. The linked-channel text is built on the text
// this sensor already stores, so channels the links do not cover keep their characters.
void writeSensorSettings(const settings::ProfileFile &file, int sensor,
    const SensorSettings &values, std::span<const LinkedChannel> links);

// At least four device types are offered, and at most this many.
constexpr int kMinDeviceTypes = 4;
constexpr int kMaxDeviceTypes = 255;
// The names of device types 1 to the stored count: the stored name, or for a blank one a
// default by position ("Ardent", "Bexley", "Corbel", "Halcyon", then the number).
QStringList alarmDeviceNames(const settings::ProfileFile &alarmCard);

} // namespace quillon::formats
