#include "editor/tabsets.h"

#include <QEvent>
#include <QSignalBlocker>

#include <algorithm>

namespace quillon::editor {

ChannelTabBar::ChannelTabBar(QWidget *parent) : QTabBar(parent)
{
    setDrawBase(false);
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);
}

ChannelTabBar::SizeKey ChannelTabBar::sizeKey(int index) const
{
    const int place = count() == 1 ? 0 : index == 0 ? 1 : index == count() - 1 ? 2 : 3;
    return {place, tabText(index)};
}

namespace {

// The size kept for the key, asked of the style once.
template<typename Key, typename Hint>
QSize cachedSize(QHash<Key, QSize> &cache, const Key &key, Hint askStyle)
{
    auto found = cache.constFind(key);
    if (found == cache.cend())
        found = cache.insert(key, askStyle());
    return *found;
}

} // namespace

QSize ChannelTabBar::tabSizeHint(int index) const
{
    return cachedSize(m_sizes, sizeKey(index), [&] { return QTabBar::tabSizeHint(index); });
}

QSize ChannelTabBar::minimumTabSizeHint(int index) const
{
    return cachedSize(
        m_minimumSizes, sizeKey(index), [&] { return QTabBar::minimumTabSizeHint(index); });
}

void ChannelTabBar::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::StyleChange || event->type() == QEvent::FontChange) {
        m_sizes.clear();
        m_minimumSizes.clear();
    }
    QTabBar::changeEvent(event);
}

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
    // Hidden while filled, so that the bar is not repainted and resized at every insertion.
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
