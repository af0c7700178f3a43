#include "editor/sysset.h"

#include "editor/language.h"
#include "settings/settingsfiles.h"
#include "visit/hostvisit.h"

#include <QPushButton>

namespace quillon::editor {

namespace {
constexpr int kClientWidth = 840;
constexpr int kClientHeight = 661;
constexpr int kButtonTop = 622;
} // namespace

TSysSetForm::TSysSetForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("SysSetForm"));
    setFixedSize(kClientWidth, kClientHeight);

    auto makeButton = [this](const char *name, int left) {
        auto *button = new QPushButton(this);
        button->setObjectName(QLatin1String(name));
        button->setGeometry(left, kButtonTop, 100, 25);
        return button;
    };
    BitBtn1 = makeButton("BitBtn1", 425);
    BitBtn2 = makeButton("BitBtn2", 564);
    ApplyBitBtn = makeButton("ApplyBitBtn", 697);
    ApplyBitBtn->setEnabled(false);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &TSysSetForm::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    FormCreate();
}

void TSysSetForm::FormCreate()
{
    setLanguageFromSystem();
    m_workFolder = settings::ensureWorkFolder();
    visit::setWorkFolder(m_workFolder);
    setTexts();
}

void TSysSetForm::setTexts()
{
    setWindowTitle(pick("远程配置", "Quillon"));
    BitBtn1->setText(pick("确    定", "OK"));
    BitBtn2->setText(pick("取    消", "Cancel"));
    ApplyBitBtn->setText(pick("应    用", "Apply"));
}

void TSysSetForm::BitBtn1Click()
{
    BitBtn1->setEnabled(false);
    BitBtn2->setEnabled(false);
    visit::uploadSettingsAndApply();
    done(QDialog::Accepted);
}

} // namespace quillon::editor
