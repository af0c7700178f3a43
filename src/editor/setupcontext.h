#pragma once

#include "editor/pendingcopy.h"
#include "formats/counts.h"
#include "settings/profilestore.h"
#include "settings/settingsfiles.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

namespace quillon::editor {

// The window's pages by their place among its tabs, in the order of schema::pages().
enum class PageIndex { System, Users, Video, Motion, Sensors, Camera, Network, Sms };
// The inner pages of the video page.
enum class VideoInnerPage { Properties, Encoding, Timetable };

// The setup window's state that its pages share: the local copies of the settings files,
// the loading flag, the channel and sensor counts, the current channel of each page and the
// pending copies.
struct SetupContext
{
    settings::ProfileStore store;
    QString workFolder;

    // While set, control changes do not count as changes (a page is filling its controls).
    bool loading = false;
    int channelCount = 1;
    int sensorCount = 8;
    int currentVideoChannel = 0;
    int currentAlarmChannel = 0;
    int currentSensor = 0;
    PendingCopy videoCopy;
    PendingCopy motionCopy;
    PendingCopy sensorCopy;

    // The change rule: enables Apply unless a page is loading. Every control that edits a
    // setting calls one of the two, which do the same: the controls of the shown channel's or
    // sensor's settings call noteChannelChange, every other control and the pages' own
    // handlers noteChange.
    std::function<void()> noteChange;
    std::function<void()> noteChannelChange;
    // Makes a page of the window current (and, for the video page, one of its inner pages;
    // none leaves the inner page as it is).
    std::function<void(PageIndex page, std::optional<VideoInnerPage> innerPage)> showPage;
    // Writes the alarm device's type and port keys of the system options from the sensor
    // page's controls; the system page's save calls it at their place in its order.
    std::function<void(const settings::ProfileFile &sysSet)> saveAlarmDeviceKeys;

    settings::ProfileFile file(settings::SettingsFile which)
    {
        return settings::ProfileFile(store, settings::localPath(workFolder, which));
    }
};

} // namespace quillon::editor
