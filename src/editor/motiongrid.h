#pragma once

#include "formats/motionsettings.h"

#include <QWidget>

class QKeyEvent;

#include <array>
#include <optional>

namespace quillon::editor {

class MotionGrid;

// One cell of the motion area grid. It paints its own look, so the grid is right whenever the
// page is visible: clear is black, armed is a green diagonal cross-hatch on black, both with a
// one-pixel red frame. The keyboard's cursor cell has a white frame within, and cells of a
// marked rectangle a yellow one. Mouse presses, moves and releases go to its grid's stroke.
class MotionCell : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kWidth = 35;
    static constexpr int kHeight = 29;

    MotionCell(int row, int column, MotionGrid &grid, QWidget *panel);

    int row() const { return m_row; }
    int column() const { return m_column; }
    bool isArmed() const { return m_armed; }
    void setArmed(bool armed);
    // Sets the description a screen reader gives the cell's state, in the current language.
    void describeState();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    MotionGrid &m_grid;
    int m_row;
    int m_column;
    bool m_armed = false;
};

constexpr int kGridRows = formats::kMotionRows;
constexpr int kGridColumns = formats::kMotionColumns;

// The 10 x 10 cells tiling their panel (350 x 290 pixels), and the mouse strokes over them. A
// press with the left button arms the cell and starts an arming stroke; with the right button
// it clears the cell and starts a clearing stroke; any other button starts a clearing stroke
// and leaves the cell as it is. Every cell the pointer moves over during a stroke follows it.
// The pressed cell keeps the mouse until the release, so the pointer's position is mapped to
// the panel to find the cell under it.
//
// The panel also takes focus and the keyboard paints as the mouse does: the arrow keys move a
// cell cursor, Shift with the arrows marks the rectangle from where the marking started to the
// cursor, and Space paints the marked rectangle (else the cursor cell) armed when the cursor
// cell is clear and clear when it is armed, as a stroke started on that cell would. A screen
// reader is told the cursor cell has the focus whenever the cursor moves or the panel takes
// the focus.
class MotionGrid : public QObject
{
    Q_OBJECT

public:
    explicit MotionGrid(QWidget *panel);

    MotionCell *cell(int row, int column) const { return m_cells[size_t(row)][size_t(column)]; }
    formats::MotionArea area() const;
    void setArea(const formats::MotionArea &area);
    void setAll(bool armed);
    bool anyArmed() const;
    // Names the grid and its cells in the current language: each cell by its row and column,
    // with its state as its description.
    void nameCells();

    bool isCursor(const MotionCell *cell) const;
    bool isMarked(const MotionCell *cell) const;

Q_SIGNALS:
    // A stroke ended with the release of the button: the area may have changed.
    void strokeFinished();

private:
    friend class MotionCell;
    void press(MotionCell *cell, Qt::MouseButton button);
    void moveOver(const QPoint &panelPosition);
    void release();
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool handleKey(const QKeyEvent &key);
    void moveCursor(int rowStep, int columnStep, bool marking);
    // Tells a screen reader that the cursor cell, a child of the panel, has the focus.
    void announceCursor();
    void paintWithKeyboard();
    void repaintAll();

    std::array<std::array<MotionCell *, kGridColumns>, kGridRows> m_cells {};
    bool m_armingStroke = false;
    bool m_clearingStroke = false;
    QWidget *m_panel;
    QPoint m_cursor {0, 0}; // x: column, y: row
    std::optional<QPoint> m_markStart; // where Shift with an arrow started marking
};

} // namespace quillon::editor
