#include "editor/dialogs/presetpos.h"

#include "editor/accessiblenames.h"
#include "editor/texttable.h"
#include "formats/language.h"
#include "formats/sensorsettings.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace quillon::editor {

namespace {

constexpr TextEntry kTexts[] = {
    {"PresetPosForm", "预置位设置", "Preset position settings"},
    {"PosLabel", "预置位编号：", "Position No:"},
    {"BitBtn1", "确定", "Ok"},
    {"BitBtn2", "取消", "Cancel"},
};

} // namespace

QString presetDisplayText(int preset)
{
    return preset == 0 ? formats::pick("无", "NULL") : QString::number(preset);
}

TPresetPosForm::TPresetPosForm(QWidget *owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("PresetPosForm"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(240, 100);

    PosLabel = new QLabel(this);
    PosLabel->setObjectName(QStringLiteral("PosLabel"));
    PosLabel->setGeometry(16, 18, 90, 21);
    PosComboBox = new QComboBox(this);
    PosComboBox->setObjectName(QStringLiteral("PosComboBox"));
    PosComboBox->setGeometry(110, 16, 110, 21);
    for (int preset = 0; preset <= formats::kMaxPreset; ++preset)
        PosComboBox->addItem(presetDisplayText(preset));

    BitBtn1 = new QPushButton(this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(30, 60, 80, 25);
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setGeometry(130, 60, 80, 25);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    applyTexts(ControlIndex(this), kTexts);
    nameInputControls(this);
}

void TPresetPosForm::setPreset(int preset)
{
    PosComboBox->setCurrentIndex(preset >= 0 && preset < PosComboBox->count() ? preset : -1);
}

std::optional<int> TPresetPosForm::preset() const
{
    const int index = PosComboBox->currentIndex();
    return index >= 0 ? std::optional<int>(index) : std::nullopt;
}

QString TPresetPosForm::presetText() const
{
    return PosComboBox->currentText();
}

} // namespace quillon::editor
