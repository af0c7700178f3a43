#pragma once

#include <QDialog>

#include <optional>

class QComboBox;
class QLabel;
class QPushButton;

namespace quillon::editor {

// Chooses the camera preset a linked channel moves to: none, or 1 to 64. Made for one use;
// the caller presets the list and reads the choice on OK.
class TPresetPosForm : public QDialog
{
    Q_OBJECT

public:
    explicit TPresetPosForm(QWidget *owner);

    // Positions the list on a preset (0 is none); a preset outside the list selects nothing.
    void setPreset(int preset);
    // The chosen list index (0 is none, else the preset number); nothing when no entry is
    // selected.
    std::optional<int> preset() const;
    // The chosen entry's text.
    QString presetText() const;

private:
    QLabel *PosLabel = nullptr;
    QComboBox *PosComboBox = nullptr;
    QPushButton *BitBtn1 = nullptr;
    QPushButton *BitBtn2 = nullptr;
};

// The text a preset shows: "无" / "NULL" for none, else its number.
QString presetDisplayText(int preset);

} // namespace quillon::editor
