#include "schema/schema.h"

#include "settings/profiledocument.h"

namespace quillon::schema {

namespace {

// The window's pages in order, with their names and tab captions.
constexpr Page kPages[] = {
    {"TabSheet1", "system", {"系统参数设置", "System settings"}},
    {"TabSheet9", "users", {"系统用户管理", "System user settings"}},
    {"TabSheet2", "video", {"图像属性及自动录像参数设置", "Video settings"}},
    {"TabSheet7", "motion", {"移动报警录像设置", "Motion detection"}},
    {"TabSheet3", "sensors", {"报警探头设置", "Alarm sensor"}},
    {"TabSheet8", "camera", {"控制设备设置", "PTZ settings"}},
    {"TabSheet10", "network", {"电子地图及网络端口", "Map and network port"}},
    {"TabSheet11", "sms", {"手机短信息", "Mobile message"}},
};

constexpr UserField kUserFields[] = {
    {"EditUser", {"用户名", "User name"}},
    {"EditPassword1", {"密码", "Password"}},
    {"Label9", {"权限列表", "Authorization"}},
    {"PrvChkBox", {"预览通道", "Preview channels"}},
};

constexpr Words kPrivileges[] = {
    {"用户管理", "User management"},
    {"参数设置", "System settings"},
    {"手动录像/停止", "Manual record on/off"},
    {"屏幕切换控制", "Screen switch"},
    {"云台、镜头控制", "PTZ"},
    {"历史录像检索", "Record searches"},
    {"网络图像接收", "Remote access"},
    {"图片浏览、抓拍", "Photo management"},
    {"外部应用程序管理", "User application management"},
    {"使用电子地图", "Use map"},
    {"最小化", "Minimize"},
    {"退出系统关闭电源", "Power off on exit"},
};

constexpr TableOf kTables[] = {systemPageSettings, usersPageSettings, videoPageSettings,
    streamPresetSettings, motionPageSettings, sensorPageSettings, cameraPageSettings,
    networkPageSettings, smsPageSettings};

bool isDecimal(QByteArrayView text)
{
    if (text.isEmpty() || text.size() > 9)
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

bool sameName(QByteArrayView a, QByteArrayView b)
{
    return settings::foldAsciiCase(a) == settings::foldAsciiCase(b);
}

// The index a section names for a setting, or nothing when it is not that setting's section.
std::optional<int> indexOfSection(const Setting &setting, QByteArrayView section)
{
    const QByteArrayView pattern(setting.section);
    if (setting.scope == Scope::Fixed)
        return sameName(pattern, section) ? std::optional<int>(-1) : std::nullopt;
    if (section.size() <= pattern.size() || !sameName(section.first(pattern.size()), pattern))
        return std::nullopt;
    const QByteArrayView digits = section.sliced(pattern.size());
    if (!isDecimal(digits))
        return std::nullopt;
    return digits.toInt();
}

bool keyMatches(const Setting &setting, QByteArrayView key)
{
    const QByteArrayView pattern(setting.key);
    if (!pattern.endsWith('#'))
        return sameName(pattern, key);
    const QByteArrayView stem = pattern.chopped(1);
    return key.size() > stem.size() && sameName(key.first(stem.size()), stem)
        && isDecimal(key.sliced(stem.size()));
}

} // namespace

QString Words::in(bool inChinese) const
{
    return QString::fromUtf8(inChinese ? chinese : english);
}

std::optional<Words> Setting::wordingOf(int code) const
{
    for (const Choice &choice : choices) {
        if (choice.code == code)
            return choice.words;
    }
    return std::nullopt;
}

QByteArray indexedSection(QByteArrayView pattern, int index)
{
    return pattern.toByteArray() + QByteArray::number(index);
}

QByteArray Setting::sectionFor(int index) const
{
    if (scope == Scope::Fixed)
        return section;
    return indexedSection(section, index);
}

QByteArray Setting::fallbackFor(int index) const
{
    QByteArray text(fallback);
    text.replace("%i", QByteArray::number(index));
    text.replace("%n", QByteArray::number(index + 1));
    return text;
}

std::span<const Page> pages()
{
    return kPages;
}

std::span<const TableOf> settingTables()
{
    return kTables;
}

std::span<const UserField> userFields()
{
    return kUserFields;
}

Words privilegeCaption(int number)
{
    if (number < 1 || number > int(std::size(kPrivileges)))
        return {"", ""};
    return kPrivileges[number - 1];
}

Words pageCaption(QByteArrayView sheet)
{
    for (const Page &page : kPages) {
        if (sheet == page.sheet)
            return page.caption;
    }
    return {"", ""};
}

std::optional<SettingMatch> findSetting(
    settings::SettingsFile file, QByteArrayView section, QByteArrayView key)
{
    const QByteArrayView trimmedSection = settings::trimProfileBlanks(section);
    const QByteArrayView trimmedKey = settings::trimProfileBlanks(key);
    for (const TableOf table : kTables) {
        for (const Setting &candidate : table()) {
            if (candidate.file != file || !keyMatches(candidate, trimmedKey))
                continue;
            if (const std::optional<int> index = indexOfSection(candidate, trimmedSection))
                return SettingMatch {&candidate, *index};
        }
    }
    return std::nullopt;
}

const Setting *settingOfControl(QByteArrayView control)
{
    for (const TableOf table : kTables) {
        for (const Setting &candidate : table()) {
            if (control == candidate.control)
                return &candidate;
        }
    }
    return nullptr;
}

const Setting &settingOf(QByteArrayView control)
{
    if (const Setting *found = settingOfControl(control))
        return *found;
    qFatal("no control %s in the schema", control.toByteArray().constData());
}

const Setting &setting(settings::SettingsFile file, QByteArrayView section, QByteArrayView key)
{
    for (const TableOf table : kTables) {
        for (const Setting &candidate : table()) {
            if (candidate.file == file && section == candidate.section && key == candidate.key)
                return candidate;
        }
    }
    qFatal("no setting %s/%s in the schema", section.toByteArray().constData(),
        key.toByteArray().constData());
}

} // namespace quillon::schema
