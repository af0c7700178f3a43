#include "settings/profiledocument.h"

#include <QList>

#include <algorithm>

namespace quillon::settings {

namespace {

constexpr QByteArrayView kNewLineEnd = "\r\n";

bool isProfileBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

bool isBlankLine(QByteArrayView text)
{
    return trimProfileBlanks(text).isEmpty();
}

// The section name of a header line, or nothing when the line is no header.
std::optional<QByteArrayView> headerName(QByteArrayView text)
{
    const QByteArrayView trimmed = trimProfileBlanks(text);
    if (!trimmed.startsWith('['))
        return std::nullopt;
    const qsizetype close = trimmed.lastIndexOf(']');
    if (close < 0)
        return std::nullopt;
    return trimProfileBlanks(trimmed.sliced(1, close - 1));
}

bool holdsLineBreakOrNul(QByteArrayView text)
{
    return text.contains('\r') || text.contains('\n') || text.contains('\0');
}

} // namespace

QByteArrayView trimProfileBlanks(QByteArrayView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isProfileBlank(text[begin]))
        ++begin;
    while (end > begin && isProfileBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

QByteArray foldAsciiCase(QByteArrayView text)
{
    QByteArray folded(text.data(), text.size());
    for (char &c : folded) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return folded;
}

ProfileDocument::Line ProfileDocument::makeLine(QByteArray text, QByteArray ending)
{
    Line line {std::move(text), std::move(ending), {}, false};
    const qsizetype equals = line.text.indexOf('=');
    if (equals >= 0) {
        line.isKey = true;
        line.foldedKey = foldAsciiCase(trimProfileBlanks(QByteArrayView(line.text).first(equals)));
    }
    return line;
}

ProfileDocument::ProfileDocument(const QByteArray &bytes)
{
    m_sections.emplace_back(); // lines before the first header
    const qsizetype size = bytes.size();
    qsizetype at = 0;
    while (at < size) {
        qsizetype end = at;
        while (end < size && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        qsizetype next = end;
        if (next < size)
            next += (bytes[next] == '\r' && next + 1 < size && bytes[next + 1] == '\n') ? 2 : 1;
        QByteArray text = bytes.sliced(at, end - at);
        QByteArray ending = bytes.sliced(end, next - end);
        at = next;

        if (headerName(text)) {
            Section section;
            section.hasHeader = true;
            section.lines.push_back(Line {std::move(text), std::move(ending), {}, false});
            m_sections.push_back(std::move(section));
            continue;
        }
        m_sections.back().lines.push_back(makeLine(std::move(text), std::move(ending)));
    }

    indexSections();
}

// Later sections of the same name are never read: index each name by its first section.
void ProfileDocument::indexSections()
{
    m_firstSection.clear();
    if (!m_sections.front().lines.empty())
        m_firstSection.insert(QByteArray(), 0);
    for (qsizetype i = 1; i < qsizetype(m_sections.size()); ++i) {
        const QByteArray folded
            = foldAsciiCase(*headerName(m_sections[size_t(i)].lines.front().text));
        if (!m_firstSection.contains(folded))
            m_firstSection.insert(folded, i);
    }
}

bool ProfileDocument::removeSection(QByteArrayView section)
{
    const QByteArray folded = foldAsciiCase(trimProfileBlanks(section));
    if (!m_firstSection.contains(folded))
        return false;
    if (folded.isEmpty())
        m_sections.front().lines.clear(); // the lines before the first header
    std::erase_if(m_sections, [&](const Section &candidate) {
        return candidate.hasHeader
            && foldAsciiCase(*headerName(candidate.lines.front().text)) == folded;
    });
    indexSections();
    return true;
}

const ProfileDocument::Line *ProfileDocument::findKey(
    const Section &section, const QByteArray &foldedKey) const
{
    for (const Line &line : section.lines) {
        if (line.isKey && line.foldedKey == foldedKey)
            return &line;
    }
    return nullptr;
}

std::optional<QByteArray> ProfileDocument::value(QByteArrayView section, QByteArrayView key) const
{
    const auto found = m_firstSection.constFind(foldAsciiCase(trimProfileBlanks(section)));
    if (found == m_firstSection.cend())
        return std::nullopt;
    const Line *line = findKey(m_sections[size_t(*found)], foldAsciiCase(trimProfileBlanks(key)));
    if (!line)
        return std::nullopt;

    QByteArrayView stored = QByteArrayView(line->text).sliced(line->text.indexOf('=') + 1);
    stored = trimProfileBlanks(stored);
    if (const qsizetype nul = stored.indexOf('\0'); nul >= 0)
        stored = stored.first(nul);
    if (stored.size() >= 2 && (stored.front() == '"' || stored.front() == '\'')
        && stored.back() == stored.front())
        stored = stored.sliced(1, stored.size() - 2);
    return stored.toByteArray();
}

std::vector<std::pair<QByteArray, QByteArray>> ProfileDocument::keyNames() const
{
    std::vector<std::pair<QByteArray, QByteArray>> names;
    for (const qsizetype index : m_firstSection) {
        const Section &section = m_sections[size_t(index)];
        const QByteArray sectionName = section.hasHeader
            ? headerName(section.lines.front().text)->toByteArray()
            : QByteArray();
        QList<QByteArray> seen;
        for (const Line &line : section.lines) {
            if (!line.isKey || line.foldedKey.isEmpty() || seen.contains(line.foldedKey))
                continue;
            seen.append(line.foldedKey);
            names.emplace_back(sectionName,
                trimProfileBlanks(QByteArrayView(line.text).first(line.text.indexOf('=')))
                    .toByteArray());
        }
    }
    std::stable_sort(names.begin(), names.end(), [this](const auto &a, const auto &b) {
        return m_firstSection.value(foldAsciiCase(a.first))
            < m_firstSection.value(foldAsciiCase(b.first));
    });
    return names;
}

bool ProfileDocument::isWritable(QByteArrayView section, QByteArrayView key, QByteArrayView value)
{
    const QByteArrayView name = trimProfileBlanks(key);
    return !section.contains(']') && !holdsLineBreakOrNul(section) && !name.isEmpty()
        && !name.startsWith('[') && !key.contains('=') && !holdsLineBreakOrNul(key)
        && !holdsLineBreakOrNul(value);
}

ProfileDocument::Line *ProfileDocument::lastLine()
{
    for (auto section = m_sections.rbegin(); section != m_sections.rend(); ++section) {
        if (!section->lines.empty())
            return &section->lines.back();
    }
    return nullptr;
}

ProfileDocument::WriteResult ProfileDocument::setValue(
    QByteArrayView section, QByteArrayView key, QByteArrayView value)
{
    if (!isWritable(section, key, value))
        return WriteResult::Refused;
    const QByteArrayView sectionName = trimProfileBlanks(section);
    const QByteArrayView keyName = trimProfileBlanks(key);
    const QByteArray foldedKey = foldAsciiCase(keyName);
    QByteArray newText = keyName.toByteArray() + '=' + value.toByteArray();

    const auto found = m_firstSection.constFind(foldAsciiCase(sectionName));
    if (found != m_firstSection.cend()) {
        Section &target = m_sections[size_t(*found)];
        for (Line &line : target.lines) {
            if (!line.isKey || line.foldedKey != foldedKey)
                continue;
            QByteArrayView nameAsStored = QByteArrayView(line.text).first(line.text.indexOf('='));
            const QByteArrayView storedValue
                = trimProfileBlanks(QByteArrayView(line.text).sliced(nameAsStored.size() + 1));
            if (storedValue == value)
                return WriteResult::Unchanged;
            line.text = trimProfileBlanks(nameAsStored).toByteArray() + '=' + value.toByteArray();
            return WriteResult::Changed;
        }

        qsizetype insertAt = 0;
        for (qsizetype i = qsizetype(target.lines.size()); i-- > 0;) {
            if (!isBlankLine(target.lines[size_t(i)].text)) {
                insertAt = i + 1;
                break;
            }
        }
        if (insertAt > 0 && target.lines[size_t(insertAt - 1)].ending.isEmpty())
            target.lines[size_t(insertAt - 1)].ending = kNewLineEnd.toByteArray();
        target.lines.insert(target.lines.begin() + insertAt,
            makeLine(std::move(newText), kNewLineEnd.toByteArray()));
        return WriteResult::Changed;
    }

    if (Line *last = lastLine(); last && last->ending.isEmpty())
        last->ending = kNewLineEnd.toByteArray();
    Section added;
    added.hasHeader = true;
    added.lines.push_back(
        Line {'[' + sectionName.toByteArray() + ']', kNewLineEnd.toByteArray(), {}, false});
    added.lines.push_back(makeLine(std::move(newText), kNewLineEnd.toByteArray()));
    m_firstSection.insert(foldAsciiCase(sectionName), qsizetype(m_sections.size()));
    m_sections.push_back(std::move(added));
    return WriteResult::Changed;
}

QByteArray ProfileDocument::toBytes() const
{
    qsizetype total = 0;
    for (const Section &section : m_sections) {
        for (const Line &line : section.lines)
            total += line.text.size() + line.ending.size();
    }
    QByteArray bytes;
    bytes.reserve(total);
    for (const Section &section : m_sections) {
        for (const Line &line : section.lines) {
            bytes += line.text;
            bytes += line.ending;
        }
    }
    return bytes;
}

} // namespace quillon::settings
