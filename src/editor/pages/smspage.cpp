#include "editor/pages/smspage.h"

namespace quillon::editor {

SmsPage::SmsPage(SetupContext &context, QWidget *sheet) : SetupPage(context, sheet) {}

void SmsPage::load() {}

void SmsPage::updateEnabling() {}

void SmsPage::save() {}

} // namespace quillon::editor
