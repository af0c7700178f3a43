#pragma once

#include "editor/pages/setuppage.h"
#include "editor/scheduleeditor.h"

class QGroupBox;
class QTabBar;
class QTabWidget;

namespace quillon::editor {

// Picture overlay, masking, compression and recording of one channel at a time, with the
// channel's weekly recording timetable.
class VideoPage : public SetupPage
{
public:
    VideoPage(SetupContext &context, QWidget *sheet);

    // Fills the controls from the current video channel's sections.
    void load();
    // The title, date and mask checks of Apply; false (after its message) stops Apply.
    bool checkForApply();
    void save();

    void retranslateRows() override;

    QTabBar *channelTabs() const { return SelectChnTabSet; }
    QTabWidget *innerPages() const { return PageControl2; }
    ScheduleEditor *schedule() const { return m_schedule; }

private:
    QTabBar *SelectChnTabSet = nullptr;
    QTabWidget *PageControl2 = nullptr;
    QWidget *TabSheet4 = nullptr;
    QWidget *TabSheet5 = nullptr;
    QWidget *TabSheet6 = nullptr;
    QGroupBox *GroupBox13 = nullptr;
    ScheduleEditor *m_schedule = nullptr;
};

} // namespace quillon::editor
