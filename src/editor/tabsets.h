#pragma once

#include <QString>

class QTabBar;

namespace quillon::editor {

// Channel and sensor tabs are numbered from 1: " 1" ... " 9" (a blank before one digit), "10" ...
QString channelTabLabel(int index);
// 21 * n + 7 pixels below ten tabs, else 25 * n - 29, at most 688.
int tabSetWidth(int tabCount);
// Replaces the tabs with one per channel (or sensor), sized by the width rule, tab 0 selected;
// no tab, width 0 and no selection for a count of 0 or less. Emits no change signal. Takes time
// linear in the count.
void fillChannelTabs(QTabBar *tabs, int count);

} // namespace quillon::editor
