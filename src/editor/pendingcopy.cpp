#include "editor/pendingcopy.h"

#include "editor/messages.h"

namespace quillon::editor {

void PendingCopy::start(std::vector<std::uint8_t> ticked, int shown)
{
    targets = std::move(ticked);
    if (shown >= 0 && shown < int(targets.size()))
        targets[size_t(shown)] = 1;
    pending = true;
}

bool PendingCopy::keepsShownValuesAt(int index, QWidget *owner)
{
    if (!pending)
        return false;
    if (isTarget(index))
        return true;
    pending = false;
    showNotice(owner, "切换通道（探头）取消了尚未应用的“复制到...”，没有复制任何设置。",
        "Switching to another channel (sensor) cancelled the pending \"Copy to ...\"; "
        "nothing was copied.");
    return false;
}

std::vector<int> PendingCopy::saveTargets(int current) const
{
    if (!pending)
        return {current};
    std::vector<int> indexes;
    for (int index = 0; index < int(targets.size()); ++index) {
        if (targets[size_t(index)] != 0)
            indexes.push_back(index);
    }
    return indexes;
}

} // namespace quillon::editor
