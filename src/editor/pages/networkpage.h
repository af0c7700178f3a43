#pragma once

#include "editor/pages/setuppage.h"

namespace quillon::editor {

// The electronic map and the server's network ports (saved with the system options).
class NetworkPage : public SetupPage
{
public:
    NetworkPage(SetupContext &context, QWidget *sheet);
};

} // namespace quillon::editor
