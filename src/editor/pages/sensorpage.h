#pragma once

#include "editor/bindings.h"
#include "editor/pages/setuppage.h"
#include "editor/scheduleeditor.h"
#include "formats/sensorsettings.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTabBar;
class QTreeWidget;

namespace quillon::editor {

class NumberField;

// Alarm sensors, one at a time (armed, contact type, linked channels with camera presets,
// outputs, the weekly arming timetable), the alarm device that carries them, and the rule that
// keeps the alarm device and the camera control off the same serial port.
class SensorPage : public SetupPage
{
public:
    // controlPorts: the camera page's control port list, shared by the serial port rule.
    SensorPage(SetupContext &context, QWidget *sheet, QComboBox *controlPorts);

    // One row per video channel in the linked-channel list, with empty preset texts.
    void fillChannelRows();
    // The device type list, the device's port and its input counts.
    void loadAlarmDevice();
    // Fills the controls from the current sensor's sections, unless a pending copy goes to
    // that sensor (the page then keeps the values it shows). Nothing without sensors.
    void loadSensor();
    // At window show: neither port list offers the port chosen in the other.
    void applyPortRule();
    // Recording on alarm needs a linked channel; false (after its message) stops Apply.
    bool checkForApply();
    void saveAlarmDevice();
    // Writes the page into the current sensor, or into every target of a pending copy.
    void saveSensor();

    std::span<const TextEntry> texts() const override;
    void retranslateRows() override;

    QTabBar *sensorTabs() const { return SensorChnTabSet; }
    ScheduleEditor *schedule() const { return m_schedule; }

    // The values and links the page shows.
    formats::SensorSettings shownSettings() const;
    std::vector<formats::LinkedChannel> shownLinks() const;

    // Start recording: checking it with no linked channel is refused with a message.
    void CheckBox8Click();
    // Double click on a linked channel: its camera preset from the preset dialog.
    void LinkChnListViewDblClick();
    // Copy to ...: the sensors ticked in the chooser (and the current one) get the page's
    // values at the next Apply.
    void BitBtn17Click();
    // The three changes of the port rule.
    void PTZComboBoxChange();
    void AlarmComboBoxChange();
    void ComboBox3Change();

private:
    void buildSensorType(QWidget *sheet);
    void buildTriggerGroup(QWidget *sheet);
    void buildArming(QWidget *sheet);
    void buildAlarmDevice(QWidget *sheet);
    void wireControls();
    void shareAlarmDeviceKeys();

    bool hasSensors() const { return m_context.sensorCount > 0; }
    bool anyChannelLinked() const;
    void showSettings(const formats::SensorSettings &values);
    void showLinks(const std::vector<formats::LinkedChannel> &links);
    void setStartupRecording(bool on);
    void outputBoxClick(QCheckBox *box, QCheckBox *other);
    void updateOutputEnabling();
    void disableDevicePort();

    QLabel *Label45 = nullptr;
    QTabBar *SensorChnTabSet = nullptr;
    QGroupBox *GroupBox9 = nullptr;
    QRadioButton *RadioButton3 = nullptr;
    QRadioButton *RadioButton4 = nullptr;
    QGroupBox *GroupBox12 = nullptr;
    QCheckBox *CheckBox8 = nullptr;
    QCheckBox *CheckBox9 = nullptr;
    QCheckBox *CheckBox10 = nullptr;
    QLabel *Label51 = nullptr;
    NumberField *SpinEdit5 = nullptr;
    QLabel *Label52 = nullptr;
    QTreeWidget *LinkChnListView = nullptr;
    QGroupBox *GroupBox6 = nullptr;
    QCheckBox *CheckBox11 = nullptr;
    ScheduleEditor *m_schedule = nullptr;
    QPushButton *BitBtn17 = nullptr;
    QGroupBox *GroupBox17 = nullptr;
    QLabel *Label41 = nullptr;
    QComboBox *ComboBox3 = nullptr;
    QLabel *Label46 = nullptr;
    QComboBox *AlarmComboBox = nullptr;
    QLabel *Label7 = nullptr;
    NumberField *SpinEdit8 = nullptr;
    QLabel *Label4 = nullptr;
    NumberField *SpinEdit9 = nullptr;
    // The camera control page's port list, found when the port rule first runs.
    QComboBox *m_controlPorts;
    // The device type as stored, written back while the list shows no choice.
    qint32 m_storedBaseType = 0;

    // The shown sensor's output time: written as stored until the operator edits it.
    Bindings m_outputTime {&SetupContext::noteChannelChange};
    // The alarm device's input counts, in the order they are written.
    Bindings m_alarmCard;
};

} // namespace quillon::editor
