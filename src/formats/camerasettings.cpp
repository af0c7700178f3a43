#include "formats/camerasettings.h"

#include "formats/language.h"
#include "formats/profileaccess.h"
#include "formats/serialports.h"
#include "settings/profilestore.h"

namespace quillon::formats {

namespace {

constexpr char kCameraCtrl[] = "Camera Ctrl";

QByteArray encoderSection(int channel)
{
    return schema::indexedSection(schema::kEncoderSection, channel);
}

} // namespace

CameraRecord readCameraRecord(const settings::ProfileFile &file, int channel)
{
    CameraRecord record;
    const auto setting = [](const char *key) -> const schema::Setting & {
        return schema::setting(settings::SettingsFile::CameraSet, schema::kEncoderSection, key);
    };
    record.decoderAddress = formats::readNumber(file, setting("CamNo"), channel);
    record.cameraType = formats::readNumber(file, setting("CamType"), channel);
    record.protocol = formats::readNumber(file, setting("Protocol"), channel);
    record.baudRate = formats::readNumber(file, setting("Baudrate"), channel);
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
    for (const auto &choices :
        {schema::cameraTypeChoices(), schema::protocolChoices(), schema::baudRateChoices()}) {
        for (const schema::Choice &choice : choices)
            m_texts[next++] = pick(choice.words.chinese, choice.words.english);
    }
}

QString CameraNameTable::cameraType(int index) const
{
    return at(0, kCameraTypes, index);
}

QString CameraNameTable::protocol(int index) const
{
    return at(kCameraTypes, kProtocols, index);
}

QString CameraNameTable::baudRate(int index) const
{
    return at(kCameraTypes + kProtocols, kBaudRates, index);
}

QString CameraNameTable::at(int offset, int count, int index) const
{
    return index >= 0 && index < count ? m_texts[size_t(offset + index)] : QString();
}

} // namespace quillon::formats
