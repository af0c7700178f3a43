#pragma once

// The window's four dialogs, the channel choice in both of its modes, built in the language
// current when they are made, for tests that walk every dialog.

#include "editor/dialogs/camset.h"
#include "editor/dialogs/chnselect.h"
#include "editor/dialogs/presetpos.h"
#include "editor/dialogs/rectimeset.h"
#include "formats/camerasettings.h"

#include <array>

struct EveryDialog
{
    using Mode = quillon::editor::TChnSelectForm::Mode;

    static quillon::formats::CameraNameTable filledNames()
    {
        quillon::formats::CameraNameTable names;
        names.fill();
        return names;
    }

    std::array<QDialog *, 5> all() { return {&camera, &preset, &segment, &days, &channels}; }

    quillon::formats::CameraNameTable names = filledNames();
    quillon::editor::TCamSetForm camera {names, nullptr};
    quillon::editor::TPresetPosForm preset {nullptr};
    quillon::editor::TRecTimeSetForm segment {nullptr};
    quillon::editor::TChnSelectForm days {Mode::Weekdays, 7, nullptr};
    quillon::editor::TChnSelectForm channels {Mode::Channels, 16, nullptr};
};
