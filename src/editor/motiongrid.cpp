#include "editor/motiongrid.h"

#include <QMouseEvent>
#include <QPainter>

namespace quillon::editor {

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
    update();
}

void MotionCell::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect inside = rect().adjusted(1, 1, -1, -1);
    painter.fillRect(rect(), Qt::black);
    if (m_armed)
        painter.fillRect(inside, QBrush(QColor(0, 255, 0), Qt::DiagCrossPattern));
    painter.setPen(QPen(QColor(255, 0, 0), 1));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
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

MotionGrid::MotionGrid(QWidget *panel) : QObject(panel)
{
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

} // namespace quillon::editor
