#pragma once

#include "editor/bindings.h"
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

    // The two port fields live in the system options; the system page loads and saves them at
    // their place in its order.
    void loadPorts(const settings::ProfileFile &sysSet);
    void savePorts(const settings::ProfileFile &sysSet) const;

private:
    QPushButton *UseElecMapBitBtn = nullptr;
    QLabel *Label25 = nullptr;
    NumberField *SpinEdit4 = nullptr;
    QLabel *WebPortLabel = nullptr;
    NumberField *WebPortSpinEdit = nullptr;

    Bindings m_ports;
};

} // namespace quillon::editor
