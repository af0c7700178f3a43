#include "editor/scheduleeditor.h"

#include "editor/devicepixels.h"
#include "editor/dialogs/chnselect.h"
#include "editor/dialogs/rectimeset.h"
#include "editor/messages.h"
#include "editor/setupcontext.h"
#include "editor/texttable.h"
#include "formats/language.h"
#include "schema/schema.h"
#include "settings/gbk.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTabBar>
#include <QTreeWidget>

#include <algorithm>
#include <functional>

namespace quillon::editor {

namespace {

constexpr int kListWidth = 400;
constexpr int kListHeight = 230;
constexpr int kTabsHeight = 24;
// Seven bold day names share the width of a list: the day tabs keep a narrow padding.
constexpr int kDayTabPadding = 12;

// Columns of a day list: the row's caption is the start, then the end and, in the recording
// timetable, the mode text and the hidden mode code.
constexpr int kStartColumn = 0;
constexpr int kEndColumn = 1;
constexpr int kModeTextColumn = 2;
constexpr int kModeCodeColumn = 3;
// The stored bytes of the start and end, so that rows nobody edited are written back as read.
constexpr int kBytesRole = Qt::UserRole;

// The buttons' captions; the control name is the kind's button prefix followed by the suffix.
constexpr TextEntry kButtonTexts[] = {
    {"AddBitBtn", "增加", "Add"},
    {"DelBitBtn", "删除", "Delete"},
    {"SetAllBitBtn", "该日复制到", "Copy to"},
};

struct KindNames
{
    const char *lists; // prefix of the tab set, the notebook and the lists
    const char *buttons; // prefix of the buttons
};

KindNames namesOf(formats::ScheduleKind kind)
{
    switch (kind) {
    case formats::ScheduleKind::Recording:
        return {"Record", "Rec"};
    case formats::ScheduleKind::Motion:
        return {"Motion", "Mtn"};
    case formats::ScheduleKind::Sensor:
        break;
    }
    return {"Sensor", "Snr"};
}

QString named(const char *prefix, const char *suffix)
{
    return QLatin1String(prefix) + QLatin1String(suffix);
}

QString listName(formats::ScheduleKind kind, int day)
{
    return QStringLiteral("%1ListView%2").arg(QLatin1String(namesOf(kind).lists)).arg(day);
}

// The style of the window with a narrower padding beside each tab's text.
class NarrowTabStyle : public QProxyStyle
{
public:
    int pixelMetric(
        PixelMetric metric, const QStyleOption *option, const QWidget *widget) const override
    {
        return metric == PM_TabBarTabHSpace ? kDayTabPadding
                                            : QProxyStyle::pixelMetric(metric, option, widget);
    }
};

// Grid lines right and below every cell, each cell one pixel wider and taller for them; the
// lines stay one device pixel thin on a dense screen. A style sheet on the list would draw the
// same lines but makes every polish and layout of the list go through the style sheet engine.
class GridDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(1, 1);
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
        const QModelIndex &index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        const QRect cell = enterDevicePixels(*painter, option.rect);
        painter->setPen(QPen(QColor(0xd0, 0xd0, 0xd0), 0));
        painter->drawLine(cell.topRight(), cell.bottomRight());
        painter->drawLine(cell.bottomLeft(), cell.bottomRight());
        painter->restore();
    }
};

// A day list that reports every click and double click, on a row or on the empty area, and
// offers its keys to the editor first. A key the editor leaves to the list may move the
// selection, as a click does.
class DayListView : public QTreeWidget
{
public:
    using QTreeWidget::QTreeWidget;

    std::function<void()> onClick;
    std::function<void()> onDoubleClick;
    std::function<bool(const QKeyEvent &)> onKey;

protected:
    void mouseReleaseEvent(QMouseEvent *event) override
    {
        QTreeWidget::mouseReleaseEvent(event);
        onClick();
    }
    void mouseDoubleClickEvent(QMouseEvent *event) override
    {
        QTreeWidget::mouseDoubleClickEvent(event);
        onDoubleClick();
    }
    void keyPressEvent(QKeyEvent *event) override
    {
        if (onKey(*event)) {
            event->accept();
            return;
        }
        QTreeWidget::keyPressEvent(event);
        onClick();
    }
};

// A row of a day list. Its caption, the start, is named for a screen reader with the whole
// segment and where it belongs ("Channel 2, Monday, 08:00 to 12:00, Daytime"), worked out
// when asked, so that it follows the shown channel, the day and the language.
class SegmentRow : public QTreeWidgetItem
{
public:
    explicit SegmentRow(std::function<QString(const QTreeWidgetItem &)> name)
        : m_name(std::move(name))
    { }

    QVariant data(int column, int role) const override
    {
        if (role == Qt::AccessibleTextRole && column == kStartColumn)
            return m_name(*this);
        return QTreeWidgetItem::data(column, role);
    }

private:
    std::function<QString(const QTreeWidgetItem &)> m_name;
};

void showSegment(QTreeWidgetItem *row, const formats::ScheduleSegment &segment, bool withMode)
{
    row->setText(kStartColumn, settings::fromGbk(segment.start));
    row->setData(kStartColumn, kBytesRole, segment.start);
    row->setText(kEndColumn, settings::fromGbk(segment.end));
    row->setData(kEndColumn, kBytesRole, segment.end);
    if (withMode) {
        row->setText(kModeTextColumn, modeTextFor(segment.modeCode));
        row->setText(kModeCodeColumn, QString::fromLatin1(segment.modeCode));
    }
}

formats::ScheduleSegment segmentOf(const QTreeWidgetItem *row, bool withMode)
{
    return {row->data(kStartColumn, kBytesRole).toByteArray(),
        row->data(kEndColumn, kBytesRole).toByteArray(),
        withMode ? row->text(kModeCodeColumn).toLatin1() : QByteArray()};
}

formats::DaySegments segmentsOf(const QTreeWidget *list, bool withMode)
{
    formats::DaySegments day;
    day.reserve(size_t(list->topLevelItemCount()));
    for (int row = 0; row < list->topLevelItemCount(); ++row)
        day.push_back(segmentOf(list->topLevelItem(row), withMode));
    return day;
}

// The first selected row in list order, or -1.
int firstSelectedRow(const QTreeWidget *list)
{
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
        if (list->topLevelItem(row)->isSelected())
            return row;
    }
    return -1;
}

// A stored time as a time of day; the fallback when the text is not one.
QTime timeOrDefault(const QString &text, const QTime &fallback)
{
    for (const char *format : {"H:mm", "H:mm:ss"}) {
        const QTime time = QTime::fromString(text.trimmed(), QLatin1String(format));
        if (time.isValid())
            return time;
    }
    return fallback;
}

const QTime kDayStart(0, 0, 0);
const QTime kDayEnd(23, 59, 59);
constexpr int kDayModePosition = 0;
constexpr int kNightModePosition = 1;
constexpr int kFirstModeValue = 91; // the mode value of position 0

// The motion and sensor timetables have no mode and give the dialog their own caption, which
// also titles its overlap message.
void adaptToKind(TRecTimeSetForm &form, bool withMode)
{
    if (withMode)
        return;
    form.hideMode();
    form.setWindowTitle(formats::pick("布防设置", "Schedule Setup"));
}

// The segment the confirmed dialog describes.
formats::ScheduleSegment segmentFrom(const TRecTimeSetForm &form, bool withMode)
{
    return {form.startText(), form.endText(),
        withMode ? formats::modeCodeFor(kFirstModeValue + form.modePosition()) : QByteArray()};
}

} // namespace

ScheduleEditor::ScheduleEditor(
    SetupContext &context, formats::ScheduleKind kind, QWidget *parent, int left, int top)
    : QObject(parent), m_context(context), m_kind(kind)
{
    buildDayTabs(parent, QPoint(left, top));
    buildDayList(parent, QPoint(left, top + kTabsHeight));
    buildButtons(parent, QPoint(left, top + kTabsHeight + kListHeight + 8));
    wire();
}

void ScheduleEditor::buildDayTabs(QWidget *parent, QPoint at)
{
    m_dayTabs = new QTabBar(parent);
    m_dayTabs->setObjectName(named(namesOf(m_kind).lists, "TabSet"));
    m_dayTabs->setDrawBase(false);
    QFont bold = m_dayTabs->font();
    bold.setBold(true);
    m_dayTabs->setFont(bold);
    // Names still too long for their share of the width are shortened, the full name a tooltip.
    auto *narrowTabs = new NarrowTabStyle;
    narrowTabs->setParent(m_dayTabs);
    m_dayTabs->setStyle(narrowTabs);
    m_dayTabs->setUsesScrollButtons(false);
    m_dayTabs->setElideMode(Qt::ElideRight);
    for (int day = 0; day < kDays; ++day)
        m_dayTabs->addTab(schema::dayTabCaption(day + 1).in(true));
    m_dayTabs->move(at);
}

void ScheduleEditor::buildDayList(QWidget *parent, QPoint at)
{
    const bool withMode = formats::hasModeColumn(m_kind);
    m_notebook = new QStackedWidget(parent);
    m_notebook->setObjectName(named(namesOf(m_kind).lists, "Notebook"));
    m_notebook->setGeometry(QRect(at, QSize(kListWidth, kListHeight)));
    auto *list = new DayListView(m_notebook);
    list->setObjectName(listName(m_kind, m_shownDay));
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setItemDelegate(new GridDelegate(list));
    list->header()->setSectionsClickable(false);
    list->header()->setStretchLastSection(false);
    list->header()->setMinimumSectionSize(60);
    list->setColumnCount(withMode ? kModeCodeColumn + 1 : kEndColumn + 1);
    list->setColumnWidth(kStartColumn, 130);
    list->setColumnWidth(kEndColumn, 130);
    if (withMode) {
        list->setColumnWidth(kModeTextColumn, 120);
        list->setColumnHidden(kModeCodeColumn, true);
    }
    m_notebook->addWidget(list);
    m_list = list;
}

void ScheduleEditor::buildButtons(QWidget *parent, QPoint at)
{
    auto makeButton = [&](const char *suffix, int x) {
        auto *button = new QPushButton(parent);
        button->setObjectName(named(namesOf(m_kind).buttons, suffix));
        button->setGeometry(at.x() + x, at.y(), 90, 25);
        return button;
    };
    m_add = makeButton("AddBitBtn", 0);
    m_delete = makeButton("DelBitBtn", 100);
    m_copy = makeButton("SetAllBitBtn", 200);
    m_delete->setEnabled(false);
}

void ScheduleEditor::wire()
{
    auto *list = static_cast<DayListView *>(m_list);
    list->onClick = [this] {
        ListViewClick();
    };
    list->onDoubleClick = [this] {
        ListViewDblClick();
    };
    list->onKey = [this](const QKeyEvent &key) {
        return ListViewKeyDown(key);
    };
    connect(m_dayTabs, &QTabBar::currentChanged, this, &ScheduleEditor::TabSetChange);
    connect(m_add, &QPushButton::clicked, this, &ScheduleEditor::AddBitBtnClick);
    connect(m_delete, &QPushButton::clicked, this, &ScheduleEditor::DelBitBtnClick);
    connect(m_copy, &QPushButton::clicked, this, &ScheduleEditor::SetAllBitBtnClick);
}

void ScheduleEditor::load(const settings::ProfileFile &file, int index)
{
    setSchedule(formats::readSchedule(file, m_kind, index));
}

void ScheduleEditor::save(const settings::ProfileFile &file, int index) const
{
    formats::writeSchedule(file, m_kind, index, schedule());
}

formats::WeeklySchedule ScheduleEditor::schedule() const
{
    formats::WeeklySchedule week = m_hiddenDays;
    week[size_t(m_shownDay)] = segmentsOf(m_list, formats::hasModeColumn(m_kind));
    return week;
}

void ScheduleEditor::setSchedule(const formats::WeeklySchedule &schedule)
{
    m_hiddenDays = schedule;
    fillList(schedule[size_t(m_shownDay)]);
    m_hiddenDays[size_t(m_shownDay)].clear();
}

void ScheduleEditor::selectFirstDay()
{
    m_dayTabs->setCurrentIndex(0);
    showDay(0);
}

void ScheduleEditor::retranslate()
{
    QFont font = m_dayTabs->font();
    font.setFamily(formats::pick("宋体", "MS Sans Serif"));
    m_dayTabs->setFont(font);
    for (int day = 0; day < kDays; ++day) {
        const QString name = schema::dayTabCaption(day + 1).in(formats::isChinese());
        m_dayTabs->setTabText(day, name);
        m_dayTabs->setTabToolTip(day, name);
    }
    // Longer names share the width of the lists instead of running past them.
    const QSize tabs = m_dayTabs->sizeHint();
    m_dayTabs->resize(std::min(tabs.width(), kListWidth), tabs.height());

    QStringList columns {
        formats::pick("开始时间", "Start time"), formats::pick("结束时间", "End time")};
    const bool withMode = formats::hasModeColumn(m_kind);
    if (withMode)
        columns << formats::pick("录像模式", "Record mode");
    // The hidden days keep mode codes only; their texts are made when they are shown.
    m_list->setHeaderLabels(columns);
    for (int row = 0; withMode && row < m_list->topLevelItemCount(); ++row) {
        QTreeWidgetItem *item = m_list->topLevelItem(row);
        item->setText(kModeTextColumn, modeTextFor(item->text(kModeCodeColumn).toLatin1()));
    }

    const char *prefix = namesOf(m_kind).buttons;
    for (QPushButton *button : {m_add, m_delete, m_copy}) {
        for (const TextEntry &entry : kButtonTexts) {
            if (button->objectName() == named(prefix, entry.control))
                setControlText(button, formats::pick(entry.chinese, entry.english));
        }
    }
}

bool ScheduleEditor::editable() const
{
    return m_kind != formats::ScheduleKind::Sensor || m_context.sensorCount > 0;
}

QWidget *ScheduleEditor::owner() const
{
    return m_dayTabs->window();
}

void ScheduleEditor::AddBitBtnClick()
{
    if (!editable())
        return;
    QTreeWidget *list = m_list;
    const int limit = formats::maxSegmentsPerDay(m_kind);
    if (list->topLevelItemCount() >= limit) {
        // One stored line carries no more segments; a further one would be lost at the save.
        const QByteArray chinese
            = QString::fromUtf8("该日的时间段已达到上限（%1 段），不能再增加！")
                  .arg(limit)
                  .toUtf8();
        const QByteArray english
            = QStringLiteral("This day already has the most time segments a timetable can "
                             "keep (%1); no more can be added.")
                  .arg(limit)
                  .toUtf8();
        showNotice(owner(), chinese.constData(), english.constData());
        return;
    }

    const bool withMode = formats::hasModeColumn(m_kind);
    TRecTimeSetForm form(owner());
    adaptToKind(form, withMode);
    form.setSegment(kDayStart, kDayEnd, kNightModePosition);
    form.setDay(segmentsOf(list, withMode), TRecTimeSetForm::kNoSegment);
    if (form.exec() == QDialog::Accepted) {
        list->addTopLevelItem(newRow(segmentFrom(form, withMode)));
        m_context.noteChange();
    }
    Q_EMIT dialogClosed();
}

void ScheduleEditor::ListViewDblClick()
{
    if (!editable())
        return;
    QTreeWidget *list = m_list;
    const int edited = firstSelectedRow(list);
    if (edited < 0)
        return;

    const bool withMode = formats::hasModeColumn(m_kind);
    QTreeWidgetItem *row = list->topLevelItem(edited);
    const formats::ScheduleSegment segment = segmentOf(row, withMode);
    TRecTimeSetForm form(owner());
    adaptToKind(form, withMode);
    form.setSegment(timeOrDefault(row->text(kStartColumn), kDayStart),
        timeOrDefault(row->text(kEndColumn), kDayEnd),
        formats::isDayMode(segment.modeCode) ? kDayModePosition : kNightModePosition);
    form.setDay(segmentsOf(list, withMode), edited);
    if (form.exec() == QDialog::Accepted) {
        showSegment(row, segmentFrom(form, withMode), withMode);
        m_context.noteChange();
    }
    Q_EMIT dialogClosed();
}

void ScheduleEditor::DelBitBtnClick()
{
    if (!editable())
        return;
    QTreeWidget *list = m_list;
    if (firstSelectedRow(list) < 0)
        return;
    if (!askYesNo(owner(),
            formats::pick("确定删除记录吗？", "Do you really want to delete the record(s)?")))
        return;
    for (int row = list->topLevelItemCount() - 1; row >= 0; --row) {
        // The window repaints between rows but takes no input until the rows are deleted.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        if (list->topLevelItem(row)->isSelected())
            delete list->takeTopLevelItem(row);
    }
    m_context.noteChange();
}

void ScheduleEditor::SetAllBitBtnClick()
{
    if (!editable())
        return;
    TChnSelectForm form(TChnSelectForm::Mode::Weekdays, kDays, owner());
    if (form.exec() == QDialog::Accepted) {
        const int shownDay = m_shownDay;
        const formats::DaySegments shown = segmentsOf(m_list, formats::hasModeColumn(m_kind));
        for (int day = 0; day < kDays; ++day) {
            if (!form.isTicked(day) || day == shownDay)
                continue;
            if (!shown.empty()) {
                // No input until the copy is written: a click could switch the channel halfway.
                QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            }
            m_hiddenDays[size_t(day)] = shown;
        }
    }
    m_context.noteChange();
    Q_EMIT dialogClosed();
}

void ScheduleEditor::ListViewClick()
{
    m_delete->setEnabled(editable() && firstSelectedRow(m_list) >= 0);
}

void ScheduleEditor::TabSetChange(int day)
{
    if (day < 0 || day >= kDays || day == m_shownDay)
        return;
    // The column widths stay those of the one list, so widths the operator dragged carry over.
    const int selected = firstSelectedRow(m_list);
    showDay(day);
    if (selected >= 0 && selected < m_list->topLevelItemCount())
        m_list->topLevelItem(selected)->setSelected(true);
    else
        m_delete->setEnabled(false);
}

bool ScheduleEditor::ListViewKeyDown(const QKeyEvent &key)
{
    if ((key.modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    switch (key.key()) {
    case Qt::Key_Insert:
        AddBitBtnClick();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_F2:
        // As a double click on the row with the focus: it becomes the selected row first.
        if (QTreeWidgetItem *row = m_list->currentItem()) {
            m_list->setCurrentItem(row);
            ListViewClick();
        }
        ListViewDblClick();
        return true;
    case Qt::Key_Delete:
        DelBitBtnClick();
        return true;
    default:
        return false;
    }
}

QTreeWidgetItem *ScheduleEditor::newRow(const formats::ScheduleSegment &segment) const
{
    auto *row = new SegmentRow([this](const QTreeWidgetItem &shown) { return rowName(shown); });
    showSegment(row, segment, formats::hasModeColumn(m_kind));
    return row;
}

void ScheduleEditor::fillList(const formats::DaySegments &day)
{
    m_list->clear();
    QList<QTreeWidgetItem *> rows;
    rows.reserve(qsizetype(day.size()));
    for (const formats::ScheduleSegment &segment : day)
        rows.append(newRow(segment));
    m_list->addTopLevelItems(rows);
}

QString ScheduleEditor::rowName(const QTreeWidgetItem &row) const
{
    const QString owner = m_kind == formats::ScheduleKind::Sensor
        ? formats::pick("探头 %1", "Sensor %1").arg(m_context.currentSensor + 1)
        : formats::pick("通道 %1", "Channel %1")
              .arg((m_kind == formats::ScheduleKind::Motion ? m_context.currentAlarmChannel
                                                            : m_context.currentVideoChannel)
                  + 1);
    QStringList parts {owner, schema::dayTabCaption(m_shownDay + 1).in(formats::isChinese()),
        formats::pick("%1 至 %2", "%1 to %2").arg(row.text(kStartColumn), row.text(kEndColumn))};
    if (formats::hasModeColumn(m_kind))
        parts << row.text(kModeTextColumn);
    return parts.join(formats::pick("，", ", "));
}

// Keeps the shown day's rows in memory and fills the list with the day's segments.
void ScheduleEditor::showDay(int day)
{
    if (day == m_shownDay)
        return;
    const bool withMode = formats::hasModeColumn(m_kind);
    m_hiddenDays[size_t(m_shownDay)] = segmentsOf(m_list, withMode);
    fillList(m_hiddenDays[size_t(day)]);
    m_hiddenDays[size_t(day)].clear();
    m_shownDay = day;
    m_list->setObjectName(listName(m_kind, day));
}

} // namespace quillon::editor
