#include "schema/schema.h"

namespace quillon::schema {

namespace {

using F = settings::SettingsFile;
constexpr const char *kPage = "TabSheet7";

// A detector value or switch of a channel, in the channel's section of the motion settings.
constexpr Setting detector(const char *key, Kind kind, const char *fallback, int minimum,
    int maximum, const char *control, Words caption)
{
    return {F::AlarmSet, Scope::Channel, kEncoderSection, key, kind, fallback, minimum, maximum, {},
        kPage, control, caption};
}

constexpr Setting kSettings[] = {
    detector("AlarmY", Kind::Number, "2", 0, 12, "TrackBar1",
        {"高速运动检测帧间隔", "High speed detection interval"}),
    detector("AlarmUV", Kind::Number, "0", 0, 12, "TrackBar2",
        {"低速运动检测帧间隔", "Low speed detection interval"}),
    detector("AlarmSense", Kind::Number, "20", 0, 49, "TrackBar3",
        {"检测灵敏度", "Detection sensitivity"}),
    detector("ShowGrid", Kind::Flag, "0", 0, 0, "CheckBox4",
        {"移动报警区域发生变化时显示网格", "Display mesh when the arming area change"}),
    detector("AutoAlarmRecord", Kind::Flag, "0", 0, 0, "CheckBox6",
        {"自动启动报警录像时间表", "Auto-execute alarm schedule"}),
    {F::AlarmSet, Scope::Channel, kMotionAreaSection, "#", Kind::AreaRow, "00000000000", 1, 10, {},
        kPage, "AlarmPanel", {"报警区域行", "Motion area row"}},
    {F::AlarmSet, Scope::Channel, "ALARM RECORD TABLE", "#", Kind::DayLine, "0,", 1, 7, {}, kPage,
        "GroupBox8", {"布防设置", "Schedule setup"}},
};

} // namespace

std::span<const Setting> motionPageSettings()
{
    return kSettings;
}

} // namespace quillon::schema
