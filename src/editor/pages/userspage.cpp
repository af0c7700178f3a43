#include "editor/pages/userspage.h"

#include "editor/messages.h"
#include "editor/numberfield.h"
#include "formats/language.h"
#include "formats/profileaccess.h"
#include "settings/gbk.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>

#include <algorithm>

namespace quillon::editor {

namespace {

constexpr TextEntry kTexts[] = {
    {"GroupBox1", "用户管理", "User management"},
    {"ChangeUser", "修改用户", "Modify user"},
    {"AddUser", "添加用户", "Add user"},
    {"SubbUser", "删除用户", "Delete user"},
    {"Label3", "系统用户", "User"},
    {"Label2", "        以下显示了本系统的所有用户设置，每一个用户都拥有自己的密码和权限范围。",
        ""},
    {"Label11", "用户名", "User name"},
    {"Label10", "密码", "Password"},
    {"Label12", "确认密码", "Password confirm"},
    {"Label9", "权限列表", "Authorization"},
    {"Label13", "设置完毕之后请点击 <完成> 按钮 ------>",
        "Press <OK> button after settings ------>"},
    {"BitBtnAddOver", "完  成", "OK"},
    {"BitBtn4", "放  弃", "Cancel"},
    {"UserChkBox1", "用户管理", "User management"},
    {"UserChkBox2", "参数设置", "System settings"},
    {"UserChkBox3", "手动录像/停止", "Manual record on/off"},
    {"UserChkBox4", "屏幕切换控制", "Screen switch"},
    {"UserChkBox5", "云台、镜头控制", "PTZ"},
    {"UserChkBox6", "历史录像检索", "Record searches"},
    {"UserChkBox7", "网络图像接收", "Remote access"},
    {"UserChkBox8", "图片浏览、抓拍", "Photo management"},
    {"UserChkBox9", "外部应用程序管理", "User application management"},
    {"UserChkBox11", "最小化", "最小化"},
    {"UserChkBox12", "退出系统关闭电源", "退出系统关闭电源"},
};

constexpr const char *kAdministratorChinese = "系统管理员";
constexpr const char *kAdministratorEnglish = "Administrator";
constexpr int kElecMapPrivilege = 10;
constexpr int kMinimizePrivilege = 11;
constexpr const char *kHiddenAdministratorPassword = "########";

constexpr int kListView = 0;
constexpr int kEditorView = 1;
constexpr int kPrivilegeColumns = 4;
// The first column holds the longest privilege names.
constexpr int kPrivilegeColumnLefts[kPrivilegeColumns] = {24, 244, 444, 644};
constexpr int kPrivilegeColumnWidths[kPrivilegeColumns] = {216, 196, 196, 180};
constexpr int kPreviewColumns = 6;

QString administratorName()
{
    return formats::pick(kAdministratorChinese, kAdministratorEnglish);
}

QString boxName(const char *stem, int number)
{
    return QLatin1String(stem) + QString::number(number);
}

} // namespace

UsersPage::UsersPage(SetupContext &context, QWidget *sheet) : SetupPage(context, sheet)
{
    NotebookUser = place<QStackedWidget>("NotebookUser", sheet, 0, 0, 832, 580);
    auto *listView = new QWidget(NotebookUser);
    auto *editorView = new QWidget(NotebookUser);
    NotebookUser->addWidget(listView);
    NotebookUser->addWidget(editorView);
    buildListView(listView);
    buildEditor(editorView);
}

void UsersPage::buildListView(QWidget *view)
{
    GroupBox1 = place<QGroupBox>("GroupBox1", view, 8, 8, 816, 560);
    Label3 = place<QLabel>("Label3", GroupBox1, 24, 28, 320, 20);
    ListBoxUser = place<QListWidget>("ListBoxUser", GroupBox1, 24, 52, 320, 420);
    ListBoxUser->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ChangeUser = place<QPushButton>("ChangeUser", GroupBox1, 372, 52, 130, 30);
    AddUser = place<QPushButton>("AddUser", GroupBox1, 372, 94, 130, 30);
    SubbUser = place<QPushButton>("SubbUser", GroupBox1, 372, 136, 130, 30);
    Label2 = place<QLabel>("Label2", GroupBox1, 24, 488, 760, 44);
    Label2->setWordWrap(true);

    QObject::connect(ChangeUser, &QPushButton::clicked, view, [this] { ChangeUserClick(); });
    QObject::connect(AddUser, &QPushButton::clicked, view, [this] { AddUserClick(); });
    QObject::connect(SubbUser, &QPushButton::clicked, view, [this] { SubbUserClick(); });
}

void UsersPage::buildEditor(QWidget *view)
{
    auto textRow
        = [this, view](const char *labelName, const char *editName, int left, QLabel **label) {
              *label = place<QLabel>(labelName, view, left, 20, 220, 20);
              auto *edit = place<QLineEdit>(editName, view, left, 42, 220, 22);
              // A field of the 112-byte record holds 31 GBK bytes and its terminating zero.
              edit->setValidator(new GbkByteValidator(settings::UserRecord::kMaxTextBytes, edit));
              (*label)->setBuddy(edit);
              return edit;
          };
    EditUser = textRow("Label11", "EditUser", 24, &Label11);
    EditPassword1 = textRow("Label10", "EditPassword1", 270, &Label10);
    EditPassword2 = textRow("Label12", "EditPassword2", 516, &Label12);
    for (QLineEdit *password : {EditPassword1, EditPassword2}) {
        password->setEchoMode(QLineEdit::Password);
        password->setStyleSheet(QStringLiteral("lineedit-password-character: 35")); // '#'
        password->setInputMethodHints(
            Qt::ImhLatinOnly | Qt::ImhSensitiveData | Qt::ImhNoPredictiveText);
    }

    Label9 = place<QLabel>("Label9", view, 24, 84, 220, 20);
    for (int number = 1; number <= settings::UserRecord::kPrivileges; ++number) {
        const int at = number - 1;
        const auto column = size_t(at % kPrivilegeColumns);
        UserChkBox[size_t(at)] = place<QCheckBox>("", view, kPrivilegeColumnLefts[column],
            108 + at / kPrivilegeColumns * 26, kPrivilegeColumnWidths[column], 20);
        UserChkBox[size_t(at)]->setObjectName(boxName("UserChkBox", number));
    }
    for (int channel = 1; channel <= settings::UserRecord::kPreviewChannels; ++channel) {
        const int at = channel - 1;
        PrvChkBox[size_t(at)] = place<QCheckBox>(
            "", view, 24 + at % kPreviewColumns * 132, 196 + at / kPreviewColumns * 26, 128, 20);
        PrvChkBox[size_t(at)]->setObjectName(boxName("PrvChkBox", channel));
    }

    Label13 = place<QLabel>("Label13", view, 24, 382, 430, 22);
    BitBtnAddOver = place<QPushButton>("BitBtnAddOver", view, 470, 378, 110, 30);
    BitBtn4 = place<QPushButton>("BitBtn4", view, 600, 378, 110, 30);
    QObject::connect(BitBtnAddOver, &QPushButton::clicked, view, [this] { BitBtnAddOverClick(); });
    QObject::connect(BitBtn4, &QPushButton::clicked, view, [this] { showList(); });
}

std::span<const TextEntry> UsersPage::texts() const
{
    return kTexts;
}

void UsersPage::retranslateRows()
{
    Label2->setVisible(formats::isChinese());
    if (ListBoxUser->count() > 0)
        ListBoxUser->item(kAdministratorRow)->setText(administratorName());
    // Only the administrator's own entry is renamed; a name typed for a new user stays as typed.
    const bool showsAdministrator = !EditUser->isEnabled() && m_changingRow == kAdministratorRow;
    if (showsAdministrator)
        EditUser->setText(administratorName());
    for (int channel = 1; channel <= settings::UserRecord::kPreviewChannels; ++channel)
        PrvChkBox[size_t(channel - 1)]->setText(
            formats::pick("预览通道%1", "Chn%1 prv").arg(channel));
}

void UsersPage::showList()
{
    NotebookUser->setCurrentIndex(kListView);
}

void UsersPage::load()
{
    m_users = settings::readUsersFile(
        settings::localPath(m_context.workFolder, settings::SettingsFile::User));
    ListBoxUser->clear();
    ListBoxUser->addItem(administratorName());
    for (const settings::UserRecord &record : m_users)
        ListBoxUser->addItem(settings::fromGbk(record.name()));
    ListBoxUser->clearSelection();
    ListBoxUser->setCurrentRow(-1, QItemSelectionModel::NoUpdate);
}

void UsersPage::notice(const char *chinese, const char *english)
{
    showNotice(m_sheet->window(), chinese, english);
}

void UsersPage::writeUsers()
{
    // The list keeps the change either way; the operator must know the file did not.
    if (!settings::writeUsersFile(
            settings::localPath(m_context.workFolder, settings::SettingsFile::User), m_users))
        notice("不能保存用户文件，修改没有写入本地副本。",
            "Can not save the user file; the change was not written to the local copy.");
}

void UsersPage::AddUserClick()
{
    NotebookUser->setCurrentIndex(kEditorView);
    for (QLineEdit *edit : {EditUser, EditPassword1, EditPassword2}) {
        edit->clear();
        edit->setEnabled(true);
    }
    EditUser->setFocus();
    // A new account starts with no privilege at all, the last two included: they are stored
    // like the others, so a state left over from the previous entry must not carry over.
    for (QCheckBox *box : UserChkBox) {
        box->setChecked(false);
        box->setEnabled(true);
    }
    for (QCheckBox *box : PrvChkBox) {
        box->setChecked(false);
        box->setEnabled(true);
    }
}

void UsersPage::ChangeUserClick()
{
    if (ListBoxUser->selectedItems().size() > 1)
        return;
    const int row = ListBoxUser->currentRow();
    if (row < 0) {
        notice("对不起,您没有选择用户,请先选择用户！", "Select user please!");
        return;
    }
    NotebookUser->setCurrentIndex(kEditorView);
    m_changingRow = row;
    if (row == kAdministratorRow)
        showAdministrator();
    else
        showUser(m_users[size_t(row - 1)]);
}

void UsersPage::showUser(const settings::UserRecord &record)
{
    EditUser->setText(ListBoxUser->item(m_changingRow)->text().trimmed());
    EditUser->setEnabled(false);
    const QString password = m_password.load(record.password());
    for (QLineEdit *edit : {EditPassword1, EditPassword2}) {
        edit->setText(password);
        edit->setEnabled(true);
    }
    EditPassword1->setFocus();
    for (int number = 1; number <= settings::UserRecord::kPrivileges; ++number) {
        UserChkBox[size_t(number - 1)]->setChecked(record.privilege(number));
        UserChkBox[size_t(number - 1)]->setEnabled(true);
    }
    for (int channel = 1; channel <= settings::UserRecord::kPreviewChannels; ++channel) {
        PrvChkBox[size_t(channel - 1)]->setChecked(record.mayPreview(channel));
        PrvChkBox[size_t(channel - 1)]->setEnabled(true);
    }
}

// The administrator holds every privilege but power-off and previews every channel; only its
// e-map privilege, a key of the system options, can be changed.
void UsersPage::showAdministrator()
{
    EditUser->setText(administratorName());
    EditUser->setEnabled(false);
    for (QLineEdit *edit : {EditPassword1, EditPassword2}) {
        edit->setText(QLatin1String(kHiddenAdministratorPassword));
        edit->setEnabled(false);
    }
    for (int number = 1; number <= settings::UserRecord::kPrivileges; ++number) {
        QCheckBox *box = UserChkBox[size_t(number - 1)];
        box->setChecked(number <= kMinimizePrivilege);
        box->setEnabled(false);
    }
    QCheckBox *elecMap = UserChkBox[size_t(kElecMapPrivilege - 1)];
    elecMap->setChecked(formats::readFlag(m_context.file(settings::SettingsFile::SysSet),
        schema::settingOf(elecMap->objectName().toLatin1())));
    elecMap->setEnabled(true);
    for (QCheckBox *box : PrvChkBox) {
        box->setChecked(true);
        box->setEnabled(false);
    }
}

void UsersPage::BitBtnAddOverClick()
{
    if (EditUser->isEnabled())
        finishAdding();
    else
        finishChanging();
}

void UsersPage::fillRecordFromBoxes(settings::UserRecord &record) const
{
    for (int number = 1; number <= settings::UserRecord::kPrivileges; ++number)
        record.setPrivilege(number, UserChkBox[size_t(number - 1)]->isChecked());
    for (int channel = 1; channel <= settings::UserRecord::kPreviewChannels; ++channel)
        record.setMayPreview(channel, PrvChkBox[size_t(channel - 1)]->isChecked());
}

void UsersPage::finishAdding()
{
    const QString name = EditUser->text().trimmed();
    if (name.isEmpty()) {
        notice("对不起，您没有输入用户名称，请输入！", "Input user name please!");
        return;
    }
    if (EditPassword1->text() != EditPassword2->text()) {
        notice("对不起，您两次输入的密码不相符，请重新输入！",
            "Sorry, password incorrect, retry again!");
        EditPassword2->selectAll();
        EditPassword2->setFocus();
        return;
    }
    // The fields' validators let in only text that fits its 31-byte field.
    const std::optional<QByteArray> nameBytes = settings::toGbk(name);
    const std::optional<QByteArray> passwordBytes = settings::toGbk(EditPassword1->text());
    settings::UserRecord record;
    if (!nameBytes || !passwordBytes || !record.setName(*nameBytes)
        || !record.setPassword(*passwordBytes))
        return;
    if (settings::findUserByName(m_users, *nameBytes) >= 0) {
        notice("该用户已经存在，请更改其他用户名！", "User name exist, enter again please!");
        EditUser->selectAll();
        EditUser->setFocus();
        return;
    }
    fillRecordFromBoxes(record);
    m_users.push_back(record);
    ListBoxUser->clearSelection();
    ListBoxUser->addItem(name);
    showList();
    ListBoxUser->setCurrentRow(ListBoxUser->count() - 1);
    writeUsers();
}

void UsersPage::finishChanging()
{
    if (EditPassword2->text() != EditPassword1->text()) {
        notice("对不起，您两次输入的密码不相符，请重新输入密码！",
            "Sorry, password incorrect, retry again!");
        EditPassword2->selectAll();
        EditPassword2->setFocus();
        return;
    }
    if (m_changingRow == kAdministratorRow) {
        const QCheckBox *elecMap = UserChkBox[size_t(kElecMapPrivilege - 1)];
        formats::writeFlag(m_context.file(settings::SettingsFile::SysSet),
            schema::settingOf(elecMap->objectName().toLatin1()), elecMap->isChecked());
    } else {
        // The name cannot be edited here: the record keeps its stored name bytes.
        settings::UserRecord &record = m_users[size_t(m_changingRow - 1)];
        if (!record.setPassword(m_password.bytesFor(EditPassword1->text())))
            return;
        fillRecordFromBoxes(record);
        writeUsers();
    }
    showList();
}

void UsersPage::SubbUserClick()
{
    if (ListBoxUser->count() <= 1)
        return;
    const int current = ListBoxUser->currentRow();
    if (current < 0) {
        notice("对不起，您没有选择用户，请先选择用户！", "Select user please!");
        return;
    }
    std::vector<int> selected;
    for (const QModelIndex &index : ListBoxUser->selectionModel()->selectedRows())
        selected.push_back(index.row());
    std::sort(selected.begin(), selected.end(), std::greater<>());
    // With fewer than two entries selected the current entry is the one deleted, so it must not
    // be the administrator either.
    const bool administrator
        = std::find(selected.begin(), selected.end(), kAdministratorRow) != selected.end()
        || (selected.size() < 2 && current == kAdministratorRow);
    if (administrator) {
        notice("“系统管理员”用户不允许删除！", "Cannot delete user: \"Administrator\"!");
        return;
    }
    if (selected.size() < 2) {
        const QString name
            = QLatin1Char('"') + ListBoxUser->item(current)->text().trimmed() + QLatin1Char('"');
        if (askYesNo(m_sheet->window(),
                formats::pick("您确定要删除用户 %1 吗？", "Do you really want to delete user: %1?")
                    .arg(name)))
            removeRows({current});
        return;
    }
    const QString count = QString::number(selected.size());
    if (askYesNo(m_sheet->window(),
            formats::pick(
                "您确定要删除这 %1 个用户吗？", "Do you really want to delete these %1 users?")
                .arg(count)))
        removeRows(selected);
}

void UsersPage::removeRows(std::vector<int> rowsDescending)
{
    for (int row : rowsDescending) {
        m_users.erase(m_users.begin() + (row - 1));
        delete ListBoxUser->takeItem(row);
    }
    writeUsers();
}

} // namespace quillon::editor
