#pragma once

#include "editor/pages/setuppage.h"
#include "formats/camerasettings.h"

class QComboBox;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace quillon::editor {

// Pan-tilt-zoom control: the control port, and each channel's camera type, decoder address,
// protocol and baud rate, edited in their dialog and written at once.
class CameraPage : public SetupPage
{
public:
    CameraPage(SetupContext &context, QWidget *sheet);

    // The camera type, protocol and baud rate names in the current language.
    void fillNameTables();
    void load();
    // Rewrites the camera list's texts from the name tables.
    void refreshListTexts();
    void savePort();

    std::span<const TextEntry> texts() const override;
    void retranslateRows() override;

    // Edit: the selected rows in the camera dialog; a confirmed edit is written at once.
    void BitBtn15Click();

    // The control port list, which the sensor page keeps off the alarm device's port.
    QComboBox *controlPortList() const { return PTZComboBox; }

private:
    formats::CameraRecord recordOf(const QTreeWidgetItem *row) const;
    void showRecord(QTreeWidgetItem *row, const formats::CameraRecord &record) const;

    QComboBox *PTZComboBox = nullptr;
    QTreeWidget *ListView2 = nullptr;
    QPushButton *BitBtn15 = nullptr;
    formats::CameraNameTable m_names;
};

} // namespace quillon::editor
