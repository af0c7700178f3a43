#include "schema/schema.h"

namespace quillon::schema {

namespace {

using F = settings::SettingsFile;
constexpr const char *kPage = "TabSheet3";
constexpr const char *kSensor = kSensorSection;
constexpr const char *kCard = "AlarmCard Options";
constexpr const char *kSensorOptions = "Sensor Options";

constexpr Choice kSensorTypes[] = {
    {1, {"断开报警", "N.O. alarm"}},
    {0, {"闭合报警", "N.C. alarm"}},
};
constexpr Choice kOutputs[] = {
    {1, {"闭合输出", "High-voltage output"}},
    {0, {"断开输出", "Low-voltage output"}},
    {-1, {"无输出", "No output"}},
};

constexpr Setting kSettings[] = {
    {F::SensorSet, Scope::Sensor, kSensor, "StartupDetect", Kind::Flag, "1", 0, 0, {}, kPage,
        "CheckBox11", {"布防", "Start this alarm sensor"}},
    {F::SensorSet, Scope::Sensor, kSensor, "LinkChn", Kind::LinkText, "", 0, 0, {}, kPage,
        "LinkChnListView", {"联动通道", "Connect channel"}},
    {F::SensorSet, Scope::Sensor, kSensor, "SensorType", Kind::Choice, "0", 0, 0, kSensorTypes,
        kPage, "RadioButton3", {"报警类型", "Alarm type"}},
    {F::SensorSet, Scope::Sensor, kSensor, "StartupRec", Kind::Flag, "1", 0, 0, {}, kPage,
        "CheckBox8", {"启动录像", "Start recording"}},
    {F::SensorSet, Scope::Sensor, kSensor, "OutputType", Kind::Choice, "1", 0, 0, kOutputs, kPage,
        "CheckBox9", {"联动输出", "Alarm output"}},
    {F::SensorSet, Scope::Sensor, kSensor, "OutputTime", Kind::Number, "10", 1, 999, {}, kPage,
        "SpinEdit5", {"联动输出时间", "Output time"}},
    {F::SensorSet, Scope::Sensor, "SENSOR DETECT TABLE", "#", Kind::DayLine, "0,", 1, 7, {}, kPage,
        "GroupBox6", {"布防设置", "Schedule setup"}},
    {F::AlarmCard, Scope::Fixed, kCard, "AlarmIn", Kind::Number, "8", 4, 32, {}, kPage, "SpinEdit9",
        {"所有通道", "Total chn"}},
    {F::AlarmCard, Scope::Fixed, kCard, "BaseAlarmIn", Kind::Number, "8", 4, 16, {}, kPage,
        "SpinEdit8", {"单个通道", "Base chn"}},
    {F::AlarmCard, Scope::Fixed, "Equipments", "Count", Kind::Number, "4", 0, 0, {}, kPage,
        "ComboBox3", {"设备类型数", "Equipment types"}},
    {F::AlarmCard, Scope::Fixed, "Equipment Name", "#", Kind::Text, "", 0, 0, {}, kPage,
        "ComboBox3", {"设备类型名称", "Equipment type name"}},
    // The alarm device's keys live in the system options; the index 0 of the type is none.
    {F::SysSet, Scope::Fixed, kSensorOptions, "BaseType", Kind::Choice, "0", 0, 0, {}, kPage,
        "ComboBox3", {"设备类型", "Equipment type"}},
    {F::SysSet, Scope::Fixed, kSensorOptions, "BaseAddr", Kind::Choice, "1", 0, 0,
        kSerialPortChoices, kPage, "AlarmComboBox", {"通讯端口", "Communication port"}},
};

} // namespace

std::span<const Setting> sensorPageSettings()
{
    return kSettings;
}

} // namespace quillon::schema
