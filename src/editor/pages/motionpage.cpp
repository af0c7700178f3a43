#include "editor/pages/motionpage.h"

#include "editor/messages.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QTabBar>

namespace quillon::editor {

namespace {

constexpr int kMotionPageIndex = 3;

constexpr TextEntry kTexts[] = {
    {"CheckBox6", "自动执行报警录像时间表", "Auto-execute alarm record schedule"},
    {"MotionScheduleBox", "布防设置", "Schedule Setup"},
};

} // namespace

MotionPage::MotionPage(SetupContext &context, QWidget *sheet) : SetupPage(context, sheet)
{
    AlarmChnTabSet = place<QTabBar>("AlarmChnTabSet", sheet, 4, 4, 0, 21);
    AlarmChnTabSet->setDrawBase(false);
    QFont bold = AlarmChnTabSet->font();
    bold.setBold(true);
    AlarmChnTabSet->setFont(bold);

    AlarmPanel = place<QWidget>("AlarmPanel", sheet, 16, 40, kGridColumns * MotionCell::kWidth,
                                kGridRows * MotionCell::kHeight);
    AlarmPanel->setAutoFillBackground(true);
    QPalette black = AlarmPanel->palette();
    black.setColor(QPalette::Window, Qt::black);
    AlarmPanel->setPalette(black);
    m_grid = buildMotionGrid(AlarmPanel);

    CheckBox6 = place<QCheckBox>("CheckBox6", sheet, 16, 350, 300, 20);
    QObject::connect(CheckBox6, &QCheckBox::clicked, sheet, [this] { m_context.noteChange(); });

    MotionScheduleBox = place<QGroupBox>("MotionScheduleBox", sheet, 390, 36, 420, 330);
    m_schedule = new ScheduleEditor({"Motion", "Mtn", false}, MotionScheduleBox, 8, 20);
}

void MotionPage::load() {}

bool MotionPage::isAreaSet() const
{
    for (const auto &row : m_grid) {
        for (const MotionCell *cell : row) {
            if (cell->isArmed())
                return true;
        }
    }
    return false;
}

bool MotionPage::checkForApply()
{
    if (!CheckBox6->isChecked() || isAreaSet())
        return true;
    m_context.showPage(kMotionPageIndex, -1);
    showNotice(m_sheet->window(), "请设置动态检测区域！", "Set motion detect area please!");
    return false;
}

void MotionPage::save() {}

void MotionPage::retranslateRows() { m_schedule->retranslate(); }

} // namespace quillon::editor
