#pragma once

#include "platform/atomicfile.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

namespace quillon::dvrd {

// One apply as the apply log records it: the generation it made current, when and by whom.
struct AppliedSet
{
    qint64 generation = 0; // 0: nothing applied yet
    QDateTime time; // UTC
    QByteArray user; // GBK bytes as the user logged in
};

// The apply with the highest generation in the log; generation 0 for a missing log. Nothing
// when the log exists but cannot be read.
std::optional<AppliedSet> lastApply(const QString &logPath);

// Adds the line "<UTC time> generation=<n> user=<name>" to the log, rewriting it whole and
// atomically, every write checked, so a full disk leaves the old log instead of a torn line.
// False when that did not work.
bool appendApply(const QString &logPath, const AppliedSet &apply,
    platform::Durability durability = platform::Durability::Synced);

} // namespace quillon::dvrd
