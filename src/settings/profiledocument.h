#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>

#include <optional>
#include <vector>

namespace quillon::settings {

// One profile (INI) file held in memory as its lines, so that a change touches only the line
// of the key written and every other byte of the file stays as it was.
//
// Reading follows the platform's profile functions: lines end in LF, CRLF or a lone CR; a
// header is a line whose first non-blank byte is '[' and that holds a ']'; a key line is split
// at its first '='; names and values are trimmed of blanks, tabs, VT and FF; names match
// without regard to ASCII letter case; the first matching section and key win; one pair of
// matching quotes around a value is removed; a NUL ends a value. There are no comments for
// lookups and a backslash is an ordinary byte.
class ProfileDocument
{
public:
    enum class WriteResult {
        Changed, // the document now holds the new value
        Unchanged, // the key already held exactly this value
        Refused, // the write would change the file's meaning; nothing was touched
    };

    ProfileDocument() = default;
    explicit ProfileDocument(const QByteArray &bytes);

    // The stored value, or nothing when the section or the key is missing.
    std::optional<QByteArray> value(QByteArrayView section, QByteArrayView key) const;

    // Replaces the key's line in place (keeping the stored spelling of the name), or adds the
    // key after the last non-blank line of its section, or adds the section at the end of the
    // file. New lines end in CRLF.
    WriteResult setValue(QByteArrayView section, QByteArrayView key, QByteArrayView value);

    // Removes every section of that name with all its lines. False when there was none.
    bool removeSection(QByteArrayView section);

    // False for a section holding ']', a line break or NUL; an empty key, or one holding '=',
    // a line break or NUL, or starting with '['; a value holding a line break or NUL.
    static bool isWritable(QByteArrayView section, QByteArrayView key, QByteArrayView value);

    QByteArray toBytes() const;

    // Every key a read can reach, as (section, key) with the names as stored, in file order:
    // the first section of each name and the first key of each name within it.
    std::vector<std::pair<QByteArray, QByteArray>> keyNames() const;

private:
    struct Line
    {
        QByteArray text; // without its line end
        QByteArray ending; // "\r\n", "\n", "\r", or empty for a last line without one
        QByteArray foldedKey; // lower-case key name of a key line
        bool isKey = false;
    };

    struct Section
    {
        std::vector<Line> lines; // the header line first, when there is one
        bool hasHeader = false;
    };

    static Line makeLine(QByteArray text, QByteArray ending);
    void indexSections();
    const Line *findKey(const Section &section, const QByteArray &foldedKey) const;
    Line *lastLine();

    std::vector<Section> m_sections; // the lines before the first header come first
    QHash<QByteArray, qsizetype> m_firstSection; // folded name -> index of its first section
};

// Blanks trimmed around profile names and values: space, tab, VT and FF.
QByteArrayView trimProfileBlanks(QByteArrayView text);
// ASCII-only lower case: other bytes (GBK among them) compare as they are.
QByteArray foldAsciiCase(QByteArrayView text);

} // namespace quillon::settings
