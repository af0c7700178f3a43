#pragma once

#include "editor/motiongrid.h"
#include "editor/pages/setuppage.h"
#include "editor/scheduleeditor.h"

class QCheckBox;
class QGroupBox;
class QTabBar;

namespace quillon::editor {

// Motion detection of one channel at a time: sensitivity, the 10 x 10 area grid and the
// weekly alarm recording timetable.
class MotionPage : public SetupPage
{
public:
    MotionPage(SetupContext &context, QWidget *sheet);

    // Fills the controls from the current alarm channel's sections.
    void load();
    // True when at least one cell of the area grid is armed.
    bool isAreaSet() const;
    // The timetable running by itself needs an area; false (after its message) stops Apply.
    bool checkForApply();
    void save();

    void retranslateRows() override;

    QTabBar *channelTabs() const { return AlarmChnTabSet; }
    const MotionGrid &grid() const { return m_grid; }
    ScheduleEditor *schedule() const { return m_schedule; }

private:
    QTabBar *AlarmChnTabSet = nullptr;
    QWidget *AlarmPanel = nullptr;
    QCheckBox *CheckBox6 = nullptr;
    QGroupBox *MotionScheduleBox = nullptr;
    MotionGrid m_grid{};
    ScheduleEditor *m_schedule = nullptr;
};

} // namespace quillon::editor
