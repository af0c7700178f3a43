#include "editor/pages/sensorpage.h"

#include "editor/language.h"
#include "editor/messages.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QTabBar>
#include <QTreeWidget>

namespace quillon::editor {

namespace {

// Columns of the linked-channel list: caption with the link tick, visible preset text, and
// the hidden preset number.
constexpr int kPresetTextColumn = 1;
constexpr int kPresetNumberColumn = 2;

constexpr TextEntry kTexts[] = {
    {"CheckBox8", "报警时启动录像", "Start record when alarm"},
    {"SensorScheduleBox", "布防设置", "Schedule Setup"},
};

} // namespace

SensorPage::SensorPage(SetupContext &context, QWidget *sheet) : SetupPage(context, sheet)
{
    SensorChnTabSet = place<QTabBar>("SensorChnTabSet", sheet, 4, 4, 0, 21);
    SensorChnTabSet->setDrawBase(false);
    QFont bold = SensorChnTabSet->font();
    bold.setBold(true);
    SensorChnTabSet->setFont(bold);

    CheckBox8 = place<QCheckBox>("CheckBox8", sheet, 16, 40, 240, 20);
    LinkChnListView = place<QTreeWidget>("LinkChnListView", sheet, 16, 64, 240, 250);
    LinkChnListView->setRootIsDecorated(false);
    LinkChnListView->setColumnCount(3);
    LinkChnListView->setColumnHidden(kPresetNumberColumn, true);
    LinkChnListView->header()->setSectionsClickable(false);
    QObject::connect(LinkChnListView, &QTreeWidget::itemChanged, sheet,
                     [this] { m_context.noteChange(); });

    SensorScheduleBox = place<QGroupBox>("SensorScheduleBox", sheet, 390, 36, 420, 330);
    m_schedule = new ScheduleEditor({"Sensor", "Snr", false}, SensorScheduleBox, 8, 20);
}

void SensorPage::fillChannelRows()
{
    const QSignalBlocker blocker(LinkChnListView);
    LinkChnListView->clear();
    for (int channel = 0; channel < m_context.channelCount; ++channel) {
        auto *row = new QTreeWidgetItem(LinkChnListView);
        row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
        row->setCheckState(0, Qt::Unchecked);
        row->setText(0, pick("通道%1", "Channel%1").arg(channel + 1));
        row->setText(kPresetTextColumn, QString());
        row->setText(kPresetNumberColumn, QString());
    }
}

void SensorPage::loadAlarmDevice() {}

void SensorPage::loadSensor() {}

void SensorPage::applyPortRule() {}

bool SensorPage::anyChannelLinked() const
{
    const int rows = std::min(m_context.channelCount, LinkChnListView->topLevelItemCount());
    for (int row = 0; row < rows; ++row) {
        if (LinkChnListView->topLevelItem(row)->checkState(0) == Qt::Checked)
            return true;
    }
    return false;
}

bool SensorPage::checkForApply()
{
    if (!CheckBox8->isChecked() || anyChannelLinked())
        return true;
    showNotice(m_sheet->window(), "请选择联动录像的通道！", "Select alarm trigger record channel please!");
    return false;
}

void SensorPage::saveAlarmDevice() {}

void SensorPage::saveSensor() {}

void SensorPage::retranslateRows()
{
    m_schedule->retranslate();
    LinkChnListView->setHeaderLabels({pick("联动通道", "Connect channel"),
                                      pick("联动预置位", "Preset position"), QString()});
    const QSignalBlocker blocker(LinkChnListView);
    for (int row = 0; row < LinkChnListView->topLevelItemCount(); ++row)
        LinkChnListView->topLevelItem(row)->setText(0, pick("通道%1", "Channel%1").arg(row + 1));
}

} // namespace quillon::editor
