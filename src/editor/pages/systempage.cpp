#include "editor/pages/systempage.h"

#include "editor/numberfield.h"
#include "editor/pages/networkpage.h"
#include "formats/language.h"
#include "formats/profileaccess.h"
#include "settings/userrecords.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include <algorithm>

namespace quillon::editor {

namespace {

constexpr TextEntry kTexts[] = {
    {"GroupBox3", "目录路径", "Directory path"},
    {"Label32", "录像文件目录：", "Rec files path:"},
    {"Label15", "注：不需要完全路径，只需填入录像目录名称即可，如：\\VideoFiles", ""},
    {"PhotoPathLabel", "抓拍图片目录：", "Photo path:"},
    {"WebPathLabel", "Web 站点主目录：", "Website path:"},
    {"WebIPLabel", "Web 站点IP地址：", "Web IP:"},
    {"BitBtn3", "浏  览", "Browse"},
    {"PhotoPathBitBtn", "浏  览", "Browse"},
    {"WebPathBitBtn", "浏  览", "Browse"},
    {"GroupBox2", "硬盘空间不够处理方式", "When HDD full "},
    {"StopRecRadioBtn", "提示并停止录像", "Stop Rec. && notify"},
    {"GroupBox4", "报警设置", "Alarm settings"},
    {"CheckBoxBeep", "报警发生时允许蜂鸣器报警", "Send sound signal when alarm triggered "},
    {"lblRotateTime", "切换时间:", "Rotation duration:"},
    {"Label39", "报警联动录像时间：", "Alarm triggered rec time:"},
    {"Label40", "秒", "Second"},
    {"lbl2", "报警联动输出时间:", "Alarm OutPut duration:"},
    {"OutPortLabel", "输出类型:", "OutPut type:"},
    {"AutoSwitchLabel", "视频切换时间：", "Swicth time:"},
    {"SwitchTimeLabel", "秒", "Second"},
    {"ChgStateLabel", "分钟鼠标键盘无动作时，自动切换到锁定状态",
        "minute later, auto change to system lock state"},
    {"GroupBox15", "语言选择", "Language"},
    {"CnRadioBtn", "中  文", "Chinese"},
    {"EnRadioBtn", "英  文", "English"},
    {"AutoLoginUserLabel", "用户名：", "User name:"},
    {"AutoLoginPwdLabel", "密  码：", "Password:"},
};

constexpr int kDriveColumn = 0;
constexpr int kPositionColumn = 1;
constexpr int kDriveColumnWidth = 150;
constexpr int kAutoLoginLeft = 430;
constexpr int kAutoLoginTop = 410;

} // namespace

SystemPage::SystemPage(SetupContext &context, QWidget *sheet, NetworkPage &networkPage)
    : SetupPage(context, sheet), m_networkPage(networkPage)
{
    buildPaths(sheet);
    buildAlarms(sheet);
    buildDisplayAndLock(sheet);
    buildDrivesLanguageAndLogin(sheet);
    m_options.bind(context, sheet,
        {"VideoFilesPathEdit", "PhotoPathEdit", "WebPathEdit", "WebIPEdit", "DelFirstRadioBtn",
            "AutoLoginChkBox"});
    // The login texts are shown and written back without blanks at their ends.
    m_options.bind(
        context, sheet, {"AutoLoginUserEdit", "AutoLoginPwdEdit"}, Bindings::Ends::Trimmed);
    m_options.bind(context, sheet,
        {"CheckBox2", "CheckBoxBeep", "CheckBox7", "chkAlarmRotate", "seRotateTime", "SpinEdit3",
            "seAlarmOutPutTime", "cbbOutPortType", "AutoSwitchCheckBox", "SwitchTimeSpinEdit",
            "AutoChgStateChkBox", "ChgStateSpinEdit", "chkExitQuery"});
}

void SystemPage::buildPaths(QWidget *sheet)
{
    GroupBox3 = place<QGroupBox>("GroupBox3", sheet, 8, 6, 816, 154);
    // The folders are shown and written back as read; there is no way to browse for them.
    auto folderRow = [this](const char *labelName, const char *editName, const char *buttonName,
                         int top, QLabel **label, QLineEdit **edit, QPushButton **button) {
        *label = place<QLabel>(labelName, GroupBox3, 12, top, 130, 21);
        *edit = place<QLineEdit>(editName, GroupBox3, 146, top, 560, 21);
        (*edit)->setReadOnly(true);
        *button = place<QPushButton>(buttonName, GroupBox3, 716, top - 2, 88, 25);
        (*button)->setEnabled(false);
    };
    folderRow(
        "Label32", "VideoFilesPathEdit", "BitBtn3", 24, &Label32, &VideoFilesPathEdit, &BitBtn3);
    Label15 = place<QLabel>("Label15", GroupBox3, 146, 47, 560, 18);
    folderRow("PhotoPathLabel", "PhotoPathEdit", "PhotoPathBitBtn", 68, &PhotoPathLabel,
        &PhotoPathEdit, &PhotoPathBitBtn);
    folderRow("WebPathLabel", "WebPathEdit", "WebPathBitBtn", 96, &WebPathLabel, &WebPathEdit,
        &WebPathBitBtn);
    WebIPLabel = place<QLabel>("WebIPLabel", GroupBox3, 12, 124, 130, 21);
    WebIPEdit = place<QLineEdit>("WebIPEdit", GroupBox3, 146, 124, 200, 21);
    WebIPEdit->setValidator(new GbkByteValidator(int(settings::kMaxProfileValue), WebIPEdit));
}

void SystemPage::buildAlarms(QWidget *sheet)
{
    GroupBox2 = place<QGroupBox>("GroupBox2", sheet, 420, 168, 404, 74);
    placeColumn<QRadioButton>(GroupBox2, {12, 22, 384, 20}, 24,
        {{DelFirstRadioBtn, "DelFirstRadioBtn"}, {StopRecRadioBtn, "StopRecRadioBtn"}});

    GroupBox4 = place<QGroupBox>("GroupBox4", sheet, 8, 168, 404, 236);
    placeColumn<QCheckBox>(GroupBox4, {12, 22, 384, 20}, 24,
        {{CheckBox2, "CheckBox2"}, {CheckBoxBeep, "CheckBoxBeep"}, {CheckBox7, "CheckBox7"},
            {chkAlarmRotate, "chkAlarmRotate"}});
    const LineShape alarmLine {170, 4, 60, 21, 21, 0};
    seRotateTime = placeLine<NumberField>(
        alarmLine, GroupBox4, 30, 122, lblRotateTime, "lblRotateTime", "seRotateTime");
    SpinEdit3
        = placeLine<NumberField>(alarmLine, GroupBox4, 30, 150, Label39, "Label39", "SpinEdit3");
    Label40 = place<QLabel>("Label40", GroupBox4, 270, 150, 100, 21);
    seAlarmOutPutTime
        = placeLine<NumberField>(alarmLine, GroupBox4, 30, 178, lbl2, "lbl2", "seAlarmOutPutTime");
    OutPortLabel = place<QLabel>("OutPortLabel", GroupBox4, 30, 206, 170, 21);
    cbbOutPortType = place<QComboBox>("cbbOutPortType", GroupBox4, 204, 205, 180, 23);
    for (size_t entry = 0; entry < schema::settingOf("cbbOutPortType").choices.size(); ++entry)
        cbbOutPortType->addItem(QString());
}

void SystemPage::buildDisplayAndLock(QWidget *sheet)
{
    AutoSwitchCheckBox = place<QCheckBox>("AutoSwitchCheckBox", sheet, 16, 414, 390, 20);
    SwitchTimeSpinEdit = placeLine<NumberField>({166, 10, 60, 21, 21, 0}, sheet, 36, 438,
        AutoSwitchLabel, "AutoSwitchLabel", "SwitchTimeSpinEdit");
    SwitchTimeLabel = place<QLabel>("SwitchTimeLabel", sheet, 278, 438, 100, 21);

    AutoChgStateChkBox = place<QCheckBox>("AutoChgStateChkBox", sheet, 16, 468, 390, 20);
    ChgStateSpinEdit = place<NumberField>("ChgStateSpinEdit", sheet, 36, 492, 50, 21);
    ChgStateLabel = place<QLabel>("ChgStateLabel", sheet, 92, 492, 320, 21);

    chkExitQuery = place<QCheckBox>("chkExitQuery", sheet, 16, 524, 390, 20);
    QPalette red = chkExitQuery->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    red.setColor(QPalette::ButtonText, Qt::red);
    chkExitQuery->setPalette(red);

    for (QCheckBox *box : {AutoSwitchCheckBox, AutoChgStateChkBox})
        QObject::connect(box, &QCheckBox::toggled, sheet, [this] { updateEnabling(); });
}

void SystemPage::buildDrivesLanguageAndLogin(QWidget *sheet)
{
    DriveListView = place<QTreeWidget>("DriveListView", sheet, 420, 252, 190, 152);
    DriveListView->setRootIsDecorated(false);
    DriveListView->setColumnCount(2);
    DriveListView->setColumnWidth(kDriveColumn, kDriveColumnWidth);
    DriveListView->setColumnHidden(kPositionColumn, true);
    DriveListView->header()->setSectionsClickable(false);
    QObject::connect(
        DriveListView, &QTreeWidget::itemChanged, sheet, [this] { m_context.noteChange(); });
    QObject::connect(
        DriveListView, &QTreeWidget::currentItemChanged, sheet, [this] { m_context.noteChange(); });

    GroupBox15 = place<QGroupBox>("GroupBox15", sheet, 624, 252, 200, 58);
    CnRadioBtn = place<QRadioButton>("CnRadioBtn", GroupBox15, 12, 26, 86, 20);
    EnRadioBtn = place<QRadioButton>("EnRadioBtn", GroupBox15, 104, 26, 90, 20);
    CnRadioBtn->setChecked(true);

    // The check box sits on the top edge of its group's frame and covers the line behind it.
    AutoLoginGroupBox = place<QGroupBox>("AutoLoginGroupBox", sheet, 420, 420, 404, 104);
    AutoLoginChkBox
        = place<QCheckBox>("AutoLoginChkBox", sheet, kAutoLoginLeft, kAutoLoginTop, 93, 20);
    AutoLoginChkBox->setAutoFillBackground(true);
    AutoLoginChkBox->raise();
    QObject::connect(AutoLoginChkBox, &QCheckBox::toggled, sheet, [this] { updateEnabling(); });
    AutoLoginUserLabel = place<QLabel>("AutoLoginUserLabel", AutoLoginGroupBox, 16, 30, 100, 21);
    AutoLoginUserEdit = place<QLineEdit>("AutoLoginUserEdit", AutoLoginGroupBox, 120, 30, 200, 21);
    AutoLoginPwdLabel = place<QLabel>("AutoLoginPwdLabel", AutoLoginGroupBox, 16, 64, 100, 21);
    AutoLoginPwdEdit = place<QLineEdit>("AutoLoginPwdEdit", AutoLoginGroupBox, 120, 64, 200, 21);
    AutoLoginPwdEdit->setEchoMode(QLineEdit::Password);
    AutoLoginPwdEdit->setStyleSheet(QStringLiteral("lineedit-password-character: 35")); // '#'
    // Plain texts of the system options: as long as a profile value can be read back, and only
    // what GBK can carry. They are not user records, so a longer stored value stays whole.
    for (QLineEdit *edit : {AutoLoginUserEdit, AutoLoginPwdEdit})
        edit->setValidator(new GbkByteValidator(int(settings::kMaxProfileValue), edit));
}

std::span<const TextEntry> SystemPage::texts() const
{
    return kTexts;
}

void SystemPage::retranslateRows()
{
    // A font wider than the design's gets the width its text needs.
    AutoLoginChkBox->resize(
        std::max(formats::isChinese() ? 93 : 126, AutoLoginChkBox->sizeHint().width()),
        AutoLoginChkBox->height());
    Label15->setVisible(formats::isChinese());
    DriveListView->setHeaderLabels({formats::pick("录像文件存储磁盘", "Record disk"), QString()});
    const std::span<const schema::Choice> outputTypes = schema::settingOf("cbbOutPortType").choices;
    for (size_t entry = 0; entry < outputTypes.size(); ++entry)
        cbbOutPortType->setItemText(int(entry),
            formats::pick(outputTypes[entry].words.chinese, outputTypes[entry].words.english));
}

void SystemPage::updateEnabling()
{
    enableWhile(
        AutoSwitchCheckBox->isChecked(), {AutoSwitchLabel, SwitchTimeSpinEdit, SwitchTimeLabel});
    enableWhile(AutoLoginChkBox->isChecked(),
        {AutoLoginUserLabel, AutoLoginPwdLabel, AutoLoginUserEdit, AutoLoginPwdEdit});
    enableWhile(AutoChgStateChkBox->isChecked(), {ChgStateSpinEdit, ChgStateLabel});
}

void SystemPage::load()
{
    const settings::ProfileFile sysSet = m_context.file(settings::SettingsFile::SysSet);
    m_options.load(sysSet);

    m_networkPage.loadPorts(sysSet);
    m_context.channelCount = formats::boundedCount(
        formats::readNumber(sysSet,
            schema::setting(settings::SettingsFile::SysSet, "System Options", "MaxRecCount")),
        formats::kMaxChannels);
    m_context.sensorCount = formats::boundedCount(
        formats::readNumber(sysSet,
            schema::setting(settings::SettingsFile::SysSet, "Sensor Options", "AlarmDevChn")),
        formats::kMaxSensors);

    updateEnabling();
    fillDriveList(formats::readText(sysSet, schema::settingOf("DriveListView")));
}

void SystemPage::fillDriveList(const QByteArray &useState)
{
    DriveListView->clear();
    for (const formats::DriveRow &drive : formats::drivesFromUseState(useState)) {
        auto *row = new QTreeWidgetItem(DriveListView);
        row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
        row->setText(kDriveColumn, drive.caption());
        row->setText(kPositionColumn, QString::number(drive.position));
        row->setCheckState(kDriveColumn, drive.recording ? Qt::Checked : Qt::Unchecked);
    }
}

std::vector<formats::DriveRow> SystemPage::driveRows() const
{
    std::vector<formats::DriveRow> rows;
    for (int index = 0; index < DriveListView->topLevelItemCount(); ++index) {
        const QTreeWidgetItem *row = DriveListView->topLevelItem(index);
        rows.push_back(
            {row->text(kPositionColumn).toInt(), row->checkState(kDriveColumn) == Qt::Checked});
    }
    return rows;
}

void SystemPage::save()
{
    const settings::ProfileFile sysSet = m_context.file(settings::SettingsFile::SysSet);
    m_options.save(sysSet);

    // The drive text is read again so that drives without a row keep their characters.
    if (DriveListView->topLevelItemCount() > 0) {
        const std::vector<formats::DriveRow> rows = driveRows();
        const schema::Setting &useState = schema::settingOf("DriveListView");
        formats::writeText(sysSet, useState,
            formats::useStateWithDrives(formats::readText(sysSet, useState), rows));
    }

    m_networkPage.savePorts(sysSet);
    if (m_context.saveAlarmDeviceKeys)
        m_context.saveAlarmDeviceKeys(sysSet);
}

} // namespace quillon::editor
