#include "formats/language.h"

#include "platform/platform.h"

namespace quillon::formats {

namespace {
bool g_chinese = true;
}

bool isChinese()
{
    return g_chinese;
}

void setChinese(bool chinese)
{
    g_chinese = chinese;
}

bool chineseForLangId(int langId)
{
    return langId != platform::kLangEnglishUS;
}

void setLanguageFromSystem()
{
    g_chinese = chineseForLangId(platform::systemDefaultLangId());
}

QString pick(const char *chinese, const char *english)
{
    return QString::fromUtf8(g_chinese ? chinese : english);
}

QString messageTitle()
{
    return pick("提示信息", "Information");
}

} // namespace quillon::formats
