#pragma once

#include <QObject>

#include <array>

class QPushButton;
class QStackedWidget;
class QTabBar;
class QTreeWidget;
class QWidget;

namespace quillon::editor {

// The weekly timetable editor that the recording, motion and sensor pages share: a tab per
// weekday, one list per day on a page book, and the Add, Delete and Copy buttons.
class ScheduleEditor : public QObject
{
    Q_OBJECT

public:
    struct Names
    {
        const char *lists;   // "Record" gives RecordTabSet, RecordNotebook, RecordListView0..6
        const char *buttons; // "Rec" gives RecAddBitBtn, RecDelBitBtn, RecSetAllBitBtn
        bool withMode;       // the recording table's third column
    };

    static constexpr int kDays = 7;

    // Builds the controls inside the parent, with the day tabs' top-left corner at (left, top).
    ScheduleEditor(const Names &names, QWidget *parent, int left, int top);

    QTabBar *dayTabs() const { return m_dayTabs; }
    QStackedWidget *notebook() const { return m_notebook; }
    const std::array<QTreeWidget *, kDays> &dayLists() const { return m_dayLists; }

    // Shows weekday 0 in the tab set and the notebook.
    void selectFirstDay();
    // Weekday tabs, their font and the list columns in the current language.
    void retranslate();

private:
    Names m_names;
    QTabBar *m_dayTabs = nullptr;
    QStackedWidget *m_notebook = nullptr;
    std::array<QTreeWidget *, kDays> m_dayLists{};
    QPushButton *m_add = nullptr;
    QPushButton *m_delete = nullptr;
    QPushButton *m_copy = nullptr;
};

} // namespace quillon::editor
