#include "formats/profileaccess.h"

namespace quillon::formats {

qint32 readNumber(const settings::ProfileFile &file, const schema::Setting &setting, int index)
{
    const qint32 fallback = settings::parseProfileInteger(setting.fallbackFor(index)).value_or(0);
    return file.readInt(setting.sectionFor(index), setting.key, fallback);
}

std::optional<qint32> readStoredNumber(
    const settings::ProfileFile &file, const schema::Setting &setting, int index)
{
    return settings::parseProfileInteger(file.readText(setting.sectionFor(index), setting.key));
}

bool readFlag(const settings::ProfileFile &file, const schema::Setting &setting, int index)
{
    return readNumber(file, setting, index) != 0;
}

QByteArray readText(const settings::ProfileFile &file, const schema::Setting &setting, int index)
{
    return file.readText(setting.sectionFor(index), setting.key, setting.fallbackFor(index));
}

bool writeNumber(
    const settings::ProfileFile &file, const schema::Setting &setting, qint32 value, int index)
{
    return file.writeInt(setting.sectionFor(index), setting.key, value);
}

bool writeFlag(
    const settings::ProfileFile &file, const schema::Setting &setting, bool value, int index)
{
    return file.writeFlag(setting.sectionFor(index), setting.key, value);
}

bool writeText(const settings::ProfileFile &file, const schema::Setting &setting,
    QByteArrayView value, int index)
{
    return file.writeText(setting.sectionFor(index), setting.key, value);
}

} // namespace quillon::formats
