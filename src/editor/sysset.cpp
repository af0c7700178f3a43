#include "editor/sysset.h"

#include "editor/accessiblenames.h"
#include "editor/messages.h"
#include "editor/pages/camerapage.h"
#include "editor/pages/motionpage.h"
#include "editor/pages/networkpage.h"
#include "editor/pages/sensorpage.h"
#include "editor/pages/smspage.h"
#include "editor/pages/systempage.h"
#include "editor/pages/userspage.h"
#include "editor/pages/videopage.h"
#include "editor/placement.h"
#include "editor/taborder.h"
#include "editor/tabsets.h"
#include "editor/texttable.h"
#include "formats/language.h"
#include "schema/schema.h"
#include "settings/settingsfiles.h"
#include "videoclient/kxclient.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

namespace quillon::editor {

namespace {

constexpr int kClientWidth = 840;
constexpr int kClientHeight = 661;
constexpr int kPagesHeight = 608;
constexpr int kButtonTop = 622;
constexpr int kShapeRepaintMs = 50;
constexpr int kDelayMs = 200;

// The window's captions: its title, its buttons and its page tabs.
constexpr TextEntry kWindowTexts[] = {
    {"SysSetForm", "远程配置", "Quillon"},
    {"BitBtn1", "确    定", "OK"},
    {"BitBtn2", "取    消", "Cancel"},
    {"ApplyBitBtn", "应    用", "Apply"},
    {"TabSheet1", "系统参数设置", "System settings"},
    {"TabSheet9", "系统用户管理", "System user settings"},
    {"TabSheet2", "图像属性及自动录像参数设置", "Video settings"},
    {"TabSheet4", "视频属性", "Properties"},
    {"TabSheet5", "压缩及传输参数", "Compress/Trans"},
    {"TabSheet6", "自动录像设置", "Record schedule"},
    {"TabSheet7", "移动报警录像设置", "Motion detection"},
    {"TabSheet3", "报警探头设置", "Alarm sensor"},
    {"TabSheet8", "控制设备设置", "PTZ settings"},
    {"TabSheet10", "电子地图及网络端口", "Map and network port"},
    {"TabSheet11", "手机短信息", "Mobile message"},
};

// The video client's start-up values: its network ports, the message it may post to the
// window, and its display mode with the overlay key colour.
constexpr std::int32_t kVideoDataPort = 5050;
constexpr std::int32_t kVideoCommandPort = 6050;
constexpr std::uint32_t kVideoMessage = 1034;
constexpr std::uint32_t kOverlayKeyColour = 0xFF00FF;
constexpr std::int32_t kNoStream = -1;

} // namespace

TSysSetForm::TSysSetForm(QWidget *parent) : TSysSetForm(QString(), parent)
{ }

TSysSetForm::TSysSetForm(const QString &workFolder, QWidget *parent)
    : QDialog(parent), m_givenWorkFolder(workFolder)
{
    if (!m_givenWorkFolder.isEmpty() && !m_givenWorkFolder.endsWith(QLatin1Char('/')))
        m_givenWorkFolder += QLatin1Char('/');
    buildFrame();
    buildPages();
    wireControls();
    FormCreate();
    // Once every control stands where it is shown: Tab follows the reading order.
    followReadingOrder(this);
    turnPagesFromAnywhere(this);
}

void TSysSetForm::buildFrame()
{
    setObjectName(QStringLiteral("SysSetForm"));
    setFixedSize(kClientWidth, kClientHeight);

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setGeometry(0, 0, kClientWidth, kPagesHeight);
    PageControl1->tabBar()->setExpanding(false);
    for (const schema::Page &page : schema::pages())
        addPage(page.sheet);
    PageControl1->setTabVisible(int(PageIndex::Sms), false);

    auto makeButton = [this](const char *name, int left) {
        return place<QPushButton>(name, this, left, kButtonTop, 100, 25);
    };
    BitBtn1 = makeButton("BitBtn1", 425);
    BitBtn2 = makeButton("BitBtn2", 564);
    ApplyBitBtn = makeButton("ApplyBitBtn", 697);
    ApplyBitBtn->setEnabled(false);

    ChangeShapeTimer = new QTimer(this);
    ChangeShapeTimer->setObjectName(QStringLiteral("ChangeShapeTimer"));
    ChangeShapeTimer->setSingleShot(true);
    DelayTimer = new QTimer(this);
    DelayTimer->setObjectName(QStringLiteral("DelayTimer"));
}

void TSysSetForm::buildPages()
{
    m_context.noteChange = [this] {
        chkCancelSensortableClick();
    };
    m_context.noteChannelChange = [this] {
        CIFRadioBtnClick();
    };
    m_context.showPage = [this](PageIndex page, std::optional<VideoInnerPage> innerPage) {
        showPage(page, innerPage);
    };
    auto sheet = [this](PageIndex page) {
        return PageControl1->widget(int(page));
    };
    // The network and camera pages come first: the system page saves the network ports and the
    // sensor page shares the camera page's control port list.
    m_networkPage = std::make_unique<NetworkPage>(m_context, sheet(PageIndex::Network));
    m_cameraPage = std::make_unique<CameraPage>(m_context, sheet(PageIndex::Camera));
    m_systemPage
        = std::make_unique<SystemPage>(m_context, sheet(PageIndex::System), *m_networkPage);
    m_usersPage = std::make_unique<UsersPage>(m_context, sheet(PageIndex::Users));
    m_videoPage = std::make_unique<VideoPage>(m_context, sheet(PageIndex::Video));
    m_motionPage = std::make_unique<MotionPage>(m_context, sheet(PageIndex::Motion));
    m_sensorPage = std::make_unique<SensorPage>(
        m_context, sheet(PageIndex::Sensors), m_cameraPage->controlPortList());
    m_smsPage = std::make_unique<SmsPage>(m_context, sheet(PageIndex::Sms));

    // OK uploads and applies on the live server: Enter in a field must never press it, nor any
    // other button of the window.
    for (QPushButton *button : findChildren<QPushButton *>()) {
        button->setDefault(false);
        button->setAutoDefault(false);
    }
}

void TSysSetForm::wireControls()
{
    connect(BitBtn1, &QPushButton::clicked, this, &TSysSetForm::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    connect(ApplyBitBtn, &QPushButton::clicked, this, &TSysSetForm::ApplyBitBtnClick);
    connect(PageControl1, &QTabWidget::currentChanged, this, &TSysSetForm::PageControl1Change);
    connect(
        ChangeShapeTimer, &QTimer::timeout, m_motionPage->sheet(), qOverload<>(&QWidget::update));
    connect(DelayTimer, &QTimer::timeout, this, &TSysSetForm::DelayTimerTimer);
    connect(
        m_systemPage->chineseButton(), &QRadioButton::clicked, this, &TSysSetForm::CnRadioBtnClick);
    connect(
        m_systemPage->englishButton(), &QRadioButton::clicked, this, &TSysSetForm::CnRadioBtnClick);
    connect(m_videoPage->channelTabs(), &QTabBar::currentChanged, this,
        &TSysSetForm::SelectChnTabSetChange);
    connect(m_motionPage->channelTabs(), &QTabBar::currentChanged, this,
        &TSysSetForm::AlarmChnTabSetChange);
    connect(m_sensorPage->sensorTabs(), &QTabBar::currentChanged, this,
        &TSysSetForm::SensorChnTabSetChange);
    connect(this, &QDialog::finished, this, &TSysSetForm::FormClose);
}

TSysSetForm::~TSysSetForm() = default;

QWidget *TSysSetForm::addPage(const char *name)
{
    auto *page = new QWidget(PageControl1);
    page->setObjectName(QLatin1String(name));
    PageControl1->addTab(page, QString());
    return page;
}

void TSysSetForm::FormCreate()
{
    formats::setLanguageFromSystem();
    m_context.workFolder
        = m_givenWorkFolder.isEmpty() ? settings::ensureWorkFolder() : m_givenWorkFolder;

    showPage(PageIndex::System, VideoInnerPage::Properties);
    m_usersPage->showList();

    m_context.loading = false;
    m_context.currentVideoChannel = 0;
    m_context.currentAlarmChannel = 0;
    m_context.currentSensor = 0;
    m_context.videoCopy.pending = false;
    m_context.motionCopy.pending = false;
    m_context.sensorCopy.pending = false;

    m_videoPage->schedule()->selectFirstDay();
    m_motionPage->schedule()->selectFirstDay();
    m_sensorPage->schedule()->selectFirstDay();

    m_cameraPage->fillNameTables();
    setTexts();
}

void TSysSetForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void TSysSetForm::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    // Escape does what Cancel does, and nothing while Cancel is off during OK's upload.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        if (BitBtn2->isEnabled())
            BitBtn2->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TSysSetForm::FormShow()
{
    ChangeShapeTimer->setInterval(kShapeRepaintMs);
    ChangeShapeTimer->stop();
    fillChannelTabs(m_videoPage->channelTabs(), 0);
    fillChannelTabs(m_motionPage->channelTabs(), 0);

    m_usersPage->load();
    m_systemPage->load();

    const int channels = m_context.channelCount;
    const int sensors = m_context.sensorCount;
    fillChannelTabs(m_videoPage->channelTabs(), channels);
    fillChannelTabs(m_motionPage->channelTabs(), channels);
    m_context.videoCopy.targets.assign(size_t(std::max(channels, 0)), 0);
    m_context.motionCopy.targets.assign(size_t(std::max(channels, 0)), 0);
    m_sensorPage->fillChannelRows();
    fillChannelTabs(m_sensorPage->sensorTabs(), sensors);
    m_context.sensorCopy.targets.assign(size_t(std::max(sensors, 0)), 0);

    m_videoPage->load();
    m_motionPage->load();
    m_sensorPage->loadAlarmDevice();
    if (sensors > 0)
        m_sensorPage->loadSensor();
    m_cameraPage->load();
    m_sensorPage->applyPortRule();
    m_smsPage->load();
    m_smsPage->updateEnabling();

    ApplyBitBtn->setEnabled(false);

    MP4_ClientSetNetPort(kVideoDataPort, kVideoCommandPort);
    MP4_ClientStartup(kVideoMessage, std::uintptr_t(winId()));
    MP4_ClientSetShowMode(1, kOverlayKeyColour);
    DelayTimer->setInterval(kDelayMs);
    DelayTimer->start();

    if (!formats::isChinese()) {
        m_systemPage->englishButton()->setChecked(true);
        m_systemPage->chineseButton()->setChecked(false);
        setTexts();
        m_cameraPage->refreshListTexts();
    }
}

void TSysSetForm::FormClose()
{
    MP4_ClientStop(kNoStream);
    MP4_ClientCleanup();
}

void TSysSetForm::setTexts()
{
    const ControlIndex controls(this);
    applyTexts(controls, kWindowTexts);
    QFont tabFont = PageControl1->tabBar()->font();
    tabFont.setFamily(formats::pick("宋体", "MS Sans Serif"));
    tabFont.setPointSize(formats::isChinese() ? 9 : 8);
    PageControl1->tabBar()->setFont(tabFont);

    const SetupPage *pages[]
        = {m_usersPage.get(), m_systemPage.get(), m_videoPage.get(), m_motionPage.get(),
            m_sensorPage.get(), m_cameraPage.get(), m_networkPage.get(), m_smsPage.get()};
    applySwitchCaptions(controls);
    for (const SetupPage *page : pages)
        applyTexts(controls, page->texts());
    for (const SetupPage *page : pages)
        const_cast<SetupPage *>(page)->retranslateRows();
    nameInputControls(this);
}

void TSysSetForm::chkCancelSensortableClick()
{
    if (!m_context.loading)
        ApplyBitBtn->setEnabled(true);
}

void TSysSetForm::CIFRadioBtnClick()
{
    chkCancelSensortableClick();
}

void TSysSetForm::showPage(PageIndex page, std::optional<VideoInnerPage> innerPage)
{
    PageControl1->setCurrentIndex(int(page));
    if (innerPage)
        m_videoPage->innerPages()->setCurrentIndex(int(*innerPage));
}

void TSysSetForm::ApplyBitBtnClick()
{
    if (!m_videoPage->checkForApply() || !m_motionPage->checkForApply()
        || !m_sensorPage->checkForApply())
        return;
    // Every page saves in full; the files are replaced once each, when all are written.
    m_context.store.beginBatch();
    m_systemPage->save();
    m_videoPage->save();
    m_motionPage->save();
    m_sensorPage->saveAlarmDevice();
    if (m_context.sensorCount > 0)
        m_sensorPage->saveSensor();
    m_cameraPage->savePort();
    m_smsPage->save();
    if (!m_context.store.endBatch()) {
        // Apply stays on, and OK does not upload what was not saved.
        showFailure(this,
            formats::pick("有设置不能保存到本地设置文件，请检查后再应用。",
                "Some settings could not be saved to the local settings files; "
                "check them and apply again."));
        return;
    }
    for (PendingCopy *copy : {&m_context.videoCopy, &m_context.motionCopy, &m_context.sensorCopy})
        copy->finish();
    ApplyBitBtn->setEnabled(false);
}

void TSysSetForm::BitBtn1Click()
{
    if (ApplyBitBtn->isEnabled())
        ApplyBitBtnClick();
    if (ApplyBitBtn->isEnabled())
        return;
    BitBtn1->setEnabled(false);
    BitBtn2->setEnabled(false);
    UploadResult result;
    if (!m_context.store.flush()) {
        result = {UploadResult::Kind::Failed,
            formats::pick("不能保存本地设置文件，没有上传任何文件。",
                "The local settings files could not be saved; nothing was uploaded.")};
    } else if (m_upload) {
        result = m_upload(false);
        // Replacing what another operator applied meanwhile is the operator's choice, asked
        // again if yet another apply slips in.
        while (result.kind == UploadResult::Kind::Conflict && askReplace(this, result.text))
            result = m_upload(true);
    }
    if (result.kind == UploadResult::Kind::Done) {
        done(QDialog::Accepted);
        return;
    }
    // The window stays open with every edit in the local copies, so that OK can be tried again.
    // An empty failure is the operator's own choice to keep the window: nothing to report.
    BitBtn1->setEnabled(true);
    BitBtn2->setEnabled(true);
    if (result.kind == UploadResult::Kind::Failed && !result.text.isEmpty())
        showFailure(this, result.text);
}

void TSysSetForm::CnRadioBtnClick()
{
    const bool applyWasEnabled = ApplyBitBtn->isEnabled();
    const int outputType = m_systemPage->outputTypeList()->currentIndex();
    const bool chinese = m_systemPage->chineseButton()->isChecked();
    if (chinese == formats::isChinese())
        return;
    formats::setChinese(chinese);
    m_cameraPage->fillNameTables();
    setTexts();
    m_cameraPage->refreshListTexts();
    m_systemPage->outputTypeList()->setCurrentIndex(outputType);
    ApplyBitBtn->setEnabled(applyWasEnabled);
}

void TSysSetForm::PageControl1Change(int index)
{
    if (index == int(PageIndex::Motion))
        ChangeShapeTimer->start();
}

// The window starts this timer when it is shown and nothing depends on it: its one tick only
// stops it, so it fires once and has no other effect.
void TSysSetForm::DelayTimerTimer()
{
    DelayTimer->stop();
}

// A channel or sensor tab change reloads that page for the chosen index; unapplied edits are
// dropped, so Apply goes off unless a pending copy will write the new index anyway.
void TSysSetForm::switchShownIndex(
    int index, int &shown, const PendingCopy &copy, const std::function<void()> &reload)
{
    if (index < 0 || index == shown)
        return;
    shown = index;
    reload();
    if (!(copy.pending && copy.isTarget(index)))
        ApplyBitBtn->setEnabled(false);
}

void TSysSetForm::SelectChnTabSetChange(int index)
{
    switchShownIndex(
        index, m_context.currentVideoChannel, m_context.videoCopy, [this] { m_videoPage->load(); });
}

void TSysSetForm::AlarmChnTabSetChange(int index)
{
    switchShownIndex(index, m_context.currentAlarmChannel, m_context.motionCopy,
        [this] { m_motionPage->load(); });
}

void TSysSetForm::SensorChnTabSetChange(int index)
{
    switchShownIndex(index, m_context.currentSensor, m_context.sensorCopy,
        [this] { m_sensorPage->loadSensor(); });
}

} // namespace quillon::editor
