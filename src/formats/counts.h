#pragma once

#include <QtGlobal>

#include <algorithm>

namespace quillon::formats {

// The largest channel and sensor counts the window shows. A real server has at most a few
// hundred of either; a stored count outside 0 to these bounds is damage and is shown clamped
// (the stored value itself is never written).
constexpr int kMaxChannels = 256;
constexpr int kMaxSensors = 256;

inline int boundedCount(qint32 stored, int bound)
{
    return std::clamp<qint32>(stored, 0, bound);
}

} // namespace quillon::formats
