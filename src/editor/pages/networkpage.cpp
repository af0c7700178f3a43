#include "editor/pages/networkpage.h"

namespace quillon::editor {

NetworkPage::NetworkPage(SetupContext &context, QWidget *sheet) : SetupPage(context, sheet) {}

} // namespace quillon::editor
