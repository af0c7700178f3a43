#include "editor/dialogs/rectimeset.h"

#include "editor/accessiblenames.h"
#include "editor/messageicons.h"
#include "editor/texttable.h"
#include "formats/language.h"

#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimeEdit>

namespace quillon::editor {

namespace {

constexpr TextEntry kTexts[] = {
    {"RecTimeSetForm", "录像设置", "Record settings"},
    {"Label1", "开始时间：", "Start:"},
    {"Label2", "结束时间：", "End:"},
    {"Label3", "注意：“开始时间”一定要比“结束时间”早",
        "Note: The start time must be earlier than the end time."},
    {"Label4", "录像模式：", "Mode:"},
    {"BitBtn1", "确  定", "OK"},
    {"BitBtn2", "取  消", "Cancel"},
};

constexpr int kDayModePosition = 0;
constexpr int kNightModePosition = 1;

QTimeEdit *timePicker(const char *name, QWidget *parent, int top)
{
    auto *picker = new QTimeEdit(parent);
    picker->setObjectName(QLatin1String(name));
    picker->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    picker->setGeometry(104, top, 120, 22);
    return picker;
}

QLabel *label(const char *name, QWidget *parent, int left, int top, int width, int height)
{
    auto *control = new QLabel(parent);
    control->setObjectName(QLatin1String(name));
    control->setGeometry(left, top, width, height);
    return control;
}

void warn(QWidget *owner, const QString &title, const QString &text)
{
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, owner);
    box.setObjectName(QStringLiteral("WarningBox"));
    useScalableIcon(box);
    box.exec();
}

} // namespace

QString modeTextFor(QByteArrayView modeCode)
{
    return formats::isDayMode(modeCode) ? formats::pick("日间模式", "Daytime")
                                        : formats::pick("夜间模式", "Nighttime");
}

TRecTimeSetForm::TRecTimeSetForm(QWidget *owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("RecTimeSetForm"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(300, 196);

    Label1 = label("Label1", this, 16, 18, 84, 20);
    DateTimePicker1 = timePicker("DateTimePicker1", this, 16);
    Label2 = label("Label2", this, 16, 50, 84, 20);
    DateTimePicker2 = timePicker("DateTimePicker2", this, 48);
    Label4 = label("Label4", this, 16, 82, 84, 20);
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setGeometry(104, 80, 120, 22);
    ComboBox1->addItems({modeTextFor(formats::kDayModeCode), modeTextFor(formats::kNightModeCode)});
    ComboBox1->setCurrentIndex(kNightModePosition);
    Label3 = label("Label3", this, 16, 110, 268, 36);
    Label3->setWordWrap(true);
    QPalette maroon = Label3->palette();
    maroon.setColor(QPalette::WindowText, QColor(0x80, 0, 0));
    Label3->setPalette(maroon);
    QFont bold = Label3->font();
    bold.setBold(true);
    Label3->setFont(bold);

    BitBtn1 = new QPushButton(this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(50, 156, 90, 25);
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setGeometry(160, 156, 90, 25);
    connect(BitBtn1, &QPushButton::clicked, this, &TRecTimeSetForm::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    applyTexts(ControlIndex(this), kTexts);
    nameInputControls(this);
    if (!formats::isChinese()) {
        for (QWidget *control :
            std::initializer_list<QWidget *> {Label1, Label2, Label3, BitBtn1, BitBtn2}) {
            QFont font = control->font();
            font.setFamily(QStringLiteral("MS Sans Serif"));
            font.setBold(control == Label1 || control == Label2 || control == Label3);
            control->setFont(font);
        }
    }
}

void TRecTimeSetForm::setSegment(const QTime &start, const QTime &end, int modePosition)
{
    DateTimePicker1->setTime(start);
    DateTimePicker2->setTime(end);
    ComboBox1->setCurrentIndex(
        modePosition == kDayModePosition ? kDayModePosition : kNightModePosition);
}

void TRecTimeSetForm::setDay(const formats::DaySegments &day, int editedSegment)
{
    m_day = day;
    m_editedSegment = editedSegment;
}

void TRecTimeSetForm::hideMode()
{
    Label4->hide();
    ComboBox1->hide();
}

QByteArray TRecTimeSetForm::startText() const
{
    return DateTimePicker1->time().toString(QStringLiteral("HH:mm")).toLatin1();
}

QByteArray TRecTimeSetForm::endText() const
{
    return DateTimePicker2->time().toString(QStringLiteral("HH:mm")).toLatin1();
}

int TRecTimeSetForm::modePosition() const
{
    return ComboBox1->currentIndex();
}

QString TRecTimeSetForm::modeText() const
{
    return ComboBox1->currentText();
}

void TRecTimeSetForm::BitBtn1Click()
{
    if (DateTimePicker1->time() > DateTimePicker2->time()) {
        warn(this, formats::pick("录像设置", "Timetable Setup"),
            formats::pick(
                "“开始时间” 一定要比 “结束时间” 早！", "Start time is less than end time!"));
        DateTimePicker1->setFocus();
        return;
    }
    // Segments are compared as "hh:nn" texts, both ends included: a segment that begins in the
    // minute another ends overlaps it.
    const QByteArray start = startText();
    const QByteArray end = endText();
    for (int row = 0; row < int(m_day.size()); ++row) {
        if (row == m_editedSegment)
            continue;
        const formats::ScheduleSegment &other = m_day[size_t(row)];
        if (end >= other.start && start <= other.end) {
            const bool startInside = other.start < start && start < other.end;
            (startInside ? DateTimePicker1 : DateTimePicker2)->setFocus();
            warn(this, windowTitle(),
                formats::pick(
                    "该时间段与现有时间段存在重复！\n\n请重新设置后避免时间段再出现重复现象。",
                    "The timetable segment existed, set again please."));
            return;
        }
    }
    accept();
}

} // namespace quillon::editor
