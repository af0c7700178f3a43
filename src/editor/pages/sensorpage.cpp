#include "editor/pages/sensorpage.h"

#include "editor/dialogs/chnselect.h"
#include "editor/dialogs/presetpos.h"
#include "editor/messages.h"
#include "editor/numberfield.h"
#include "editor/tabsets.h"
#include "formats/language.h"
#include "formats/profileaccess.h"
#include "formats/serialports.h"
#include "formats/systemsettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTreeWidget>

namespace quillon::editor {

namespace {

// Columns of the linked-channel list: caption with the link tick, visible preset text, and
// the hidden preset number.
constexpr int kPresetTextColumn = 1;
constexpr int kPresetNumberColumn = 2;
constexpr int kNumberWidth = 50;

constexpr TextEntry kTexts[] = {
    {"Label45", "报警探头选择", "Alarm sensor selection"},
    {"GroupBox9", "报警类型", "Alarm type"},
    {"RadioButton3", "断开报警", "N.O. alarm"},
    {"RadioButton4", "闭合报警", "N.C. alarm"},
    {"GroupBox12", "报警联动设置", "Alarm trigger settings"},
    {"CheckBox9", "闭合输出", "High-voltage output"},
    {"CheckBox10", "断开输出", "Low-voltage output"},
    {"Label51", "联动输出时间：", "Output time:"},
    {"Label52", "秒", "Second"},
    {"GroupBox6", "布防设置", "Schedule setup"},
    {"CheckBox11", " 布防", "Start this alarm sensor"},
    {"BitBtn17", "当前设置复制到...", "Copy to ..."},
    {"GroupBox17", "报警设备选择", "Equipment settings"},
    {"Label41", "设备类型：", "Equipment type:"},
    {"Label46", "通讯端口：", "Communication port:"},
    {"Label7", "单个通道：", "Base chn: "},
    {"Label4", "所有通道：", "Total chn: "},
};

void refillPorts(QComboBox *list)
{
    list->clear();
    list->addItems(formats::serialPortNames());
}

// Selects a port by its text, or nothing when there is no port or the list does not offer it.
void selectPort(QComboBox *list, std::optional<int> port)
{
    list->setCurrentIndex(port ? list->findText(formats::serialPortName(*port)) : -1);
}

// Gives the list all ten ports again with the given port selected.
void refillPortsSelecting(QComboBox *list, std::optional<int> port)
{
    refillPorts(list);
    selectPort(list, port);
}

// Removes a port from the list. The list keeps its selection unless it is that port; then it
// is left without one.
void removePort(QComboBox *list, std::optional<int> port)
{
    if (!port)
        return;
    const int index = list->findText(formats::serialPortName(*port));
    if (index < 0)
        return;
    const bool selected = index == list->currentIndex();
    list->removeItem(index);
    if (selected)
        list->setCurrentIndex(-1);
}

// The alarm device's keys in the system options.
const schema::Setting &deviceTypeSetting()
{
    return schema::setting(settings::SettingsFile::SysSet, "Sensor Options", "BaseType");
}

const schema::Setting &devicePortSetting()
{
    return schema::settingOf("AlarmComboBox");
}

std::optional<int> portOf(const QComboBox *list)
{
    return formats::serialPortNumber(list->currentText());
}

} // namespace

SensorPage::SensorPage(SetupContext &context, QWidget *sheet, QComboBox *controlPorts)
    : SetupPage(context, sheet), m_controlPorts(controlPorts)
{
    // Built in the order the focus moves through them.
    buildSensorType(sheet);
    buildTriggerGroup(sheet);
    buildArming(sheet);
    buildAlarmDevice(sheet);
    wireControls();
    m_outputTime.bind(context, sheet, {"SpinEdit5"});
    m_alarmCard.bind(context, sheet, {"SpinEdit9", "SpinEdit8"});
    shareAlarmDeviceKeys();
}

void SensorPage::buildSensorType(QWidget *sheet)
{
    Label45 = place<QLabel>("Label45", sheet, 8, 4, 200, 18);
    SensorChnTabSet = place<ChannelTabBar>("SensorChnTabSet", sheet, 8, 24, 0, 21);

    GroupBox9 = place<QGroupBox>("GroupBox9", sheet, 8, 52, 260, 50);
    RadioButton3 = place<QRadioButton>("RadioButton3", GroupBox9, 12, 22, 110, 20);
    RadioButton4 = place<QRadioButton>("RadioButton4", GroupBox9, 130, 22, 110, 20);
    RadioButton4->setChecked(true);
}

void SensorPage::buildTriggerGroup(QWidget *sheet)
{
    GroupBox12 = place<QGroupBox>("GroupBox12", sheet, 8, 108, 260, 440);
    CheckBox8 = place<QCheckBox>("CheckBox8", GroupBox12, 12, 22, 200, 20);
    placeColumn<QCheckBox>(
        GroupBox12, {12, 46, 236, 20}, 24, {{CheckBox9, "CheckBox9"}, {CheckBox10, "CheckBox10"}});
    SpinEdit5 = placeLine<NumberField>(
        {100, 4, kNumberWidth, 21}, GroupBox12, 12, 96, Label51, "Label51", "SpinEdit5");
    SpinEdit5->setMaxLength(3);
    Label52 = place<QLabel>("Label52", GroupBox12, 172, 98, 60, 20);
    LinkChnListView = place<QTreeWidget>("LinkChnListView", GroupBox12, 12, 126, 236, 302);
    LinkChnListView->setRootIsDecorated(false);
    LinkChnListView->setColumnCount(3);
    LinkChnListView->setColumnWidth(0, 120);
    LinkChnListView->setColumnHidden(kPresetNumberColumn, true);
    LinkChnListView->setSelectionBehavior(QAbstractItemView::SelectRows);
    LinkChnListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    LinkChnListView->header()->setSectionsClickable(false);
}

void SensorPage::buildArming(QWidget *sheet)
{
    GroupBox6 = place<QGroupBox>("GroupBox6", sheet, 280, 52, 550, 350);
    CheckBox11 = place<QCheckBox>("CheckBox11", GroupBox6, 12, 20, 250, 20);
    m_schedule = new ScheduleEditor(m_context, formats::ScheduleKind::Sensor, GroupBox6, 12, 46);
    BitBtn17 = place<QPushButton>("BitBtn17", sheet, 280, 410, 160, 25);
}

void SensorPage::buildAlarmDevice(QWidget *sheet)
{
    GroupBox17 = place<QGroupBox>("GroupBox17", sheet, 280, 445, 550, 100);
    // Two columns of lines: the device type over the single channel count, the port over the
    // total count.
    ComboBox3 = placeLine<QComboBox>(
        {110, 4, 150, 21}, GroupBox17, 12, 22, Label41, "Label41", "ComboBox3");
    AlarmComboBox = placeLine<QComboBox>(
        {140, 4, 100, 21}, GroupBox17, 290, 22, Label46, "Label46", "AlarmComboBox");
    refillPorts(AlarmComboBox);
    SpinEdit8 = placeLine<NumberField>(
        {110, 4, kNumberWidth, 21}, GroupBox17, 12, 58, Label7, "Label7", "SpinEdit8");
    SpinEdit9 = placeLine<NumberField>(
        {140, 4, kNumberWidth, 21}, GroupBox17, 290, 58, Label4, "Label4", "SpinEdit9");
    for (NumberField *count : {SpinEdit8, SpinEdit9})
        count->setMaxLength(2);
}

void SensorPage::wireControls()
{
    QObject *receiver = m_sheet;
    const auto noteChange = [this] {
        m_context.noteChannelChange();
    };
    QObject::connect(
        m_controlPorts, &QComboBox::activated, receiver, [this] { PTZComboBoxChange(); });
    for (QAbstractButton *button :
        std::initializer_list<QAbstractButton *> {CheckBox11, RadioButton3, RadioButton4})
        QObject::connect(button, &QAbstractButton::toggled, receiver, noteChange);
    QObject::connect(LinkChnListView, &QTreeWidget::itemChanged, receiver, noteChange);
    QObject::connect(LinkChnListView, &QTreeWidget::itemSelectionChanged, receiver, noteChange);
    QObject::connect(LinkChnListView, &QTreeWidget::itemDoubleClicked, receiver,
        [this] { LinkChnListViewDblClick(); });
    QObject::connect(CheckBox8, &QCheckBox::clicked, receiver, [this] { CheckBox8Click(); });
    QObject::connect(CheckBox9, &QCheckBox::toggled, receiver,
        [this] { outputBoxClick(CheckBox9, CheckBox10); });
    QObject::connect(CheckBox10, &QCheckBox::toggled, receiver,
        [this] { outputBoxClick(CheckBox10, CheckBox9); });
    QObject::connect(BitBtn17, &QPushButton::clicked, receiver, [this] { BitBtn17Click(); });
    QObject::connect(ComboBox3, &QComboBox::activated, receiver, [this] { ComboBox3Change(); });
    QObject::connect(
        AlarmComboBox, &QComboBox::activated, receiver, [this] { AlarmComboBoxChange(); });
}

// The system options' save writes the device type and, while the port list offers a chosen
// port, the device's port.
void SensorPage::shareAlarmDeviceKeys()
{
    m_context.saveAlarmDeviceKeys = [this](const settings::ProfileFile &sysSet) {
        formats::writeNumber(sysSet, deviceTypeSetting(),
            formats::listIndexToStore(ComboBox3->currentIndex(), m_storedBaseType));
        const std::optional<int> port = portOf(AlarmComboBox);
        if (AlarmComboBox->isEnabled() && port)
            formats::writeNumber(sysSet, devicePortSetting(), *port);
    };
}

void SensorPage::fillChannelRows()
{
    const QSignalBlocker blocker(LinkChnListView);
    LinkChnListView->clear();
    QList<QTreeWidgetItem *> rows;
    for (int channel = 0; channel < m_context.channelCount; ++channel) {
        auto *row = new QTreeWidgetItem;
        row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        row->setCheckState(0, Qt::Unchecked);
        row->setText(0, formats::pick("通道%1", "Channel%1").arg(channel + 1));
        rows.append(row);
    }
    LinkChnListView->addTopLevelItems(rows);
}

// ---- Alarm device and the port rule ----

void SensorPage::loadAlarmDevice()
{
    m_alarmCard.load(m_context.file(settings::SettingsFile::AlarmCard));
    ComboBox3->clear();
    ComboBox3->addItem(QString());
    ComboBox3->addItems(
        formats::alarmDeviceNames(m_context.file(settings::SettingsFile::AlarmCard)));

    const settings::ProfileFile sysSet = m_context.file(settings::SettingsFile::SysSet);
    m_storedBaseType = formats::readNumber(sysSet, deviceTypeSetting());
    ComboBox3->setCurrentIndex(formats::listEntryFor(m_storedBaseType, ComboBox3->count()));
    refillPorts(AlarmComboBox);
    if (ComboBox3->currentIndex() <= 0) {
        disableDevicePort();
        return;
    }
    const int port = formats::readNumber(sysSet, devicePortSetting());
    AlarmComboBox->setCurrentIndex(port >= 0 && port < formats::kSerialPorts ? port : -1);
    Label46->setEnabled(true);
    AlarmComboBox->setEnabled(true);
}

void SensorPage::disableDevicePort()
{
    Label46->setEnabled(false);
    AlarmComboBox->setCurrentIndex(-1);
    AlarmComboBox->setEnabled(false);
}

// Both lists hold all ten ports here. When stored ports collide, the control port keeps its
// port and the device's list is left without a choice, for the operator to make one.
void SensorPage::applyPortRule()
{
    const std::optional<int> controlPort = portOf(m_controlPorts);
    const std::optional<int> devicePort = portOf(AlarmComboBox);
    if (ComboBox3->currentIndex() > 0 && devicePort != controlPort)
        removePort(m_controlPorts, devicePort);
    removePort(AlarmComboBox, controlPort);
}

void SensorPage::PTZComboBoxChange()
{
    const std::optional<int> controlPort = portOf(m_controlPorts);
    const bool deviceOn = AlarmComboBox->isEnabled();
    const std::optional<int> devicePort = deviceOn ? portOf(AlarmComboBox) : std::nullopt;
    refillPortsSelecting(AlarmComboBox, devicePort);
    removePort(AlarmComboBox, controlPort);
    m_context.noteChange();
}

void SensorPage::AlarmComboBoxChange()
{
    const std::optional<int> controlPort = portOf(m_controlPorts);
    const std::optional<int> devicePort = portOf(AlarmComboBox);
    refillPortsSelecting(m_controlPorts, controlPort);
    removePort(m_controlPorts, devicePort);
    m_context.noteChange();
}

void SensorPage::ComboBox3Change()
{
    const std::optional<int> controlPort = portOf(m_controlPorts);
    refillPortsSelecting(m_controlPorts, controlPort);
    if (ComboBox3->currentIndex() <= 0) {
        disableDevicePort();
    } else {
        const int stored = formats::readNumber(
            m_context.file(settings::SettingsFile::SysSet), devicePortSetting());
        if (stored == controlPort)
            AlarmComboBox->setCurrentIndex(0);
        else
            selectPort(AlarmComboBox,
                stored >= 0 && stored < formats::kSerialPorts ? std::optional<int>(stored)
                                                              : std::nullopt);
        removePort(m_controlPorts, portOf(AlarmComboBox));
        Label46->setEnabled(true);
        AlarmComboBox->setEnabled(true);
    }
    m_context.noteChange();
}

void SensorPage::saveAlarmDevice()
{
    m_alarmCard.save(m_context.file(settings::SettingsFile::AlarmCard));
}

// ---- The current sensor ----

void SensorPage::loadSensor()
{
    if (!hasSensors())
        return;
    const int sensor = m_context.currentSensor;
    if (m_context.sensorCopy.keepsShownValuesAt(sensor, m_sheet->window()))
        return;
    const settings::ProfileFile file = m_context.file(settings::SettingsFile::SensorSet);
    showSettings(formats::readSensorSettings(file, sensor));
    m_outputTime.load(file, sensor);
}

void SensorPage::showSettings(const formats::SensorSettings &values)
{
    CheckBox11->setChecked(values.startupDetect);
    showLinks(formats::parseLinkChn(values.linkChn, m_context.channelCount));
    (values.normallyOpen ? RadioButton3 : RadioButton4)->setChecked(true);
    setStartupRecording(values.startupRec);
    CheckBox9->setChecked(values.output == formats::AlarmOutput::Close);
    CheckBox10->setChecked(values.output == formats::AlarmOutput::Open);
    updateOutputEnabling();
    m_schedule->setSchedule(values.schedule);
}

// Rows of channels the stored text has no room for are shown unlinked and cannot be ticked
// or given a preset, so no edit is made that the save could not keep.
void SensorPage::showLinks(const std::vector<formats::LinkedChannel> &links)
{
    for (int index = 0; index < LinkChnListView->topLevelItemCount(); ++index) {
        QTreeWidgetItem *row = LinkChnListView->topLevelItem(index);
        const bool stored = index < int(links.size());
        const formats::LinkedChannel link
            = stored ? links[size_t(index)] : formats::LinkedChannel {};
        row->setFlags(stored ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable
                             : Qt::ItemFlags());
        row->setCheckState(0, link.linked ? Qt::Checked : Qt::Unchecked);
        row->setText(kPresetTextColumn, stored ? presetDisplayText(link.preset) : QString());
        row->setText(kPresetNumberColumn, stored ? QString::number(link.preset) : QString());
    }
}

std::vector<formats::LinkedChannel> SensorPage::shownLinks() const
{
    std::vector<formats::LinkedChannel> links;
    const int rows = std::min(m_context.channelCount, LinkChnListView->topLevelItemCount());
    for (int index = 0; index < rows; ++index) {
        const QTreeWidgetItem *row = LinkChnListView->topLevelItem(index);
        if (!(row->flags() & Qt::ItemIsEnabled))
            break;
        links.push_back(
            {row->checkState(0) == Qt::Checked, row->text(kPresetNumberColumn).toInt()});
    }
    return links;
}

formats::SensorSettings SensorPage::shownSettings() const
{
    formats::SensorSettings values;
    values.startupDetect = CheckBox11->isChecked();
    values.normallyOpen = RadioButton3->isChecked();
    values.startupRec = CheckBox8->isChecked();
    values.output = CheckBox9->isChecked() ? formats::AlarmOutput::Close
        : CheckBox10->isChecked()          ? formats::AlarmOutput::Open
                                           : formats::AlarmOutput::None;
    values.outputTime = std::get<qint32>(m_outputTime.shown().front());
    values.schedule = m_schedule->schedule();
    return values;
}

void SensorPage::setStartupRecording(bool on)
{
    if (on == CheckBox8->isChecked())
        return;
    CheckBox8->setChecked(on);
    CheckBox8Click();
}

void SensorPage::CheckBox8Click()
{
    if (CheckBox8->isChecked() && !anyChannelLinked()) {
        CheckBox8->setChecked(false);
        showNotice(m_sheet->window(), "请选择联动录像的通道！",
            "Select alarm trigger record channel please!");
    }
    m_context.noteChange();
}

void SensorPage::outputBoxClick(QCheckBox *box, QCheckBox *other)
{
    if (box->isChecked() && other->isChecked())
        other->setChecked(false);
    updateOutputEnabling();
    m_context.noteChange();
}

void SensorPage::updateOutputEnabling()
{
    enableWhile(CheckBox9->isChecked() || CheckBox10->isChecked(), {Label51, SpinEdit5, Label52});
}

void SensorPage::LinkChnListViewDblClick()
{
    if (!hasSensors())
        return;
    QTreeWidgetItem *row = nullptr;
    for (int index = 0; index < LinkChnListView->topLevelItemCount() && !row; ++index) {
        if (LinkChnListView->topLevelItem(index)->isSelected())
            row = LinkChnListView->topLevelItem(index);
    }
    if (!row)
        return;
    TPresetPosForm dialog(m_sheet->window());
    dialog.setPreset(row->text(kPresetNumberColumn).toInt());
    if (dialog.exec() != QDialog::Accepted)
        return;
    const std::optional<int> preset = dialog.preset();
    if (!preset)
        return;
    row->setText(kPresetTextColumn, dialog.presetText());
    row->setText(kPresetNumberColumn, QString::number(*preset));
    m_context.noteChange();
}

void SensorPage::BitBtn17Click()
{
    if (!hasSensors())
        return;
    TChnSelectForm dialog(TChnSelectForm::Mode::Channels, m_context.sensorCount, m_sheet->window());
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_context.sensorCopy.start(dialog.ticks(), m_context.currentSensor);
    m_context.noteChange();
}

bool SensorPage::anyChannelLinked() const
{
    const int rows = std::min(m_context.channelCount, LinkChnListView->topLevelItemCount());
    for (int row = 0; row < rows; ++row) {
        if (LinkChnListView->topLevelItem(row)->checkState(0) == Qt::Checked)
            return true;
    }
    return false;
}

bool SensorPage::checkForApply()
{
    if (!CheckBox8->isChecked() || anyChannelLinked())
        return true;
    showNotice(
        m_sheet->window(), "请选择联动录像的通道！", "Select alarm trigger record channel please!");
    return false;
}

void SensorPage::saveSensor()
{
    if (!hasSensors())
        return;
    const settings::ProfileFile file = m_context.file(settings::SettingsFile::SensorSet);
    // Taken once, so that whatever happens while pending events are handled, every sensor
    // gets the same values.
    const formats::SensorSettings shown = shownSettings();
    const std::vector<formats::LinkedChannel> links = shownLinks();
    for (const int sensor : m_context.sensorCopy.saveTargets(m_context.currentSensor)) {
        // The window repaints between sensors, but takes no input until the save has ended.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        formats::writeSensorSettings(file, sensor, shown, links);
    }
}

std::span<const TextEntry> SensorPage::texts() const
{
    return kTexts;
}

void SensorPage::retranslateRows()
{
    m_schedule->retranslate();
    LinkChnListView->setHeaderLabels({formats::pick("联动通道", "Connect channel"),
        formats::pick("联动预置位", "Preset position"), QString()});
    const QSignalBlocker blocker(LinkChnListView);
    for (int index = 0; index < LinkChnListView->topLevelItemCount(); ++index) {
        QTreeWidgetItem *row = LinkChnListView->topLevelItem(index);
        row->setText(0, formats::pick("通道%1", "Channel%1").arg(index + 1));
        if (row->text(kPresetNumberColumn) == QLatin1String("0"))
            row->setText(kPresetTextColumn, presetDisplayText(0));
    }
}

} // namespace quillon::editor
