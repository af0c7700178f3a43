#include "editor/motiongrid.h"

#include "editor/devicepixels.h"
#include "formats/language.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <map>

namespace quillon::editor {

namespace {

// An armed cell's hatch: both diagonals of every square of this many pixels, in green.
constexpr int kHatchSide = 8;
constexpr QColor kHatchColour(0, 255, 0);
constexpr QColor kFrameColour(255, 0, 0);

// The hatch in device pixels for a device pixel ratio: its square grows with the ratio, so the
// pattern keeps its size on a dense screen, while its diagonals stay one device pixel thin.
const QBrush &hatchBrush(qreal ratio)
{
    static std::map<qreal, QBrush> brushes;
    auto found = brushes.find(ratio);
    if (found == brushes.end()) {
        const int side = std::max(1, qRound(kHatchSide * ratio));
        QImage tile(side, side, QImage::Format_ARGB32_Premultiplied);
        tile.fill(Qt::transparent);
        for (int step = 0; step < side; ++step) {
            tile.setPixelColor(step, step, kHatchColour);
            tile.setPixelColor(side - 1 - step, step, kHatchColour);
        }
        found = brushes.emplace(ratio, QBrush(tile)).first;
    }
    return found->second;
}

} // namespace

MotionCell::MotionCell(int row, int column, MotionGrid &grid, QWidget *panel)
    : QWidget(panel), m_grid(grid), m_row(row), m_column(column)
{
    setObjectName(QStringLiteral("MotionCell%1_%2").arg(row).arg(column));
    setGeometry(column * kWidth, row * kHeight, kWidth, kHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void MotionCell::setArmed(bool armed)
{
    if (armed == m_armed)
        return;
    m_armed = armed;
    describeState();
    update();
}

void MotionCell::describeState()
{
    setAccessibleDescription(
        m_armed ? formats::pick("布防", "armed") : formats::pick("未布防", "clear"));
}

void MotionCell::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.save();
    const qreal ratio = painter.deviceTransform().m11();
    const QRect cell = enterDevicePixels(painter, rect());
    painter.fillRect(cell, Qt::black);
    if (m_armed) {
        painter.setBrushOrigin(cell.topLeft());
        painter.fillRect(cell.adjusted(1, 1, -1, -1), hatchBrush(ratio));
    }
    painter.setPen(QPen(kFrameColour, 0));
    painter.drawRect(cell.adjusted(0, 0, -1, -1));
    painter.restore();
    if (m_grid.isMarked(this)) {
        painter.setPen(QPen(QColor(255, 255, 0), 2));
        painter.drawRect(rect().adjusted(2, 2, -2, -2));
    }
    if (m_grid.isCursor(this)) {
        painter.setPen(QPen(Qt::white, 2, Qt::DashLine));
        painter.drawRect(rect().adjusted(4, 4, -4, -4));
    }
}

void MotionCell::mousePressEvent(QMouseEvent *event)
{
    m_grid.press(this, event->button());
}

void MotionCell::mouseMoveEvent(QMouseEvent *event)
{
    m_grid.moveOver(mapToParent(event->position().toPoint()));
}

void MotionCell::mouseReleaseEvent(QMouseEvent *)
{
    m_grid.release();
}

MotionGrid::MotionGrid(QWidget *panel) : QObject(panel), m_panel(panel)
{
    panel->setFocusPolicy(Qt::StrongFocus);
    panel->installEventFilter(this);
    for (int row = 0; row < kGridRows; ++row) {
        for (int column = 0; column < kGridColumns; ++column)
            m_cells[size_t(row)][size_t(column)] = new MotionCell(row, column, *this, panel);
    }
}

formats::MotionArea MotionGrid::area() const
{
    formats::MotionArea area {};
    for (int row = 0; row < kGridRows; ++row) {
        for (int column = 0; column < kGridColumns; ++column)
            area[size_t(row)][size_t(column)] = cell(row, column)->isArmed();
    }
    return area;
}

void MotionGrid::setArea(const formats::MotionArea &area)
{
    for (int row = 0; row < kGridRows; ++row) {
        for (int column = 0; column < kGridColumns; ++column)
            cell(row, column)->setArmed(area[size_t(row)][size_t(column)]);
    }
}

void MotionGrid::setAll(bool armed)
{
    formats::MotionArea area {};
    for (formats::MotionRow &row : area)
        row.fill(armed);
    setArea(area);
}

void MotionGrid::nameCells()
{
    auto *panel = static_cast<QWidget *>(parent());
    panel->setAccessibleName(formats::pick("报警区域", "Motion area"));
    panel->setAccessibleDescription(
        formats::pick("%1 行 %2 列；方向键移动，Shift 加方向键框选，空格键设置或撤消",
            "%1 rows by %2 columns; the arrows move, Shift with the arrows marks, "
            "Space arms or clears")
            .arg(kGridRows)
            .arg(kGridColumns));
    for (const auto &row : m_cells) {
        for (MotionCell *cell : row) {
            cell->setAccessibleName(formats::pick("第 %1 行 第 %2 列", "Row %1, column %2")
                                        .arg(cell->row() + 1)
                                        .arg(cell->column() + 1));
            cell->describeState();
        }
    }
}

bool MotionGrid::anyArmed() const
{
    for (const auto &row : m_cells) {
        for (const MotionCell *cell : row) {
            if (cell->isArmed())
                return true;
        }
    }
    return false;
}

void MotionGrid::press(MotionCell *cell, Qt::MouseButton button)
{
    if (button == Qt::LeftButton) {
        m_armingStroke = true;
        cell->setArmed(true);
    } else if (button == Qt::RightButton) {
        m_clearingStroke = true;
        cell->setArmed(false);
    } else {
        m_clearingStroke = true;
    }
}

void MotionGrid::moveOver(const QPoint &panelPosition)
{
    if (!m_armingStroke && !m_clearingStroke)
        return;
    if (!QRect(0, 0, kGridColumns * MotionCell::kWidth, kGridRows * MotionCell::kHeight)
             .contains(panelPosition))
        return;
    MotionCell *under
        = cell(panelPosition.y() / MotionCell::kHeight, panelPosition.x() / MotionCell::kWidth);
    if (m_armingStroke)
        under->setArmed(true);
    if (m_clearingStroke)
        under->setArmed(false);
}

void MotionGrid::release()
{
    m_armingStroke = false;
    m_clearingStroke = false;
    Q_EMIT strokeFinished();
}

bool MotionGrid::isCursor(const MotionCell *cell) const
{
    return m_panel->hasFocus() && cell->row() == m_cursor.y() && cell->column() == m_cursor.x();
}

bool MotionGrid::isMarked(const MotionCell *cell) const
{
    return m_markStart && m_panel->hasFocus()
        && QRect(*m_markStart, m_cursor).normalized().contains(cell->column(), cell->row());
}

bool MotionGrid::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_panel)
        return false;
    switch (event->type()) {
    case QEvent::FocusIn:
        repaintAll();
        announceCursor();
        return false;
    case QEvent::FocusOut:
        repaintAll();
        return false;
    case QEvent::KeyPress:
        return handleKey(*static_cast<QKeyEvent *>(event));
    default:
        return false;
    }
}

bool MotionGrid::handleKey(const QKeyEvent &key)
{
    const bool marking = key.modifiers() & Qt::ShiftModifier;
    switch (key.key()) {
    case Qt::Key_Left:
        moveCursor(0, -1, marking);
        return true;
    case Qt::Key_Right:
        moveCursor(0, 1, marking);
        return true;
    case Qt::Key_Up:
        moveCursor(-1, 0, marking);
        return true;
    case Qt::Key_Down:
        moveCursor(1, 0, marking);
        return true;
    case Qt::Key_Space:
        paintWithKeyboard();
        return true;
    default:
        return false;
    }
}

void MotionGrid::moveCursor(int rowStep, int columnStep, bool marking)
{
    if (marking && !m_markStart)
        m_markStart = m_cursor;
    if (!marking)
        m_markStart.reset();
    m_cursor.setX(std::clamp(m_cursor.x() + columnStep, 0, kGridColumns - 1));
    m_cursor.setY(std::clamp(m_cursor.y() + rowStep, 0, kGridRows - 1));
    repaintAll();
    announceCursor();
}

void MotionGrid::announceCursor()
{
    // Without a screen reader listening nothing is told, and nothing need be looked up.
    if (!QAccessible::isActive())
        return;
    QAccessibleInterface *panel = QAccessible::queryAccessibleInterface(m_panel);
    QAccessibleInterface *cursor
        = QAccessible::queryAccessibleInterface(cell(m_cursor.y(), m_cursor.x()));
    if (!panel || !cursor)
        return;
    QAccessibleEvent event(m_panel, QAccessible::Focus);
    event.setChild(panel->indexOfChild(cursor));
    QAccessible::updateAccessibility(&event);
}

void MotionGrid::paintWithKeyboard()
{
    const bool arm = !cell(m_cursor.y(), m_cursor.x())->isArmed();
    const QRect painted = QRect(m_markStart.value_or(m_cursor), m_cursor).normalized();
    for (int row = painted.top(); row <= painted.bottom(); ++row) {
        for (int column = painted.left(); column <= painted.right(); ++column)
            cell(row, column)->setArmed(arm);
    }
    m_markStart.reset();
    repaintAll();
    Q_EMIT strokeFinished();
}

void MotionGrid::repaintAll()
{
    for (const auto &row : m_cells) {
        for (MotionCell *cell : row)
            cell->update();
    }
}

} // namespace quillon::editor
