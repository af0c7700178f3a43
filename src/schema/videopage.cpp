#include "schema/schema.h"

#include <array>

namespace quillon::schema {

namespace {

using F = settings::SettingsFile;
constexpr const char *kPage = "TabSheet2";
constexpr const char *kEncoder = kEncoderSection;
constexpr int kPositionMax = 999; // three digits
constexpr int kCameraNameBytes = 20;
constexpr int kMaxMinutes = 999;

constexpr Choice kRecordModes[] = {
    {1, {"视频 + 音频", "Video + Audio"}},
    {2, {"视频", "Video"}},
};
constexpr Choice kCompressModes[] = {
    {1, {"MPEG4 (较低CPU占用率)", "MPEG4 (Lower CPU occupy rate)"}},
    {4, {"H.264 (较好图像画质)", "H.264 (Better video quality)"}},
};
constexpr Choice kQualities[] = {
    {0, {"优秀", "Excellence"}},
    {1, {"良好", "Good"}},
    {2, {"标准", "Standard"}},
};

constexpr Words kDays[] = {
    {"星期一", "Monday"},
    {"星期二", "Tuesday"},
    {"星期三", "Wednesday"},
    {"星期四", "Thursday"},
    {"星期五", "Friday"},
    {"星期六", "Saturday"},
    {"星期日", "Sunday"},
};

constexpr Setting encoder(const char *key, Kind kind, const char *fallback, int minimum,
    int maximum, const char *control, Words caption, std::span<const Choice> choices = {})
{
    return {F::TVCard, Scope::Channel, kEncoder, key, kind, fallback, minimum, maximum, choices,
        kPage, control, caption};
}

constexpr Setting kSettings[] = {
    encoder("ShowCamera", Kind::Flag, "1", 0, 0, "CameraCheckBox", {"摄像机标题", "Camera title"}),
    encoder("CameraName", Kind::Text, "Cam No.%i", 0, kCameraNameBytes, "CameraNameEdit",
        {"标题", "Title"}),
    encoder("Camera_X", Kind::Number, "8", 0, kPositionMax, "CamXEdit",
        {"摄像机标题 X 坐标", "Camera title X"}),
    encoder("Camera_Y", Kind::Number, "10", 0, kPositionMax, "CamYEdit",
        {"摄像机标题 Y 坐标", "Camera title Y"}),
    encoder("ShowDate", Kind::Flag, "1", 0, 0, "DateCheckBox", {"日期", "Date"}),
    encoder("ShowTime", Kind::Flag, "1", 0, 0, "TimeCheckBox", {"时间", "Time"}),
    encoder("Date_X", Kind::Number, "80", 0, kPositionMax, "DateXEdit", {"日期 X 坐标", "Date X"}),
    encoder("Date_Y", Kind::Number, "10", 0, kPositionMax, "DateYEdit", {"日期 Y 坐标", "Date Y"}),
    encoder(
        "PreviewCover", Kind::Flag, "0", 0, 0, "PrevCoverCheckBox", {"预览遮蔽", "Preview mask"}),
    encoder("RecordCover", Kind::Flag, "0", 0, 0, "RecCoverCheckBox", {"录像遮蔽", "Record mask"}),
    encoder("Cover_X", Kind::Number, "0", 0, kPictureWidth - 1, "CoverXEdit",
        {"区域遮蔽 X 坐标", "Mask X"}),
    encoder("Cover_Y", Kind::Number, "0", 0, kPictureHeight - 1, "CoverYEdit",
        {"区域遮蔽 Y 坐标", "Mask Y"}),
    encoder("Cover_Width", Kind::Number, "0", 1, kPictureWidth, "CoverWEdit",
        {"区域遮蔽宽度", "Mask width"}),
    encoder("Cover_Height", Kind::Number, "0", 1, kPictureHeight, "CoverHEdit",
        {"区域遮蔽高度", "Mask height"}),
    encoder("RecordMode", Kind::Choice, "2", 0, 0, "LVERadioBtn", {"工作模式", "Working mode"},
        kRecordModes),
    encoder("CompressMode", Kind::Choice, "4", 0, 0, "RadioButton1",
        {"压缩模式设置", "Compress mode settings"}, kCompressModes),
    encoder("EncodeMode", Kind::Choice, "2", 0, 0, "RadioButton5",
        {"图像质量设置", "Quality settings"}, kQualities),
    // The key interval is read from one key and written to the other.
    encoder("IFrameIntervalPS", Kind::Number, "4", 1, 5, "IFrameTrackBar",
        {"关键帧间隔", "Key frame interval"}),
    encoder("IFrameInterval", Kind::Number, "4", 1, 5, "IFrameTrackBar",
        {"关键帧间隔（写入）", "Key frame interval (written)"}),
    encoder("FrameRateLevel", Kind::Number, "2", 0, 2, "TrackBar5", {"视频设置", "Video settings"}),
    encoder("FrameRateReduction", Kind::Flag, "0", 0, 0, "CheckBox65",
        {"显示帧率随捕获帧率而减少", "Display rate reduce with capture rate"}),
    encoder("PreRecord", Kind::Flag, "0", 0, 0, "CheckBox5",
        {"启动提前预录功能", "Pre-alarm recording"}),
    encoder(
        "PreRecTime", Kind::Number, "5", 1, 60, "SpinEdit2", {"预录时间长度", "Pre-alarm record"}),
    encoder("AutoRecord", Kind::Flag, "0", 0, 0, "AutoRunCheckBox",
        {"自动启动录像时间表", "Auto-execute record schedule"}),
    encoder("SecondPerFile", Kind::Number, "10", 1, kMaxMinutes, "SpinEdit1",
        {"录像文件长度", "File length"}),
    encoder("AllowATMRecord", Kind::Flag, "0", 0, 0, "ATMCheckBox", {"启动刷卡录像", "ATM record"}),
    encoder("ATMNo", Kind::Number, "%n", 1, 999, "SpinEdit7", {"柜员机编号", "ATM No"}),
    encoder("ATMSecondPerFile", Kind::Number, "1", 1, kMaxMinutes, "SpinEdit6",
        {"刷卡录像文件长度", "ATM file length"}),
    {F::TVCard, Scope::Channel, "RECORD TABLE", "#", Kind::DayLine, "0,", 1, 7, {}, kPage,
        "GroupBox13", {"录像时间表", "Record timetable"}},
};

// The server's stream presets by channel count, one per quality level (0 excellent, 1 good,
// 2 standard): the quality buttons read them; they are never written or uploaded.
constexpr Setting preset(
    const char *section, const char *key, const char *fallback, const char *control, Words caption)
{
    return {F::Profile, Scope::Fixed, section, key, Kind::Number, fallback, 0, 0, {}, kPage,
        control, caption};
}

constexpr StreamPresetGroup kPresetGroups[] = {
    {4, "4 Chn Options", {"4路最大编码码流", "4 chn max bitrate"},
        {"4路视频图像质量", "4 chn video quality"}},
    {8, "8 Chn Options", {"8路最大编码码流", "8 chn max bitrate"},
        {"8路视频图像质量", "8 chn video quality"}},
    {12, "12 Chn Options", {"12路最大编码码流", "12 chn max bitrate"},
        {"12路视频图像质量", "12 chn video quality"}},
    {16, "16 Chn Options", {"16路最大编码码流", "16 chn max bitrate"},
        {"16路视频图像质量", "16 chn video quality"}},
    {24, "24 Chn Options", {"24路最大编码码流", "24 chn max bitrate"},
        {"24路视频图像质量", "24 chn video quality"}},
};

// Each group's bit rate and quality, the keys numbered by level.
constexpr auto kPresets = [] {
    std::array<Setting, 2 * std::size(kPresetGroups)> rows {};
    for (size_t group = 0; group < std::size(kPresetGroups); ++group) {
        const StreamPresetGroup &presets = kPresetGroups[group];
        rows[2 * group]
            = preset(presets.section, "BitRate_#", "256", "MaxRateTrackBar", presets.bitRate);
        rows[2 * group + 1]
            = preset(presets.section, "Quality_#", "5", "QualityTrackBar", presets.quality);
    }
    return rows;
}();

} // namespace

Words dayCaption(int day)
{
    if (day < 1 || day > int(std::size(kDays)))
        return {"", ""};
    return kDays[day - 1];
}

Words dayTabCaption(int day)
{
    // The timetables' day tabs call Sunday by its other common name.
    constexpr int kSunday = 7;
    return day == kSunday ? Words {"星期天", "Sunday"} : dayCaption(day);
}

std::span<const Setting> streamPresetSettings()
{
    return kPresets;
}

std::span<const StreamPresetGroup> streamPresetGroups()
{
    return kPresetGroups;
}

std::span<const Setting> videoPageSettings()
{
    return kSettings;
}

} // namespace quillon::schema
