#pragma once

#include <QString>

#include <array>

namespace quillon::settings {
class ProfileFile;
}

namespace quillon::formats {

constexpr int kCameraTypes = 3;
constexpr int kProtocols = 17;
constexpr int kBaudRates = 5;
constexpr int kMinDecoderAddress = 1;
constexpr int kMaxDecoderAddress = 127;

// One channel's pan-tilt-zoom settings, as stored: indexes into the three lists below. A
// stored index outside its list is kept as it is.
struct CameraRecord
{
    int decoderAddress = 1; // CamNo
    int cameraType = 0; // CamType
    int protocol = 0; // Protocol
    int baudRate = 3; // Baudrate (9600)
};

// A channel's section; a missing decoder address is the channel number (channel from 0).
CameraRecord readCameraRecord(const settings::ProfileFile &file, int channel);
void writeCameraRecord(const settings::ProfileFile &file, int channel, const CameraRecord &record);

// The control port as its 0-based number; a stored value outside COM1..COM10 gives COM1.
int readControlPort(const settings::ProfileFile &file);
void writeControlPort(const settings::ProfileFile &file, int port);

// The display texts of camera types, protocols and baud rates in the current language, held
// as one table: the types, then the protocols, then the baud rates. An index outside its list
// has no text.
class CameraNameTable
{
public:
    // Fills the table in the current language.
    void fill();
    QString cameraType(int index) const;
    QString protocol(int index) const;
    QString baudRate(int index) const;

private:
    QString at(int offset, int count, int index) const;

    std::array<QString, kCameraTypes + kProtocols + kBaudRates> m_texts;
};

} // namespace quillon::formats
