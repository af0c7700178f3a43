#include "tools/quillon/settingsdiff.h"

#include "settings/gbk.h"
#include "settings/profiledocument.h"
#include "settings/profilestore.h"
#include "settings/userrecords.h"

#include <QSet>

namespace quillon::tool {

namespace {

using settings::SettingsFile;

constexpr char kHidden[] = "********";

void diffProfiles(
    SettingsFile file, const QByteArray &before, const QByteArray &after, QList<Difference> *out)
{
    const settings::ProfileDocument oldDocument(before);
    const settings::ProfileDocument newDocument(after);
    auto names = newDocument.keyNames();
    // Keys only the old file has come after the new file's keys.
    QSet<QByteArray> seen;
    for (const auto &[section, key] : names)
        seen.insert(settings::foldAsciiCase(section) + '\n' + settings::foldAsciiCase(key));
    for (const auto &name : oldDocument.keyNames()) {
        if (!seen.contains(
                settings::foldAsciiCase(name.first) + '\n' + settings::foldAsciiCase(name.second)))
            names.push_back(name);
    }
    for (const auto &[section, key] : names) {
        const std::optional<QByteArray> oldValue = oldDocument.value(section, key);
        const std::optional<QByteArray> newValue = newDocument.value(section, key);
        if (oldValue == newValue)
            continue;
        Difference difference;
        difference.file = file;
        difference.section = section;
        difference.key = key;
        if (const std::optional<schema::SettingMatch> match
            = schema::findSetting(file, section, key)) {
            difference.setting = match->setting;
            difference.index = match->index;
        }
        difference.oldPresent = oldValue.has_value();
        difference.newPresent = newValue.has_value();
        difference.oldValue = oldValue.value_or(QByteArray());
        difference.newValue = newValue.value_or(QByteArray());
        out->append(difference);
    }
}

QByteArray numbersGranted(const settings::UserRecord &record, bool preview)
{
    QList<QByteArray> numbers;
    const int count
        = preview ? settings::UserRecord::kPreviewChannels : settings::UserRecord::kPrivileges;
    for (int number = 1; number <= count; ++number) {
        if (preview ? record.mayPreview(number) : record.privilege(number))
            numbers.append(QByteArray::number(number));
    }
    return numbers.join(',');
}

void diffUsers(const QByteArray &before, const QByteArray &after, QList<Difference> *out)
{
    const settings::UserRecords oldUsers = settings::decodeUsers(before);
    const settings::UserRecords newUsers = settings::decodeUsers(after);
    auto userDifference = [&](const QByteArray &name, const char *field) {
        Difference difference;
        difference.file = SettingsFile::User;
        difference.userName = name;
        difference.userField = QLatin1String(field);
        return difference;
    };
    for (const settings::UserRecord &old : oldUsers) {
        const int found = settings::findUserByName(newUsers, old.name());
        if (found < 0) {
            Difference removed = userDifference(old.name(), "account");
            removed.oldPresent = true;
            out->append(removed);
            continue;
        }
        const settings::UserRecord &now = newUsers[size_t(found)];
        if (old.password() != now.password()) {
            Difference changed = userDifference(old.name(), "password");
            changed.oldPresent = changed.newPresent = true;
            out->append(changed);
        }
        for (const bool preview : {false, true}) {
            const QByteArray oldNumbers = numbersGranted(old, preview);
            const QByteArray newNumbers = numbersGranted(now, preview);
            if (oldNumbers == newNumbers)
                continue;
            Difference changed = userDifference(old.name(), preview ? "preview" : "privileges");
            changed.oldPresent = changed.newPresent = true;
            changed.oldValue = oldNumbers;
            changed.newValue = newNumbers;
            out->append(changed);
        }
    }
    for (const settings::UserRecord &now : newUsers) {
        if (settings::findUserByName(oldUsers, now.name()) < 0) {
            Difference added = userDifference(now.name(), "account");
            added.newPresent = true;
            out->append(added);
        }
    }
}

QString userFieldCaption(const QString &field, bool chinese)
{
    const std::span<const schema::UserField> fields = schema::userFields();
    const int at = field == QLatin1String("account") ? 0
        : field == QLatin1String("password")         ? 1
        : field == QLatin1String("privileges")       ? 2
                                                     : 3;
    return fields[size_t(at)].caption.in(chinese);
}

QString indexText(const schema::Setting &setting, int index, bool chinese)
{
    const int number = index + 1;
    if (setting.scope == schema::Scope::Channel)
        return (chinese ? QStringLiteral("通道%1") : QStringLiteral("Channel %1")).arg(number);
    return (chinese ? QStringLiteral("探头%1") : QStringLiteral("Sensor %1")).arg(number);
}

QString keyText(const schema::Setting &setting, const QByteArray &key, bool chinese)
{
    QString caption = setting.caption.in(chinese);
    const QByteArrayView pattern(setting.key);
    if (!pattern.endsWith('#'))
        return caption;
    const int number = key.sliced(pattern.size() - 1).toInt();
    if (setting.kind == schema::Kind::DayLine)
        return caption + QLatin1Char(' ') + schema::dayCaption(number).in(chinese);
    return caption + QLatin1Char(' ') + QString::number(number);
}

} // namespace

QList<Difference> diffSettings(
    const settings::SettingsFileSet &before, const settings::SettingsFileSet &after)
{
    QList<Difference> differences;
    for (const settings::SettingsFileInfo &info : settings::settingsFiles()) {
        const QByteArray oldBytes = before.value(info.file);
        const QByteArray newBytes = after.value(info.file);
        if (oldBytes == newBytes && before.contains(info.file) == after.contains(info.file))
            continue;
        if (info.file == SettingsFile::User)
            diffUsers(oldBytes, newBytes, &differences);
        else
            diffProfiles(info.file, oldBytes, newBytes, &differences);
    }
    return differences;
}

QString describePlace(const Difference &difference, bool chinese, bool raw)
{
    const QString fileName = QLatin1String(settings::fileInfo(difference.file).name);
    if (difference.file == SettingsFile::User) {
        const QString name = settings::fromGbk(difference.userName);
        if (raw)
            return QStringLiteral("%1 %2 %3").arg(fileName, name, difference.userField);
        return QStringLiteral("%1 / %2 / %3")
            .arg(schema::pageCaption("TabSheet9").in(chinese), name,
                userFieldCaption(difference.userField, chinese));
    }
    if (raw || !difference.setting) {
        return QStringLiteral("%1[%2]%3")
            .arg(
                fileName, settings::fromGbk(difference.section), settings::fromGbk(difference.key));
    }
    const schema::Setting &setting = *difference.setting;
    QStringList parts {schema::pageCaption(setting.page).in(chinese)};
    if (setting.scope != schema::Scope::Fixed)
        parts << indexText(setting, difference.index, chinese);
    parts << keyText(setting, difference.key, chinese);
    return parts.join(QStringLiteral(" / "));
}

QString describeValue(const Difference &difference, bool before, bool chinese, bool raw)
{
    const bool present = before ? difference.oldPresent : difference.newPresent;
    const QByteArray &value = before ? difference.oldValue : difference.newValue;
    const schema::Setting *setting = difference.setting;
    if (difference.file == SettingsFile::User) {
        if (difference.userField == QLatin1String("password"))
            return QLatin1String(kHidden);
        if (difference.userField == QLatin1String("account"))
            return present ? (chinese ? QStringLiteral("有") : QStringLiteral("present"))
                           : (chinese ? QStringLiteral("无") : QStringLiteral("absent"));
        return QString::fromLatin1(value);
    }
    if (setting && setting->kind == schema::Kind::Password)
        return present ? QLatin1String(kHidden) : QString();
    const QByteArray shown = present ? value
        : setting                    ? setting->fallbackFor(difference.index)
                                     : QByteArray();
    QString text = settings::fromGbk(shown);
    if (!raw && setting) {
        const std::optional<qint32> number = settings::parseProfileInteger(shown);
        if (setting->kind == schema::Kind::Choice && number) {
            if (const std::optional<schema::Words> words = setting->wordingOf(*number))
                text = words->in(chinese);
        } else if (setting->kind == schema::Kind::Flag && number) {
            text = *number != 0 ? (chinese ? QStringLiteral("是") : QStringLiteral("on"))
                                : (chinese ? QStringLiteral("否") : QStringLiteral("off"));
        }
    }
    if (!present) {
        if (!setting)
            return chinese ? QStringLiteral("（未存储）") : QStringLiteral("(not stored)");
        return chinese ? QStringLiteral("（未存储，默认 %1）").arg(text)
                       : QStringLiteral("(not stored, default %1)").arg(text);
    }
    return text;
}

} // namespace quillon::tool
