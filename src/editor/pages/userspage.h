#pragma once

#include "editor/pages/setuppage.h"
#include "formats/systemsettings.h"
#include "settings/userrecords.h"

#include <array>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QStackedWidget;

namespace quillon::editor {

// The server's user accounts; every change rewrites the user file at once. The list shows the
// built-in administrator first (it is not stored in the file; only its e-map privilege can be
// changed), then one entry per stored record, in file order: entry n is record n - 1.
class UsersPage : public SetupPage
{
public:
    UsersPage(SetupContext &context, QWidget *sheet);

    // Reads the user file and lists the administrator and the users, none selected.
    void load();
    // Shows the list view of the page.
    void showList();

    std::span<const TextEntry> texts() const override;
    void retranslateRows() override;

private:
    static constexpr int kAdministratorRow = 0;

    void buildListView(QWidget *view);
    void buildEditor(QWidget *view);
    void AddUserClick();
    void ChangeUserClick();
    void SubbUserClick();
    void BitBtnAddOverClick();
    void finishAdding();
    void finishChanging();
    void showAdministrator();
    void showUser(const settings::UserRecord &record);
    void fillRecordFromBoxes(settings::UserRecord &record) const;
    void removeRows(std::vector<int> rowsDescending);
    void writeUsers();
    void notice(const char *chinese, const char *english);

    QStackedWidget *NotebookUser = nullptr;
    QGroupBox *GroupBox1 = nullptr;
    QLabel *Label3 = nullptr;
    QListWidget *ListBoxUser = nullptr;
    QLabel *Label2 = nullptr;
    QPushButton *ChangeUser = nullptr;
    QPushButton *AddUser = nullptr;
    QPushButton *SubbUser = nullptr;

    QLabel *Label11 = nullptr;
    QLineEdit *EditUser = nullptr;
    QLabel *Label10 = nullptr;
    QLineEdit *EditPassword1 = nullptr;
    QLabel *Label12 = nullptr;
    QLineEdit *EditPassword2 = nullptr;
    QLabel *Label9 = nullptr;
    std::array<QCheckBox *, settings::UserRecord::kPrivileges> UserChkBox {};
    std::array<QCheckBox *, settings::UserRecord::kPreviewChannels> PrvChkBox {};
    QLabel *Label13 = nullptr;
    QPushButton *BitBtnAddOver = nullptr;
    QPushButton *BitBtn4 = nullptr;

    settings::UserRecords m_users;
    // The list entry whose change the editor shows.
    int m_changingRow = kAdministratorRow;
    formats::StoredText m_password;
};

} // namespace quillon::editor
