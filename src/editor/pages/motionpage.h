#pragma once

#include "editor/bindings.h"
#include "editor/motiongrid.h"
#include "editor/pages/setuppage.h"
#include "editor/scheduleeditor.h"
#include "formats/motionsettings.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QSlider;
class QTabBar;

namespace quillon::editor {

// Motion detection of one channel at a time: the detector's frame intervals and sensitivity,
// the 10 x 10 area grid and the weekly alarm recording timetable; a copy of the page to other
// channels waits for the next Apply.
class MotionPage : public SetupPage
{
public:
    MotionPage(SetupContext &context, QWidget *sheet);

    // Fills the controls from the current alarm channel's sections, unless a pending copy goes
    // to that channel (the page then keeps the values it shows).
    void load();
    // True when at least one cell of the area grid is armed.
    bool isAreaSet() const;
    // The timetable running by itself needs an area; false (after its message) stops Apply.
    bool checkForApply();
    // Writes the page into the current channel, or into every target of a pending copy.
    void save();

    std::span<const TextEntry> texts() const override;
    void retranslateRows() override;

    QTabBar *channelTabs() const { return AlarmChnTabSet; }
    ScheduleEditor *schedule() const { return m_schedule; }

    // The values the page shows, and showing values.
    formats::MotionSettings shownSettings() const;
    void showSettings(const formats::MotionSettings &values);

    // Copy to ...: the channels ticked in the channel chooser (and the current one) get the
    // page's values at the next Apply.
    void BitBtn14Click();

private:
    void buildGrid(QWidget *sheet);
    void buildDetector(QWidget *sheet);
    void buildArming(QWidget *sheet);
    void wireControls();
    QSlider *trackBar(const char *name, QLabel *valueLabel, int top);

    QLabel *Label20 = nullptr;
    QTabBar *AlarmChnTabSet = nullptr;
    QWidget *AlarmPanel = nullptr;
    QLabel *Label21 = nullptr;
    QPushButton *BitBtn11 = nullptr;
    QPushButton *BitBtn12 = nullptr;
    QLabel *Label22 = nullptr;
    QSlider *TrackBar1 = nullptr;
    QLabel *Label24 = nullptr;
    QLabel *Label23 = nullptr;
    QSlider *TrackBar2 = nullptr;
    QLabel *Label31 = nullptr;
    QLabel *Label33 = nullptr;
    QSlider *TrackBar3 = nullptr;
    QLabel *Label34 = nullptr;
    QLabel *Label35 = nullptr;
    QLabel *Label36 = nullptr;
    QCheckBox *CheckBox4 = nullptr;
    QGroupBox *GroupBox8 = nullptr;
    QCheckBox *CheckBox6 = nullptr;
    QPushButton *BitBtn14 = nullptr;
    MotionGrid *m_grid = nullptr;
    ScheduleEditor *m_schedule = nullptr;

    // The detector values and switches of the shown channel, in the order they are written.
    Bindings m_detector {&SetupContext::noteChannelChange};
};

} // namespace quillon::editor
