#pragma once

#include "schema/schema.h"
#include "settings/profilestore.h"

#include <optional>

namespace quillon::formats {

// Reads and writes a setting of the schema in a settings file, with the schema's section, key
// and default; index is the channel or sensor (ignored for a fixed section).
qint32 readNumber(
    const settings::ProfileFile &file, const schema::Setting &setting, int index = -1);
// The number the file holds for a setting; nothing when the key is missing or not a number.
std::optional<qint32> readStoredNumber(
    const settings::ProfileFile &file, const schema::Setting &setting, int index = -1);
bool readFlag(const settings::ProfileFile &file, const schema::Setting &setting, int index = -1);
QByteArray readText(
    const settings::ProfileFile &file, const schema::Setting &setting, int index = -1);
bool writeNumber(const settings::ProfileFile &file, const schema::Setting &setting, qint32 value,
    int index = -1);
bool writeFlag(
    const settings::ProfileFile &file, const schema::Setting &setting, bool value, int index = -1);
bool writeText(const settings::ProfileFile &file, const schema::Setting &setting,
    QByteArrayView value, int index = -1);

} // namespace quillon::formats
