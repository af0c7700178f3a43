#include "editor/pages/systempage.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>

namespace quillon::editor {

namespace {

constexpr TextEntry kTexts[] = {
    {"GroupBox15", "语言选择", "Language"},
    {"CnRadioBtn", "中  文", "Chinese"},
    {"EnRadioBtn", "英  文", "English"},
    {"OutPortLabel", "输出类型:", "OutPut type:"},
};

constexpr const char *kSystemOptions = "System Options";
constexpr const char *kSensorOptions = "Sensor Options";

} // namespace

SystemPage::SystemPage(SetupContext &context, QWidget *sheet) : SetupPage(context, sheet)
{
    GroupBox15 = place<QGroupBox>("GroupBox15", sheet, 610, 460, 200, 50);
    CnRadioBtn = place<QRadioButton>("CnRadioBtn", GroupBox15, 16, 20, 80, 20);
    EnRadioBtn = place<QRadioButton>("EnRadioBtn", GroupBox15, 104, 20, 80, 20);
    CnRadioBtn->setChecked(true);
    OutPortLabel = place<QLabel>("OutPortLabel", sheet, 16, 460, 90, 21);
    cbbOutPortType = place<QComboBox>("cbbOutPortType", sheet, 110, 460, 120, 21);
}

void SystemPage::load()
{
    const settings::ProfileFile sysSet = m_context.file(settings::SettingsFile::SysSet);
    m_context.channelCount = sysSet.readInt(kSystemOptions, "MaxRecCount", 1);
    m_context.sensorCount = sysSet.readInt(kSensorOptions, "AlarmDevChn", 8);
}

void SystemPage::save() {}

std::span<const TextEntry> SystemPage::texts() const { return kTexts; }

} // namespace quillon::editor
