// Random user file images: decoding never reads past a record, names and passwords never
// exceed 31 bytes, and whole files encode back byte for byte.

#include "settings/userrecords.h"

#include <cstdlib>

using namespace quillon::settings;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    const QByteArray image(reinterpret_cast<const char *>(bytes), qsizetype(size));
    const UserRecords records = decodeUsers(image);
    if (size % UserRecord::kSize != 0) {
        if (!records.empty())
            std::abort();
        return 0;
    }
    if (records.size() * UserRecord::kSize != size || encodeUsers(records) != image)
        std::abort();
    for (const UserRecord &record : records) {
        if (record.name().size() > UserRecord::kMaxTextBytes
            || record.password().size() > UserRecord::kMaxTextBytes || record.name().contains('\0'))
            std::abort();
        UserRecord copy = record;
        if (!copy.setName(record.name()) || copy.name() != record.name())
            std::abort();
    }
    if (!records.empty() && findUserByName(records, records.back().name()) < 0)
        std::abort();
    return 0;
}
