#pragma once

#include "editor/bindings.h"
#include "editor/pages/setuppage.h"
#include "formats/systemsettings.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;

namespace quillon::editor {

class NetworkPage;

class NumberField;

// System parameters: recording, alarms, display, login, drives and the window's language.
class SystemPage : public SetupPage
{
public:
    // The network page's port fields are saved with the system options.
    SystemPage(SetupContext &context, QWidget *sheet, NetworkPage &networkPage);

    // Reads the system options; yields the channel and sensor counts of the window.
    void load();
    // Writes the system options in the file's order, the network ports and the alarm device
    // keys included; the channel and sensor counts and the e-map key are never written here.
    void save();

    std::span<const TextEntry> texts() const override;
    void retranslateRows() override;

    QRadioButton *chineseButton() const { return CnRadioBtn; }
    QRadioButton *englishButton() const { return EnRadioBtn; }
    QComboBox *outputTypeList() const { return cbbOutPortType; }

private:
    NetworkPage &m_networkPage;
    void buildPaths(QWidget *sheet);
    void buildAlarms(QWidget *sheet);
    void buildDisplayAndLock(QWidget *sheet);
    void buildDrivesLanguageAndLogin(QWidget *sheet);
    void updateEnabling();
    void fillDriveList(const QByteArray &useState);
    std::vector<formats::DriveRow> driveRows() const;

    QGroupBox *GroupBox3 = nullptr;
    QLabel *Label32 = nullptr;
    QLineEdit *VideoFilesPathEdit = nullptr;
    QPushButton *BitBtn3 = nullptr;
    QLabel *Label15 = nullptr;
    QLabel *PhotoPathLabel = nullptr;
    QLineEdit *PhotoPathEdit = nullptr;
    QPushButton *PhotoPathBitBtn = nullptr;
    QLabel *WebPathLabel = nullptr;
    QLineEdit *WebPathEdit = nullptr;
    QPushButton *WebPathBitBtn = nullptr;
    QLabel *WebIPLabel = nullptr;
    QLineEdit *WebIPEdit = nullptr;

    QGroupBox *GroupBox2 = nullptr;
    QRadioButton *DelFirstRadioBtn = nullptr;
    QRadioButton *StopRecRadioBtn = nullptr;

    QGroupBox *GroupBox4 = nullptr;
    QCheckBox *CheckBox2 = nullptr;
    QCheckBox *CheckBoxBeep = nullptr;
    QCheckBox *CheckBox7 = nullptr;
    QCheckBox *chkAlarmRotate = nullptr;
    QLabel *lblRotateTime = nullptr;
    NumberField *seRotateTime = nullptr;
    QLabel *Label39 = nullptr;
    NumberField *SpinEdit3 = nullptr;
    QLabel *Label40 = nullptr;
    QLabel *lbl2 = nullptr;
    NumberField *seAlarmOutPutTime = nullptr;
    QLabel *OutPortLabel = nullptr;
    QComboBox *cbbOutPortType = nullptr;

    QCheckBox *AutoSwitchCheckBox = nullptr;
    QLabel *AutoSwitchLabel = nullptr;
    NumberField *SwitchTimeSpinEdit = nullptr;
    QLabel *SwitchTimeLabel = nullptr;
    QCheckBox *AutoChgStateChkBox = nullptr;
    NumberField *ChgStateSpinEdit = nullptr;
    QLabel *ChgStateLabel = nullptr;
    QCheckBox *chkExitQuery = nullptr;

    QTreeWidget *DriveListView = nullptr;
    QGroupBox *GroupBox15 = nullptr;
    QRadioButton *CnRadioBtn = nullptr;
    QRadioButton *EnRadioBtn = nullptr;

    QGroupBox *AutoLoginGroupBox = nullptr;
    QCheckBox *AutoLoginChkBox = nullptr;
    QLabel *AutoLoginUserLabel = nullptr;
    QLineEdit *AutoLoginUserEdit = nullptr;
    QLabel *AutoLoginPwdLabel = nullptr;
    QLineEdit *AutoLoginPwdEdit = nullptr;

    // The folders, the disk-full rule, the automatic login and the alarm, display and lock
    // options, in the order they are written.
    Bindings m_options;
};

} // namespace quillon::editor
