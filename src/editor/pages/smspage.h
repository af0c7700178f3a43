#pragma once

#include "editor/pages/setuppage.h"

namespace quillon::editor {

// Text-message alarms. The page's tab is hidden, but it is loaded and saved like the others.
class SmsPage : public SetupPage
{
public:
    SmsPage(SetupContext &context, QWidget *sheet);

    void load();
    // Enables the message controls while text messages are switched on.
    void updateEnabling();
    void save();
};

} // namespace quillon::editor
