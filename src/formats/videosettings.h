#pragma once

#include <QByteArray>

#include <optional>

namespace quillon::settings {
class ProfileFile;
}

namespace quillon::formats {

// Stored codes of the video page's choices.
constexpr int kRecordVideoAndAudio = 1;
constexpr int kRecordVideoOnly = 2;
constexpr int kCompressMpeg4 = 1;
constexpr int kCompressH264 = 4;
constexpr int kQualityExcellent = 0;
constexpr int kQualityGood = 1;
constexpr int kQualityStandard = 2;

// Any stored value maps to one of the codes the page writes: RecordMode 1 stays 1, every other
// value is video only (2); CompressMode below 4 is MPEG4 (1), else H.264 (4); EncodeMode 0 and
// 1 stay, every other value is the standard quality (2).
int normalRecordMode(int stored);
int normalCompressMode(int stored);
int normalEncodeMode(int stored);

// The encoding keys of one channel's "ENCODER%d" section of TVCard.Ext, in the order a save
// writes them.
struct EncoderSettings
{
    int recordMode = kRecordVideoOnly;
    int compressMode = kCompressH264;
    int encodeMode = kQualityStandard;
    int iFrameInterval = 4;
};

// Reads a channel's section with the defaults for whatever is missing or not a number. The key
// interval comes from IFrameIntervalPS; the codes are normalised.
EncoderSettings readEncoderSettings(const settings::ProfileFile &tvCard, int channel);

struct EncoderWriteOptions
{
    // When set, CompressMode goes, at its place in the order, into ENCODER0 to ENCODER(n - 1)
    // instead of the channel's own section: the whole server uses one compression.
    std::optional<int> compressModeChannels;
};

// Writes the keys above in order (the key interval goes to IFrameInterval). The page writes the
// title, date and privacy mask it binds before them, the frame rate and recording keys after.
void writeEncoding(const settings::ProfileFile &tvCard, int channel, const EncoderSettings &encoder,
    const EncoderWriteOptions &options);

// Profile.ext: the section of stream presets for a server's channel count.
QByteArray profileSection(int channelCount);

struct QualityPreset
{
    int bitRate = 256; // Kbps
    int quality = 5; // 1 is the best picture
};

// The bit rate and quality of a quality level (0 excellent, 1 good, 2 standard) for the
// channel count; 256 and 5 when missing.
QualityPreset readQualityPreset(const settings::ProfileFile &profile, int channelCount, int level);

} // namespace quillon::formats
