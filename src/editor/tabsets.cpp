#include "editor/tabsets.h"

#include <QSignalBlocker>
#include <QTabBar>

#include <algorithm>

namespace quillon::editor {

QString channelTabLabel(int index)
{
    const int number = index + 1;
    return number < 10 ? QStringLiteral(" %1").arg(number) : QString::number(number);
}

int tabSetWidth(int tabCount)
{
    if (tabCount < 10)
        return 21 * tabCount + 7;
    return std::min(25 * tabCount - 29, 688);
}

void fillChannelTabs(QTabBar *tabs, int count)
{
    const QSignalBlocker blocker(tabs);
    while (tabs->count() > 0)
        tabs->removeTab(tabs->count() - 1);
    if (count <= 0) {
        tabs->setFixedWidth(0);
        tabs->setCurrentIndex(-1);
        return;
    }
    // Narrow tabs, so that a row of channel numbers fits the width the rule gives.
    tabs->setStyleSheet(QStringLiteral(
        "QTabBar::tab { min-width: 12px; padding: 2px 3px; border: 1px solid #9a9a9a;"
        " border-bottom: none; background: #e4e4e4; }"
        "QTabBar::tab:selected { background: #ffffff; }"));
    for (int i = 0; i < count; ++i)
        tabs->addTab(channelTabLabel(i));
    tabs->setFixedWidth(tabSetWidth(count));
    tabs->setCurrentIndex(0);
}

} // namespace quillon::editor
