#include "schema/schema.h"

namespace quillon::schema {

namespace {

using F = settings::SettingsFile;
constexpr const char *kPage = "TabSheet1";

constexpr Choice kOutputTypes[] = {
    {0, {"断开输出", "Low-voltage output"}},
    {1, {"闭合输出", "High-voltage output"}},
};

// Texts of the user file records hold 31 bytes; so do the automatic login's.
constexpr int kAccountTextBytes = 31;
constexpr int kMaxSeconds = 999;

constexpr Setting kSettings[] = {
    {F::SysSet, Scope::Fixed, "Record Options", "VideoFilesPath", Kind::Text, "\\VideoFiles", 0, 0,
        {}, kPage, "VideoFilesPathEdit", {"录像文件目录", "Rec files path"}},
    {F::SysSet, Scope::Fixed, "Photo Options", "SavePhotoPath", Kind::Text, "D:\\KXPhoto", 0, 0, {},
        kPage, "PhotoPathEdit", {"抓拍图片目录", "Photo path"}},
    {F::SysSet, Scope::Fixed, "Http Options", "WebSitePath", Kind::Text, "", 0, 0, {}, kPage,
        "WebPathEdit", {"Web 站点主目录", "Website path"}},
    {F::SysSet, Scope::Fixed, "Http Options", "WebSiteIP", Kind::Text, "", 0, 0, {}, kPage,
        "WebIPEdit", {"Web 站点IP地址", "Web IP"}},
    {F::SysSet, Scope::Fixed, "Record Options", "DeleteFirstFile", Kind::Flag, "1", 0, 0, {}, kPage,
        "DelFirstRadioBtn", {"删除最旧的录像文件", "Overwrite oldest Rec."}},
    {F::SysSet, Scope::Fixed, "Login Options", "AutoLogin", Kind::Flag, "0", 0, 0, {}, kPage,
        "AutoLoginChkBox", {"自动登录系统", "Auto login system"}},
    {F::SysSet, Scope::Fixed, "Login Options", "AutoUserName", Kind::Text, "", 0, kAccountTextBytes,
        {}, kPage, "AutoLoginUserEdit", {"自动登录用户名", "Auto login user name"}},
    {F::SysSet, Scope::Fixed, "Login Options", "AutoUserPwd", Kind::Password, "", 0,
        kAccountTextBytes, {}, kPage, "AutoLoginPwdEdit", {"自动登录密码", "Auto login password"}},
    {F::SysSet, Scope::Fixed, "Alarm Options", "VideoLostBeep", Kind::Flag, "0", 0, 0, {}, kPage,
        "CheckBox2", {"视频信号丢失时允许蜂鸣器报警", "Send sound signal when video signal lost"}},
    {F::SysSet, Scope::Fixed, "Alarm Options", "AlarmBeep", Kind::Flag, "0", 0, 0, {}, kPage,
        "CheckBoxBeep", {"报警发生时允许蜂鸣器报警", "Send sound signal when alarm triggered"}},
    {F::SysSet, Scope::Fixed, "Alarm Options", "DisplayAlarmVideo", Kind::Flag, "0", 0, 0, {},
        kPage, "CheckBox7",
        {"报警触发时切换报警画面", "Switch to alarm window when alarm triggered"}},
    {F::SysSet, Scope::Fixed, "Alarm Options", "ChangeAlarmVideo", Kind::Flag, "0", 0, 0, {}, kPage,
        "chkAlarmRotate",
        {"多路报警时切换报警画面", "Rotate display windows when alarms triggered"}},
    {F::SysSet, Scope::Fixed, "Alarm Options", "ChangeAlarmTime", Kind::Number, "3", 1, kMaxSeconds,
        {}, kPage, "seRotateTime", {"切换时间", "Rotation duration"}},
    {F::SysSet, Scope::Fixed, "Alarm Options", "BackRecTime", Kind::Number, "10", 1, kMaxSeconds,
        {}, kPage, "SpinEdit3", {"报警联动录像时间", "Alarm triggered rec time"}},
    {F::SysSet, Scope::Fixed, "Alarm Options", "OutTime", Kind::Number, "10", 1, kMaxSeconds, {},
        kPage, "seAlarmOutPutTime", {"报警联动输出时间", "Alarm OutPut duration"}},
    {F::SysSet, Scope::Fixed, "Alarm Options", "OutType", Kind::Choice, "1", 0, 0, kOutputTypes,
        kPage, "cbbOutPortType", {"输出类型", "OutPut type"}},
    {F::SysSet, Scope::Fixed, "Display Options", "AutoSwitch", Kind::Flag, "0", 0, 0, {}, kPage,
        "AutoSwitchCheckBox", {"自动视频切换", "Video auto switch"}},
    {F::SysSet, Scope::Fixed, "Display Options", "SwitchTime", Kind::Number, "5", 3, kMaxSeconds,
        {}, kPage, "SwitchTimeSpinEdit", {"视频切换时间", "Swicth time"}},
    {F::SysSet, Scope::Fixed, "System Options", "AutoChgState", Kind::Flag, "0", 0, 0, {}, kPage,
        "AutoChgStateChkBox", {"允许自动状态转换", "Allow auto change state"}},
    {F::SysSet, Scope::Fixed, "System Options", "ChgStateTime", Kind::Number, "5", 1, 60, {}, kPage,
        "ChgStateSpinEdit", {"自动锁定时间（分钟）", "Auto lock after (minutes)"}},
    {F::SysSet, Scope::Fixed, "System Options", "UserQuery", Kind::Flag, "0", 0, 0, {}, kPage,
        "chkExitQuery", {"系统退出时提示用户校验", "Ask User when sytem exit"}},
    {F::SysSet, Scope::Fixed, "Drive Options", "UseState", Kind::Text, "", 0, 0, {}, kPage,
        "DriveListView", {"录像文件存储磁盘", "Record disk"}},
    // The server's channel and sensor counts: no control shows them, every page uses them.
    {F::SysSet, Scope::Fixed, "System Options", "MaxRecCount", Kind::Number, "1", 0, 256, {}, kPage,
        "", {"视频通道数", "Video channels"}},
    {F::SysSet, Scope::Fixed, "Sensor Options", "AlarmDevChn", Kind::Number, "8", 0, 256, {}, kPage,
        "", {"报警探头数", "Alarm sensors"}},
};

} // namespace

std::span<const Setting> systemPageSettings()
{
    return kSettings;
}

} // namespace quillon::schema
