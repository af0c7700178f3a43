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
    constexpr int kWidest = 688;
    if (tabCount < 10)
        return 21 * tabCount + 7;
    return int(std::min<qint64>(25 * qint64(tabCount) - 29, kWidest));
}

void fillChannelTabs(QTabBar *tabs, int count)
{
    const QSignalBlocker blocker(tabs);
    // A shown tab bar lays out all its tabs at every insertion or removal; hidden, it lays them
    // out once, when shown again.
    const bool wasHidden = tabs->isHidden();
    tabs->hide();
    while (tabs->count() > 0)
        tabs->removeTab(tabs->count() - 1);
    if (count <= 0) {
        tabs->setFixedWidth(0);
        tabs->setCurrentIndex(-1);
        tabs->setVisible(!wasHidden);
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
    tabs->setVisible(!wasHidden);
}

} // namespace quillon::editor
