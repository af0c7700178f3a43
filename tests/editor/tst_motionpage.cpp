// The motion page: the area rows as stored and repaired, the detector values, the mouse
// strokes over the grid, the channel switch and the copy to other channels.

#include "support/modalscript.h"
#include "support/setupfixture.h"

#include "editor/motiongrid.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMouseEvent>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QTimeEdit>
#include <QTreeWidget>

using namespace quillon;
using editor::MotionCell;

namespace {

MotionCell *cell(QWidget *form, int row, int column)
{
    return control<MotionCell>(form, QStringLiteral("MotionCell%1_%2").arg(row).arg(column));
}

// The area shown, one text row per grid row.
QByteArray shownRow(QWidget *form, int row)
{
    QByteArray text;
    for (int column = 0; column < 10; ++column)
        text += cell(form, row, column)->isArmed() ? '1' : '0';
    return text;
}

// A move delivered as the toolkit delivers it during a stroke: to the pressed cell, whatever
// cell the pointer is over, with the position relative to the pressed cell.
void moveDuringStroke(MotionCell *pressed, QPoint panelPosition, Qt::MouseButton button)
{
    const QPoint local = panelPosition - pressed->pos();
    QMouseEvent move(QEvent::MouseMove, QPointF(local), QPointF(pressed->mapToGlobal(local)),
        Qt::NoButton, button, Qt::NoModifier);
    QApplication::sendEvent(pressed, &move);
}

QPoint centreOf(int row, int column)
{
    return {column * MotionCell::kWidth + MotionCell::kWidth / 2,
        row * MotionCell::kHeight + MotionCell::kHeight / 2};
}

// Ticks the given rows of the channel chooser, then presses OK or Cancel.
ModalScript::Step chooseRows(QList<int> rows, bool confirm)
{
    return [rows, confirm](QWidget *modal) {
        auto *list = control<QTreeWidget>(modal, "ChnListView");
        for (int row : rows)
            list->topLevelItem(row)->setCheckState(0, Qt::Checked);
        control<QAbstractButton>(modal, confirm ? "BitBtn1" : "BitBtn2")->click();
    };
}

QByteArray eightChannels()
{
    QByteArray bytes;
    for (int channel = 0; channel < 8; ++channel)
        bytes += "[ENCODER" + QByteArray::number(channel)
            + "]\r\nAlarmSense=" + QByteArray::number(10 + channel) + "\r\n";
    return bytes;
}

} // namespace

class TestMotionPage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_fixture = std::make_unique<SetupFixture>();
        SetupFixture::writeSystem(8, 0);
    }

    void areaRowsAsStoredAndRepaired()
    {
        const QByteArray stored
            = "[ENCODER0]\r\nAlarmSense=20\r\n"
              "[ALARM MOTION1]\r\n1=1\r\n2=110000000011\r\n3=\r\n4=0000000001\r\n";
        SetupFixture::write("AlarmSet.Ext", stored);
        auto form = SetupFixture::showForm();
        // Channel 1 has no area section: a clear grid, and nothing is written at load.
        for (int row = 0; row < 10; ++row)
            QCOMPARE(shownRow(form.get(), row), QByteArray("0000000000"));
        QCOMPARE(SetupFixture::read("AlarmSet.Ext"), stored);

        // Channel 2's short rows are padded in the file during its load.
        control<QTabBar>(form.get(), "AlarmChnTabSet")->setCurrentIndex(1);
        QCOMPARE(
            SetupFixture::value("AlarmSet.Ext", "ALARM MOTION1", "1"), QByteArray("1000000000"));
        QCOMPARE(
            SetupFixture::value("AlarmSet.Ext", "ALARM MOTION1", "3"), QByteArray("0000000000"));
        QCOMPARE(
            SetupFixture::value("AlarmSet.Ext", "ALARM MOTION1", "2"), QByteArray("110000000011"));
        QCOMPARE(SetupFixture::value("AlarmSet.Ext", "ALARM MOTION1", "5"), kMissingKey);
        QCOMPARE(shownRow(form.get(), 0), QByteArray("1000000000"));
        QCOMPARE(shownRow(form.get(), 1), QByteArray("1100000000"));
        QCOMPARE(shownRow(form.get(), 3), QByteArray("0000000001"));
        QVERIFY(!SetupFixture::applyEnabled(form.get()));

        // The save writes every row with exactly ten characters.
        SetupFixture::apply(form.get());
        QCOMPARE(
            SetupFixture::value("AlarmSet.Ext", "ALARM MOTION1", "2"), QByteArray("1100000000"));
        QCOMPARE(
            SetupFixture::value("AlarmSet.Ext", "ALARM MOTION1", "10"), QByteArray("0000000000"));
    }

    void detectorValuesClampedAndSaved()
    {
        SetupFixture::write("AlarmSet.Ext",
            "[ENCODER0]\r\nAlarmY=-3\r\nAlarmUV=5\r\nAlarmSense=60\r\nShowGrid=1\r\n");
        auto form = SetupFixture::showForm();
        QCOMPARE(control<QSlider>(form.get(), "TrackBar1")->value(), 0);
        QCOMPARE(control<QLabel>(form.get(), "Label31")->text(), QStringLiteral("5"));
        QCOMPARE(control<QSlider>(form.get(), "TrackBar3")->value(), 49);
        QCOMPARE(control<QLabel>(form.get(), "Label34")->text(), QStringLiteral("49"));
        auto *showGrid = control<QCheckBox>(form.get(), "CheckBox4");
        QVERIFY(showGrid->isChecked() && showGrid->isHidden() && !showGrid->isEnabled());
        QVERIFY(!SetupFixture::applyEnabled(form.get()));

        control<QSlider>(form.get(), "TrackBar2")->setValue(7);
        QCOMPARE(control<QLabel>(form.get(), "Label31")->text(), QStringLiteral("7"));
        QVERIFY(SetupFixture::applyEnabled(form.get()));

        ModalScript script;
        script.then([](QWidget *segment) {
            control<QTimeEdit>(segment, "DateTimePicker1")->setTime(QTime(8, 0));
            control<QTimeEdit>(segment, "DateTimePicker2")->setTime(QTime(12, 0));
            control<QAbstractButton>(segment, "BitBtn1")->click();
        });
        control<QAbstractButton>(form.get(), "MtnAddBitBtn")->click();
        QVERIFY(script.finished());
        SetupFixture::apply(form.get());
        QCOMPARE(SetupFixture::value("AlarmSet.Ext", "ALARM RECORD TABLE0", "1"),
            QByteArray("1,08:00-12:00,"));
        QCOMPARE(SetupFixture::value("AlarmSet.Ext", "ALARM RECORD TABLE0", "7"), QByteArray("0,"));
        QCOMPARE(SetupFixture::value("AlarmSet.Ext", "ENCODER0", "AlarmY"), QByteArray("0"));
        QCOMPARE(SetupFixture::value("AlarmSet.Ext", "ENCODER0", "AlarmUV"), QByteArray("7"));
        QCOMPARE(SetupFixture::value("AlarmSet.Ext", "ENCODER0", "AlarmSense"), QByteArray("49"));
        QCOMPARE(SetupFixture::value("AlarmSet.Ext", "ENCODER0", "ShowGrid"), QByteArray("1"));
        QCOMPARE(
            SetupFixture::value("AlarmSet.Ext", "ENCODER0", "AutoAlarmRecord"), QByteArray("0"));
    }

    void strokes_data()
    {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<bool>("startArmed");
        QTest::addColumn<QByteArray>("row");
        // The stroke presses column 1 and moves over columns 2 to 4 of the third row.
        QTest::newRow("left arms") << Qt::LeftButton << false << QByteArray("0111100000");
        QTest::newRow("right clears") << Qt::RightButton << true << QByteArray("1000011111");
        QTest::newRow("middle clears on move only")
            << Qt::MiddleButton << true << QByteArray("1100011111");
    }

    void strokes()
    {
        QFETCH(Qt::MouseButton, button);
        QFETCH(bool, startArmed);
        QFETCH(QByteArray, row);
        auto form = SetupFixture::showForm();
        if (startArmed)
            control<QAbstractButton>(form.get(), "BitBtn11")->click();
        SetupFixture::apply(form.get());
        QVERIFY(!SetupFixture::applyEnabled(form.get()));

        MotionCell *pressed = cell(form.get(), 2, 1);
        QTest::mousePress(pressed, button, {}, QPoint(5, 5));
        for (int column = 2; column <= 4; ++column)
            moveDuringStroke(pressed, centreOf(2, column), button);
        // Outside the panel nothing is under the pointer.
        moveDuringStroke(pressed, QPoint(-20, 40), button);
        moveDuringStroke(pressed, QPoint(400, 70), button);
        QVERIFY(!SetupFixture::applyEnabled(form.get()));
        QTest::mouseRelease(pressed, button, {}, QPoint(5, 5));
        QVERIFY(SetupFixture::applyEnabled(form.get()));
        QCOMPARE(shownRow(form.get(), 2), row);
        QCOMPARE(shownRow(form.get(), 1), QByteArray(10, startArmed ? '1' : '0'));

        // After the release, moves change nothing.
        moveDuringStroke(pressed, centreOf(2, 8), button);
        QCOMPARE(shownRow(form.get(), 2), row);
        SetupFixture::apply(form.get());
        QCOMPARE(SetupFixture::value("AlarmSet.Ext", "ALARM MOTION0", "3"), row);
    }

    void copyWritesExactlyItsTargets()
    {
        SetupFixture::write("AlarmSet.Ext", eightChannels());
        auto form = SetupFixture::showForm();
        control<QSlider>(form.get(), "TrackBar3")->setValue(33);
        QTest::mouseClick(cell(form.get(), 5, 5), Qt::LeftButton);

        ModalScript script;
        script.then(chooseRows({2, 3}, true));
        control<QAbstractButton>(form.get(), "BitBtn14")->click();
        QVERIFY(script.finished());
        QVERIFY(SetupFixture::applyEnabled(form.get()));

        // Channel 3 is a target: the page keeps its values and Apply stays on.
        control<QTabBar>(form.get(), "AlarmChnTabSet")->setCurrentIndex(2);
        QCOMPARE(control<QSlider>(form.get(), "TrackBar3")->value(), 33);
        QVERIFY(SetupFixture::applyEnabled(form.get()));

        control<QAbstractButton>(form.get(), "ApplyBitBtn")->click();
        for (int channel = 0; channel < 8; ++channel) {
            const QByteArray section = "ENCODER" + QByteArray::number(channel);
            const bool target = channel == 0 || channel == 2 || channel == 3;
            QCOMPARE(SetupFixture::value("AlarmSet.Ext", section, "AlarmSense"),
                target ? QByteArray("33") : QByteArray::number(10 + channel));
            QCOMPARE(SetupFixture::value(
                         "AlarmSet.Ext", "ALARM MOTION" + QByteArray::number(channel), "6"),
                target ? QByteArray("0000010000") : kMissingKey);
        }
        // The save ended the copy: another channel is shown without a word.
        ModalScript quiet;
        control<QTabBar>(form.get(), "AlarmChnTabSet")->setCurrentIndex(1);
        QCOMPARE(quiet.takeTexts(), QStringList());
        QCOMPARE(control<QSlider>(form.get(), "TrackBar3")->value(), 11);
    }

    // A copy ends only with the save that writes it, or when another channel's values replace
    // the ones it would write.
    void copyKeptOnCancelAndEndedByAnotherChannel()
    {
        SetupFixture::write("AlarmSet.Ext", eightChannels());
        auto form = SetupFixture::showForm();
        control<QSlider>(form.get(), "TrackBar3")->setValue(33);
        ModalScript script;
        script.then(chooseRows({2}, true)).then(chooseRows({5}, false));
        control<QAbstractButton>(form.get(), "BitBtn14")->click();
        control<QAbstractButton>(form.get(), "BitBtn14")->click();
        QVERIFY(script.finished());
        // Channel 3 is a target of the copy, which the cancelled chooser left as it was.
        control<QTabBar>(form.get(), "AlarmChnTabSet")->setCurrentIndex(2);
        QCOMPARE(control<QSlider>(form.get(), "TrackBar3")->value(), 33);
        QVERIFY(SetupFixture::applyEnabled(form.get()));

        // Channel 2 is no target: its own values replace the page, the operator is told that
        // the copy ended, and only channel 2 is saved.
        QString notice;
        script.answer(QMessageBox::Ok, nullptr, &notice);
        control<QTabBar>(form.get(), "AlarmChnTabSet")->setCurrentIndex(1);
        QVERIFY(script.finished());
        QVERIFY2(
            notice.contains(QString::fromUtf8("取消了尚未应用的“复制到...”")), qPrintable(notice));
        QCOMPARE(control<QSlider>(form.get(), "TrackBar3")->value(), 11);
        QVERIFY(!SetupFixture::applyEnabled(form.get()));
        control<QSlider>(form.get(), "TrackBar3")->setValue(44);
        SetupFixture::apply(form.get());
        QCOMPARE(SetupFixture::value("AlarmSet.Ext", "ENCODER1", "AlarmSense"), QByteArray("44"));
        QCOMPARE(SetupFixture::value("AlarmSet.Ext", "ENCODER0", "AlarmSense"), QByteArray("10"));
        QCOMPARE(SetupFixture::value("AlarmSet.Ext", "ENCODER2", "AlarmSense"), QByteArray("12"));
    }

private:
    std::unique_ptr<SetupFixture> m_fixture;
};

QTEST_MAIN(TestMotionPage)
#include "tst_motionpage.moc"
