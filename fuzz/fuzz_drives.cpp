// Random drive texts and random ticks: the rewritten text keeps its length and every character
// that is not a listed drive, and reads back with the ticks given.

#include "formats/systemsettings.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

using namespace quillon::formats;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    FuzzedDataProvider data(bytes, size);
    const std::string stored = data.ConsumeRandomLengthString(64);
    const QByteArray useState(stored.data(), qsizetype(stored.size()));
    std::vector<DriveRow> rows = drivesFromUseState(useState);
    for (const DriveRow &row : rows) {
        if (row.position < 1 || row.position > 26 || row.position > useState.size())
            std::abort();
    }
    if (useStateWithDrives(useState, rows) != useState)
        std::abort(); // unchanged ticks leave the text as it was
    for (DriveRow &row : rows)
        row.recording = data.ConsumeBool();
    const QByteArray written = useStateWithDrives(useState, rows);
    if (written.size() != useState.size())
        std::abort();
    const std::vector<DriveRow> reread = drivesFromUseState(written);
    if (reread.size() != rows.size())
        std::abort();
    for (size_t i = 0; i < rows.size(); ++i) {
        if (reread[i].position != rows[i].position || reread[i].recording != rows[i].recording)
            std::abort();
    }
    for (qsizetype at = 0; at < written.size(); ++at) {
        const bool listed = std::any_of(
            rows.begin(), rows.end(), [&](const DriveRow &row) { return row.position == at + 1; });
        if (!listed && written[at] != useState[at])
            std::abort();
    }
    return 0;
}
