#pragma once

#include "editor/pages/setuppage.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QRadioButton;

namespace quillon::editor {

// System parameters: recording, alarms, display, login, drives and the window's language.
class SystemPage : public SetupPage
{
public:
    SystemPage(SetupContext &context, QWidget *sheet);

    // Reads the system options; yields the channel and sensor counts of the window.
    void load();
    void save();

    std::span<const TextEntry> texts() const override;

    QRadioButton *chineseButton() const { return CnRadioBtn; }
    QRadioButton *englishButton() const { return EnRadioBtn; }
    QComboBox *outputTypeList() const { return cbbOutPortType; }

private:
    QGroupBox *GroupBox15 = nullptr;
    QRadioButton *CnRadioBtn = nullptr;
    QRadioButton *EnRadioBtn = nullptr;
    QLabel *OutPortLabel = nullptr;
    QComboBox *cbbOutPortType = nullptr;
};

} // namespace quillon::editor
