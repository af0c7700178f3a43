#include "tools/quillon/settingaddress.h"

#include "schema/schema.h"
#include "settings/gbk.h"
#include "settings/profiledocument.h"
#include "settings/profilestore.h"

#include <QMap>

namespace quillon::tool {

namespace {

using settings::SettingsFile;

std::optional<SettingsFile> fileNamed(const QString &name)
{
    for (const settings::SettingsFileInfo &info : settings::settingsFiles()) {
        if (name.compare(QLatin1String(info.name), Qt::CaseInsensitive) == 0)
            return info.file;
    }
    return std::nullopt;
}

std::optional<SettingEdit> refuse(QString *error, const QString &message)
{
    *error = message;
    return std::nullopt;
}

// Whether a value suits its setting's kind and range; the reason when it does not.
std::optional<QString> valueProblem(const schema::Setting &setting, const QByteArray &value)
{
    const std::optional<qint32> number = settings::parseProfileInteger(value);
    switch (setting.kind) {
    case schema::Kind::Flag:
        if (value != "0" && value != "1")
            return QStringLiteral("takes 1 (on) or 0 (off)");
        break;
    case schema::Kind::Number:
        if (!number)
            return QStringLiteral("takes a whole number");
        if (setting.hasRange() && (*number < setting.minimum || *number > setting.maximum))
            return QStringLiteral("takes a number from %1 to %2")
                .arg(setting.minimum)
                .arg(setting.maximum);
        break;
    case schema::Kind::Choice:
        if (!number)
            return QStringLiteral("takes the number of a list entry");
        break;
    case schema::Kind::Text:
        if (setting.maximum > 0 && value.size() > setting.maximum)
            return QStringLiteral("holds at most %1 bytes of GBK text").arg(setting.maximum);
        break;
    case schema::Kind::Password:
    case schema::Kind::DayLine:
    case schema::Kind::AreaRow:
    case schema::Kind::LinkText:
        break;
    }
    return std::nullopt;
}

} // namespace

QString SettingAddress::text() const
{
    return QLatin1String(settings::fileInfo(file).name) + QLatin1Char('[')
        + settings::fromGbk(section) + QLatin1Char(']') + settings::fromGbk(key);
}

std::optional<SettingAddress> parseSettingAddress(
    const QString &text, AddressUse use, QString *error)
{
    auto fail = [&](const QString &why) -> std::optional<SettingAddress> {
        *error = QStringLiteral("'%1': %2").arg(text, why);
        return std::nullopt;
    };
    const qsizetype open = text.indexOf(QLatin1Char('['));
    const qsizetype close = open < 0 ? -1 : text.indexOf(QLatin1Char(']'), open);
    if (close < 0)
        return fail(QStringLiteral("a setting is written FILE[SECTION]KEY, "
                                   "e.g. SysSet.Ext[Alarm Options]BackRecTime"));
    const std::optional<SettingsFile> file = fileNamed(text.left(open).trimmed());
    if (!file)
        return fail(QStringLiteral("no settings file of that name"));
    if (*file == SettingsFile::User)
        return fail(QStringLiteral("User.she holds the user records, which have no keys: "
                                   "edit users in the window (quillon edit)"));
    const std::optional<QByteArray> section
        = settings::toGbk(text.mid(open + 1, close - open - 1).trimmed());
    const std::optional<QByteArray> key = settings::toGbk(text.mid(close + 1).trimmed());
    if (!section || !key)
        return fail(QStringLiteral("holds a character GBK cannot carry"));
    if (section->isEmpty() || key->isEmpty())
        return fail(QStringLiteral("the section and the key must not be empty"));
    if (!settings::ProfileDocument::isWritable(*section, *key, {}))
        return fail(QStringLiteral("not a section and key a settings file can hold"));
    if (use == AddressUse::OneKey && (section->contains('*') || key->contains('*')))
        return fail(QStringLiteral("names one key: '*' belongs in a scope (--only, --except)"));
    return SettingAddress {*file, *section, *key};
}

std::optional<SettingEdit> parseSettingEdit(const QString &text, QString *error)
{
    const qsizetype close = text.indexOf(QLatin1Char(']'));
    const qsizetype equals = close < 0 ? -1 : text.indexOf(QLatin1Char('='), close);
    if (equals < 0)
        return refuse(error, QStringLiteral("'%1': a change is written ADDRESS=VALUE").arg(text));
    const std::optional<SettingAddress> address
        = parseSettingAddress(text.left(equals), AddressUse::OneKey, error);
    if (!address)
        return std::nullopt;
    const QString name = address->text();
    if (address->file == SettingsFile::Profile)
        return refuse(error,
            QStringLiteral("%1: Profile.ext holds the server's stream presets, which are never "
                           "uploaded")
                .arg(name));
    const std::optional<schema::SettingMatch> match
        = schema::findSetting(address->file, address->section, address->key);
    if (!match)
        return refuse(error,
            QStringLiteral("%1 is not a setting of the window (quillon diff --raw shows the "
                           "addresses)")
                .arg(name));
    if (!*match->setting->control)
        return refuse(error,
            QStringLiteral("%1 is a fact of the server's own (no control of the window writes it)")
                .arg(name));
    if (match->setting->kind == schema::Kind::Password)
        return refuse(error,
            QStringLiteral("%1 is a password, which never goes on a command line: set it in "
                           "the window (quillon edit)")
                .arg(name));
    const std::optional<QByteArray> value = settings::toGbk(text.mid(equals + 1));
    if (!value)
        return refuse(
            error, QStringLiteral("%1: the value holds a character GBK cannot carry").arg(name));
    const QByteArray trimmed = settings::trimProfileBlanks(*value).toByteArray();
    if (!settings::ProfileDocument::isWritable(address->section, address->key, trimmed))
        return refuse(error, QStringLiteral("%1: a value holds no line break").arg(name));
    if (const std::optional<QString> problem = valueProblem(*match->setting, trimmed))
        return refuse(error, QStringLiteral("%1 %2").arg(name, *problem));
    return SettingEdit {*address, trimmed};
}

std::optional<QString> applyChanges(const SettingChanges &changes, settings::SettingsFileSet *files)
{
    settings::SettingsFileSet result = *files;
    for (auto it = changes.wholeFiles.cbegin(); it != changes.wholeFiles.cend(); ++it)
        result.insert(it.key(), it.value());
    // Each file is parsed once and written once, whatever the number of its edits.
    QMap<SettingsFile, settings::ProfileDocument> documents;
    for (const SettingEdit &edit : changes.edits) {
        auto document = documents.find(edit.address.file);
        if (document == documents.end())
            document = documents.insert(
                edit.address.file, settings::ProfileDocument(result.value(edit.address.file)));
        if (document->setValue(edit.address.section, edit.address.key, edit.value)
            == settings::ProfileDocument::WriteResult::Refused)
            return QStringLiteral("%1: the write was refused").arg(edit.address.text());
    }
    for (auto it = documents.cbegin(); it != documents.cend(); ++it) {
        const QByteArray bytes = it.value().toBytes();
        if (!result.contains(it.key()) || result.value(it.key()) != bytes)
            result.insert(it.key(), bytes);
    }
    *files = std::move(result);
    return std::nullopt;
}

} // namespace quillon::tool
