// The weekly timetables: the stored day line, the list editor shared by the recording, motion
// and sensor timetables, the time-segment dialog and the multi-select dialog.

#include "editor/dialogs/chnselect.h"
#include "editor/dialogs/rectimeset.h"
#include "editor/scheduleeditor.h"
#include "editor/setupcontext.h"
#include "formats/language.h"
#include "formats/schedule.h"
#include "settings/profilestore.h"
#include "support/modalscript.h"
#include "support/widgetdriver.h"

#include <QAccessible>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeEdit>
#include <QTreeWidget>

#include <memory>

using namespace quillon;
using namespace quillon::editor;
using namespace quillon::formats;

namespace {

// Sets the pickers (and the mode) of the time-segment dialog and presses its OK.
ModalScript::Step confirmSegment(QTime start, QTime end, int mode = -1)
{
    return [=](QWidget *modal) {
        control<QTimeEdit>(modal, QStringLiteral("DateTimePicker1"))->setTime(start);
        control<QTimeEdit>(modal, QStringLiteral("DateTimePicker2"))->setTime(end);
        if (mode >= 0)
            control<QComboBox>(modal, QStringLiteral("ComboBox1"))->setCurrentIndex(mode);
        control<QPushButton>(modal, QStringLiteral("BitBtn1"))->click();
    };
}

ModalScript::Step pressButton(const char *name)
{
    return [=](QWidget *modal) {
        control<QPushButton>(modal, QLatin1String(name))->click();
    };
}

// Ticks rows of the multi-select dialog and presses OK.
ModalScript::Step tickRows(QList<int> rows)
{
    return [=](QWidget *modal) {
        auto *list = control<QTreeWidget>(modal, QStringLiteral("ChnListView"));
        for (int row : rows)
            list->topLevelItem(row)->setCheckState(0, Qt::Checked);
        control<QPushButton>(modal, QStringLiteral("BitBtn1"))->click();
    };
}

// A list's rows as "start-end mode-text" lines.
QStringList rowsOf(const QTreeWidget *list)
{
    QStringList rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = list->topLevelItem(i);
        QString row = item->text(0) + QLatin1Char('-') + item->text(1);
        if (list->columnCount() > 2)
            row += QLatin1Char(' ') + item->text(2);
        rows << row;
    }
    return rows;
}

// The name a screen reader gives a cell of the list, once the list has laid out its rows.
QString heard(QTreeWidget *list, int row, int column)
{
    QCoreApplication::processEvents();
    QAccessibleTableInterface *table
        = QAccessible::queryAccessibleInterface(list)->tableInterface();
    QAccessibleInterface *cell = table ? table->cellAt(row, column) : nullptr;
    return cell ? cell->text(QAccessible::Name) : QStringLiteral("<no cell>");
}

DaySegments segments(std::initializer_list<std::pair<const char *, const char *>> times,
    const char *mode = kNightModeCode)
{
    DaySegments day;
    for (const auto &[start, end] : times)
        day.push_back({start, end, mode});
    return day;
}

// One timetable editor on a window of its own, with a change counter standing in for Apply.
struct Editor
{
    explicit Editor(ScheduleKind kind, int sensors = 8)
    {
        context.sensorCount = sensors;
        context.noteChange = [this] {
            if (!context.loading)
                ++changes;
        };
        editor = new ScheduleEditor(context, kind, &window, 0, 0);
        editor->retranslate();
        window.resize(420, 320);
        window.show();
    }

    // The list showing that day: choosing the day's tab fills the editor's one list with it.
    QTreeWidget *list(int day) const
    {
        editor->dayTabs()->setCurrentIndex(day);
        return editor->dayList();
    }
    void setDay(int day, const DaySegments &segments)
    {
        WeeklySchedule week = editor->schedule();
        week[size_t(day)] = segments;
        editor->setSchedule(week);
    }
    QPushButton *button(const char *name)
    {
        return control<QPushButton>(&window, QLatin1String(name));
    }
    void press(const char *name) { button(name)->click(); }
    QByteArray line(int day) const
    {
        return formatDayLine(editor->schedule()[size_t(day)], editor->kind());
    }

    SetupContext context;
    int changes = 0;
    QWidget window;
    ScheduleEditor *editor = nullptr;
};

} // namespace

class TestSchedule : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { setChinese(true); }

    void dayLine_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QByteArray>("written");
        const int rec = int(ScheduleKind::Recording);
        const int motion = int(ScheduleKind::Motion);
        QTest::newRow("empty day") << rec << QByteArray("0,") << 0 << QByteArray("0,");
        QTest::newRow("two segments") << rec << QByteArray("2,08:00-12:00,91,13:30-18:00,92,") << 2
                                      << QByteArray("2,08:00-12:00,91,13:30-18:00,92,");
        QTest::newRow("last comma missing")
            << rec << QByteArray("1,08:00-09:00,91") << 0 << QByteArray("0,");
        QTest::newRow("count too large")
            << rec << QByteArray("5,08:00-09:00,91,") << 1 << QByteArray("1,08:00-09:00,91,");
        QTest::newRow("count too small") << rec << QByteArray("1,08:00-09:00,91,10:00-11:00,91,")
                                         << 2 << QByteArray("2,08:00-09:00,91,10:00-11:00,91,");
        QTest::newRow("count 0 hides")
            << rec << QByteArray("0,08:00-09:00,91,") << 0 << QByteArray("0,");
        QTest::newRow("negative count")
            << rec << QByteArray("-3,08:00-09:00,91,") << 0 << QByteArray("0,");
        QTest::newRow("no comma") << rec << QByteArray("08:00-09:00") << 0 << QByteArray("0,");
        QTest::newRow("mode 93 is night")
            << rec << QByteArray("1,08:00-09:00,93,") << 1 << QByteArray("1,08:00-09:00,92,");
        QTest::newRow("count not a number")
            << rec << QByteArray("x,08:00-09:00,91,") << 1 << QByteArray("1,08:00-09:00,91,");
        QTest::newRow("count empty")
            << rec << QByteArray(",08:00-09:00,91,") << 1 << QByteArray("1,08:00-09:00,91,");
        QTest::newRow("mode not a number")
            << rec << QByteArray("1,08:00-09:00,9x,") << 1 << QByteArray("1,08:00-09:00,92,");
        QTest::newRow("not a time")
            << rec << QByteArray("1,ab:cd-09:00,91,") << 1 << QByteArray("1,ab:cd-09:00,91,");
        QTest::newRow("motion") << motion << QByteArray("2,08:00-12:00,13:30-18:00,") << 2
                                << QByteArray("2,08:00-12:00,13:30-18:00,");
        QTest::newRow("motion rest ignored")
            << motion << QByteArray("2,08:00-12:00,13:30") << 1 << QByteArray("1,08:00-12:00,");
    }

    void dayLine()
    {
        QFETCH(int, kind);
        QFETCH(QByteArray, stored);
        QFETCH(int, rows);
        QFETCH(QByteArray, written);
        const DaySegments day = parseDayLine(stored, ScheduleKind(kind));
        QCOMPARE(int(day.size()), rows);
        QCOMPARE(formatDayLine(day, ScheduleKind(kind)), written);
    }

    void fileRoundTripKeepsEveryDayAndItsBytes()
    {
        QTemporaryDir dir;
        settings::ProfileStore store;
        const settings::ProfileFile file(store, dir.filePath(QStringLiteral("TVCard.Ext")));
        // A missing key is an empty day.
        file.writeText("RECORD TABLE3", "1", "1,08:00-09:00,91,");
        file.writeText("RECORD TABLE3", "7", "1,\xB0\xA1:cd-09:00,91,");
        WeeklySchedule week = readSchedule(file, ScheduleKind::Recording, 3);
        QCOMPARE(week[0], segments({{"08:00", "09:00"}}, kDayModeCode));
        for (int day = 1; day < 6; ++day)
            QVERIFY(week[size_t(day)].empty());

        Editor editor(ScheduleKind::Recording);
        editor.editor->load(file, 3);
        QCOMPARE(editor.list(0)->topLevelItem(0)->text(2), QString::fromUtf8("日间模式"));
        editor.editor->save(file, 5);
        QCOMPARE(file.readText("RECORD TABLE5", "2"), QByteArray("0,"));
        QCOMPARE(file.readText("RECORD TABLE5", "7"), QByteArray("1,\xB0\xA1:cd-09:00,91,"));
    }

    void addKeepsInsertionOrder()
    {
        Editor editor(ScheduleKind::Recording);
        ModalScript script;
        script.then(confirmSegment(QTime(13, 0), QTime(14, 0, 59)));
        editor.press("RecAddBitBtn");
        script.then(confirmSegment(QTime(8, 0), QTime(9, 0), 0));
        editor.press("RecAddBitBtn");
        QCOMPARE(editor.line(0), QByteArray("2,13:00-14:00,92,08:00-09:00,91,"));
        QCOMPARE(rowsOf(editor.list(0)).last(), QString::fromUtf8("08:00-09:00 日间模式"));
        QCOMPARE(editor.changes, 2);

        // Cancel adds nothing.
        script.then(pressButton("BitBtn2"));
        editor.press("RecAddBitBtn");
        QCOMPARE(editor.list(0)->topLevelItemCount(), 2);
        QCOMPARE(editor.changes, 2);
    }

    void proposedTimesFillAnEmptyDayOnly()
    {
        Editor editor(ScheduleKind::Recording);
        ModalScript script;
        script.then(pressButton("BitBtn1"));
        editor.press("RecAddBitBtn");
        QCOMPARE(editor.line(0), QByteArray("1,00:00-23:59,92,"));

        QString title, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        script.then(pressButton("BitBtn1"))
            .answer(QMessageBox::Ok, &title, &text, &icon)
            .then(pressButton("BitBtn2"));
        editor.press("RecAddBitBtn");
        QVERIFY(script.finished());
        QCOMPARE(title, QString::fromUtf8("录像设置"));
        QCOMPARE(text,
            QString::fromUtf8(
                "该时间段与现有时间段存在重复！\n\n请重新设置后避免时间段再出现重复现象。"));
        QCOMPARE(icon, QMessageBox::Warning);
        QCOMPARE(editor.list(0)->topLevelItemCount(), 1);
    }

    void overlapCountsTheSharedMinute()
    {
        Editor editor(ScheduleKind::Recording);
        editor.setDay(0, segments({{"08:00", "12:00"}}));
        QString focused;
        ModalScript script;
        script.then(confirmSegment(QTime(12, 0), QTime(18, 0)))
            .answer(QMessageBox::Ok)
            .then([&](QWidget *dialog) {
                for (QWidget *w = dialog->focusWidget(); w && w != dialog; w = w->parentWidget())
                    focused = w->objectName();
                confirmSegment(QTime(12, 1), QTime(18, 0))(dialog);
            });
        editor.press("RecAddBitBtn");
        QVERIFY(script.finished());
        QCOMPARE(focused, QStringLiteral("DateTimePicker2"));
        QCOMPARE(editor.line(0), QByteArray("2,08:00-12:00,92,12:01-18:00,92,"));
    }

    void orderComparesSeconds()
    {
        Editor editor(ScheduleKind::Recording);
        QString title, text;
        ModalScript script;
        script.then(confirmSegment(QTime(10, 0, 30), QTime(10, 0, 10)))
            .answer(QMessageBox::Ok, &title, &text)
            .then(confirmSegment(QTime(10, 0, 10), QTime(10, 0, 10)));
        editor.press("RecAddBitBtn");
        QVERIFY(script.finished());
        QCOMPARE(title, QString::fromUtf8("录像设置"));
        QCOMPARE(text, QString::fromUtf8("“开始时间” 一定要比 “结束时间” 早！"));
        QCOMPARE(editor.line(0), QByteArray("1,10:00-10:00,92,"));
    }

    void editLeavesTheRowOutOfTheCheck()
    {
        Editor editor(ScheduleKind::Recording);
        editor.setDay(0, {{"08:00", "12:00", "91"}, {"ab:cd", "xx", "92"}});
        QTreeWidget *list = editor.list(0);

        QTime start, end;
        int mode = -1;
        ModalScript script;
        script.then([&](QWidget *dialog) {
            mode = control<QComboBox>(dialog, QStringLiteral("ComboBox1"))->currentIndex();
            pressButton("BitBtn1")(dialog);
        });
        list->topLevelItem(0)->setSelected(true);
        editor.editor->ListViewDblClick();
        QCOMPARE(mode, 0);
        QCOMPARE(editor.line(0), QByteArray("2,08:00-12:00,91,ab:cd-xx,92,"));
        QCOMPARE(editor.changes, 1);

        // A stored text that is not a time opens as the whole day.
        list->clearSelection();
        list->topLevelItem(1)->setSelected(true);
        script.then([&](QWidget *dialog) {
            start = control<QTimeEdit>(dialog, QStringLiteral("DateTimePicker1"))->time();
            end = control<QTimeEdit>(dialog, QStringLiteral("DateTimePicker2"))->time();
            confirmSegment(QTime(13, 0), QTime(14, 0), 0)(dialog);
        });
        const QRect rect = list->visualItemRect(list->topLevelItem(1));
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
        QCOMPARE(start, QTime(0, 0, 0));
        QCOMPARE(end, QTime(23, 59, 59));
        QCOMPARE(editor.line(0), QByteArray("2,08:00-12:00,91,13:00-14:00,91,"));
    }

    void deleteAsksAndRemovesTheSelectedRows()
    {
        Editor editor(ScheduleKind::Recording);
        editor.setDay(0, segments({{"01:00", "02:00"}, {"03:00", "04:00"}, {"05:00", "06:00"}}));
        QTreeWidget *list = editor.list(0);
        auto *del = editor.button("RecDelBitBtn");
        QVERIFY(!del->isEnabled());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
            list->visualItemRect(list->topLevelItem(0)).center());
        QVERIFY(del->isEnabled());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
            list->visualItemRect(list->topLevelItem(2)).center());

        QString text;
        ModalScript script;
        script.answer(QMessageBox::No, nullptr, &text);
        del->click();
        QCOMPARE(text, QString::fromUtf8("确定删除记录吗？"));
        QCOMPARE(list->topLevelItemCount(), 3);
        QCOMPARE(editor.changes, 0);

        script.answer(QMessageBox::Yes);
        del->click();
        QCOMPARE(editor.line(0), QByteArray("1,03:00-04:00,92,"));
        QCOMPARE(editor.changes, 1);
        QVERIFY(del->isEnabled()); // stays on; a press with nothing selected does nothing
        del->click();
        QCOMPARE(list->topLevelItemCount(), 1);
        // A click on the empty area leaves no row selected and turns Delete off.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(5, 200));
        QVERIFY(!del->isEnabled());
    }

    // Insert adds, Enter and F2 edit the row with the focus, Delete deletes the selected rows;
    // a key that selects a row turns Delete on as a click does.
    void listKeysAddEditAndDelete()
    {
        Editor editor(ScheduleKind::Recording);
        QTreeWidget *list = editor.list(2);
        editor.window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&editor.window));
        list->setFocus();
        ModalScript script;
        script.then(confirmSegment(QTime(8, 0), QTime(12, 0)))
            .then(confirmSegment(QTime(13, 0), QTime(14, 0)));
        QTest::keyClick(list, Qt::Key_Insert);
        QTest::keyClick(list, Qt::Key_Insert);
        QCOMPARE(editor.line(2), QByteArray("2,08:00-12:00,92,13:00-14:00,92,"));

        auto *del = editor.button("RecDelBitBtn");
        QVERIFY(!del->isEnabled());
        QTest::keyClick(list, Qt::Key_Home);
        QVERIFY(del->isEnabled());
        QTest::keyClick(list, Qt::Key_Down);
        QTime shownStart;
        script.then([&](QWidget *dialog) {
            shownStart = control<QTimeEdit>(dialog, QStringLiteral("DateTimePicker1"))->time();
            confirmSegment(QTime(15, 0), QTime(16, 0), 0)(dialog);
        });
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(shownStart, QTime(13, 0));
        // F2 edits the row with the focus even when the selection is elsewhere.
        list->setCurrentItem(list->topLevelItem(0), 0, QItemSelectionModel::NoUpdate);
        script.then(confirmSegment(QTime(9, 0), QTime(10, 0)));
        QTest::keyClick(list, Qt::Key_F2);
        QCOMPARE(editor.line(2), QByteArray("2,09:00-10:00,92,15:00-16:00,91,"));

        script.answer(QMessageBox::Yes);
        QTest::keyClick(list, Qt::Key_Delete);
        QVERIFY(script.finished());
        QCOMPARE(editor.line(2), QByteArray("1,15:00-16:00,91,"));
        QCOMPARE(editor.changes, 5);
        QVERIFY(editor.line(0) == "0," && editor.line(1) == "0,");
    }

    // A screen reader hears a row as its whole segment with the channel and the day, in the
    // window's language, following the channel shown.
    void rowsNamedForScreenReaders()
    {
        QAccessible::setActive(true);
        Editor editor(ScheduleKind::Motion);
        editor.setDay(4, segments({{"08:00", "12:00"}}));
        QTreeWidget *list = editor.list(4);
        QCOMPARE(heard(list, 0, 0), QString::fromUtf8("通道 1，星期五，08:00 至 12:00"));
        setChinese(false);
        editor.context.currentAlarmChannel = 2;
        QCOMPARE(heard(list, 0, 0), QStringLiteral("Channel 3, Friday, 08:00 to 12:00"));
        QCOMPARE(heard(list, 0, 1), QStringLiteral("12:00"));

        Editor recording(ScheduleKind::Recording);
        recording.setDay(0, segments({{"01:00", "02:00"}}, "91"));
        recording.editor->retranslate();
        QCOMPARE(heard(recording.list(0), 0, 0),
            QStringLiteral("Channel 1, Monday, 01:00 to 02:00, Daytime"));
    }

    void copyDayReplacesTheOtherTickedDays()
    {
        Editor editor(ScheduleKind::Recording);
        editor.setDay(0, segments({{"08:00", "12:00"}, {"13:00", "14:00"}}));
        editor.setDay(2, segments({{"01:00", "02:00"}}));
        editor.setDay(4, segments({{"01:00", "02:00"}}));
        ModalScript script;
        script.then(tickRows({0, 2, 6}));
        editor.press("RecSetAllBitBtn");
        QCOMPARE(editor.line(0), QByteArray("2,08:00-12:00,92,13:00-14:00,92,"));
        QCOMPARE(editor.line(2), editor.line(0));
        QCOMPARE(editor.line(6), editor.line(0));
        QCOMPARE(editor.line(4), QByteArray("1,01:00-02:00,92,"));
        QCOMPARE(editor.changes, 1);

        // An empty shown day empties the ticked days.
        editor.editor->dayTabs()->setCurrentIndex(1);
        script.then(tickRows({2, 4}));
        editor.press("RecSetAllBitBtn");
        QCOMPARE(editor.line(2), QByteArray("0,"));
        QCOMPARE(editor.line(4), QByteArray("0,"));
        QCOMPARE(editor.line(6), editor.line(0));
    }

    void dayChangeCarriesWidthsAndSelection()
    {
        Editor editor(ScheduleKind::Recording);
        editor.setDay(0, segments({{"01:00", "02:00"}, {"03:00", "04:00"}}));
        editor.setDay(1, segments({{"05:00", "06:00"}, {"07:00", "08:00"}}));
        QTreeWidget *monday = editor.list(0);
        auto *del = editor.button("RecDelBitBtn");
        monday->setColumnWidth(0, 90);
        monday->setColumnWidth(2, 150);
        QTest::mouseClick(monday->viewport(), Qt::LeftButton, {},
            monday->visualItemRect(monday->topLevelItem(1)).center());
        QVERIFY(del->isEnabled());

        editor.editor->dayTabs()->setCurrentIndex(1);
        QTreeWidget *tuesday = editor.list(1);
        QCOMPARE(editor.editor->notebook()->currentWidget(), tuesday);
        QCOMPARE(tuesday->objectName(), QStringLiteral("RecordListView1"));
        QCOMPARE(rowsOf(tuesday).first(), QString::fromUtf8("05:00-06:00 夜间模式"));
        QCOMPARE(tuesday->columnWidth(0), 90);
        QCOMPARE(tuesday->columnWidth(2), 150);
        QVERIFY(tuesday->topLevelItem(1)->isSelected());
        QVERIFY(!tuesday->topLevelItem(0)->isSelected());
        QVERIFY(del->isEnabled());

        // Wednesday has no second row: no selection, Delete off.
        editor.editor->dayTabs()->setCurrentIndex(2);
        QVERIFY(!del->isEnabled());
        QCOMPARE(editor.changes, 0);
        // Days shown and left keep their rows.
        QCOMPARE(editor.line(0), QByteArray("2,01:00-02:00,92,03:00-04:00,92,"));
        QCOMPARE(editor.line(1), QByteArray("2,05:00-06:00,92,07:00-08:00,92,"));
    }

    void languageRebuildsModeTexts()
    {
        Editor editor(ScheduleKind::Recording);
        editor.setDay(3, {{"08:00", "09:00", "91"}, {"10:00", "11:00", "92"}});
        editor.setDay(5, {{"12:00", "13:00", "91"}});
        // The shown day's rows are rebuilt; a hidden day gets the new texts when shown.
        editor.list(3);
        setChinese(false);
        editor.editor->retranslate();
        QCOMPARE(
            rowsOf(editor.list(3)), (QStringList {"08:00-09:00 Daytime", "10:00-11:00 Nighttime"}));
        QCOMPARE(rowsOf(editor.list(5)), QStringList {"12:00-13:00 Daytime"});
        QCOMPARE(editor.line(3), QByteArray("2,08:00-09:00,91,10:00-11:00,92,"));
    }

    void motionTimetableHasNoMode()
    {
        Editor editor(ScheduleKind::Motion);
        QCOMPARE(editor.list(0)->objectName(), QStringLiteral("MotionListView0"));
        QCOMPARE(editor.list(0)->columnCount(), 2);
        editor.setDay(0, segments({{"08:00", "12:00"}}, ""));
        int closed = 0;
        connect(editor.editor, &ScheduleEditor::dialogClosed, this, [&] { ++closed; });

        bool modeShown = true;
        QString caption, overlapTitle;
        ModalScript script;
        script
            .then([&](QWidget *dialog) {
                caption = dialog->windowTitle();
                modeShown
                    = control<QComboBox>(dialog, QStringLiteral("ComboBox1"))->isVisibleTo(dialog);
                confirmSegment(QTime(11, 0), QTime(13, 0))(dialog);
            })
            .answer(QMessageBox::Ok, &overlapTitle)
            .then(confirmSegment(QTime(13, 0), QTime(14, 0)));
        editor.press("MtnAddBitBtn");
        QCOMPARE(caption, QString::fromUtf8("布防设置"));
        QCOMPARE(overlapTitle, caption);
        QVERIFY(!modeShown);
        QCOMPARE(editor.line(0), QByteArray("2,08:00-12:00,13:00-14:00,"));
        QCOMPARE(closed, 1);
    }

    void sensorTimetableWithoutSensorsDoesNothing()
    {
        Editor editor(ScheduleKind::Sensor, 0);
        editor.setDay(0, segments({{"08:00", "12:00"}}, ""));
        QTreeWidget *list = editor.list(0);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
            list->visualItemRect(list->topLevelItem(0)).center());
        QVERIFY(!editor.button("SnrDelBitBtn")->isEnabled());
        editor.press("SnrAddBitBtn");
        editor.press("SnrSetAllBitBtn");
        editor.editor->ListViewDblClick();
        editor.editor->DelBitBtnClick();
        QCOMPARE(editor.changes, 0);
        QCOMPARE(list->topLevelItemCount(), 1);
    }

    void fullDayRefusesAnotherSegment_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("chinese");
        QTest::addColumn<QString>("message");
        QTest::newRow("recording")
            << int(ScheduleKind::Recording) << true
            << QString::fromUtf8("该日的时间段已达到上限（136 段），不能再增加！");
        QTest::newRow("sensor") << int(ScheduleKind::Sensor) << false
                                << QStringLiteral(
                                       "This day already has the most time segments a "
                                       "timetable can keep (170); no more can be added.");
    }

    // A day holds at most the segments one stored line carries back; Add then says so.
    void fullDayRefusesAnotherSegment()
    {
        QFETCH(int, kind);
        QFETCH(bool, chinese);
        QFETCH(QString, message);
        setChinese(chinese);
        Editor editor {ScheduleKind(kind)};
        const int most = maxSegmentsPerDay(editor.editor->kind());
        editor.setDay(2, DaySegments(size_t(most), {"00:00", "00:01", chinese ? "91" : ""}));
        QTemporaryDir dir;
        settings::ProfileStore store;
        const settings::ProfileFile file(store, dir.filePath(QStringLiteral("f.ext")));
        editor.editor->save(file, 0);
        QCOMPARE(readSchedule(file, editor.editor->kind(), 0)[2].size(), size_t(most));

        QString text;
        ModalScript script;
        script.answer(QMessageBox::Ok, nullptr, &text);
        editor.editor->dayTabs()->setCurrentIndex(2);
        editor.editor->AddBitBtnClick();
        QCOMPARE(text, message);
        QCOMPARE(editor.list(2)->topLevelItemCount(), most);
        QCOMPARE(editor.changes, 0);
    }

    void chooserSelectAllToggles()
    {
        QWidget owner;
        TChnSelectForm channels(TChnSelectForm::Mode::Channels, 12, &owner);
        auto *list = control<QTreeWidget>(&channels, QStringLiteral("ChnListView"));
        auto *toggle = control<QPushButton>(&channels, QStringLiteral("BitBtn3"));
        QCOMPARE(list->topLevelItem(11)->text(0), QString::fromUtf8("通道12"));
        toggle->click();
        QCOMPARE(channels.ticks(), std::vector<std::uint8_t>(12, 1));
        QCOMPARE(toggle->text(), QString::fromUtf8("全清"));
        list->topLevelItem(4)->setCheckState(0, Qt::Unchecked);
        QVERIFY(!channels.isTicked(4));
        toggle->click();
        QCOMPARE(channels.ticks(), std::vector<std::uint8_t>(12, 0));
        QCOMPARE(toggle->text(), QString::fromUtf8("全选"));

        setChinese(false);
        TChnSelectForm days(TChnSelectForm::Mode::Weekdays, 3, &owner);
        QCOMPARE(days.windowTitle(), QStringLiteral("Date selection"));
        QCOMPARE(days.rowCount(), 7);
        QCOMPARE(
            control<QTreeWidget>(&days, QStringLiteral("ChnListView"))->topLevelItem(6)->text(0),
            QStringLiteral("Sunday"));
    }
};

QTEST_MAIN(TestSchedule)
#include "tst_schedule.moc"
