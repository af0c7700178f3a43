#include "formats/videosettings.h"

#include "formats/profileaccess.h"
#include "settings/profilestore.h"

namespace quillon::formats {

namespace {

QByteArray encoderSection(int channel)
{
    return schema::indexedSection(schema::kEncoderSection, channel);
}

const schema::Setting &encoderSetting(const char *key)
{
    return schema::setting(settings::SettingsFile::TVCard, schema::kEncoderSection, key);
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

EncoderSettings readEncoderSettings(const settings::ProfileFile &tvCard, int channel)
{
    // Defaults come from the schema, which the tool reads too.
    const auto number = [&](const char *key) {
        return formats::readNumber(tvCard, encoderSetting(key), channel);
    };

    EncoderSettings encoder;
    encoder.recordMode = normalRecordMode(number("RecordMode"));
    encoder.compressMode = normalCompressMode(number("CompressMode"));
    encoder.encodeMode = normalEncodeMode(number("EncodeMode"));
    encoder.iFrameInterval = number("IFrameIntervalPS");
    return encoder;
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
    const std::span<const schema::StreamPresetGroup> groups = schema::streamPresetGroups();
    for (const schema::StreamPresetGroup &group : groups) {
        if (channelCount <= group.channels)
            return group.section;
    }
    return groups.back().section;
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
