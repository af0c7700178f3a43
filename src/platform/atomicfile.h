#pragma once

#include <QByteArrayView>
#include <QString>

#include <optional>
#include <sys/types.h>

namespace quillon::platform {

// How far a replaced file must have gone before the write counts as done.
enum class Durability {
    // Every byte reached the file system (a full disk or a size limit fails the write), then the
    // rename: enough for copies that are fetched again whenever they are needed.
    Written,
    // Also the file's data and the folder's entry flushed to the disk: what a crash or a power
    // cut must not take back once the write has been reported done.
    Synced,
};

// Replaces the file at path with bytes, or leaves it as it was and says why. The bytes go to a
// temporary file beside it, each write checked (a buffered writer can report success after a
// full disk and leave an empty file), which is then renamed over path. The new file takes mode,
// or the old file's permissions, or 0600 for a file that did not exist. With Durability::Synced
// a failure to flush the folder after the rename is reported too, though the new file is then in
// place.
std::optional<QString> writeFileAtomically(const QString &path, QByteArrayView bytes,
    Durability durability, std::optional<mode_t> mode = std::nullopt);

// Makes the entries of a folder (renames, links, removals) durable; false when it cannot.
bool syncFolder(const QString &folder);
// Flushes a file's data to the disk; false when it cannot.
bool syncFile(const QString &path);

} // namespace quillon::platform
