#include "editor/dialogs/camset.h"

#include "editor/accessiblenames.h"
#include "editor/messageicons.h"
#include "editor/numberfield.h"
#include "editor/placement.h"
#include "editor/texttable.h"
#include "formats/language.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

namespace quillon::editor {

namespace {

constexpr int kChannelNumbers = 64;
constexpr int kProtocolLines = 15;

constexpr TextEntry kTexts[] = {
    {"CamSetForm", "云镜设置", "PTZ settings"},
    {"Label1", "通道号：", "Channel no:"},
    {"Label2", "摄像机类型：", "Camera type:"},
    {"Label3", "解码器地址：", "Decoder addr:"},
    {"Label4", "摄像机协议：", "Protocol:"},
    {"Label5", "波特率：", "BaudRate:"},
    {"BitBtn1", "确  定", "OK"},
    {"BitBtn2", "取  消", "Cancel"},
};

// The decoder address: a text left empty or negative becomes the channel's own number, the
// address a decoder has unless it was set otherwise.
class DecoderAddressField : public NumberField
{
public:
    DecoderAddressField(const QComboBox *channel, QWidget *parent)
        : NumberField(parent), m_channel(channel)
    { }

protected:
    void keyReleaseEvent(QKeyEvent *event) override
    {
        const QString typed = text().trimmed();
        if (typed.isEmpty() || typed.startsWith(QLatin1Char('-'))) {
            QLineEdit::keyReleaseEvent(event);
            setText(m_channel->currentText());
            return;
        }
        NumberField::keyReleaseEvent(event);
    }

private:
    const QComboBox *m_channel;
};

} // namespace

TCamSetForm::TCamSetForm(const formats::CameraNameTable &names, QWidget *owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("CamSetForm"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(290, 210);
    buildFields();
    fillLists(names);
    buildButtons();
    wireButtons();
    setTexts();
}

void TCamSetForm::buildFields()
{
    constexpr int labelLeft = 16, fieldLeft = 120, fieldWidth = 150, rowHeight = 30;
    auto label = [this](const char *name, int row) {
        return place<QLabel>(name, this, labelLeft, 16 + row * rowHeight, 100, 21);
    };
    auto list = [this](const char *name, int row) {
        auto *combo = place<QComboBox>(name, this, fieldLeft, 16 + row * rowHeight, fieldWidth, 21);
        combo->setEditable(false);
        return combo;
    };
    Label1 = label("Label1", 0);
    ComboBox1 = list("ComboBox1", 0);
    Label2 = label("Label2", 1);
    ComboBox2 = list("ComboBox2", 1);
    Label3 = label("Label3", 2);
    SpinEdit1 = new DecoderAddressField(ComboBox1, this);
    SpinEdit1->setObjectName(QStringLiteral("SpinEdit1"));
    SpinEdit1->setGeometry(fieldLeft, 16 + 2 * rowHeight, 60, 21);
    SpinEdit1->setRange(formats::kMinDecoderAddress, formats::kMaxDecoderAddress);
    SpinEdit1->setMaxLength(3);
    Label4 = label("Label4", 3);
    ComboBox3 = list("ComboBox3", 3);
    ComboBox3->setMaxVisibleItems(kProtocolLines);
    Label5 = label("Label5", 4);
    ComboBox4 = list("ComboBox4", 4);
}

// The channel list stays without a choice and disabled until a channel is preset; the three
// choices start without one.
void TCamSetForm::fillLists(const formats::CameraNameTable &names)
{
    for (int number = 1; number <= kChannelNumbers; ++number)
        ComboBox1->addItem(QString::number(number));
    ComboBox1->setCurrentIndex(-1);
    ComboBox1->setEnabled(false);
    for (int index = 0; index < formats::kCameraTypes; ++index)
        ComboBox2->addItem(names.cameraType(index));
    for (int index = 0; index < formats::kProtocols; ++index)
        ComboBox3->addItem(names.protocol(index));
    for (int index = 0; index < formats::kBaudRates; ++index)
        ComboBox4->addItem(names.baudRate(index));
    for (QComboBox *choice : {ComboBox2, ComboBox3, ComboBox4})
        choice->setCurrentIndex(-1);
}

void TCamSetForm::buildButtons()
{
    BitBtn1 = place<QPushButton>("BitBtn1", this, 60, 172, 80, 25);
    BitBtn2 = place<QPushButton>("BitBtn2", this, 160, 172, 80, 25);
    BitBtn1->setDefault(true);
}

void TCamSetForm::wireButtons()
{
    connect(BitBtn1, &QPushButton::clicked, this, &TCamSetForm::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

void TCamSetForm::setTexts()
{
    applyTexts(ControlIndex(this), kTexts);
    nameInputControls(this);
    if (formats::isChinese())
        return;
    for (QWidget *control :
        std::initializer_list<QWidget *> {Label1, Label2, Label3, Label4, BitBtn1, BitBtn2}) {
        QFont font = control->font();
        font.setFamily(QStringLiteral("MS Sans Serif"));
        control->setFont(font);
    }
}

void TCamSetForm::presetChannel(int channel, const formats::CameraRecord &record)
{
    // The list names channels 1 to 64; a server with more channels gets its number added.
    while (ComboBox1->count() <= channel)
        ComboBox1->addItem(QString::number(ComboBox1->count() + 1));
    ComboBox1->setCurrentIndex(channel);
    SpinEdit1->setEnabled(true);
    SpinEdit1->setValue(record.decoderAddress);
    auto preset = [](QComboBox *list, int index, std::optional<int> &kept) {
        const bool inList = index >= 0 && index < list->count();
        list->setCurrentIndex(inList ? index : -1);
        kept = inList ? std::nullopt : std::optional<int>(index);
    };
    preset(ComboBox2, record.cameraType, m_keptType);
    preset(ComboBox3, record.protocol, m_keptProtocol);
    preset(ComboBox4, record.baudRate, m_keptBaudRate);
}

void TCamSetForm::presetSeveral()
{
    ComboBox1->setCurrentIndex(-1);
    SpinEdit1->clear();
    SpinEdit1->setEnabled(false);
    for (QComboBox *choice : {ComboBox2, ComboBox3, ComboBox4})
        choice->setCurrentIndex(-1);
    m_keptType.reset();
    m_keptProtocol.reset();
    m_keptBaudRate.reset();
}

int TCamSetForm::decoderAddress() const
{
    return SpinEdit1->value();
}

int TCamSetForm::cameraType() const
{
    return chosen(ComboBox2, m_keptType);
}

int TCamSetForm::protocol() const
{
    return chosen(ComboBox3, m_keptProtocol);
}

int TCamSetForm::baudRate() const
{
    return chosen(ComboBox4, m_keptBaudRate);
}

bool TCamSetForm::isChosen(const QComboBox *list, const std::optional<int> &kept) const
{
    return list->currentIndex() >= 0 || kept.has_value();
}

int TCamSetForm::chosen(const QComboBox *list, const std::optional<int> &kept) const
{
    return list->currentIndex() >= 0 ? list->currentIndex() : kept.value_or(-1);
}

void TCamSetForm::refuse(QComboBox *list, const char *chinese, const char *english)
{
    list->setFocus();
    QMessageBox box(QMessageBox::Information, formats::pick("云镜设置", "PTZ setup"),
        formats::pick(chinese, english), QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("NoticeBox"));
    useScalableIcon(box);
    box.exec();
}

void TCamSetForm::BitBtn1Click()
{
    if (!isChosen(ComboBox2, m_keptType))
        refuse(ComboBox2, "请选择摄像机类型！", "Choose camera type please!");
    else if (!isChosen(ComboBox3, m_keptProtocol))
        refuse(ComboBox3, "请选择控制协议！", "Choose control protocol please!");
    else if (!isChosen(ComboBox4, m_keptBaudRate))
        refuse(ComboBox4, "请选择波特率！", "Choose baudrate please!");
    else
        accept();
}

} // namespace quillon::editor
