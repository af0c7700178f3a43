#include "schema/schema.h"

namespace quillon::schema {

namespace {

using F = settings::SettingsFile;
constexpr const char *kPage = "TabSheet11";

constexpr Setting kSettings[] = {
    {F::SMSSet, Scope::Fixed, "SMS Config", "SndSMSMsg", Kind::Flag, "0", 0, 0, {}, kPage,
        "SMSCheckBox", {"报警时发送手机短信息", "Send mobile message when alarm triggered"}},
    {F::SMSSet, Scope::Fixed, "SMS Config", "SMSPort", Kind::Choice, "2", 0, 0, kSerialPortChoices,
        kPage, "SMSComboBox", {"短信设备端口", "Modem port"}},
    {F::SMSSet, Scope::Fixed, "Telephone", "Count", Kind::Number, "0", 0, 0, {}, kPage,
        "SMSPhoneListBox", {"手机号码数", "Mobile numbers"}},
    {F::SMSSet, Scope::Fixed, "Telephone No", "#", Kind::Text, "", 0, 0, {}, kPage,
        "SMSPhoneListBox", {"手机号码", "Mobile number"}},
};

} // namespace

std::span<const Setting> smsPageSettings()
{
    return kSettings;
}

} // namespace quillon::schema
