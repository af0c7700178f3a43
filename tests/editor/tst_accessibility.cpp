// Every control of the setup window and its dialogs that takes input has a name a screen reader
// can say, in both languages.

#include "editor/accessiblenames.h"
#include "editor/sysset.h"
#include "formats/language.h"
#include "settings/settingsfiles.h"
#include "support/everydialog.h"
#include "support/setupfixture.h"

#include <QAccessible>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace quillon;

namespace {

// The object names of the controls under the root that take input yet have no accessible name.
// A list that drops down is named by its chosen entry where the platform names it through its
// label instead, so it needs a name of its own.
QStringList namelessControls(QWidget *root)
{
    QStringList nameless;
    for (QWidget *widget : root->findChildren<QWidget *>()) {
        if (!editor::takesInput(widget))
            continue;
        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(widget);
        if (!face || face->text(QAccessible::Name).trimmed().isEmpty()
            || (qobject_cast<QComboBox *>(widget) && widget->accessibleName().isEmpty()))
            nameless << widget->objectName() + QLatin1Char('(')
                    + QLatin1String(widget->metaObject()->className()) + QLatin1Char(')');
    }
    return nameless;
}

} // namespace

class TestAccessibility : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_fixture = std::make_unique<SetupFixture>();
        SetupFixture::writeSystem(4, 2);
        SetupFixture::writeQuietFirstSensor();
    }

    // The window in Chinese, then after the switch to English: the names follow the language.
    void windowControlsAreNamed()
    {
        QAccessible::setActive(true);
        editor::TSysSetForm form;
        form.show();
        QVERIFY(formats::isChinese());
        QCOMPARE(namelessControls(&form), QStringList());
        auto *lockTime = form.findChild<QWidget *>(QStringLiteral("ChgStateSpinEdit"));
        QCOMPARE(lockTime->accessibleName(), QStringLiteral("自动锁定时间（分钟）"));
        auto *cell = form.findChild<QWidget *>(QStringLiteral("MotionCell2_3"));
        QCOMPARE(cell->accessibleName(), QStringLiteral("第 3 行 第 4 列"));

        form.findChild<QRadioButton *>(QStringLiteral("EnRadioBtn"))->click();
        QVERIFY(!formats::isChinese());
        QCOMPARE(namelessControls(&form), QStringList());
        QCOMPARE(lockTime->accessibleName(), QStringLiteral("Auto lock after (minutes)"));
        QVERIFY(lockTime->accessibleDescription().endsWith(QStringLiteral("from 1 to 60")));
        QCOMPARE(cell->accessibleName(), QStringLiteral("Row 3, column 4"));
        QCOMPARE(QAccessible::queryAccessibleInterface(cell)->text(QAccessible::Description),
            QStringLiteral("clear"));
    }

    void dialogControlsAreNamed_data()
    {
        QTest::addColumn<bool>("chinese");
        QTest::newRow("Chinese") << true;
        QTest::newRow("English") << false;
    }

    void dialogControlsAreNamed()
    {
        QFETCH(bool, chinese);
        formats::setChinese(chinese);
        EveryDialog dialogs;
        QStringList nameless;
        for (QDialog *dialog : dialogs.all())
            nameless += namelessControls(dialog);
        QCOMPARE(nameless, QStringList());
    }

private:
    std::unique_ptr<SetupFixture> m_fixture;
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
