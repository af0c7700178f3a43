// A whole visit through ShowSetupForm and dvrd that edits the motion area, a sensor's linked
// channel with its camera preset and a camera's control settings, then presses OK: the server
// holds the edits and has been told to apply them.

#include "support/modalscript.h"
#include "support/samplevisit.h"
#include "support/storedvalue.h"
#include "support/widgetdriver.h"

#include "editor/motiongrid.h"
#include "settings/profilestore.h"
#include "visit/entry.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <functional>
#include <memory>

using namespace quillon;

namespace {

// A left-button stroke from the first cell of the top row to the fourth: the pressed cell
// keeps the mouse and receives every move.
void strokeTopRow(QWidget *form)
{
    auto *pressed = control<editor::MotionCell>(form, "MotionCell0_0");
    QTest::mousePress(pressed, Qt::LeftButton, {}, QPoint(10, 10));
    for (int column = 1; column <= 3; ++column) {
        const QPoint local(column * editor::MotionCell::kWidth + 10, 10);
        QMouseEvent move(QEvent::MouseMove, QPointF(local), QPointF(pressed->mapToGlobal(local)),
            Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(pressed, &move);
    }
    QTest::mouseRelease(pressed, Qt::LeftButton, {}, QPoint(10, 10));
}

QByteArray serverValue(const QString &root, const char *file, const char *section, const char *key)
{
    return storedValue(root + QStringLiteral("/SysConfig/") + QLatin1String(file), section, key);
}

} // namespace

class TestVisitAlarms : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_visit.start("zh_CN.UTF-8")); }

    void editedAlarmsReachTheServer()
    {
        bool edited = false;
        ModalScript script;
        script.waitFor(QStringLiteral("SysSetForm")).then([&](QWidget *form) {
            // Motion: channel 2's top row gets its first four cells armed.
            control<QTabBar>(form, "AlarmChnTabSet")->setCurrentIndex(1);
            strokeTopRow(form);

            // Sensor 3 links channel 5, which moves to preset 9.
            control<QTabBar>(form, "SensorChnTabSet")->setCurrentIndex(2);
            auto *linked = control<QTreeWidget>(form, "LinkChnListView");
            QTreeWidgetItem *channel5 = linked->topLevelItem(4);
            channel5->setCheckState(0, Qt::Checked);
            linked->clearSelection();
            channel5->setSelected(true);
            script.waitFor(QStringLiteral("PresetPosForm")).then([](QWidget *dialog) {
                control<QComboBox>(dialog, "PosComboBox")->setCurrentIndex(9);
                control<QAbstractButton>(dialog, "BitBtn1")->click();
            });
            Q_EMIT linked->itemDoubleClicked(channel5, 0);

            // Camera 6 becomes an outdoor dome on decoder 42.
            auto *cameras = control<QTreeWidget>(form, "ListView2");
            cameras->clearSelection();
            cameras->topLevelItem(5)->setSelected(true);
            script.waitFor(QStringLiteral("CamSetForm")).then([](QWidget *dialog) {
                control<QComboBox>(dialog, "ComboBox2")->setCurrentIndex(2);
                control<QLineEdit>(dialog, "SpinEdit1")->setText(QStringLiteral("42"));
                control<QComboBox>(dialog, "ComboBox3")->setCurrentIndex(13);
                control<QComboBox>(dialog, "ComboBox4")->setCurrentIndex(4);
                control<QAbstractButton>(dialog, "BitBtn1")->click();
            });
            control<QAbstractButton>(form, "BitBtn15")->click();

            edited = control<QAbstractButton>(form, "ApplyBitBtn")->isEnabled();
            control<QAbstractButton>(form, "BitBtn1")->click();
        });
        QCOMPARE(ShowSetupForm("127.0.0.1", 0, "admin", "admin", m_visit.portCode()), -1);
        QVERIFY(script.finished());
        QVERIFY(edited);

        const QString root = m_visit.root.path();
        QCOMPARE(serverValue(root, "AlarmSet.Ext", "ALARM MOTION1", "1"), QByteArray("1111000000"));
        QCOMPARE(serverValue(root, "AlarmSet.Ext", "ALARM MOTION1", "5"), QByteArray("1111111111"));
        QCOMPARE(serverValue(root, "SensorSet.Ext", "SENSOR2", "LinkChn"),
            "000000000100109" + QByteArray(93, '0'));
        QCOMPARE(serverValue(root, "CameraSet.Ext", "ENCODER5", "CamNo"), QByteArray("42"));
        QCOMPARE(serverValue(root, "CameraSet.Ext", "ENCODER5", "CamType"), QByteArray("2"));
        QCOMPARE(serverValue(root, "CameraSet.Ext", "ENCODER5", "Protocol"), QByteArray("13"));
        QCOMPARE(serverValue(root, "CameraSet.Ext", "ENCODER5", "Baudrate"), QByteArray("4"));
        QCOMPARE(serverValue(root, "CameraSet.Ext", "Camera Ctrl", "CtrlPort"), QByteArray("0"));

        QFile applies(root + QStringLiteral("/apply.log"));
        QVERIFY(applies.open(QIODevice::ReadOnly));
        QCOMPARE(applies.readAll().trimmed().split('\n').size(), 1);
    }

private:
    SampleVisit m_visit;
};

QTEST_MAIN(TestVisitAlarms)
#include "tst_visit_alarms.moc"
