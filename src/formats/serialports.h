#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace quillon::formats {

// Serial ports are offered as "COM1" to "COM10" and stored as their 0-based number.
constexpr int kSerialPorts = 10;

QStringList serialPortNames();
QString serialPortName(int number);
// The 0-based number of a port text ("com3" gives 2); nothing for any other text.
std::optional<int> serialPortNumber(const QString &text);
// The stored form of a port text: its number, or 0 for a text that names no port.
int storedSerialPort(const QString &text);

} // namespace quillon::formats
