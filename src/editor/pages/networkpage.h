#pragma once

#include "editor/pages/setuppage.h"

class QLabel;
class QPushButton;

namespace quillon::editor {

class NumberField;

// The electronic map and the server's network ports. The ports are keys of the system
// options, so the system page reads and writes them in that file's order.
class NetworkPage : public SetupPage
{
public:
    NetworkPage(SetupContext &context, QWidget *sheet);

    std::span<const TextEntry> texts() const override;

private:
    QPushButton *UseElecMapBitBtn = nullptr;
    QLabel *Label25 = nullptr;
    NumberField *SpinEdit4 = nullptr;
    QLabel *WebPortLabel = nullptr;
    NumberField *WebPortSpinEdit = nullptr;
};

// The network port fields of the setup window that holds the given widget, loaded from and
// saved to the system options. They do nothing in a window without the network page.
void loadNetworkPorts(QWidget *window, const settings::ProfileFile &sysSet);
void saveNetworkPorts(QWidget *window, const settings::ProfileFile &sysSet);

} // namespace quillon::editor
