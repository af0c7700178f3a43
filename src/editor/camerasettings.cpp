#include "editor/camerasettings.h"

#include "editor/language.h"
#include "editor/serialports.h"
#include "settings/profilestore.h"

namespace quillon::editor {

namespace {

constexpr char kCameraCtrl[] = "Camera Ctrl";

struct Name
{
    const char *chinese;
    const char *english;
};

constexpr Name kCameraTypeNames[kCameraTypes] = {
    {"固定摄像机", "Fixed camera"},
    {"室内摄像机", "Indoor camera"},
    {"室外摄像机", "Outdoor camera"},
};

constexpr Name kProtocolNames[kProtocols] = {
    {"华光HN-4200系列", "HN-4200 series"},
    {"KRE-302系列", "KRE-302 series"},
    {"艾立克53X9系列", "Alec 53X9 series"},
    {"PELCO-P-1协议", "PELCO-P-1 protocol"},
    {"PELCO-D-1协议", "PELCO-D-1 protocol"},
    {"AB80系列", "AB80 series"},
    {"Panasonic WJ-SX550A协议", "Panasonic WJ-SX550A protocol"},
    {"PELCO矩阵协议", "PELCO matrix protocol"},
    {"I-NODE协议", "I-NODE protocol"},
    {"Philips协议", "Philips protocol"},
    {"Samsung协议", "Samsung protocol"},
    {"YAAN协议", "YAAN protocol"},
    {"银信协议", "YINXIN protocol"},
    {"PELCO-P-2协议", "PELCO-P-2 protocol"},
    {"PELCO-P-3协议", "PELCO-P-3 protocol"},
    {"PELCO-D-2协议", "PELCO-D-2 protocol"},
    {"PELCO-D-3协议", "PELCO-D-3 protocol"},
};

constexpr const char *kBaudRateNames[kBaudRates] = {"1200", "2400", "4800", "9600", "19200"};

QByteArray encoderSection(int channel) { return "ENCODER" + QByteArray::number(channel); }

} // namespace

CameraRecord readCameraRecord(const settings::ProfileFile &file, int channel)
{
    const QByteArray section = encoderSection(channel);
    CameraRecord record;
    record.decoderAddress = file.readInt(section, "CamNo", channel + 1);
    record.cameraType = file.readInt(section, "CamType", 0);
    record.protocol = file.readInt(section, "Protocol", 0);
    record.baudRate = file.readInt(section, "Baudrate", 3);
    return record;
}

void writeCameraRecord(const settings::ProfileFile &file, int channel, const CameraRecord &record)
{
    const QByteArray section = encoderSection(channel);
    file.writeInt(section, "CamNo", record.decoderAddress);
    file.writeInt(section, "CamType", record.cameraType);
    file.writeInt(section, "Protocol", record.protocol);
    file.writeInt(section, "Baudrate", record.baudRate);
}

int readControlPort(const settings::ProfileFile &file)
{
    const int port = file.readInt(kCameraCtrl, "CtrlPort", 0);
    return port >= 0 && port < kSerialPorts ? port : 0;
}

void writeControlPort(const settings::ProfileFile &file, int port)
{
    file.writeInt(kCameraCtrl, "CtrlPort", port);
}

void CameraNameTable::fill()
{
    size_t next = 0;
    for (const Name &name : kCameraTypeNames)
        m_texts[next++] = pick(name.chinese, name.english);
    for (const Name &name : kProtocolNames)
        m_texts[next++] = pick(name.chinese, name.english);
    for (const char *rate : kBaudRateNames)
        m_texts[next++] = QLatin1String(rate);
}

QString CameraNameTable::cameraType(int index) const { return at(0, kCameraTypes, index); }

QString CameraNameTable::protocol(int index) const { return at(kCameraTypes, kProtocols, index); }

QString CameraNameTable::baudRate(int index) const
{
    return at(kCameraTypes + kProtocols, kBaudRates, index);
}

QString CameraNameTable::at(int offset, int count, int index) const
{
    return index >= 0 && index < count ? m_texts[size_t(offset + index)] : QString();
}

} // namespace quillon::editor
