#include "formats/serialports.h"

namespace quillon::formats {

QStringList serialPortNames()
{
    QStringList names;
    for (int number = 0; number < kSerialPorts; ++number)
        names << serialPortName(number);
    return names;
}

QString serialPortName(int number)
{
    return QStringLiteral("COM%1").arg(number + 1);
}

std::optional<int> serialPortNumber(const QString &text)
{
    const QString upper = text.toUpper();
    for (int number = 0; number < kSerialPorts; ++number) {
        if (upper == serialPortName(number))
            return number;
    }
    return std::nullopt;
}

int storedSerialPort(const QString &text)
{
    return serialPortNumber(text).value_or(0);
}

} // namespace quillon::formats
