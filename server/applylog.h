#pragma once

#include <QString>

namespace quillon::dvrd {

// Appends one line "<UTC time> generation=<n> user=<name>" to the apply log and returns n: one
// more than the highest generation already in the log, 1 for a new log. -1 when the log
// cannot be written.
qint64 appendApply(const QString &logPath, const QString &user);

} // namespace quillon::dvrd
