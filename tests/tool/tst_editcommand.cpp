// quillon edit: the setup window on a folder. Apply and OK write what the window changed into
// the folder and leave every other byte as it was; Cancel leaves the folder as it was, also
// after the users page has written its file.

#include "editor/numberfield.h"
#include "support/modalscript.h"
#include "support/testsettings.h"
#include "support/toolrun.h"
#include "support/widgetdriver.h"
#include "tools/quillon/commands.h"

#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace quillon;

namespace {

const QString kSysSet = QStringLiteral("SysConfig/SysSet.Ext");

// The files of `before` with SysSet.Ext's BackRecTime line holding `seconds`.
QMap<QString, QByteArray> withBackRecTime(QMap<QString, QByteArray> files, int seconds)
{
    files[kSysSet].replace("BackRecTime=30", "BackRecTime=" + QByteArray::number(seconds));
    return files;
}

void press(QWidget *window, const char *name)
{
    control<QPushButton>(window, name)->click();
}

// Shows a new number in the alarm recording time field, as typing it would.
void typeBackRecTime(QWidget *window, int seconds)
{
    control<editor::NumberField>(window, "SpinEdit3")->setValue(seconds);
    QVERIFY(control<QPushButton>(window, "ApplyBitBtn")->isEnabled());
}

} // namespace

class TestEditCommand : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_data;
    QTemporaryDir m_work;
    QString m_folder;
    QMap<QString, QByteArray> m_samples;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_data.isValid() && m_work.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_data.path()));
        qputenv("LANG", "en_US.UTF-8");
        m_samples = folderFiles(QStringLiteral(QUILLON_SAMPLES_DIR));
        QVERIFY(m_samples[kSysSet].contains("BackRecTime=30"));
    }

    void init()
    {
        m_folder = m_work.filePath(QString::fromLatin1(QTest::currentTestFunction()));
        QVERIFY(QDir(m_folder).removeRecursively());
        QVERIFY(QDir().mkpath(m_folder));
        for (auto it = m_samples.cbegin(); it != m_samples.cend(); ++it) {
            QVERIFY(QDir().mkpath(QFileInfo(m_folder + QLatin1Char('/') + it.key()).path()));
            QVERIFY(writeFile(m_folder + QLatin1Char('/') + it.key(), it.value()));
        }
    }

    void okSavesExactlyTheEditedSetting()
    {
        ModalScript script;
        script.waitFor(QStringLiteral("SysSetForm")).then([](QWidget *window) {
            typeBackRecTime(window, 45);
            press(window, "BitBtn1");
        });
        QCOMPARE(tool::runCommand({QStringLiteral("edit"), m_folder}), 0);
        QCOMPARE(folderFiles(m_folder), withBackRecTime(m_samples, 45));
    }

    void applySavesAtOnceAndCancelKeepsIt()
    {
        QMap<QString, QByteArray> afterApply;
        ModalScript script;
        script.waitFor(QStringLiteral("SysSetForm")).then([&](QWidget *window) {
            typeBackRecTime(window, 50);
            press(window, "ApplyBitBtn");
            afterApply = folderFiles(m_folder);
            typeBackRecTime(window, 60);
            press(window, "BitBtn2");
        });
        QCOMPARE(tool::runCommand({QStringLiteral("edit"), m_folder}), 0);
        QCOMPARE(afterApply, withBackRecTime(m_samples, 50));
        QCOMPARE(folderFiles(m_folder), withBackRecTime(m_samples, 50));
    }

    // The users page writes its file at once: only OK or Apply may bring it into the folder.
    void cancelLeavesTheFolderAsItWas()
    {
        QString added;
        ModalScript script;
        script.waitFor(QStringLiteral("SysSetForm")).then([&added](QWidget *window) {
            press(window, "AddUser");
            control<QLineEdit>(window, "EditUser")->setText(QStringLiteral("kim"));
            control<QLineEdit>(window, "EditPassword1")->setText(QStringLiteral("pw"));
            control<QLineEdit>(window, "EditPassword2")->setText(QStringLiteral("pw"));
            press(window, "BitBtnAddOver");
            added = control<QListWidget>(window, "ListBoxUser")->currentItem()->text();
            typeBackRecTime(window, 70);
            press(window, "BitBtn2");
        });
        QCOMPARE(tool::runCommand({QStringLiteral("edit"), m_folder}), 0);
        QCOMPARE(added, QStringLiteral("kim"));
        QCOMPARE(folderFiles(m_folder), m_samples);
    }

    void missingFolderIsRefused()
    {
        QCOMPARE(tool::runCommand({QStringLiteral("edit"), m_folder + QStringLiteral("/none")}),
            tool::kExitUsage);
    }
};

QTEST_MAIN(TestEditCommand)
#include "tst_editcommand.moc"
