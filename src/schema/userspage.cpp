#include "schema/schema.h"

namespace quillon::schema {

namespace {

using F = settings::SettingsFile;

// The map privilege box also stands for the server-wide map switch.
constexpr Setting kSettings[] = {
    {F::SysSet, Scope::Fixed, "ElecMap Options", "UseElecMap", Kind::Flag, "0", 0, 0, {},
        "TabSheet9", "UserChkBox10", {"使用电子地图", "Use map"}},
};

} // namespace

std::span<const Setting> usersPageSettings()
{
    return kSettings;
}

} // namespace quillon::schema
