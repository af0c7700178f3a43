#include "editor/pages/videopage.h"

#include "editor/dialogs/chnselect.h"
#include "editor/messages.h"
#include "editor/numberfield.h"
#include "editor/tabsets.h"
#include "formats/checks.h"
#include "formats/language.h"
#include "settings/profilestore.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>

namespace quillon::editor {

namespace {

constexpr int kCameraNameBytes = 20;
constexpr int kLabel28Top = 140;

constexpr TextEntry kTexts[] = {
    {"Label14", "视频通道选择", "Vidio channel  selection"},
    {"BitBtn7", "当前设置复制到...", "Copy to ..."},
    {"LogoGroupBox", "字幕显示", "Enable  display"},
    {"CameraNameLabel", "标题：", "Title:"},
    {"CamLabel", "最多20字节", "20 char"},
    {"CamXLabel", "X 坐标：", "X:"},
    {"CamYLabel", "Y 坐标：", "Y :"},
    {"DateXLabel", "X 坐标：", "X :"},
    {"DateYLabel", "Y 坐标：", "Y :"},
    {"GroupBox14", "区域遮蔽", "Area defilade"},
    {"CoverXLabel", "X 坐标：", "X :"},
    {"CoverYLabel", "Y 坐标：", "Y :"},
    {"CoverWLabel", "宽  度：", "Width:"},
    {"CoverHLabel", "高  度：", "Height:"},
    {"Label28", "区域大小范围：宽 1-352，高 1-288", "Area size range: Width 1-352, Height 1-288"},
    {"RateSetupGroupBox", "压缩参数设置", "Compress parameter settings"},
    {"IFrameLabel", "关键帧间隔", "Key frame interval"},
    {"MaxRateLabel", "最大编码码流", "Max bitrate"},
    {"QualityLabel", "视频图像质量", "Video quality"},
    {"VBRHighLabel", "好", "High"},
    {"VBRLowLabel", "差", "Low"},
    {"EncodeGroupBox", "压缩模式设置", "Compress mode settings"},
    {"RadioButton1", "MPEG4 (较低CPU占用率)", "MPEG4 (Lower CPU occupy rate)"},
    {"RadioButton2", "H.264 (较好图像画质)", "H.264 (Better video quality)"},
    {"VideoGroupBox", "视频设置", "Video settings"},
    {"Label5", "更好的图像", "better"},
    {"Label6", "更快的视频", "faster"},
    {"ModeGroupBox", "工作模式", "Working mode"},
    {"LVERadioBtn", " 视频 ", " Video"},
    {"LAVERadioBtn", " 视频 + 音频", " Video + Audio"},
    {"QualityGroupBox", "图像质量设置", "Quality settings"},
    {"RadioButton5", "优秀", "Excellence"},
    {"RadioButton6", "良好", "Good"},
    {"RadioButton7", "标准", "Standard"},
    {"GroupBox11", "录像文件设置", "Record file settings"},
    {"Label30", "录像文件长度：", "File length:"},
    {"Label1", "分钟", "Minute"},
    {"CheckBox5", "启动提前预录功能", "Pre-alarm recording:"},
    {"Label37", "预录时间长度：", "Pre-alarm record:"},
    {"Label38", "秒", "Second"},
    {"Label29", "柜员机编号：", "ATM No:"},
    {"Label16", "录像文件长度：", "File length:"},
    {"Label17", "分钟", "Minute"},
    {"GroupBox13", "录像时间表", "Record timetable"},
};

// Left edges of the three quality buttons, which the two languages' captions need.
constexpr int kQualityLeftChinese[] = {27, 99, 172};
constexpr int kQualityLeftEnglish[] = {17, 105, 162};
constexpr int kQualityRightMargin = 8;

QWidget *addInnerPage(QTabWidget *pages, const char *name)
{
    auto *page = new QWidget(pages);
    page->setObjectName(QLatin1String(name));
    pages->addTab(page, QString());
    return page;
}

// The field that shows a key of the channel's video settings.
QLineEdit *fieldOf(const QWidget *sheet, const char *key)
{
    const schema::Setting &setting
        = schema::setting(settings::SettingsFile::TVCard, schema::kEncoderSection, key);
    return sheet->findChild<QLineEdit *>(QLatin1String(setting.control));
}

// A title or date position as the operator sees it, blanks between digits included.
QString positionText(const QLineEdit *field)
{
    return field->displayText().trimmed();
}

} // namespace

VideoPage::VideoPage(SetupContext &context, QWidget *sheet) : SetupPage(context, sheet)
{
    // Two lines for the longer English caption, which would run under the channel tabs.
    Label14 = place<QLabel>("Label14", sheet, 8, 0, 128, 30);
    Label14->setWordWrap(true);
    SelectChnTabSet = place<ChannelTabBar>("SelectChnTabSet", sheet, 140, 4, 0, 21);

    PageControl2 = place<QTabWidget>("PageControl2", sheet, 4, 32, 828, 510);
    TabSheet4 = addInnerPage(PageControl2, "TabSheet4");
    TabSheet5 = addInnerPage(PageControl2, "TabSheet5");
    TabSheet6 = addInnerPage(PageControl2, "TabSheet6");
    BitBtn7 = place<QPushButton>("BitBtn7", sheet, 696, 548, 132, 25);
    QObject::connect(BitBtn7, &QPushButton::clicked, sheet, [this] { BitBtn7Click(); });

    buildOverlayPage();
    buildCompressionPage();
    buildRecordingPage();
    watchChanges();
    m_titleSwitch.bind(context, sheet, {"CameraCheckBox"});
    m_title.bind(context, sheet, {"CameraNameEdit"});
    m_overlay.bind(context, sheet,
        {"CamXEdit", "CamYEdit", "DateCheckBox", "TimeCheckBox", "DateXEdit", "DateYEdit",
            "PrevCoverCheckBox", "RecCoverCheckBox", "CoverXEdit", "CoverYEdit", "CoverWEdit",
            "CoverHEdit"});
    m_recording.bind(context, sheet,
        {"TrackBar5", "CheckBox65", "CheckBox5", "SpinEdit2", "AutoRunCheckBox", "SpinEdit1",
            "ATMCheckBox", "SpinEdit7", "SpinEdit6"});
}

void VideoPage::buildOverlayPage()
{
    LogoGroupBox = place<QGroupBox>("LogoGroupBox", TabSheet4, 8, 8, 400, 190);
    CameraCheckBox = place<QCheckBox>("CameraCheckBox", LogoGroupBox, 16, 24, 160, 20);
    CameraNameLabel = place<QLabel>("CameraNameLabel", LogoGroupBox, 32, 54, 56, 20);
    CameraNameEdit = place<QLineEdit>("CameraNameEdit", LogoGroupBox, 92, 52, 180, 22);
    CameraNameEdit->setValidator(new GbkByteValidator(kCameraNameBytes, CameraNameEdit));
    CamLabel = place<QLabel>("CamLabel", LogoGroupBox, 280, 54, 110, 20);
    auto positionLine = [this](int left, int top, QLabel *&caption, const char *captionName,
                            const char *fieldName) {
        auto *field = placeLine<QLineEdit>(
            {60, 0, 50, 22}, LogoGroupBox, left, top, caption, captionName, fieldName);
        field->setInputMask(QStringLiteral("999; "));
        return field;
    };
    CamXEdit = positionLine(32, 84, CamXLabel, "CamXLabel", "CamXEdit");
    CamYEdit = positionLine(170, 84, CamYLabel, "CamYLabel", "CamYEdit");
    DateCheckBox = place<QCheckBox>("DateCheckBox", LogoGroupBox, 16, 120, 90, 20);
    TimeCheckBox = place<QCheckBox>("TimeCheckBox", LogoGroupBox, 120, 120, 90, 20);
    DateXEdit = positionLine(32, 150, DateXLabel, "DateXLabel", "DateXEdit");
    DateYEdit = positionLine(170, 150, DateYLabel, "DateYLabel", "DateYEdit");

    GroupBox14 = place<QGroupBox>("GroupBox14", TabSheet4, 416, 8, 396, 190);
    PrevCoverCheckBox = place<QCheckBox>("PrevCoverCheckBox", GroupBox14, 16, 24, 140, 20);
    RecCoverCheckBox = place<QCheckBox>("RecCoverCheckBox", GroupBox14, 170, 24, 140, 20);
    RecCoverCheckBox->hide();
    auto coverLine = [this](int left, int top, QLabel *&caption, const char *captionName,
                         const char *fieldName) {
        auto *field = placeLine<NumberField>(
            {64, 4, 60, 22}, GroupBox14, left, top, caption, captionName, fieldName);
        field->setMaxLength(3);
        return field;
    };
    CoverXEdit = coverLine(16, 58, CoverXLabel, "CoverXLabel", "CoverXEdit");
    CoverYEdit = coverLine(200, 58, CoverYLabel, "CoverYLabel", "CoverYEdit");
    CoverWEdit = coverLine(16, 94, CoverWLabel, "CoverWLabel", "CoverWEdit");
    CoverHEdit = coverLine(200, 94, CoverHLabel, "CoverHLabel", "CoverHEdit");
    Label28 = place<QLabel>("Label28", GroupBox14, 0, kLabel28Top, 0, 20);
}

void VideoPage::buildCompressionPage()
{
    RateSetupGroupBox = place<QGroupBox>("RateSetupGroupBox", TabSheet5, 8, 8, 500, 160);
    auto trackRow
        = [this](const char *label, const char *bar, const char *edit, int top, int minimum,
              int maximum, QLabel **labelOut, QSlider **barOut, QLineEdit **editOut) {
              *labelOut = place<QLabel>(label, RateSetupGroupBox, 16, top + 2, 114, 20);
              *barOut = place<QSlider>(bar, RateSetupGroupBox, 130, top, 200, 22);
              (*barOut)->setOrientation(Qt::Horizontal);
              (*barOut)->setRange(minimum, maximum);
              *editOut = place<QLineEdit>(edit, RateSetupGroupBox, 340, top, 50, 22);
              (*editOut)->setReadOnly(true);
              // A stored value equal to the minimum moves no slider, so no change fills the edit.
              (*editOut)->setText(QString::number(minimum));
          };
    trackRow("IFrameLabel", "IFrameTrackBar", "IFrameEdit", 26, 1, 5, &IFrameLabel, &IFrameTrackBar,
        &IFrameEdit);
    trackRow("MaxRateLabel", "MaxRateTrackBar", "MaxRateEdit", 62, 56, 2000, &MaxRateLabel,
        &MaxRateTrackBar, &MaxRateEdit);
    bpsLabel = place<QLabel>("bpsLabel", RateSetupGroupBox, 396, 64, 40, 20);
    bpsLabel->setText(QStringLiteral("Kbps"));
    trackRow("QualityLabel", "QualityTrackBar", "QualityEdit", 98, 1, 31, &QualityLabel,
        &QualityTrackBar, &QualityEdit);
    VBRHighLabel = place<QLabel>("VBRHighLabel", RateSetupGroupBox, 130, 124, 50, 16);
    VBRLowLabel = place<QLabel>("VBRLowLabel", RateSetupGroupBox, 300, 124, 50, 16);
    RateSetupGroupBox->setEnabled(false);
    enableWhile(false, {IFrameTrackBar, QualityTrackBar, QualityEdit});

    EncodeGroupBox = place<QGroupBox>("EncodeGroupBox", TabSheet5, 520, 8, 292, 80);
    placeColumn<QRadioButton>(EncodeGroupBox, {16, 22, 268, 20}, 28,
        {{RadioButton1, "RadioButton1"}, {RadioButton2, "RadioButton2"}});
    RadioButton1->setEnabled(false);
    RadioButton2->setEnabled(false);

    VideoGroupBox = place<QGroupBox>("VideoGroupBox", TabSheet5, 8, 176, 500, 64);
    Label5 = place<QLabel>("Label5", VideoGroupBox, 16, 28, 100, 20);
    TrackBar5 = place<QSlider>("TrackBar5", VideoGroupBox, 130, 26, 200, 22);
    TrackBar5->setOrientation(Qt::Horizontal);
    TrackBar5->setEnabled(false);
    Label6 = place<QLabel>("Label6", VideoGroupBox, 340, 28, 100, 20);

    ModeGroupBox = place<QGroupBox>("ModeGroupBox", TabSheet5, 520, 96, 292, 80);
    placeColumn<QRadioButton>(ModeGroupBox, {16, 22, 200, 20}, 28,
        {{LVERadioBtn, "LVERadioBtn"}, {LAVERadioBtn, "LAVERadioBtn"}});
    ModeGroupBox->setEnabled(false);

    QualityGroupBox = place<QGroupBox>("QualityGroupBox", TabSheet5, 520, 184, 292, 56);
    RadioButton5
        = place<QRadioButton>("RadioButton5", QualityGroupBox, kQualityLeftChinese[0], 24, 70, 20);
    RadioButton6
        = place<QRadioButton>("RadioButton6", QualityGroupBox, kQualityLeftChinese[1], 24, 70, 20);
    RadioButton7
        = place<QRadioButton>("RadioButton7", QualityGroupBox, kQualityLeftChinese[2], 24, 90, 20);
    QualityGroupBox->setEnabled(false);

    CheckBox65 = place<QCheckBox>("CheckBox65", TabSheet5, 8, 250, 300, 20);
    CheckBox65->hide();
}

void VideoPage::buildRecordingPage()
{
    GroupBox11 = place<QGroupBox>("GroupBox11", TabSheet6, 8, 8, 372, 210);
    const LineShape recordingLine {100, 4, 60, 22};
    SpinEdit1 = placeLine<NumberField>(
        recordingLine, GroupBox11, 16, 26, Label30, "Label30", "SpinEdit1");
    Label1 = place<QLabel>("Label1", GroupBox11, 186, 28, 60, 20);
    AutoRunCheckBox = place<QCheckBox>("AutoRunCheckBox", GroupBox11, 16, 60, 300, 20);
    CheckBox5 = place<QCheckBox>("CheckBox5", GroupBox11, 16, 90, 240, 20);
    SpinEdit2 = placeLine<NumberField>(
        recordingLine, GroupBox11, 16, 116, Label37, "Label37", "SpinEdit2");
    Label38 = place<QLabel>("Label38", GroupBox11, 186, 118, 60, 20);
    ATMCheckBox = place<QCheckBox>("ATMCheckBox", GroupBox11, 16, 146, 240, 20);
    // The teller terminal's number and its file length share a line.
    SpinEdit7 = placeLine<NumberField>(
        {90, 0, 50, 22}, GroupBox11, 16, 174, Label29, "Label29", "SpinEdit7");
    SpinEdit6 = placeLine<NumberField>(
        {96, 2, 50, 22}, GroupBox11, 164, 174, Label16, "Label16", "SpinEdit6");
    Label17 = place<QLabel>("Label17", GroupBox11, 316, 176, 50, 20);
    // Pre-alarm and teller-terminal recording are carried through but not offered.
    CheckBox5->setEnabled(false);
    ATMCheckBox->setEnabled(false);
    for (QWidget *control : std::initializer_list<QWidget *> {CheckBox5, Label37, SpinEdit2,
             Label38, ATMCheckBox, Label29, SpinEdit7, Label16, SpinEdit6, Label17})
        control->hide();

    GroupBox13 = place<QGroupBox>("GroupBox13", TabSheet6, 390, 8, 420, 330);
    m_schedule = new ScheduleEditor(m_context, formats::ScheduleKind::Recording, GroupBox13, 8, 20);
}

void VideoPage::watchChanges()
{
    const auto noteChange = [this] {
        m_context.noteChannelChange();
    };
    QObject *receiver = m_sheet;
    for (QCheckBox *box : {CameraCheckBox, DateCheckBox, TimeCheckBox, CheckBox5, ATMCheckBox})
        QObject::connect(box, &QCheckBox::toggled, receiver, [this] { updateEnabling(); });
    for (QRadioButton *button : {RadioButton1, RadioButton2, LVERadioBtn, LAVERadioBtn})
        QObject::connect(button, &QRadioButton::toggled, receiver, noteChange);
    const auto quality = qualityButtons();
    for (int level = 0; level < int(quality.size()); ++level) {
        QObject::connect(
            quality[size_t(level)], &QRadioButton::toggled, receiver, [this, level](bool checked) {
                if (checked)
                    lookUpQuality(level);
            });
    }
    const std::pair<QSlider *, QLineEdit *> displays[] = {{IFrameTrackBar, IFrameEdit},
        {QualityTrackBar, QualityEdit}, {MaxRateTrackBar, MaxRateEdit}};
    for (const auto &[bar, edit] : displays) {
        QObject::connect(bar, &QSlider::valueChanged, receiver, [this, edit = edit](int value) {
            edit->setText(QString::number(value));
            m_context.noteChannelChange();
        });
    }
}

void VideoPage::load()
{
    m_context.loading = true;
    const settings::ProfileFile tvCard = m_context.file(settings::SettingsFile::TVCard);
    const int channel = m_context.currentVideoChannel;
    if (m_context.videoCopy.keepsShownValuesAt(channel, m_sheet->window())) {
        // The channel will receive the shown values at Apply: only its own title is shown. The
        // title is read whether or not it is displayed, because Apply writes the title field
        // into the channel shown and must not give it the title of the channel left.
        m_title.load(tvCard, channel);
    } else {
        m_titleSwitch.load(tvCard, channel);
        m_title.load(tvCard, channel);
        m_overlay.load(tvCard, channel);
        showSettings(formats::readEncoderSettings(tvCard, channel));
        m_recording.load(tvCard, channel);
        updateEnabling();
        m_schedule->load(tvCard, channel);
    }
    m_context.loading = false;
}

void VideoPage::showSettings(const formats::EncoderSettings &encoder)
{
    (encoder.recordMode == formats::kRecordVideoAndAudio ? LAVERadioBtn : LVERadioBtn)
        ->setChecked(true);
    (encoder.compressMode == formats::kCompressMpeg4 ? RadioButton1 : RadioButton2)
        ->setChecked(true);
    qualityButtons()[size_t(formats::normalEncodeMode(encoder.encodeMode))]->setChecked(true);
    IFrameTrackBar->setValue(encoder.iFrameInterval);
    IFrameEdit->setText(QString::number(IFrameTrackBar->value()));
}

std::array<QRadioButton *, 3> VideoPage::qualityButtons() const
{
    return {RadioButton5, RadioButton6, RadioButton7};
}

formats::EncoderSettings VideoPage::shownSettings() const
{
    formats::EncoderSettings encoder;
    encoder.recordMode
        = LAVERadioBtn->isChecked() ? formats::kRecordVideoAndAudio : formats::kRecordVideoOnly;
    encoder.compressMode
        = RadioButton1->isChecked() ? formats::kCompressMpeg4 : formats::kCompressH264;
    encoder.encodeMode = RadioButton5->isChecked() ? formats::kQualityExcellent
        : RadioButton6->isChecked()                ? formats::kQualityGood
                                                   : formats::kQualityStandard;
    encoder.iFrameInterval = IFrameTrackBar->value();
    return encoder;
}

void VideoPage::updateEnabling()
{
    enableWhile(CameraCheckBox->isChecked(),
        {CameraNameLabel, CameraNameEdit, CamLabel, CamXLabel, CamXEdit, CamYLabel, CamYEdit});
    enableWhile(DateCheckBox->isChecked() || TimeCheckBox->isChecked(),
        {DateXLabel, DateXEdit, DateYLabel, DateYEdit});
    enableWhile(CheckBox5->isChecked(), {Label37, SpinEdit2, Label38});
    enableWhile(ATMCheckBox->isChecked(), {Label29, SpinEdit7, Label16, SpinEdit6, Label17});
}

void VideoPage::lookUpQuality(int level)
{
    const formats::QualityPreset preset = formats::readQualityPreset(
        m_context.file(settings::SettingsFile::Profile), m_context.channelCount, level);
    MaxRateTrackBar->setValue(preset.bitRate);
    QualityTrackBar->setValue(preset.quality);
    m_context.noteChange();
}

void VideoPage::focusField(QLineEdit *field)
{
    m_context.showPage(PageIndex::Video, VideoInnerPage::Properties);
    field->setFocus();
    field->selectAll();
}

bool VideoPage::checkPositions(std::span<const formats::OverlayPosition> positions)
{
    for (const formats::OverlayPosition &position : positions) {
        QLineEdit *field = fieldOf(m_sheet, position.key);
        const QString text = positionText(field);
        if (text.isEmpty()) {
            focusField(field);
            showNotice(m_sheet->window(), position.missing.chinese, position.missing.english);
            return false;
        }
        bool isNumber = false;
        const int value = text.toInt(&isNumber);
        if (!isNumber) {
            // Digits with a blank between them ("1 2") are no position: nothing is written.
            focusField(field);
            showNotice(m_sheet->window(), position.notWhole.chinese, position.notWhole.english);
            return false;
        }
        field->setText(QString::number(value));
    }
    return true;
}

bool VideoPage::checkForApply()
{
    if (CameraCheckBox->isChecked() && !checkPositions(formats::titlePositions()))
        return false;
    if ((DateCheckBox->isChecked() || TimeCheckBox->isChecked())
        && !checkPositions(formats::datePositions()))
        return false;
    if (PrevCoverCheckBox->isChecked() || RecCoverCheckBox->isChecked()) {
        const std::optional<formats::MaskOverflow> overflow = formats::maskOverflow(
            CoverXEdit->value(), CoverYEdit->value(), CoverWEdit->value(), CoverHEdit->value());
        if (overflow) {
            focusField(fieldOf(m_sheet, overflow->key));
            showNotice(m_sheet->window(), overflow->message.chinese, overflow->message.english);
            return false;
        }
    }
    return true;
}

void VideoPage::save()
{
    const settings::ProfileFile tvCard = m_context.file(settings::SettingsFile::TVCard);
    const formats::EncoderSettings shown = shownSettings();
    const formats::WeeklySchedule week = m_schedule->schedule();
    const int current = m_context.currentVideoChannel;
    const Bindings::Shown titleSwitch = m_titleSwitch.shown();
    const Bindings::Shown title = m_title.shown();
    const Bindings::Shown overlay = m_overlay.shown();
    const Bindings::Shown recording = m_recording.shown();
    PendingCopy &copy = m_context.videoCopy;
    const auto writeChannel = [&](int channel, const formats::EncoderWriteOptions &options) {
        m_titleSwitch.write(tvCard, titleSwitch, channel);
        if (channel == current)
            m_title.write(tvCard, title, channel);
        m_overlay.write(tvCard, overlay, channel);
        formats::writeEncoding(tvCard, channel, shown, options);
        m_recording.write(tvCard, recording, channel);
        formats::writeSchedule(tvCard, formats::ScheduleKind::Recording, channel, week);
    };
    if (!copy.pending) {
        writeChannel(current, {m_context.channelCount});
        return;
    }
    for (const int channel : copy.saveTargets(current)) {
        // The window repaints between channels but takes no input until the copy is written.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        writeChannel(channel, {std::nullopt});
    }
}

void VideoPage::BitBtn7Click()
{
    TChnSelectForm form(TChnSelectForm::Mode::Channels, m_context.channelCount, m_sheet->window());
    // A cancelled choice leaves a pending copy as it was: clearing its targets would make the
    // next Apply write nothing of this page, the shown channel's edits included.
    if (form.exec() != QDialog::Accepted)
        return;
    m_context.videoCopy.start(form.ticks(), m_context.currentVideoChannel);
    m_context.noteChange();
}

std::span<const TextEntry> VideoPage::texts() const
{
    return kTexts;
}

void VideoPage::retranslateRows()
{
    m_schedule->retranslate();
    const int *lefts = formats::isChinese() ? kQualityLeftChinese : kQualityLeftEnglish;
    const auto quality = qualityButtons();
    // Each button reaches to the next one, so that none covers the end of its neighbour's text.
    for (size_t i = 0; i < quality.size(); ++i) {
        const int right = i + 1 < quality.size() ? lefts[i + 1]
                                                 : QualityGroupBox->width() - kQualityRightMargin;
        quality[i]->setGeometry(lefts[i], quality[i]->y(), right - lefts[i], quality[i]->height());
    }
    // The range note is centred in its group whatever the length of its text.
    Label28->adjustSize();
    Label28->move((GroupBox14->width() - Label28->width()) / 2, kLabel28Top);
}

} // namespace quillon::editor
