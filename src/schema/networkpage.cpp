#include "schema/schema.h"

namespace quillon::schema {

namespace {

using F = settings::SettingsFile;
constexpr const char *kPage = "TabSheet10";
// Five digits, as the window's port fields take them.
constexpr int kMaxPort = 99999;

constexpr Setting kSettings[] = {
    {F::SysSet, Scope::Fixed, "Transfers Options", "TransmitPort", Kind::Number, "5050", 1,
        kMaxPort, {}, kPage, "SpinEdit4", {"网络传输端口号", "Net transmission port"}},
    {F::SysSet, Scope::Fixed, "Http Options", "WebSitePort", Kind::Number, "80", 1, kMaxPort, {},
        kPage, "WebPortSpinEdit", {"Http 端口号", "Http port"}},
};

} // namespace

std::span<const Setting> networkPageSettings()
{
    return kSettings;
}

} // namespace quillon::schema
