#include "editor/pages/smspage.h"

#include "formats/profileaccess.h"
#include "formats/systemsettings.h"
#include "settings/gbk.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace quillon::editor {

namespace {

constexpr TextEntry kTexts[] = {
    {"SMSPortLabel", "短信设备端口：", "Modem port:"},
    {"SMSPhoneLabel", "手机号码：", "Mobile number:"},
    {"AddPhoneBitBtn", "添  加", "Add"},
    {"DelPhoneBitBtn", "删  除", "Delete"},
};

} // namespace

SmsPage::SmsPage(SetupContext &context, QWidget *sheet) : SetupPage(context, sheet)
{
    SMSCheckBox = place<QCheckBox>("SMSCheckBox", sheet, 24, 24, 400, 20);
    SMSPortLabel = place<QLabel>("SMSPortLabel", sheet, 24, 60, 130, 21);
    SMSComboBox = place<QComboBox>("SMSComboBox", sheet, 160, 60, 100, 21);
    for (const schema::Choice &port : schema::settingOf("SMSComboBox").choices)
        SMSComboBox->addItem(QString::fromLatin1(port.words.english));
    SMSPhoneLabel = place<QLabel>("SMSPhoneLabel", sheet, 24, 96, 130, 21);
    SMSPhoneEdit = place<QLineEdit>("SMSPhoneEdit", sheet, 160, 96, 160, 21);
    AddPhoneBitBtn = place<QPushButton>("AddPhoneBitBtn", sheet, 332, 94, 90, 25);
    DelPhoneBitBtn = place<QPushButton>("DelPhoneBitBtn", sheet, 332, 126, 90, 25);
    SMSPhoneListBox = place<QListWidget>("SMSPhoneListBox", sheet, 160, 126, 160, 220);

    QObject::connect(SMSCheckBox, &QCheckBox::toggled, sheet, [this] { updateEnabling(); });
    m_bindings.bind(context, sheet, {"SMSCheckBox"});
    // Unlike the bound lists, any change of the port list counts, the window's own included.
    QObject::connect(
        SMSComboBox, &QComboBox::currentIndexChanged, sheet, [this] { m_context.noteChange(); });
}

std::span<const TextEntry> SmsPage::texts() const
{
    return kTexts;
}

void SmsPage::load()
{
    const settings::ProfileFile sms = m_context.file(settings::SettingsFile::SMSSet);
    m_bindings.load(sms);
    m_storedPort = formats::readNumber(sms, schema::settingOf("SMSComboBox"));
    SMSComboBox->setCurrentIndex(formats::listEntryFor(m_storedPort, SMSComboBox->count()));

    SMSPhoneListBox->clear();
    const settings::ProfileBatch batch(m_context.store);
    for (const QByteArray &number : formats::loadTelephoneNumbers(sms))
        SMSPhoneListBox->addItem(settings::fromGbk(number));
}

void SmsPage::updateEnabling()
{
    enableWhile(SMSCheckBox->isChecked(),
        {SMSPortLabel, SMSComboBox, SMSPhoneLabel, SMSPhoneEdit, SMSPhoneListBox, AddPhoneBitBtn,
            DelPhoneBitBtn});
}

void SmsPage::save()
{
    const settings::ProfileFile sms = m_context.file(settings::SettingsFile::SMSSet);
    m_bindings.save(sms);
    formats::writeNumber(sms, schema::settingOf("SMSComboBox"),
        formats::listIndexToStore(SMSComboBox->currentIndex(), m_storedPort));
}

} // namespace quillon::editor
