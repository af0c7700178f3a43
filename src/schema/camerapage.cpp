#include "schema/schema.h"

namespace quillon::schema {

namespace {

using F = settings::SettingsFile;
constexpr const char *kPage = "TabSheet8";
constexpr const char *kEncoder = kEncoderSection;

constexpr Choice kCameraTypes[] = {
    {0, {"固定摄像机", "Fixed camera"}},
    {1, {"室内摄像机", "Indoor camera"}},
    {2, {"室外摄像机", "Outdoor camera"}},
};

constexpr Choice kProtocols[] = {
    {0, {"华光HN-4200系列", "HN-4200 series"}},
    {1, {"KRE-302系列", "KRE-302 series"}},
    {2, {"艾立克53X9系列", "Alec 53X9 series"}},
    {3, {"PELCO-P-1协议", "PELCO-P-1 protocol"}},
    {4, {"PELCO-D-1协议", "PELCO-D-1 protocol"}},
    {5, {"AB80系列", "AB80 series"}},
    {6, {"Panasonic WJ-SX550A协议", "Panasonic WJ-SX550A protocol"}},
    {7, {"PELCO矩阵协议", "PELCO matrix protocol"}},
    {8, {"I-NODE协议", "I-NODE protocol"}},
    {9, {"Philips协议", "Philips protocol"}},
    {10, {"Samsung协议", "Samsung protocol"}},
    {11, {"YAAN协议", "YAAN protocol"}},
    {12, {"银信协议", "YINXIN protocol"}},
    {13, {"PELCO-P-2协议", "PELCO-P-2 protocol"}},
    {14, {"PELCO-P-3协议", "PELCO-P-3 protocol"}},
    {15, {"PELCO-D-2协议", "PELCO-D-2 protocol"}},
    {16, {"PELCO-D-3协议", "PELCO-D-3 protocol"}},
};

constexpr Choice kBaudRates[] = {
    {0, {"1200", "1200"}},
    {1, {"2400", "2400"}},
    {2, {"4800", "4800"}},
    {3, {"9600", "9600"}},
    {4, {"19200", "19200"}},
};

constexpr Setting kSettings[] = {
    {F::CameraSet, Scope::Fixed, "Camera Ctrl", "CtrlPort", Kind::Choice, "0", 0, 0,
        kSerialPortChoices, kPage, "PTZComboBox", {"控制端口", "Control port"}},
    {F::CameraSet, Scope::Channel, kEncoder, "CamNo", Kind::Number, "%n", 1, 127, {}, kPage,
        "ListView2", {"解码器地址", "Decoder address"}},
    {F::CameraSet, Scope::Channel, kEncoder, "CamType", Kind::Choice, "0", 0, 0, kCameraTypes,
        kPage, "ListView2", {"摄像机类型", "Camera type"}},
    {F::CameraSet, Scope::Channel, kEncoder, "Protocol", Kind::Choice, "0", 0, 0, kProtocols, kPage,
        "ListView2", {"控制协议", "Control protocol"}},
    {F::CameraSet, Scope::Channel, kEncoder, "Baudrate", Kind::Choice, "3", 0, 0, kBaudRates, kPage,
        "ListView2", {"波特率", "Baudrate"}},
};

} // namespace

std::span<const Choice> cameraTypeChoices()
{
    return kCameraTypes;
}

std::span<const Choice> protocolChoices()
{
    return kProtocols;
}

std::span<const Choice> baudRateChoices()
{
    return kBaudRates;
}

std::span<const Setting> cameraPageSettings()
{
    return kSettings;
}

} // namespace quillon::schema
