#include "editor/dialogs/chnselect.h"

#include "editor/accessiblenames.h"
#include "editor/placement.h"
#include "editor/texttable.h"
#include "formats/language.h"
#include "schema/schema.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>

namespace quillon::editor {

namespace {

constexpr TextEntry kTexts[] = {
    {"BitBtn3", "全选", "Select all"},
    {"BitBtn1", "确定", "OK"},
    {"BitBtn2", "取消", "Cancel"},
};

constexpr int kWeekdays = 7;

QPushButton *button(const char *name, QWidget *parent, int left)
{
    return place<QPushButton>(name, parent, left, 320, 80, 25);
}

} // namespace

TChnSelectForm::TChnSelectForm(Mode mode, int rowCount, QWidget *owner)
    : QDialog(owner), m_mode(mode)
{
    setObjectName(QStringLiteral("ChnSelectForm"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(279, 355);
    buildControls();
    wireButtons();
    applyTexts(ControlIndex(this), kTexts);
    fillRows(mode == Mode::Channels ? std::max(rowCount, 0) : kWeekdays);
    nameInputControls(this);
    ChnListView->setAccessibleName(windowTitle());
}

void TChnSelectForm::buildControls()
{
    ChnListView = new QTreeWidget(this);
    ChnListView->setObjectName(QStringLiteral("ChnListView"));
    ChnListView->setGeometry(8, 8, 263, 304);
    ChnListView->setRootIsDecorated(false);
    ChnListView->setColumnCount(1);
    ChnListView->setColumnWidth(0, 100);
    ChnListView->setSelectionBehavior(QAbstractItemView::SelectRows);
    ChnListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ChnListView->header()->setSectionsClickable(false);

    BitBtn3 = button("BitBtn3", this, 8);
    BitBtn1 = button("BitBtn1", this, 100);
    BitBtn2 = button("BitBtn2", this, 191);
    BitBtn1->setDefault(true);
}

void TChnSelectForm::wireButtons()
{
    connect(BitBtn3, &QPushButton::clicked, this, &TChnSelectForm::BitBtn3Click);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

// The title, the column caption and the rows, all unticked, in the current language.
void TChnSelectForm::fillRows(int rows)
{
    const bool channels = m_mode == Mode::Channels;
    setWindowTitle(channels ? formats::pick("通道选择", "Channel selection")
                            : formats::pick("星期选择", "Date selection"));
    ChnListView->setHeaderLabels(
        {channels ? formats::pick("通道", "Channel") : formats::pick("星期", "Date")});
    QList<QTreeWidgetItem *> items;
    for (int row = 0; row < rows; ++row) {
        auto *item = new QTreeWidgetItem;
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Unchecked);
        item->setText(0,
            channels ? formats::pick("通道%1", "Channel%1").arg(row + 1)
                     : schema::dayCaption(row + 1).in(formats::isChinese()));
        items.append(item);
    }
    ChnListView->addTopLevelItems(items);
}

int TChnSelectForm::rowCount() const
{
    return ChnListView->topLevelItemCount();
}

bool TChnSelectForm::isTicked(int row) const
{
    const QTreeWidgetItem *item = ChnListView->topLevelItem(row);
    return item && item->checkState(0) == Qt::Checked;
}

std::vector<std::uint8_t> TChnSelectForm::ticks() const
{
    std::vector<std::uint8_t> flags(size_t(rowCount()), 0);
    for (int row = 0; row < rowCount(); ++row)
        flags[size_t(row)] = isTicked(row) ? 1 : 0;
    return flags;
}

void TChnSelectForm::BitBtn3Click()
{
    m_selectAllTag = m_selectAllTag == 0 ? 1 : 0;
    const bool tick = m_selectAllTag == 1;
    for (int row = 0; row < rowCount(); ++row)
        ChnListView->topLevelItem(row)->setCheckState(0, tick ? Qt::Checked : Qt::Unchecked);
    BitBtn3->setText(
        tick ? formats::pick("全清", "Cancel all") : formats::pick("全选", "Select all"));
}

} // namespace quillon::editor
