#include "editor/pages/camerapage.h"

namespace quillon::editor {

CameraPage::CameraPage(SetupContext &context, QWidget *sheet) : SetupPage(context, sheet) {}

void CameraPage::fillNameTables() {}

void CameraPage::load() {}

void CameraPage::refreshListTexts() {}

void CameraPage::savePort() {}

} // namespace quillon::editor
