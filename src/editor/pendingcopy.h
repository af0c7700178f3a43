#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class QWidget;

namespace quillon::editor {

// A copy of a page's shown values to other channels or sensors, remembered until the page's
// next save writes it. The video, motion and sensor pages share this one flow.
struct PendingCopy
{
    bool pending = false;
    std::vector<std::uint8_t> targets; // one flag per channel or sensor

    bool isTarget(int index) const
    {
        return index >= 0 && index < int(targets.size()) && targets[size_t(index)] != 0;
    }

    // A copy from the shown index to the ticked ones; the shown index is always a target.
    void start(std::vector<std::uint8_t> ticked, int shown);

    // The page switches to another index. True when a pending copy targets it: the shown values
    // stay, since the copy writes them there anyway. Otherwise the shown values are about to be
    // replaced by the index's own, so a pending copy ends here, and the operator is told so.
    bool keepsShownValuesAt(int index, QWidget *owner);

    // The indexes a save writes: every target of a pending copy, else the current index alone.
    std::vector<int> saveTargets(int current) const;
    // The save that wrote the copy reached the files: the copy is done. A save that failed
    // keeps it, so that the next Apply writes the targets again.
    void finish() { pending = false; }
};

} // namespace quillon::editor
