#pragma once

#include <QHash>
#include <QSize>
#include <QString>
#include <QTabBar>

#include <utility>

namespace quillon::editor {

// The channel and sensor tab sets. A tab bar lays out every tab at each insertion, asking each
// tab's size of the style; these sizes depend only on the label and on whether the tab is
// first, last or both, so they are kept, which makes a fill of n tabs cost n style queries
// instead of n * n. The tabs are drawn in bold without a base line.
class ChannelTabBar : public QTabBar
{
public:
    explicit ChannelTabBar(QWidget *parent = nullptr);

protected:
    QSize tabSizeHint(int index) const override;
    QSize minimumTabSizeHint(int index) const override;
    void changeEvent(QEvent *event) override;

private:
    // The tab's place (only, first, middle or last) and its label.
    using SizeKey = std::pair<int, QString>;
    SizeKey sizeKey(int index) const;

    mutable QHash<SizeKey, QSize> m_sizes;
    mutable QHash<SizeKey, QSize> m_minimumSizes;
};

// Channel and sensor tabs are numbered from 1: " 1" ... " 9" (a blank before one digit), "10" ...
QString channelTabLabel(int index);
// 21 * n + 7 pixels below ten tabs, else 25 * n - 29, at most 688.
int tabSetWidth(int tabCount);
// Replaces the tabs with one per channel (or sensor), sized by the width rule, tab 0 selected;
// no tab, width 0 and no selection for a count of 0 or less. Emits no change signal. Takes time
// linear in the count.
void fillChannelTabs(QTabBar *tabs, int count);

} // namespace quillon::editor
