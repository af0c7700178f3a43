#pragma once

#include "formats/camerasettings.h"

#include <QDialog>

#include <optional>

class QComboBox;
class QLabel;
class QPushButton;

namespace quillon::editor {

class NumberField;

// The pan-tilt-zoom settings of one channel or of several at once: camera type, decoder
// address, protocol and baud rate. Made for one edit; on OK the caller reads the choices.
class TCamSetForm : public QDialog
{
    Q_OBJECT

public:
    TCamSetForm(const formats::CameraNameTable &names, QWidget *owner);

    // One channel (from 0): the lists start on its stored choices. A stored index outside its
    // list leaves that list empty; left empty, the stored index is what the dialog returns.
    void presetChannel(int channel, const formats::CameraRecord &record);
    // Several channels: no channel, no decoder address, nothing chosen.
    void presetSeveral();

    int decoderAddress() const;
    int cameraType() const;
    int protocol() const;
    int baudRate() const;

public Q_SLOTS:
    // OK: a camera type, a protocol and a baud rate must be chosen.
    void BitBtn1Click();

private:
    void buildFields();
    void fillLists(const formats::CameraNameTable &names);
    void buildButtons();
    void wireButtons();
    void setTexts();
    bool isChosen(const QComboBox *list, const std::optional<int> &kept) const;
    int chosen(const QComboBox *list, const std::optional<int> &kept) const;
    void refuse(QComboBox *list, const char *chinese, const char *english);

    QLabel *Label1 = nullptr;
    QComboBox *ComboBox1 = nullptr;
    QLabel *Label2 = nullptr;
    QComboBox *ComboBox2 = nullptr;
    QLabel *Label3 = nullptr;
    NumberField *SpinEdit1 = nullptr;
    QLabel *Label4 = nullptr;
    QComboBox *ComboBox3 = nullptr;
    QLabel *Label5 = nullptr;
    QComboBox *ComboBox4 = nullptr;
    QPushButton *BitBtn1 = nullptr;
    QPushButton *BitBtn2 = nullptr;

    // Stored indexes outside their lists, returned while their list stays empty.
    std::optional<int> m_keptType;
    std::optional<int> m_keptProtocol;
    std::optional<int> m_keptBaudRate;
};

} // namespace quillon::editor
