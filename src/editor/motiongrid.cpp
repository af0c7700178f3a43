#include "editor/motiongrid.h"

#include <QPainter>

namespace quillon::editor {

MotionCell::MotionCell(int row, int column, QWidget *panel)
    : QWidget(panel), m_row(row), m_column(column)
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
    painter.fillRect(rect(), Qt::black);
    if (m_armed)
        painter.fillRect(rect(), QBrush(Qt::green, Qt::DiagCrossPattern));
    painter.setPen(QPen(Qt::red, 1));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

MotionGrid buildMotionGrid(QWidget *panel)
{
    MotionGrid grid{};
    for (int row = 0; row < kGridRows; ++row) {
        for (int column = 0; column < kGridColumns; ++column)
            grid[size_t(row)][size_t(column)] = new MotionCell(row, column, panel);
    }
    return grid;
}

} // namespace quillon::editor
