#pragma once

#include <QDialog>

#include <cstdint>
#include <vector>

class QPushButton;
class QTreeWidget;

namespace quillon::editor {

// The multi-select dialog: a ticked list of channels (or sensors) or of the seven weekdays,
// with a select-all toggle. Made for one use with the setup window as owner; on OK the caller
// reads the ticks, row i standing for channel (sensor) i + 1 or for weekday i + 1, Monday first.
class TChnSelectForm : public QDialog
{
    Q_OBJECT

public:
    enum class Mode {
        Channels, // "通道%d" / "Channel%d" rows, as many as the caller asks for
        Weekdays, // always seven rows
    };

    TChnSelectForm(Mode mode, int rowCount, QWidget *owner);

    Mode mode() const { return m_mode; }
    int rowCount() const;
    bool isTicked(int row) const;
    // One flag (0 or 1) per row.
    std::vector<std::uint8_t> ticks() const;

public Q_SLOTS:
    // Select all / Cancel all: ticks every row or clears them, and swaps its caption.
    void BitBtn3Click();

private:
    void buildControls();
    void wireButtons();
    void fillRows(int rows);

    Mode m_mode;
    int m_selectAllTag = 0;
    QTreeWidget *ChnListView = nullptr;
    QPushButton *BitBtn3 = nullptr;
    QPushButton *BitBtn1 = nullptr;
    QPushButton *BitBtn2 = nullptr;
};

} // namespace quillon::editor
