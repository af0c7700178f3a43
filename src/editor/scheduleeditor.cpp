#include "editor/scheduleeditor.h"

#include "editor/language.h"

#include <QHeaderView>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTreeWidget>

namespace quillon::editor {

namespace {

constexpr int kListWidth = 400;
constexpr int kListHeight = 230;

struct DayName
{
    const char *chinese;
    const char *english;
};

constexpr std::array<DayName, ScheduleEditor::kDays> kDayNames{{
    {"星期一", "Monday"},
    {"星期二", "Tuesday"},
    {"星期三", "Wednesday"},
    {"星期四", "Thursday"},
    {"星期五", "Friday"},
    {"星期六", "Saturday"},
    {"星期天", "Sunday"},
}};

QString named(const char *prefix, const char *suffix)
{
    return QLatin1String(prefix) + QLatin1String(suffix);
}

} // namespace

ScheduleEditor::ScheduleEditor(const Names &names, QWidget *parent, int left, int top)
    : QObject(parent), m_names(names)
{
    m_dayTabs = new QTabBar(parent);
    m_dayTabs->setObjectName(named(names.lists, "TabSet"));
    m_dayTabs->setDrawBase(false);
    QFont bold = m_dayTabs->font();
    bold.setBold(true);
    m_dayTabs->setFont(bold);
    for (const DayName &day : kDayNames)
        m_dayTabs->addTab(QString::fromUtf8(day.chinese));
    m_dayTabs->move(left, top);

    m_notebook = new QStackedWidget(parent);
    m_notebook->setObjectName(named(names.lists, "Notebook"));
    m_notebook->setGeometry(left, top + 24, kListWidth, kListHeight);
    for (int day = 0; day < kDays; ++day) {
        auto *list = new QTreeWidget(m_notebook);
        list->setObjectName(QStringLiteral("%1ListView%2").arg(QLatin1String(names.lists)).arg(day));
        list->setRootIsDecorated(false);
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
        list->setSelectionBehavior(QAbstractItemView::SelectRows);
        list->setEditTriggers(QAbstractItemView::NoEditTriggers);
        list->header()->setSectionsClickable(false);
        list->header()->setMinimumSectionSize(60);
        list->setColumnCount(names.withMode ? 3 : 2);
        list->setColumnWidth(0, 130);
        list->setColumnWidth(1, 130);
        m_notebook->addWidget(list);
        m_dayLists[size_t(day)] = list;
    }
    connect(m_dayTabs, &QTabBar::currentChanged, m_notebook, &QStackedWidget::setCurrentIndex);

    auto makeButton = [&](const char *suffix, int x) {
        auto *button = new QPushButton(parent);
        button->setObjectName(named(names.buttons, suffix));
        button->setGeometry(left + x, top + 24 + kListHeight + 8, 90, 25);
        return button;
    };
    m_add = makeButton("AddBitBtn", 0);
    m_delete = makeButton("DelBitBtn", 100);
    m_copy = makeButton("SetAllBitBtn", 200);
    m_delete->setEnabled(false);
}

void ScheduleEditor::selectFirstDay()
{
    m_dayTabs->setCurrentIndex(0);
    m_notebook->setCurrentIndex(0);
}

void ScheduleEditor::retranslate()
{
    QFont font = m_dayTabs->font();
    font.setFamily(pick("宋体", "MS Sans Serif"));
    m_dayTabs->setFont(font);
    for (int day = 0; day < kDays; ++day)
        m_dayTabs->setTabText(day, pick(kDayNames[size_t(day)].chinese, kDayNames[size_t(day)].english));

    QStringList columns{pick("开始时间", "Start time"), pick("结束时间", "End time")};
    if (m_names.withMode)
        columns << pick("录像模式", "Record mode");
    for (QTreeWidget *list : m_dayLists)
        list->setHeaderLabels(columns);
    m_add->setText(pick("增加", "Add"));
    m_delete->setText(pick("删除", "Delete"));
    m_copy->setText(pick("该日复制到", "Copy to"));
}

} // namespace quillon::editor
