#include "editor/pages/videopage.h"

#include <QGroupBox>
#include <QTabBar>
#include <QTabWidget>

namespace quillon::editor {

namespace {

constexpr TextEntry kTexts[] = {
    {"GroupBox13", "录像时间表", "Record timetable"},
};

QWidget *addInnerPage(QTabWidget *pages, const char *name)
{
    auto *page = new QWidget(pages);
    page->setObjectName(QLatin1String(name));
    pages->addTab(page, QString());
    return page;
}

} // namespace

VideoPage::VideoPage(SetupContext &context, QWidget *sheet) : SetupPage(context, sheet)
{
    SelectChnTabSet = place<QTabBar>("SelectChnTabSet", sheet, 4, 4, 0, 21);
    SelectChnTabSet->setDrawBase(false);
    QFont bold = SelectChnTabSet->font();
    bold.setBold(true);
    SelectChnTabSet->setFont(bold);

    PageControl2 = place<QTabWidget>("PageControl2", sheet, 4, 30, 824, 520);
    TabSheet4 = addInnerPage(PageControl2, "TabSheet4");
    TabSheet5 = addInnerPage(PageControl2, "TabSheet5");
    TabSheet6 = addInnerPage(PageControl2, "TabSheet6");

    GroupBox13 = place<QGroupBox>("GroupBox13", TabSheet6, 390, 8, 420, 330);
    m_schedule = new ScheduleEditor({"Record", "Rec", true}, GroupBox13, 8, 20);
}

void VideoPage::load() {}

bool VideoPage::checkForApply() { return true; }

void VideoPage::save() {}

void VideoPage::retranslateRows() { m_schedule->retranslate(); }

} // namespace quillon::editor
