#include "editor/taborder.h"

#include <QApplication>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

#include <algorithm>

namespace quillon::editor {

namespace {

// A child of a container with the tab stops it holds, already in reading order.
struct Block
{
    QRect area;
    QList<QWidget *> stops;
};

// Neighbours whose rectangles overlap by this much are still read as one after the other: the
// captions and fields of a line are a pixel or two taller than the gap between lines.
constexpr int kOverlapAllowed = 3;

QList<QWidget *> stopsIn(const QWidget *container);

QList<QWidget *> stopsOf(QWidget *child)
{
    // A page control is its tab bar followed by its pages. It hands its focus to its tab bar,
    // and Tab would stop at it where it stands in the focus chain, leading back to its tab bar
    // out of turn: the tab bar alone is the stop. (Clearing the hand-over first, as a focus
    // policy would be passed on to the tab bar.)
    if (auto *pages = qobject_cast<QTabWidget *>(child)) {
        pages->setFocusProxy(nullptr);
        pages->setFocusPolicy(Qt::NoFocus);
        QList<QWidget *> stops = stopsOf(pages->tabBar());
        for (int page = 0; page < pages->count(); ++page)
            stops += stopsIn(pages->widget(page));
        return stops;
    }
    // A tab bar is one stop: its arrow keys move between its tabs.
    if (auto *tabs = qobject_cast<QTabBar *>(child)) {
        for (QToolButton *scroll :
            tabs->findChildren<QToolButton *>(QString(), Qt::FindDirectChildrenOnly))
            scroll->setFocusPolicy(Qt::NoFocus);
    }
    if (child->focusPolicy() & Qt::TabFocus)
        return {child};
    return stopsIn(child);
}

using Extent = std::pair<int, int>; // where a block starts and ends along one axis

Extent across(const QRect &area)
{
    return {area.left(), area.left() + area.width()};
}

Extent down(const QRect &area)
{
    return {area.top(), area.top() + area.height()};
}

// The blocks split wherever a line across them meets none, in order along the axis.
QList<QList<Block>> splitApart(QList<Block> blocks, Extent (*extent)(const QRect &))
{
    std::stable_sort(blocks.begin(), blocks.end(), [&](const Block &a, const Block &b) {
        return extent(a.area).first < extent(b.area).first;
    });
    QList<QList<Block>> parts;
    int reach = 0;
    for (const Block &block : blocks) {
        const auto [start, end] = extent(block.area);
        if (parts.isEmpty() || start >= reach - kOverlapAllowed)
            parts.append(QList<Block>());
        parts.last().append(block);
        reach = parts.last().size() == 1 ? end : std::max(reach, end);
    }
    return parts;
}

QList<Block> joined(const QList<QList<Block>> &parts)
{
    QList<Block> blocks;
    for (const QList<Block> &part : parts)
        blocks += part;
    return blocks;
}

QList<QWidget *> stopsOfBlocks(const QList<Block> &blocks)
{
    QList<QWidget *> stops;
    for (const Block &block : blocks)
        stops += block.stops;
    return stops;
}

// A line whose blocks stand side by side, none above another.
bool isSimpleLine(const QList<Block> &line)
{
    return splitApart(line, across).size() == line.size();
}

// When the blocks form simple lines, a grid of fields among them, they are read line by line.
// Otherwise blocks stand in columns (a group beside a list of boxes) and each column is read to
// its end before the next; without columns, the first line is read, then the rest. Blocks that
// overlap every way are read by their top-left corners.
QList<QWidget *> inReadingOrder(QList<Block> blocks)
{
    if (blocks.size() < 2)
        return stopsOfBlocks(blocks);
    const QList<QList<Block>> lines = splitApart(blocks, down);
    if (std::all_of(lines.begin(), lines.end(), isSimpleLine)) {
        QList<QWidget *> stops;
        for (const QList<Block> &line : lines)
            stops += stopsOfBlocks(joined(splitApart(line, across)));
        return stops;
    }
    const QList<QList<Block>> columns = splitApart(blocks, across);
    if (columns.size() > 1) {
        QList<QWidget *> stops;
        for (const QList<Block> &column : columns)
            stops += inReadingOrder(column);
        return stops;
    }
    if (lines.size() > 1) {
        blocks = joined(lines.sliced(1));
        return inReadingOrder(lines.first()) + inReadingOrder(blocks);
    }
    std::stable_sort(blocks.begin(), blocks.end(), [](const Block &a, const Block &b) {
        return std::pair(a.area.top(), a.area.left()) < std::pair(b.area.top(), b.area.left());
    });
    return stopsOfBlocks(blocks);
}

QList<QWidget *> stopsIn(const QWidget *container)
{
    QList<Block> blocks;
    for (QWidget *child :
        container->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
        if (child->isWindow())
            continue;
        QList<QWidget *> stops = stopsOf(child);
        if (!stops.isEmpty())
            blocks.append({child->geometry(), std::move(stops)});
    }
    return inReadingOrder(std::move(blocks));
}

// The next page the page control shows a tab for, in the direction of the step, round the end.
void turnPage(QWidget *window, int step)
{
    QTabWidget *pages = nullptr;
    for (QWidget *at = QApplication::focusWidget(); at && !pages && window->isAncestorOf(at);
         at = at->parentWidget())
        pages = qobject_cast<QTabWidget *>(at);
    if (!pages)
        return;
    const QTabBar *tabs = pages->tabBar();
    int page = pages->currentIndex();
    for (int tried = 1; tried < pages->count(); ++tried) {
        page = (page + step + pages->count()) % pages->count();
        if (tabs->isTabVisible(page) && tabs->isTabEnabled(page)) {
            pages->setCurrentIndex(page);
            return;
        }
    }
}

} // namespace

void turnPagesFromAnywhere(QWidget *window)
{
    auto *next = new QShortcut(QKeySequence::NextChild, window);
    QObject::connect(next, &QShortcut::activated, window, [window] { turnPage(window, 1); });
    auto *previous = new QShortcut(QKeySequence::PreviousChild, window);
    QObject::connect(previous, &QShortcut::activated, window, [window] { turnPage(window, -1); });
}

void followReadingOrder(QWidget *root)
{
    const QList<QWidget *> stops = stopsIn(root);
    for (qsizetype stop = 1; stop < stops.size(); ++stop)
        QWidget::setTabOrder(stops[stop - 1], stops[stop]);
}

} // namespace quillon::editor
