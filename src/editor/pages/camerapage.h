#pragma once

#include "editor/pages/setuppage.h"

namespace quillon::editor {

// Pan-tilt-zoom control: the control port and each channel's camera type, decoder address,
// protocol and baud rate.
class CameraPage : public SetupPage
{
public:
    CameraPage(SetupContext &context, QWidget *sheet);

    // The camera type, protocol and recording mode names in the current language.
    void fillNameTables();
    void load();
    // Rewrites the camera list's texts from the name tables.
    void refreshListTexts();
    void savePort();
};

} // namespace quillon::editor
