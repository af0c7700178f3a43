#include "editor/pages/networkpage.h"

#include "editor/numberfield.h"

#include <QLabel>
#include <QPushButton>

namespace quillon::editor {

namespace {

constexpr TextEntry kTexts[] = {
    {"UseElecMapBitBtn", "电子地图编辑", "Edit map"},
    {"Label25", "网络传输端口号：", "Net transmission port:"},
    {"WebPortLabel", "Http 端口号：", "Http port:"},
};

constexpr int kPortDigits = 5;

} // namespace

NetworkPage::NetworkPage(SetupContext &context, QWidget *sheet) : SetupPage(context, sheet)
{
    UseElecMapBitBtn = place<QPushButton>("UseElecMapBitBtn", sheet, 24, 24, 140, 27);
    UseElecMapBitBtn->setEnabled(false);

    auto makePort
        = [this, sheet](const char *labelName, const char *fieldName, int top, QLabel **label) {
              *label = place<QLabel>(labelName, sheet, 24, top, 170, 21);
              auto *field = place<NumberField>(fieldName, sheet, 200, top, 80, 21);
              field->setMaxLength(kPortDigits);
              (*label)->setBuddy(field);
              return field;
          };
    SpinEdit4 = makePort("Label25", "SpinEdit4", 76, &Label25);
    WebPortSpinEdit = makePort("WebPortLabel", "WebPortSpinEdit", 108, &WebPortLabel);
    m_ports.bind(context, sheet, {"SpinEdit4", "WebPortSpinEdit"});
}

std::span<const TextEntry> NetworkPage::texts() const
{
    return kTexts;
}

void NetworkPage::loadPorts(const settings::ProfileFile &sysSet)
{
    m_ports.load(sysSet);
}

void NetworkPage::savePorts(const settings::ProfileFile &sysSet) const
{
    m_ports.save(sysSet);
}

} // namespace quillon::editor
