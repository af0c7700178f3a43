#pragma once

#include "editor/pages/setuppage.h"
#include "editor/scheduleeditor.h"

class QCheckBox;
class QGroupBox;
class QTabBar;
class QTreeWidget;

namespace quillon::editor {

// Alarm sensors, one at a time (linked channels with presets, outputs, the weekly arming
// timetable), and the alarm device that carries them.
class SensorPage : public SetupPage
{
public:
    SensorPage(SetupContext &context, QWidget *sheet);

    // One row per video channel in the linked-channel list, with empty preset texts.
    void fillChannelRows();
    void loadAlarmDevice();
    // Fills the controls from the current sensor's sections.
    void loadSensor();
    // Keeps the alarm device and the camera control off the same serial port.
    void applyPortRule();
    // Recording on alarm needs a linked channel; false (after its message) stops Apply.
    bool checkForApply();
    void saveAlarmDevice();
    void saveSensor();

    void retranslateRows() override;

    QTabBar *sensorTabs() const { return SensorChnTabSet; }
    QTreeWidget *linkedChannels() const { return LinkChnListView; }
    ScheduleEditor *schedule() const { return m_schedule; }

private:
    bool anyChannelLinked() const;

    QTabBar *SensorChnTabSet = nullptr;
    QTreeWidget *LinkChnListView = nullptr;
    QCheckBox *CheckBox8 = nullptr;
    QGroupBox *SensorScheduleBox = nullptr;
    ScheduleEditor *m_schedule = nullptr;
};

} // namespace quillon::editor
