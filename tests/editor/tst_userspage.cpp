// The user accounts page: reading the user file, adding, changing and deleting accounts with
// their notices and questions, the administrator's e-map privilege, the 31-byte fields and
// the language switch. Every change is in the user file at once.

#include "support/modalscript.h"
#include "support/setupfixture.h"
#include "support/userrecord.h"

#include "settings/gbk.h"
#include "settings/userrecords.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>

using namespace quillon;
using settings::SettingsFile;
using settings::UserRecord;

class TestUsersPage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_fixture = SetupFixture::withSamples();
        m_boxes = std::make_unique<ModalScript>();
    }
    void cleanup() { m_form.reset(); }

    void userFileSize_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("entries");
        const QByteArray two
            = settings::encodeUsers({userRecord("ann", "1"), userRecord("ben", "2")});
        QTest::newRow("224 bytes") << two << 3;
        QTest::newRow("225 bytes") << two + '\0' << 1;
    }

    void userFileSize()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, entries);
        m_fixture->write(SettingsFile::User, file);
        showForm();
        QCOMPARE(list()->count(), entries);
        QCOMPARE(list()->item(0)->text(), QString::fromUtf8("系统管理员"));
        QCOMPARE(list()->item(entries - 1)->text(),
            entries == 3 ? QStringLiteral("ben") : list()->item(0)->text());
        QVERIFY(list()->currentRow() == -1 && list()->selectedItems().isEmpty());
    }

    void add_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password2");
        QTest::addColumn<QString>("notice");
        const QString stored;
        QTest::newRow("new name") << QStringLiteral(" kim ") << QStringLiteral("p w") << stored;
        QTest::newRow("other letter case")
            << QStringLiteral("Operator") << QStringLiteral("p w") << stored;
        QTest::newRow("administrator's name")
            << QString::fromUtf8("系统管理员") << QStringLiteral("p w") << stored;
        QTest::newRow("blank name") << QStringLiteral("   ") << QStringLiteral("p w")
                                    << QString::fromUtf8("对不起，您没有输入用户名称，请输入！");
        QTest::newRow("passwords differ")
            << QStringLiteral("kim") << QStringLiteral("p x")
            << QString::fromUtf8("对不起，您两次输入的密码不相符，请重新输入！");
        QTest::newRow("name exists") << QStringLiteral("operator") << QStringLiteral("p w")
                                     << QString::fromUtf8("该用户已经存在，请更改其他用户名！");
    }

    // A new record gets the trimmed name, the password as typed and what the boxes show,
    // flags 11 and 12 included.
    void add()
    {
        QFETCH(QString, name);
        QFETCH(QString, password2);
        QFETCH(QString, notice);
        const QByteArray before = m_fixture->read(SettingsFile::User);
        showForm();
        press("AddUser");
        QVERIFY(view() == 1 && edit("EditUser")->isEnabled());
        edit("EditUser")->insert(name);
        QTest::keyClicks(edit("EditPassword1"), QStringLiteral("p w"));
        QTest::keyClicks(edit("EditPassword2"), password2);
        box("UserChkBox2")->click();
        box("UserChkBox11")->click();
        box("PrvChkBox3")->click();
        press("BitBtnAddOver");
        if (!notice.isEmpty()) {
            QCOMPARE(m_boxes->takeTexts(), QStringList {notice});
            QVERIFY(view() == 1 && list()->count() == 5);
            QCOMPARE(m_fixture->read(SettingsFile::User), before);
            return;
        }
        QCOMPARE(view(), 0);
        QCOMPARE(list()->currentRow(), 5);
        QCOMPARE(list()->currentItem()->text(), name.trimmed());
        UserRecord expected = userRecord(settings::toGbk(name.trimmed()).value(), "p w");
        expected.setPrivilege(2, true);
        expected.setPrivilege(11, true);
        expected.setMayPreview(3, true);
        QCOMPARE(storedUsers().back(), expected);
        QCOMPARE(m_fixture->read(SettingsFile::User).left(before.size()), before);
        QVERIFY(!control<QPushButton>(m_form.get(), "ApplyBitBtn")->isEnabled());
    }

    // No field takes more than 31 GBK bytes or a character GBK cannot carry.
    void fieldsHoldThirtyOneBytes()
    {
        showForm();
        press("AddUser");
        for (const char *name : {"EditUser", "EditPassword2"}) {
            QLineEdit *field = edit(name);
            QTest::keyClicks(field, QString(40, QLatin1Char('x')));
            QCOMPARE(field->text().size(), 31);
            field->clear();
            field->insert(QString(16, QChar(u'值')));
            QCOMPARE(field->text(), QString());
            field->insert(QString(15, QChar(u'值')) + QLatin1Char('x'));
            QCOMPARE(field->text().size(), 16);
            field->clear();
            field->insert(QString::fromUtf8("a😀"));
            QCOMPARE(field->text(), QString());
        }
    }

    void deleteOneAndSeveral()
    {
        showForm();
        list()->setCurrentRow(2);
        m_boxes->answer(QMessageBox::No);
        press("SubbUser");
        QCOMPARE(list()->count(), 5);
        m_boxes->answer(QMessageBox::Yes);
        press("SubbUser");
        QCOMPARE(names(), QByteArrayList({"supervisor", "\xD6\xB5\xB0\xE0\xD4\xB1", "guest"}));

        list()->setCurrentRow(1);
        list()->item(2)->setSelected(true);
        list()->item(3)->setSelected(true);
        m_boxes->answer(QMessageBox::Yes);
        press("SubbUser");
        QCOMPARE(m_boxes->takeTexts(),
            QStringList({QString::fromUtf8("您确定要删除用户 \"operator\" 吗？"),
                QString::fromUtf8("您确定要删除用户 \"operator\" 吗？"),
                QString::fromUtf8("您确定要删除这 3 个用户吗？")}));
        QCOMPARE(list()->count(), 1);
        QCOMPARE(names(), QByteArrayList());
    }

    void deleteRefusals()
    {
        const QByteArray before = m_fixture->read(SettingsFile::User);
        const QString administrator = QString::fromUtf8("“系统管理员”用户不允许删除！");
        showForm();
        press("SubbUser");
        list()->setCurrentRow(0);
        list()->item(3)->setSelected(true);
        press("SubbUser");
        // The administrator as the current entry with nothing selected is refused as well.
        list()->clearSelection();
        press("SubbUser");
        QCOMPARE(m_boxes->takeTexts(),
            QStringList({QString::fromUtf8("对不起，您没有选择用户，请先选择用户！"), administrator,
                administrator}));
        QCOMPARE(m_fixture->read(SettingsFile::User), before);
    }

    // Flags 11 and 12 are shown and stored like the others, so an untouched change keeps them.
    void change()
    {
        const settings::UserRecords before = storedUsers();
        showForm();
        press("ChangeUser");
        list()->setCurrentRow(1);
        list()->item(2)->setSelected(true);
        press("ChangeUser"); // two entries: nothing happens
        QCOMPARE(view(), 0);
        list()->clearSelection();
        list()->setCurrentRow(3); // 值班员
        press("ChangeUser");
        QVERIFY(view() == 1 && !edit("EditUser")->isEnabled());
        QCOMPARE(edit("EditUser")->text(), QString::fromUtf8("值班员"));
        QCOMPARE(edit("EditPassword2")->text(), QStringLiteral("zb8866"));
        QVERIFY(box("UserChkBox11")->isChecked() && !box("UserChkBox12")->isChecked());
        QVERIFY(box("PrvChkBox12")->isChecked() && !box("PrvChkBox13")->isChecked());

        edit("EditPassword1")->setText(QStringLiteral("new"));
        press("BitBtnAddOver");
        QCOMPARE(edit("EditPassword2")->selectedText(), QStringLiteral("zb8866"));
        QCOMPARE(storedUsers(), before);
        edit("EditPassword2")->setText(QStringLiteral("new"));
        box("UserChkBox3")->click();
        box("PrvChkBox13")->click();
        press("BitBtnAddOver");
        QCOMPARE(m_boxes->takeTexts(),
            QStringList({QString::fromUtf8("对不起,您没有选择用户,请先选择用户！"),
                QString::fromUtf8("对不起，您两次输入的密码不相符，请重新输入密码！")}));
        QCOMPARE(view(), 0);
        settings::UserRecords expected = before;
        expected[2].setPassword("new");
        expected[2].setPrivilege(3, false);
        expected[2].setMayPreview(13, true);
        QCOMPARE(storedUsers(), expected);
    }

    // Only the administrator's e-map privilege can change: a key of the system options,
    // written at once.
    void administrator()
    {
        const QByteArray users = m_fixture->read(SettingsFile::User);
        showForm();
        list()->setCurrentRow(0);
        press("ChangeUser");
        QCOMPARE(edit("EditUser")->text(), QString::fromUtf8("系统管理员"));
        QCOMPARE(edit("EditPassword1")->text(), QStringLiteral("########"));
        QVERIFY(!edit("EditPassword1")->isEnabled());
        for (int number = 1; number <= 12; ++number) {
            QCheckBox *privilege = box(qPrintable(QStringLiteral("UserChkBox%1").arg(number)));
            QCOMPARE(privilege->isChecked(), number <= 11); // the sample grants the e-map
            QCOMPARE(privilege->isEnabled(), number == 10);
        }
        QVERIFY(box("PrvChkBox36")->isChecked() && !box("PrvChkBox36")->isEnabled());
        box("UserChkBox10")->click();
        press("BitBtnAddOver");
        QCOMPARE(m_fixture->read(SettingsFile::SysSet),
            withValue(SetupFixture::sampleSysSet(), "UseElecMap", "0"));
        QCOMPARE(m_fixture->read(SettingsFile::User), users);
        QVERIFY(!control<QPushButton>(m_form.get(), "ApplyBitBtn")->isEnabled());
    }

    // Entries stand for records by position, so a name with blanks around it or a name that
    // occurs twice changes and deletes the record that was chosen.
    void recordsFoundByPosition()
    {
        m_fixture->write(SettingsFile::User,
            settings::encodeUsers(
                {userRecord("dup", "a"), userRecord("dup", "b"), userRecord(" bob", "c")}));
        showForm();
        list()->setCurrentRow(1);
        press("ChangeUser");
        QCOMPARE(edit("EditPassword1")->text(), QStringLiteral("a"));
        edit("EditPassword1")->setText(QStringLiteral("z"));
        edit("EditPassword2")->setText(QStringLiteral("z"));
        press("BitBtnAddOver");
        list()->setCurrentRow(3);
        m_boxes->answer(QMessageBox::Yes);
        press("SubbUser");
        QCOMPARE(
            m_boxes->takeTexts(), QStringList {QString::fromUtf8("您确定要删除用户 \"bob\" 吗？")});
        QCOMPARE(
            storedUsers(), settings::UserRecords({userRecord("dup", "z"), userRecord("dup", "b")}));
    }

    void languageSwitch()
    {
        showForm();
        auto *note = control<QLabel>(m_form.get(), "Label2");
        list()->setCurrentRow(0);
        press("ChangeUser");
        control<QRadioButton>(m_form.get(), "EnRadioBtn")->click();
        QCOMPARE(list()->item(0)->text(), QStringLiteral("Administrator"));
        QCOMPARE(edit("EditUser")->text(), QStringLiteral("Administrator"));
        QVERIFY(note->isHidden());
        QCOMPARE(box("UserChkBox11")->text(), QString::fromUtf8("最小化"));
        QCOMPARE(box("PrvChkBox7")->text(), QStringLiteral("Chn7 prv"));
        control<QRadioButton>(m_form.get(), "CnRadioBtn")->click();
        QCOMPARE(edit("EditUser")->text(), QString::fromUtf8("系统管理员"));
        QCOMPARE(box("PrvChkBox7")->text(), QString::fromUtf8("预览通道7"));
        QVERIFY(!note->isHidden());

        // A new user whose typed name is the administrator's caption keeps that name.
        press("BitBtn4");
        press("AddUser");
        edit("EditUser")->setText(QStringLiteral("Administrator"));
        control<QRadioButton>(m_form.get(), "EnRadioBtn")->click();
        control<QRadioButton>(m_form.get(), "CnRadioBtn")->click();
        QCOMPARE(edit("EditUser")->text(), QStringLiteral("Administrator"));
        QCOMPARE(list()->item(0)->text(), QString::fromUtf8("系统管理员"));
    }

private:
    void showForm() { m_form = m_fixture->showForm(); }
    QListWidget *list() const { return control<QListWidget>(m_form.get(), "ListBoxUser"); }
    QLineEdit *edit(const char *name) const { return control<QLineEdit>(m_form.get(), name); }
    QCheckBox *box(const char *name) const { return control<QCheckBox>(m_form.get(), name); }
    void press(const char *name) const { control<QPushButton>(m_form.get(), name)->click(); }
    int view() const
    {
        return control<QStackedWidget>(m_form.get(), "NotebookUser")->currentIndex();
    }
    settings::UserRecords storedUsers() const
    {
        return settings::decodeUsers(m_fixture->read(SettingsFile::User));
    }

    QByteArrayList names() const
    {
        QByteArrayList result;
        for (const UserRecord &user : storedUsers())
            result << user.name();
        return result;
    }

    std::unique_ptr<SetupFixture> m_fixture;
    std::unique_ptr<ModalScript> m_boxes;
    std::unique_ptr<editor::TSysSetForm> m_form;
};

QTEST_MAIN(TestUsersPage)
#include "tst_userspage.moc"
