#include "formats/videosettings.h"

#include "formats/profileaccess.h"
#include "settings/profilestore.h"

#include <algorithm>

namespace quillon::formats {

namespace {

constexpr int kPositionMax = 999; // three digits

QByteArray encoderSection(int channel)
{
    return schema::indexedSection(schema::kEncoderSection, channel);
}

const schema::Setting &encoderSetting(const char *key)
{
    return schema::setting(settings::SettingsFile::TVCard, schema::kEncoderSection, key);
}

QByteArray readPosition(const settings::ProfileFile &tvCard, int channel, const char *key)
{
    return QByteArray::number(
        std::clamp(formats::readNumber(tvCard, encoderSetting(key), channel), 0, kPositionMax));
}

} // namespace

int normalRecordMode(int stored)
{
    return stored == kRecordVideoAndAudio ? kRecordVideoAndAudio : kRecordVideoOnly;
}

int normalCompressMode(int stored)
{
    return stored < kCompressH264 ? kCompressMpeg4 : kCompressH264;
}

int normalEncodeMode(int stored)
{
    return stored == kQualityExcellent || stored == kQualityGood ? stored : kQualityStandard;
}

QByteArray readCameraName(const settings::ProfileFile &tvCard, int channel)
{
    return formats::readText(tvCard, encoderSetting("CameraName"), channel);
}

EncoderSettings readEncoderSettings(const settings::ProfileFile &tvCard, int channel)
{
    // Defaults come from the schema, which the tool reads too.
    const auto flag = [&](const char *key) {
        return formats::readFlag(tvCard, encoderSetting(key), channel);
    };
    const auto number = [&](const char *key) {
        return formats::readNumber(tvCard, encoderSetting(key), channel);
    };

    EncoderSettings encoder;
    encoder.showCamera = flag("ShowCamera");
    encoder.cameraName = readCameraName(tvCard, channel);
    encoder.cameraX = readPosition(tvCard, channel, "Camera_X");
    encoder.cameraY = readPosition(tvCard, channel, "Camera_Y");
    encoder.showDate = flag("ShowDate");
    encoder.showTime = flag("ShowTime");
    encoder.dateX = readPosition(tvCard, channel, "Date_X");
    encoder.dateY = readPosition(tvCard, channel, "Date_Y");
    encoder.recordMode = normalRecordMode(number("RecordMode"));
    encoder.compressMode = normalCompressMode(number("CompressMode"));
    encoder.encodeMode = normalEncodeMode(number("EncodeMode"));
    encoder.iFrameInterval = number("IFrameIntervalPS");
    return encoder;
}

void writeTitleAndDate(const settings::ProfileFile &tvCard, int channel,
    const EncoderSettings &encoder, const EncoderWriteOptions &options)
{
    const QByteArray section = encoderSection(channel);
    tvCard.writeFlag(section, "ShowCamera", encoder.showCamera);
    if (options.cameraName)
        tvCard.writeText(section, "CameraName", encoder.cameraName);
    tvCard.writeText(section, "Camera_X", encoder.cameraX);
    tvCard.writeText(section, "Camera_Y", encoder.cameraY);
    tvCard.writeFlag(section, "ShowDate", encoder.showDate);
    tvCard.writeFlag(section, "ShowTime", encoder.showTime);
    tvCard.writeText(section, "Date_X", encoder.dateX);
    tvCard.writeText(section, "Date_Y", encoder.dateY);
}

void writeEncoding(const settings::ProfileFile &tvCard, int channel, const EncoderSettings &encoder,
    const EncoderWriteOptions &options)
{
    const QByteArray section = encoderSection(channel);
    tvCard.writeInt(section, "RecordMode", encoder.recordMode);
    if (options.compressModeChannels) {
        for (int other = 0; other < *options.compressModeChannels; ++other)
            tvCard.writeInt(encoderSection(other), "CompressMode", encoder.compressMode);
    } else {
        tvCard.writeInt(section, "CompressMode", encoder.compressMode);
    }
    tvCard.writeInt(section, "EncodeMode", encoder.encodeMode);
    tvCard.writeInt(section, "IFrameInterval", encoder.iFrameInterval);
}

QByteArray profileSection(int channelCount)
{
    if (channelCount <= 4)
        return "4 Chn Options";
    if (channelCount <= 8)
        return "8 Chn Options";
    if (channelCount <= 12)
        return "12 Chn Options";
    if (channelCount <= 16)
        return "16 Chn Options";
    return "24 Chn Options";
}

QualityPreset readQualityPreset(const settings::ProfileFile &profile, int channelCount, int level)
{
    const QByteArray section = profileSection(channelCount);
    const auto stored = [&](const char *key) {
        const schema::Setting &preset
            = schema::setting(settings::SettingsFile::Profile, section, key);
        const QByteArray name = QByteArray(key).chopped(1) + QByteArray::number(level);
        return profile.readInt(
            section, name, settings::parseProfileInteger(preset.fallback).value_or(0));
    };
    return {stored("BitRate_#"), stored("Quality_#")};
}

} // namespace quillon::formats
