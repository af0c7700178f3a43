#pragma once

#include "editor/bindings.h"
#include "editor/pages/setuppage.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace quillon::editor {

// Text-message alarms. The page's tab is hidden, but it is loaded and saved like the others,
// so its settings pass through a visit as read (apart from the repaired telephone list).
class SmsPage : public SetupPage
{
public:
    SmsPage(SetupContext &context, QWidget *sheet);

    void load();
    // Enables the message controls while text messages are switched on.
    void updateEnabling();
    void save();

    std::span<const TextEntry> texts() const override;

private:
    QCheckBox *SMSCheckBox = nullptr;
    QLabel *SMSPortLabel = nullptr;
    QComboBox *SMSComboBox = nullptr;
    QLabel *SMSPhoneLabel = nullptr;
    QLineEdit *SMSPhoneEdit = nullptr;
    QListWidget *SMSPhoneListBox = nullptr;
    QPushButton *AddPhoneBitBtn = nullptr;
    QPushButton *DelPhoneBitBtn = nullptr;

    Bindings m_bindings;
    qint32 m_storedPort = 0;
};

} // namespace quillon::editor
