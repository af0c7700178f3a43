#include "editor/pages/motionpage.h"

#include "editor/dialogs/chnselect.h"
#include "editor/messages.h"
#include "editor/tabsets.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSlider>
#include <QTabBar>

namespace quillon::editor {

namespace {

constexpr int kCopyDialogWidth = 279;
constexpr int kCopyDialogHeight = 355;

constexpr TextEntry kTexts[] = {
    {"Label20", "视频通道选择", "Video channel selection"},
    {"Label21", "注：设置报警 -- 鼠标左键，撤消报警 -- 鼠标右键",
        "Note: Selecting - Left mouse click, Recover - Right mouse click"},
    {"BitBtn11", "设置全部", "Set all"},
    {"BitBtn12", "撤消全部", "Cancel all"},
    {"Label22", "高速运动检测帧间隔：", "High speed detection interval:"},
    {"Label23", "低速运动检测帧间隔：", "Low speed detection interval:"},
    {"Label33", "检测灵敏度：", "Detection sensitivity:"},
    {"Label35", "高", "High"},
    {"Label36", "低", "Low"},
    {"GroupBox8", "布防设置", "Schedule setup"},
    {"BitBtn14", "当前设置复制到...", "Copy to ..."},
};

} // namespace

MotionPage::MotionPage(SetupContext &context, QWidget *sheet) : SetupPage(context, sheet)
{
    buildGrid(sheet);
    buildDetector(sheet);
    buildArming(sheet);
    wireControls();
    m_detector.bind(
        context, sheet, {"TrackBar1", "TrackBar2", "TrackBar3", "CheckBox4", "CheckBox6"});
}

void MotionPage::buildGrid(QWidget *sheet)
{
    Label20 = place<QLabel>("Label20", sheet, 8, 4, 200, 18);
    AlarmChnTabSet = place<ChannelTabBar>("AlarmChnTabSet", sheet, 8, 24, 0, 21);

    AlarmPanel = place<QWidget>("AlarmPanel", sheet, 16, 56, kGridColumns * MotionCell::kWidth,
        kGridRows * MotionCell::kHeight);
    AlarmPanel->setAutoFillBackground(true);
    QPalette black = AlarmPanel->palette();
    black.setColor(QPalette::Window, Qt::black);
    AlarmPanel->setPalette(black);
    m_grid = new MotionGrid(AlarmPanel);

    Label21 = place<QLabel>("Label21", sheet, 16, 350, 370, 32);
    Label21->setWordWrap(true);
    BitBtn11 = place<QPushButton>("BitBtn11", sheet, 16, 386, 100, 25);
    BitBtn12 = place<QPushButton>("BitBtn12", sheet, 126, 386, 100, 25);
}

void MotionPage::buildDetector(QWidget *sheet)
{
    Label22 = place<QLabel>("Label22", sheet, 16, 424, 184, 20);
    Label24 = place<QLabel>("Label24", sheet, 340, 424, 30, 20);
    TrackBar1 = trackBar("TrackBar1", Label24, 424);
    Label23 = place<QLabel>("Label23", sheet, 16, 454, 184, 20);
    Label31 = place<QLabel>("Label31", sheet, 340, 454, 30, 20);
    TrackBar2 = trackBar("TrackBar2", Label31, 454);
    Label33 = place<QLabel>("Label33", sheet, 16, 484, 184, 20);
    Label34 = place<QLabel>("Label34", sheet, 340, 484, 30, 20);
    TrackBar3 = trackBar("TrackBar3", Label34, 484);
    Label35 = place<QLabel>("Label35", sheet, 200, 506, 40, 16);
    Label36 = place<QLabel>("Label36", sheet, 290, 506, 40, 16);
    Label36->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    // The grid flag is kept only to be written back; the operator never sees it.
    CheckBox4 = place<QCheckBox>("CheckBox4", sheet, 16, 530, 300, 20);
    CheckBox4->setVisible(false);
    CheckBox4->setEnabled(false);
}

void MotionPage::buildArming(QWidget *sheet)
{
    GroupBox8 = place<QGroupBox>("GroupBox8", sheet, 386, 56, 446, 350);
    CheckBox6 = place<QCheckBox>("CheckBox6", GroupBox8, 12, 20, 300, 20);
    m_schedule = new ScheduleEditor(m_context, formats::ScheduleKind::Motion, GroupBox8, 12, 46);
    BitBtn14 = place<QPushButton>("BitBtn14", sheet, 386, 420, 160, 25);
}

void MotionPage::wireControls()
{
    QObject *receiver = m_sheet;
    QObject::connect(
        m_grid, &MotionGrid::strokeFinished, receiver, [this] { m_context.noteChange(); });
    for (QPushButton *button : {BitBtn11, BitBtn12}) {
        const bool armed = button == BitBtn11;
        QObject::connect(button, &QPushButton::clicked, receiver, [this, armed] {
            m_grid->setAll(armed);
            m_context.noteChange();
        });
    }
    QObject::connect(BitBtn14, &QPushButton::clicked, receiver, [this] { BitBtn14Click(); });
}

QSlider *MotionPage::trackBar(const char *name, QLabel *valueLabel, int top)
{
    auto *slider = place<QSlider>(name, m_sheet, 200, top, 130, 20);
    slider->setOrientation(Qt::Horizontal);
    slider->setPageStep(1);
    valueLabel->setNum(0);
    QObject::connect(slider, &QSlider::valueChanged, valueLabel, qOverload<int>(&QLabel::setNum));
    return slider;
}

formats::MotionSettings MotionPage::shownSettings() const
{
    formats::MotionSettings values;
    values.area = m_grid->area();
    values.schedule = m_schedule->schedule();
    return values;
}

void MotionPage::showSettings(const formats::MotionSettings &values)
{
    m_grid->setArea(values.area);
    m_schedule->setSchedule(values.schedule);
}

void MotionPage::load()
{
    const int channel = m_context.currentAlarmChannel;
    if (m_context.motionCopy.keepsShownValuesAt(channel, m_sheet->window()))
        return;
    const QScopedValueRollback<bool> loading(m_context.loading, true);
    const settings::ProfileFile file = m_context.file(settings::SettingsFile::AlarmSet);
    m_detector.load(file, channel);
    showSettings(formats::readMotionSettings(file, channel));
}

bool MotionPage::isAreaSet() const
{
    return m_grid->anyArmed();
}

bool MotionPage::checkForApply()
{
    if (!CheckBox6->isChecked() || isAreaSet())
        return true;
    m_context.showPage(PageIndex::Motion, std::nullopt);
    showNotice(m_sheet->window(), "请设置动态检测区域！", "Set motion detect area please!");
    return false;
}

void MotionPage::save()
{
    const settings::ProfileFile file = m_context.file(settings::SettingsFile::AlarmSet);
    // Taken once, so that whatever happens while pending events are handled, every channel
    // gets the same values.
    const Bindings::Shown detector = m_detector.shown();
    const formats::MotionSettings shown = shownSettings();
    for (const int channel : m_context.motionCopy.saveTargets(m_context.currentAlarmChannel)) {
        // The window repaints between channels, but takes no input until the save has ended.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        m_detector.write(file, detector, channel);
        formats::writeMotionSettings(file, channel, shown);
    }
}

void MotionPage::BitBtn14Click()
{
    TChnSelectForm dialog(
        TChnSelectForm::Mode::Channels, m_context.channelCount, m_sheet->window());
    dialog.setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    dialog.setFixedSize(kCopyDialogWidth, kCopyDialogHeight);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_context.motionCopy.start(dialog.ticks(), m_context.currentAlarmChannel);
    m_context.noteChange();
}

std::span<const TextEntry> MotionPage::texts() const
{
    return kTexts;
}

void MotionPage::retranslateRows()
{
    m_schedule->retranslate();
    m_grid->nameCells();
}

} // namespace quillon::editor
