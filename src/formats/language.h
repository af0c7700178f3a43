#pragma once

#include <QString>

namespace quillon::formats {

// The module-wide language flag: true for Chinese, false for English. It chooses every text and
// message of the module.
bool isChinese();
void setChinese(bool chinese);

// Only US English (1033) gives English; every other identifier, other English variants
// included, gives Chinese.
bool chineseForLangId(int langId);
// Sets the flag from the system's default language.
void setLanguageFromSystem();

// The text of the current language; both are UTF-8.
QString pick(const char *chinese, const char *english);

// Title of every notice and question box.
QString messageTitle();

} // namespace quillon::formats
