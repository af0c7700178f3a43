#pragma once

#include "editor/bindings.h"
#include "editor/pages/setuppage.h"
#include "editor/scheduleeditor.h"
#include "formats/checks.h"
#include "formats/videosettings.h"

#include <array>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QTabBar;
class QTabWidget;

namespace quillon::editor {

class NumberField;

// Picture overlay, masking, compression and recording of one channel at a time, with the
// channel's weekly recording timetable, all in TVCard.Ext. The compression page only shows
// what is stored and writes it back; Profile.ext gives the bit rate and quality of the
// channel's quality level.
class VideoPage : public SetupPage
{
public:
    VideoPage(SetupContext &context, QWidget *sheet);

    // Fills the controls from the current video channel's sections, with the loading flag on.
    // A channel that a pending copy goes to keeps the shown values; only its title is read.
    void load();
    // The title, date and mask checks of Apply; false (after its message, with the field
    // focused on the video page) stops Apply.
    bool checkForApply();
    // Writes the shown values into the current channel, or into every target of a pending copy.
    void save();

    std::span<const TextEntry> texts() const override;
    void retranslateRows() override;

    QTabBar *channelTabs() const { return SelectChnTabSet; }
    QTabWidget *innerPages() const { return PageControl2; }
    ScheduleEditor *schedule() const { return m_schedule; }

    // "Copy to ...": chooses the channels that the next Apply copies the shown values to.
    void BitBtn7Click();

private:
    void buildOverlayPage();
    void buildCompressionPage();
    void buildRecordingPage();
    void watchChanges();

    void showSettings(const formats::EncoderSettings &encoder);
    formats::EncoderSettings shownSettings() const;
    // The quality buttons by level, which is also the stored code.
    std::array<QRadioButton *, 3> qualityButtons() const;
    void updateEnabling();
    void lookUpQuality(int level);
    // Title or date positions must be whole numbers while they are shown on the picture.
    bool checkPositions(std::span<const formats::OverlayPosition> positions);
    void focusField(QLineEdit *field);

    QLabel *Label14 = nullptr;
    QTabBar *SelectChnTabSet = nullptr;
    QPushButton *BitBtn7 = nullptr;
    QTabWidget *PageControl2 = nullptr;
    QWidget *TabSheet4 = nullptr;
    QWidget *TabSheet5 = nullptr;
    QWidget *TabSheet6 = nullptr;

    QGroupBox *LogoGroupBox = nullptr;
    QCheckBox *CameraCheckBox = nullptr;
    QLabel *CameraNameLabel = nullptr;
    QLineEdit *CameraNameEdit = nullptr;
    QLabel *CamLabel = nullptr;
    QLabel *CamXLabel = nullptr;
    QLineEdit *CamXEdit = nullptr;
    QLabel *CamYLabel = nullptr;
    QLineEdit *CamYEdit = nullptr;
    QCheckBox *DateCheckBox = nullptr;
    QCheckBox *TimeCheckBox = nullptr;
    QLabel *DateXLabel = nullptr;
    QLineEdit *DateXEdit = nullptr;
    QLabel *DateYLabel = nullptr;
    QLineEdit *DateYEdit = nullptr;
    QGroupBox *GroupBox14 = nullptr;
    QCheckBox *PrevCoverCheckBox = nullptr;
    QCheckBox *RecCoverCheckBox = nullptr;
    QLabel *CoverXLabel = nullptr;
    NumberField *CoverXEdit = nullptr;
    QLabel *CoverYLabel = nullptr;
    NumberField *CoverYEdit = nullptr;
    QLabel *CoverWLabel = nullptr;
    NumberField *CoverWEdit = nullptr;
    QLabel *CoverHLabel = nullptr;
    NumberField *CoverHEdit = nullptr;
    QLabel *Label28 = nullptr;

    QGroupBox *RateSetupGroupBox = nullptr;
    QLabel *IFrameLabel = nullptr;
    QSlider *IFrameTrackBar = nullptr;
    QLineEdit *IFrameEdit = nullptr;
    QLabel *MaxRateLabel = nullptr;
    QSlider *MaxRateTrackBar = nullptr;
    QLineEdit *MaxRateEdit = nullptr;
    QLabel *bpsLabel = nullptr;
    QLabel *QualityLabel = nullptr;
    QSlider *QualityTrackBar = nullptr;
    QLineEdit *QualityEdit = nullptr;
    QLabel *VBRHighLabel = nullptr;
    QLabel *VBRLowLabel = nullptr;
    QGroupBox *EncodeGroupBox = nullptr;
    QRadioButton *RadioButton1 = nullptr;
    QRadioButton *RadioButton2 = nullptr;
    QGroupBox *VideoGroupBox = nullptr;
    QLabel *Label5 = nullptr;
    QSlider *TrackBar5 = nullptr;
    QLabel *Label6 = nullptr;
    QGroupBox *ModeGroupBox = nullptr;
    QRadioButton *LVERadioBtn = nullptr;
    QRadioButton *LAVERadioBtn = nullptr;
    QGroupBox *QualityGroupBox = nullptr;
    QRadioButton *RadioButton5 = nullptr;
    QRadioButton *RadioButton6 = nullptr;
    QRadioButton *RadioButton7 = nullptr;
    QCheckBox *CheckBox65 = nullptr;

    QGroupBox *GroupBox11 = nullptr;
    QLabel *Label30 = nullptr;
    NumberField *SpinEdit1 = nullptr;
    QLabel *Label1 = nullptr;
    QCheckBox *AutoRunCheckBox = nullptr;
    QCheckBox *CheckBox5 = nullptr;
    QLabel *Label37 = nullptr;
    NumberField *SpinEdit2 = nullptr;
    QLabel *Label38 = nullptr;
    QCheckBox *ATMCheckBox = nullptr;
    QLabel *Label29 = nullptr;
    NumberField *SpinEdit7 = nullptr;
    QLabel *Label16 = nullptr;
    NumberField *SpinEdit6 = nullptr;
    QLabel *Label17 = nullptr;
    QGroupBox *GroupBox13 = nullptr;
    ScheduleEditor *m_schedule = nullptr;

    // What a save writes before the encoding, in this order: the title switch, the title (only
    // into the channel shown, and read alone for a channel a pending copy goes to), the title
    // and date positions with the date switches and the privacy mask. The frame rate and
    // recording settings follow the encoding.
    Bindings m_titleSwitch {&SetupContext::noteChannelChange};
    Bindings m_title {&SetupContext::noteChannelChange};
    Bindings m_overlay {&SetupContext::noteChannelChange};
    Bindings m_recording {&SetupContext::noteChannelChange};
};

} // namespace quillon::editor
