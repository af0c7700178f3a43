#pragma once

#include <QWidget>

#include <array>

namespace quillon::editor {

// One cell of the motion area grid. It paints its own look, so the grid is right whenever the
// page is visible: clear is black, armed is a green diagonal cross-hatch on black, both with a
// one-pixel red frame.
class MotionCell : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kWidth = 35;
    static constexpr int kHeight = 29;

    MotionCell(int row, int column, QWidget *panel);

    int row() const { return m_row; }
    int column() const { return m_column; }
    bool isArmed() const { return m_armed; }
    void setArmed(bool armed);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_row;
    int m_column;
    bool m_armed = false;
};

constexpr int kGridRows = 10;
constexpr int kGridColumns = 10;
using MotionGrid = std::array<std::array<MotionCell *, kGridColumns>, kGridRows>;

// Creates the 10 x 10 cells on the panel, all clear, tiling 350 x 290 pixels.
MotionGrid buildMotionGrid(QWidget *panel);

} // namespace quillon::editor
