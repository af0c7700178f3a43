#include "editor/videosettings.h"

#include "settings/profilestore.h"

#include <algorithm>

namespace quillon::editor {

namespace {

constexpr int kPositionMax = 999; // three digits

QByteArray encoderSection(int channel)
{
    return "ENCODER" + QByteArray::number(channel);
}

QByteArray readPosition(
    const settings::ProfileFile &tvCard, const QByteArray &section, const char *key, int fallback)
{
    return QByteArray::number(std::clamp(tvCard.readInt(section, key, fallback), 0, kPositionMax));
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

QByteArray defaultCameraName(int channel)
{
    return "Cam No." + QByteArray::number(channel);
}

QByteArray readCameraName(const settings::ProfileFile &tvCard, int channel)
{
    return tvCard.readText(encoderSection(channel), "CameraName", defaultCameraName(channel));
}

EncoderSettings readEncoderSettings(const settings::ProfileFile &tvCard, int channel)
{
    const QByteArray section = encoderSection(channel);
    const auto flag = [&](const char *key, bool fallback) {
        return tvCard.readFlag(section, key, fallback);
    };
    const auto number = [&](const char *key, int fallback) {
        return tvCard.readInt(section, key, fallback);
    };

    EncoderSettings encoder;
    encoder.showCamera = flag("ShowCamera", true);
    encoder.cameraName = readCameraName(tvCard, channel);
    encoder.cameraX = readPosition(tvCard, section, "Camera_X", 8);
    encoder.cameraY = readPosition(tvCard, section, "Camera_Y", 10);
    encoder.showDate = flag("ShowDate", true);
    encoder.showTime = flag("ShowTime", true);
    encoder.dateX = readPosition(tvCard, section, "Date_X", 80);
    encoder.dateY = readPosition(tvCard, section, "Date_Y", 10);
    encoder.previewCover = flag("PreviewCover", false);
    encoder.recordCover = flag("RecordCover", false);
    encoder.coverX = number("Cover_X", 0);
    encoder.coverY = number("Cover_Y", 0);
    encoder.coverWidth = number("Cover_Width", 0);
    encoder.coverHeight = number("Cover_Height", 0);
    encoder.recordMode = normalRecordMode(number("RecordMode", kRecordVideoOnly));
    encoder.compressMode = normalCompressMode(number("CompressMode", kCompressH264));
    encoder.encodeMode = normalEncodeMode(number("EncodeMode", kQualityStandard));
    encoder.iFrameInterval = number("IFrameIntervalPS", 4);
    encoder.frameRateLevel = number("FrameRateLevel", 2);
    encoder.frameRateReduction = flag("FrameRateReduction", false);
    encoder.preRecord = flag("PreRecord", false);
    encoder.preRecTime = number("PreRecTime", 5);
    encoder.autoRecord = flag("AutoRecord", false);
    encoder.secondPerFile = number("SecondPerFile", 10);
    encoder.allowAtmRecord = flag("AllowATMRecord", false);
    encoder.atmNo = number("ATMNo", channel + 1);
    encoder.atmSecondPerFile = number("ATMSecondPerFile", 1);
    return encoder;
}

void writeEncoderSettings(const settings::ProfileFile &tvCard, int channel,
    const EncoderSettings &encoder, const EncoderWriteOptions &options)
{
    const QByteArray section = encoderSection(channel);
    const auto flag = [&](const char *key, bool value) {
        tvCard.writeFlag(section, key, value);
    };
    const auto number = [&](const char *key, int value) {
        tvCard.writeInt(section, key, value);
    };
    const auto text = [&](const char *key, const QByteArray &value) {
        tvCard.writeText(section, key, value);
    };

    flag("ShowCamera", encoder.showCamera);
    if (options.cameraName)
        text("CameraName", encoder.cameraName);
    text("Camera_X", encoder.cameraX);
    text("Camera_Y", encoder.cameraY);
    flag("ShowDate", encoder.showDate);
    flag("ShowTime", encoder.showTime);
    text("Date_X", encoder.dateX);
    text("Date_Y", encoder.dateY);
    flag("PreviewCover", encoder.previewCover);
    flag("RecordCover", encoder.recordCover);
    number("Cover_X", encoder.coverX);
    number("Cover_Y", encoder.coverY);
    number("Cover_Width", encoder.coverWidth);
    number("Cover_Height", encoder.coverHeight);
    number("RecordMode", encoder.recordMode);
    if (options.compressModeChannels) {
        for (int other = 0; other < *options.compressModeChannels; ++other)
            tvCard.writeInt(encoderSection(other), "CompressMode", encoder.compressMode);
    } else {
        number("CompressMode", encoder.compressMode);
    }
    number("EncodeMode", encoder.encodeMode);
    number("IFrameInterval", encoder.iFrameInterval);
    number("FrameRateLevel", encoder.frameRateLevel);
    flag("FrameRateReduction", encoder.frameRateReduction);
    flag("PreRecord", encoder.preRecord);
    number("PreRecTime", encoder.preRecTime);
    flag("AutoRecord", encoder.autoRecord);
    number("SecondPerFile", encoder.secondPerFile);
    flag("AllowATMRecord", encoder.allowAtmRecord);
    number("ATMNo", encoder.atmNo);
    number("ATMSecondPerFile", encoder.atmSecondPerFile);
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
    const QByteArray n = QByteArray::number(level);
    const QualityPreset fallback;
    return {profile.readInt(section, "BitRate_" + n, fallback.bitRate),
        profile.readInt(section, "Quality_" + n, fallback.quality)};
}

} // namespace quillon::editor
