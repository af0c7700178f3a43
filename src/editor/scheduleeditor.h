#pragma once

#include "formats/schedule.h"

#include <QObject>

class QPushButton;
class QStackedWidget;
class QTabBar;
class QKeyEvent;
class QPoint;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace quillon::settings {
class ProfileFile;
}

namespace quillon::editor {

struct SetupContext;

// The weekly timetable editor that the recording, motion and sensor pages share: a tab per
// weekday, the shown day's list on a page book, and the Add, Delete and Copy buttons. The kind
// names the controls:
//   Recording  RecordTabSet, RecordNotebook, RecordListView0..6, RecAddBitBtn, RecDelBitBtn,
//              RecSetAllBitBtn; three columns (start, end, mode)
//   Motion     MotionTabSet, MotionNotebook, MotionListView0..6, MtnAddBitBtn, ...
//   Sensor     SensorTabSet, SensorNotebook, SensorListView0..6, SnrAddBitBtn, ...
// One list serves the seven days: choosing a day tab fills it with that day's segments and
// names it after the day (RecordListView0 on Monday ... RecordListView6 on Sunday). The other
// days' segments wait in memory. Three editors with seven lists each, every list polished and
// laid out, were most of the window's creation time.
// Add, edit (double click), Delete and Copy count as changes of the owning page: they go
// through SetupContext::noteChange. The sensor timetable does nothing while the server has
// no sensor input. In the list, Insert adds, Enter or F2 edits the row with the focus and
// Delete deletes the selected rows, as the buttons and the double click do; a screen reader
// hears each row as the whole segment with its channel (or sensor) and day.
class ScheduleEditor : public QObject
{
    Q_OBJECT

public:
    static constexpr int kDays = formats::kScheduleDays;

    // Builds the controls inside the parent, with the day tabs' top-left corner at (left, top).
    ScheduleEditor(
        SetupContext &context, formats::ScheduleKind kind, QWidget *parent, int left, int top);

    formats::ScheduleKind kind() const { return m_kind; }
    QTabBar *dayTabs() const { return m_dayTabs; }
    QStackedWidget *notebook() const { return m_notebook; }
    // The list of the shown day.
    QTreeWidget *dayList() const { return m_list; }
    int shownDay() const { return m_shownDay; }
    QPushButton *addButton() const { return m_add; }
    QPushButton *deleteButton() const { return m_delete; }
    QPushButton *copyButton() const { return m_copy; }

    // Replaces the seven lists with the timetable of a channel or sensor (section of the kind
    // with that index, e.g. "ALARM RECORD TABLE3").
    void load(const settings::ProfileFile &file, int index);
    // Writes the seven lists into the section of the kind with that index.
    void save(const settings::ProfileFile &file, int index) const;
    // The segments the lists show, and replacing them.
    formats::WeeklySchedule schedule() const;
    void setSchedule(const formats::WeeklySchedule &schedule);

    // Shows weekday 0 in the tab set and the notebook.
    void selectFirstDay();
    // Weekday tabs, their font, the list columns, the buttons and, in the recording timetable,
    // every row's mode text, in the current language.
    void retranslate();

public Q_SLOTS:
    // Add: a new segment for the shown day, from the time-segment dialog.
    void AddBitBtnClick();
    // Delete: removes the shown day's selected rows after a Yes.
    void DelBitBtnClick();
    // Copy: the shown day's segments replace those of the days ticked in the weekday chooser.
    void SetAllBitBtnClick();
    // Edit: the first selected row of the shown day, in the time-segment dialog.
    void ListViewDblClick();

Q_SIGNALS:
    // The time-segment dialog or the weekday chooser has closed, confirmed or not.
    void dialogClosed();

private:
    void buildDayTabs(QWidget *parent, QPoint at);
    void buildDayList(QWidget *parent, QPoint at);
    void buildButtons(QWidget *parent, QPoint at);
    void wire();
    void ListViewClick();
    // The list's own keys for the buttons' and the double click's work; false for any other.
    bool ListViewKeyDown(const QKeyEvent &key);
    QTreeWidgetItem *newRow(const formats::ScheduleSegment &segment) const;
    // Replaces the list's rows with the day's segments.
    void fillList(const formats::DaySegments &day);
    QString rowName(const QTreeWidgetItem &row) const;
    void TabSetChange(int day);
    void showDay(int day);
    bool editable() const;
    QWidget *owner() const;

    SetupContext &m_context;
    formats::ScheduleKind m_kind;
    int m_shownDay = 0;
    // Every day but the shown one, whose segments live in the list's rows.
    formats::WeeklySchedule m_hiddenDays;
    QTabBar *m_dayTabs = nullptr;
    QStackedWidget *m_notebook = nullptr;
    QTreeWidget *m_list = nullptr;
    QPushButton *m_add = nullptr;
    QPushButton *m_delete = nullptr;
    QPushButton *m_copy = nullptr;
};

} // namespace quillon::editor
