#include "tools/quillon/scopes.h"

#include "schema/schema.h"
#include "settings/profiledocument.h"

namespace quillon::tool {

namespace {

using settings::SettingsFile;

// Matches a name against a pattern in which '*' stands for any run of bytes, without regard to
// ASCII letter case.
bool matchesPattern(QByteArrayView patternText, QByteArrayView nameText)
{
    const QByteArray pattern = settings::foldAsciiCase(patternText);
    const QByteArray name = settings::foldAsciiCase(settings::trimProfileBlanks(nameText));
    qsizetype p = 0;
    qsizetype n = 0;
    qsizetype starAt = -1; // the last '*' seen, to retry from when a later part fails
    qsizetype starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starAt = p++;
            starName = n;
        } else if (p < pattern.size() && pattern[p] == name[n]) {
            ++p;
            ++n;
        } else if (starAt >= 0) {
            p = starAt + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

const char *kUsersSheet = "TabSheet9";

bool anyCovers(
    const QList<ScopeItem> &items, SettingsFile file, QByteArrayView section, QByteArrayView key)
{
    for (const ScopeItem &item : items) {
        if (item.covers(file, section, key))
            return true;
    }
    return false;
}

bool anyCoversUserFile(const QList<ScopeItem> &items)
{
    for (const ScopeItem &item : items) {
        if (item.coversUserFile())
            return true;
    }
    return false;
}

// The server's channel and sensor counts belong to its hardware: no control of the window writes
// them, and a scope never takes them from a folder.
bool isServerFact(SettingsFile file, QByteArrayView section, QByteArrayView key)
{
    const std::optional<schema::SettingMatch> match = schema::findSetting(file, section, key);
    return match && !*match->setting->control;
}

} // namespace

bool ScopeItem::covers(SettingsFile file, QByteArrayView section, QByteArrayView key) const
{
    if (!sheet)
        return file == pattern.file && matchesPattern(pattern.section, section)
            && matchesPattern(pattern.key, key);
    const std::optional<schema::SettingMatch> match = schema::findSetting(file, section, key);
    return match && qstrcmp(match->setting->page, sheet) == 0;
}

bool ScopeItem::coversUserFile() const
{
    return sheet && qstrcmp(sheet, kUsersSheet) == 0;
}

bool ScopeFilter::covers(SettingsFile file, QByteArrayView section, QByteArrayView key) const
{
    return (only.isEmpty() || anyCovers(only, file, section, key))
        && !anyCovers(except, file, section, key);
}

bool ScopeFilter::coversUserFile() const
{
    return (only.isEmpty() || anyCoversUserFile(only)) && !anyCoversUserFile(except);
}

bool ScopeFilter::covers(const Difference &difference) const
{
    if (difference.file == SettingsFile::User)
        return coversUserFile();
    return covers(difference.file, difference.section, difference.key);
}

std::optional<QList<ScopeItem>> parseScopes(const QString &text, QString *error)
{
    QList<ScopeItem> items;
    for (const QString &part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString name = part.trimmed();
        ScopeItem item;
        for (const schema::Page &page : schema::pages()) {
            if (name.compare(QLatin1String(page.name), Qt::CaseInsensitive) == 0)
                item.sheet = page.sheet;
        }
        if (!item.sheet) {
            if (!name.contains(QLatin1Char('['))) {
                QStringList names;
                for (const schema::Page &page : schema::pages())
                    names << QLatin1String(page.name);
                *error = QStringLiteral("'%1' is neither a page (%2) nor an address")
                             .arg(name, names.join(QStringLiteral(", ")));
                return std::nullopt;
            }
            const std::optional<SettingAddress> pattern
                = parseSettingAddress(name, AddressUse::Pattern, error);
            if (!pattern)
                return std::nullopt;
            item.pattern = *pattern;
        }
        items.append(item);
    }
    if (items.isEmpty()) {
        *error = QStringLiteral("a scope list is empty");
        return std::nullopt;
    }
    return items;
}

SettingChanges changesFromFolder(const settings::SettingsFileSet &folder, const ScopeFilter &scope)
{
    SettingChanges changes;
    for (const SettingsFile file : settings::uploadOrder()) {
        const auto found = folder.find(file);
        if (found == folder.end())
            continue;
        if (scope.isWhole() || (file == SettingsFile::User && scope.coversUserFile())) {
            changes.wholeFiles.insert(file, *found);
            continue;
        }
        if (file == SettingsFile::User)
            continue;
        const settings::ProfileDocument document(*found);
        for (const auto &[section, key] : document.keyNames()) {
            if (scope.covers(file, section, key) && !isServerFact(file, section, key))
                changes.edits.append(
                    {{file, section, key}, document.value(section, key).value_or(QByteArray())});
        }
    }
    return changes;
}

} // namespace quillon::tool
