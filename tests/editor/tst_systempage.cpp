// The system options page with the network ports and the hidden text-message page: what they
// load, clamp and write back, the drive text, the output type list, the enabling rules and
// the language switch.

#include "support/modalscript.h"
#include "support/setupfixture.h"

#include "editor/numberfield.h"
#include "formats/language.h"
#include "formats/systemsettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTreeWidget>

#include <algorithm>

using namespace quillon;
using settings::SettingsFile;

class TestSystemPage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_fixture = SetupFixture::withSamples();
        m_boxes = std::make_unique<ModalScript>();
    }

    void driveList_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("C: and D:")
            << withValue(sample(), "UseState", "xy10") << withValue(sample(), "UseState", "xy00");
        QTest::newRow("empty") << withValue(sample(), "UseState", "")
                               << withValue(sample(), "UseState", "");
        const QByteArray missing = sample().replace("UseState=--0111\r\n", "");
        QTest::newRow("missing") << missing << missing;
    }

    // Unchecking C: writes its character only; with no rows the drive text is left alone.
    void driveList()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QByteArray, written);
        m_fixture->write(SettingsFile::SysSet, stored);
        auto form = m_fixture->showForm();
        auto *drives = control<QTreeWidget>(form.get(), "DriveListView");
        if (drives->topLevelItemCount() > 0) {
            QCOMPARE(drives->topLevelItemCount(), 2);
            QCOMPARE(drives->topLevelItem(1)->text(0), QStringLiteral("D:"));
            QCOMPARE(drives->topLevelItem(1)->checkState(0), Qt::Unchecked);
            QCOMPARE(drives->topLevelItem(0)->checkState(0), Qt::Checked);
            drives->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
            QVERIFY(control<QPushButton>(form.get(), "ApplyBitBtn")->isEnabled());
        }
        QCOMPARE(applyAndRead(form.get()), written);
    }

    // Every key goes back as read: bytes that are no valid GBK, a trimmed login name and the
    // keys of other pages included; the counts reach the window.
    void untouchedSaveKeepsStoredValues()
    {
        QByteArray stored = withValue(sample(), "WebSiteIP", "\xFF\x81 host");
        stored = withValue(stored, "VideoFilesPath", "\\\xC2\xBC\xCF\xF1"); // GBK for 录像
        stored = withValue(stored, "AutoUserName", "\" operator \"");
        m_fixture->write(SettingsFile::SysSet, stored);
        auto form = m_fixture->showForm();
        QCOMPARE(control<QTabBar>(form.get(), "SelectChnTabSet")->count(), 16);
        QCOMPARE(control<QTabBar>(form.get(), "SensorChnTabSet")->count(), 16);
        QCOMPARE(control<QLineEdit>(form.get(), "VideoFilesPathEdit")->text(),
            QString::fromUtf8("\\录像"));
        QCOMPARE(control<QLineEdit>(form.get(), "AutoLoginUserEdit")->text(),
            QStringLiteral("operator"));
        QVERIFY(!control<QPushButton>(form.get(), "BitBtn3")->isEnabled());
        QCOMPARE(applyAndRead(form.get()), withValue(stored, "AutoUserName", "operator"));
        QCOMPARE(m_boxes->takeTexts(), QStringList());
    }

    // The automatic login's texts are plain option texts, not user records: a stored value
    // longer than a record's 31 bytes is shown and written back whole.
    void longAutoLoginTextsStayWhole()
    {
        const QByteArray longName(40, 'n');
        const QByteArray longPassword(48, 'p');
        QByteArray stored = withValue(sample(), "AutoUserName", longName);
        stored = withValue(stored, "AutoUserPwd", longPassword);
        m_fixture->write(SettingsFile::SysSet, stored);
        auto form = m_fixture->showForm();
        QCOMPARE(control<QLineEdit>(form.get(), "AutoLoginUserEdit")->text().toLatin1(), longName);
        QCOMPARE(
            control<QLineEdit>(form.get(), "AutoLoginPwdEdit")->text().toLatin1(), longPassword);
        QCOMPARE(applyAndRead(form.get()), stored);

        // The operator can type one as long.
        auto *name = control<QLineEdit>(form.get(), "AutoLoginUserEdit");
        name->clear();
        QTest::keyClicks(name, QString(40, u'x'));
        QCOMPARE(applyAndRead(form.get()), withValue(stored, "AutoUserName", QByteArray(40, 'x')));
    }

    void clampsOnLoad_data()
    {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<int>("shown");
        QTest::addColumn<QString>("typed"); // empty when the operator leaves the field alone
        QTest::addColumn<QByteArray>("saved");
        QTest::newRow("switch time 1")
            << QByteArray("SwitchTime") << QByteArray("1") << QByteArray("SwitchTimeSpinEdit") << 3
            << QString() << QByteArray("1");
        QTest::newRow("lock after 90")
            << QByteArray("ChgStateTime") << QByteArray("90") << QByteArray("ChgStateSpinEdit")
            << 60 << QString() << QByteArray("90");
        QTest::newRow("port 0") << QByteArray("TransmitPort") << QByteArray("0")
                                << QByteArray("SpinEdit4") << 1 << QString() << QByteArray("0");
        QTest::newRow("port 123456")
            << QByteArray("TransmitPort") << QByteArray("123456") << QByteArray("SpinEdit4")
            << 99999 << QString() << QByteArray("123456");
        QTest::newRow("lock after 90, operator types 45")
            << QByteArray("ChgStateTime") << QByteArray("90") << QByteArray("ChgStateSpinEdit")
            << 60 << QStringLiteral("45") << QByteArray("45");
    }

    // A stored number the field cannot show is shown clamped and written back as stored until
    // the operator changes the field.
    void clampsOnLoad()
    {
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, stored);
        QFETCH(QByteArray, field);
        QFETCH(int, shown);
        QFETCH(QString, typed);
        QFETCH(QByteArray, saved);
        m_fixture->write(SettingsFile::SysSet, withValue(sample(), key, stored));
        auto form = m_fixture->showForm();
        auto *number = control<editor::NumberField>(form.get(), field.constData());
        QCOMPARE(number->value(), shown);
        if (!typed.isEmpty()) {
            number->selectAll();
            QTest::keyClicks(number, typed);
        }
        QCOMPARE(applyAndRead(form.get()), withValue(sample(), key, saved));
    }

    // The disk-full rule is one flag shown by a pair of radio buttons.
    void diskFullRuleRadioPair()
    {
        const QByteArray stopping = withValue(sample(), "DeleteFirstFile", "0");
        m_fixture->write(SettingsFile::SysSet, stopping);
        auto form = m_fixture->showForm();
        auto *deleteFirst = control<QRadioButton>(form.get(), "DelFirstRadioBtn");
        QVERIFY(control<QRadioButton>(form.get(), "StopRecRadioBtn")->isChecked());
        QVERIFY(!deleteFirst->isChecked());
        QCOMPARE(applyAndRead(form.get()), stopping);
        deleteFirst->click();
        QVERIFY(control<QPushButton>(form.get(), "ApplyBitBtn")->isEnabled());
        QCOMPARE(applyAndRead(form.get()), sample());
    }

    void clampsOnKeyRelease()
    {
        auto form = m_fixture->showForm();
        auto *lock = control<editor::NumberField>(form.get(), "ChgStateSpinEdit");
        lock->selectAll();
        QTest::keyClick(lock, Qt::Key_Minus);
        QCOMPARE(lock->text(), QStringLiteral("1"));
        lock->setText(QStringLiteral("-5"));
        QTest::keyRelease(lock, Qt::Key_5);
        QCOMPARE(lock->text(), QStringLiteral("1"));
        lock->selectAll();
        QTest::keyClick(lock, Qt::Key_Backspace);
        QCOMPARE(lock->text(), QStringLiteral("1"));
        auto *port = control<editor::NumberField>(form.get(), "WebPortSpinEdit");
        port->selectAll();
        QTest::keyClicks(port, QStringLiteral("123456"));
        QCOMPARE(port->text(), QStringLiteral("12345"));
        QVERIFY(control<QPushButton>(form.get(), "ApplyBitBtn")->isEnabled());
        QCOMPARE(applyAndRead(form.get()),
            withValue(withValue(sample(), "ChgStateTime", "1"), "WebSitePort", "12345"));
    }

    void enablingFollowsTheBoxes()
    {
        auto form
            = m_fixture->showForm(); // the sample: auto switch off, auto login on, auto lock on
        const char *dependents[] = {"SwitchTimeSpinEdit", "AutoLoginPwdEdit", "ChgStateLabel"};
        const bool before[] = {false, true, true};
        for (const char *box : {"AutoSwitchCheckBox", "AutoLoginChkBox", "AutoChgStateChkBox"})
            control<QCheckBox>(form.get(), box)->click();
        for (int at = 0; at < 3; ++at)
            QCOMPARE(control<QWidget>(form.get(), dependents[at])->isEnabled(), !before[at]);
        QVERIFY(control<QPushButton>(form.get(), "ApplyBitBtn")->isEnabled());
        QVERIFY(!control<QPushButton>(form.get(), "UseElecMapBitBtn")->isEnabled());
    }

    void outputType_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<int>("selected");
        QTest::newRow("low") << QByteArray("OutType=0\r\n") << 0;
        QTest::newRow("missing") << QByteArray() << 1;
        QTest::newRow("unknown to the window") << QByteArray("OutType=7\r\n") << -1;
    }

    // A stored type the list does not offer survives a save; the operator's choice replaces it.
    void outputType()
    {
        QFETCH(QByteArray, stored);
        QFETCH(int, selected);
        m_fixture->write(SettingsFile::SysSet, sample().replace("OutType=1\r\n", stored));
        auto form = m_fixture->showForm();
        auto *types = control<QComboBox>(form.get(), "cbbOutPortType");
        QCOMPARE(types->count(), 2);
        QCOMPARE(types->itemText(0), QString::fromUtf8("断开输出"));
        QCOMPARE(types->itemText(1), QString::fromUtf8("闭合输出"));
        QCOMPARE(types->currentIndex(), selected);
        const QByteArray written = stored.isEmpty() ? QByteArray("OutType=1\r\n") : stored;
        QCOMPARE(applyAndRead(form.get()), sample().replace("OutType=1\r\n", written));

        auto *apply = control<QPushButton>(form.get(), "ApplyBitBtn");
        types->setCurrentIndex(1);
        QVERIFY(!apply->isEnabled());
        QTest::keyClick(types, Qt::Key_Up); // the operator's choice
        QVERIFY(apply->isEnabled());
        QCOMPARE(applyAndRead(form.get()), sample().replace("OutType=1", "OutType=0"));
    }

    void languageSwitchChangesTextsOnly()
    {
        const QByteArray stored = withValue(sample(), "OutType", "7");
        m_fixture->write(SettingsFile::SysSet, stored);
        auto form = m_fixture->showForm();
        auto *autoLogin = control<QCheckBox>(form.get(), "AutoLoginChkBox");
        auto *note = control<QLabel>(form.get(), "Label15");
        auto *types = control<QComboBox>(form.get(), "cbbOutPortType");
        // The check box keeps the design's width for each language, wider where the font needs.
        const auto fitsText = [autoLogin](int designWidth) {
            return autoLogin->width() == std::max(designWidth, autoLogin->sizeHint().width());
        };
        QVERIFY(fitsText(93) && !note->isHidden());

        control<QRadioButton>(form.get(), "EnRadioBtn")->click();
        QVERIFY(fitsText(126) && note->isHidden());
        QCOMPARE(control<QTreeWidget>(form.get(), "DriveListView")->headerItem()->text(0),
            QStringLiteral("Record disk"));
        QCOMPARE(types->itemText(1), QStringLiteral("High-voltage output"));
        QCOMPARE(types->currentIndex(), -1);

        control<QRadioButton>(form.get(), "CnRadioBtn")->click();
        QVERIFY(fitsText(93) && !note->isHidden());
        QVERIFY(!control<QPushButton>(form.get(), "ApplyBitBtn")->isEnabled());
        QCOMPARE(applyAndRead(form.get()), stored);
    }

    void telephoneList_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QList<QByteArray>>("numbers");
        QTest::addColumn<QByteArray>("written");
        const QByteArray head = "[Telephone]\r\nCount=";
        QTest::newRow("blank middle") << head + "3\r\n[Telephone No]\r\n1=111\r\n2= \r\n3=333\r\n"
                                      << QList<QByteArray> {"111", "333"}
                                      << head + "2\r\n[Telephone No]\r\n1=111\r\n2=333\r\n";
        QTest::newRow("intact") << head + "2\r\n[Telephone No]\r\n1= 111 \r\n2=222\r\n"
                                << QList<QByteArray> {"111", "222"}
                                << head + "2\r\n[Telephone No]\r\n1= 111 \r\n2=222\r\n";
        QTest::newRow("no count") << QByteArray() << QList<QByteArray> {} << head + "0\r\n";
        QTest::newRow("count over the bound is left as stored")
            << head + "2147483647\r\n[Telephone No]\r\n1=111\r\n2= \r\n"
            << QList<QByteArray> {"111"}
            << head + "2147483647\r\n[Telephone No]\r\n1=111\r\n2= \r\n";
    }

    void telephoneList()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QList<QByteArray>, numbers);
        QFETCH(QByteArray, written);
        m_fixture->write(SettingsFile::SMSSet, stored);
        settings::ProfileStore store;
        QCOMPARE(formats::loadTelephoneNumbers(
                     settings::ProfileFile(store, m_fixture->path(SettingsFile::SMSSet))),
            numbers);
        store.flush();
        QCOMPARE(m_fixture->read(SettingsFile::SMSSet), written);
    }

    // The hidden page writes back what it read, a modem port the list does not offer included.
    void textMessagesPassThrough()
    {
        const QByteArray stored
            = "[SMS Config]\r\nSndSMSMsg=0\r\nSMSPort=12\r\n[Telephone]\r\nCount=0\r\n";
        m_fixture->write(SettingsFile::SMSSet, stored);
        auto form = m_fixture->showForm();
        QVERIFY(!control<QCheckBox>(form.get(), "SMSCheckBox")->isChecked());
        QVERIFY(!control<QWidget>(form.get(), "SMSPhoneListBox")->isEnabled());
        control<QCheckBox>(form.get(), "SMSCheckBox")->setChecked(true);
        QVERIFY(control<QWidget>(form.get(), "DelPhoneBitBtn")->isEnabled());
        control<QCheckBox>(form.get(), "SMSCheckBox")->setChecked(false);
        SetupFixture::apply(form.get());
        QCOMPARE(m_fixture->read(SettingsFile::SMSSet), stored);
    }

private:
    static QByteArray sample() { return SetupFixture::sampleSysSet(); }

    QByteArray applyAndRead(editor::TSysSetForm *form)
    {
        SetupFixture::apply(form);
        return m_fixture->read(SettingsFile::SysSet);
    }

    std::unique_ptr<SetupFixture> m_fixture;
    std::unique_ptr<ModalScript> m_boxes;
};

QTEST_MAIN(TestSystemPage)
#include "tst_systempage.moc"
