// A whole visit through ShowSetupForm against dvrd: the operator changes system options and
// user accounts and presses OK; the server then holds exactly those changes, and the accounts
// are the ones it logs in with.

#include "support/modalscript.h"
#include "support/samplevisit.h"
#include "support/widgetdriver.h"

#include "settings/gbk.h"
#include "settings/settingsfiles.h"
#include "settings/userrecords.h"
#include "visit/entry.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMap>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

using namespace quillon;

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Every "section/key" of a profile file with its value, for files written the plain way.
QMap<QByteArray, QByteArray> profileValues(const QByteArray &bytes)
{
    QMap<QByteArray, QByteArray> values;
    QByteArray section;
    for (const QByteArray &raw : bytes.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith('['))
            section = line.mid(1, line.indexOf(']') - 1).toLower();
        else if (line.contains('='))
            values.insert(section + '/' + line.left(line.indexOf('=')).toLower(),
                line.mid(line.indexOf('=') + 1));
    }
    return values;
}

void press(QWidget *form, const char *name)
{
    control<QAbstractButton>(form, name)->click();
}

} // namespace

class TestVisitSystem : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_visit.start("zh_CN.UTF-8")); }

    void okSendsTheOperatorsChangesOnly()
    {
        bool edited = false;
        ModalScript script;
        script.waitFor(QStringLiteral("SysSetForm")).then([&](QWidget *form) {
            control<QCheckBox>(form, "CheckBox2")->click();
            auto *alarmRecording = control<QLineEdit>(form, "SpinEdit3");
            alarmRecording->selectAll();
            QTest::keyClicks(alarmRecording, QStringLiteral("45"));

            auto *users = control<QListWidget>(form, "ListBoxUser");
            users->setCurrentRow(2); // operator
            press(form, "ChangeUser");
            control<QLineEdit>(form, "EditPassword1")->setText(QStringLiteral("op2025"));
            control<QLineEdit>(form, "EditPassword2")->setText(QStringLiteral("op2025"));
            press(form, "BitBtnAddOver");

            press(form, "AddUser");
            control<QLineEdit>(form, "EditUser")->insert(QString::fromUtf8("夜班"));
            QTest::keyClicks(control<QLineEdit>(form, "EditPassword1"), QStringLiteral("n1ght"));
            QTest::keyClicks(control<QLineEdit>(form, "EditPassword2"), QStringLiteral("n1ght"));
            control<QCheckBox>(form, "UserChkBox2")->click();
            control<QCheckBox>(form, "PrvChkBox1")->click();
            press(form, "BitBtnAddOver");
            edited = users->count() == 6;
            press(form, "BitBtn1");
        });
        QCOMPARE(ShowSetupForm("127.0.0.1", 0, "admin", "admin", m_visit.portCode()), -1);
        QVERIFY(edited);

        // The system options changed in the two edited keys only.
        QMap<QByteArray, QByteArray> expected = profileValues(sample("SysConfig/SysSet.Ext"));
        expected["alarm options/videolostbeep"] = "0";
        expected["alarm options/backrectime"] = "45";
        QCOMPARE(profileValues(served("SysConfig/SysSet.Ext")), expected);

        // Every other settings file keeps every stored value.
        for (const char *name :
            {"SysConfig/TVCard.Ext", "SysConfig/AlarmSet.Ext", "SysConfig/AlarmCard.ext",
                "SysConfig/SensorSet.Ext", "SysConfig/CameraSet.Ext", "SysConfig/SMSSet.ext"})
            QCOMPARE(profileValues(served(name)), profileValues(sample(name)));

        settings::UserRecords users = settings::decodeUsers(sample("User/User.she"));
        users[1].setPassword("op2025");
        settings::UserRecord night;
        night.setName(settings::toGbk(QString::fromUtf8("夜班")).value());
        night.setPassword("n1ght");
        night.setPrivilege(settings::UserRecord::kSystemSettings, true);
        night.setMayPreview(1, true);
        users.push_back(night);
        QCOMPARE(settings::decodeUsers(served("User/User.she")), users);
    }

    // The server logs in with the accounts as the window left them.
    void serverUsesTheNewAccounts()
    {
        bool shown = false;
        ModalScript script;
        script.waitFor(QStringLiteral("SysSetForm")).then([&](QWidget *form) {
            shown = true;
            press(form, "BitBtn2");
        });
        QCOMPARE(
            ShowSetupForm("127.0.0.1", 0, "\xD2\xB9\xB0\xE0", "n1ght", m_visit.portCode()), -1);
        QVERIFY(shown);
    }

private:
    QByteArray sample(const char *name) const
    {
        return fileBytes(QStringLiteral(QUILLON_SAMPLES_DIR "/") + QLatin1String(name));
    }
    QByteArray served(const char *name) const
    {
        return fileBytes(m_visit.root.filePath(QLatin1String(name)));
    }

    SampleVisit m_visit;
};

QTEST_MAIN(TestVisitSystem)
#include "tst_visit_system.moc"
