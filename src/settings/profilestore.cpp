#include "settings/profilestore.h"

#include "platform/atomicfile.h"

#include <QFile>

#include <sys/stat.h>

#include <utility>

namespace quillon::settings {

namespace {

// A settings file larger than this is not a settings file: it reads as missing.
constexpr qint64 kMaxProfileFileBytes = 16 * 1024 * 1024;

int digitValue(char c, int base)
{
    int value = -1;
    if (c >= '0' && c <= '9')
        value = c - '0';
    else if (c >= 'a' && c <= 'f')
        value = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        value = c - 'A' + 10;
    return value < base ? value : -1;
}

} // namespace

std::optional<qint32> parseProfileInteger(QByteArrayView text)
{
    QByteArray number = text.toByteArray();
    if (number.size() > 2 && (number.startsWith("0x") || number.startsWith("0X")))
        number.replace(0, 2, "$");

    qsizetype at = 0;
    while (at < number.size() && number[at] == ' ')
        ++at;
    bool negative = false;
    if (at < number.size() && (number[at] == '+' || number[at] == '-'))
        negative = number[at++] == '-';
    int base = 10;
    if (at < number.size() && (number[at] == '$' || number[at] == 'x' || number[at] == 'X')) {
        base = 16;
        ++at;
    }
    if (at >= number.size())
        return std::nullopt;

    // Decimal stays within the signed range; hexadecimal may use all 32 bits ($FFFFFFFF is -1).
    const quint64 limit = base == 16 ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    quint64 magnitude = 0;
    for (; at < number.size(); ++at) {
        const int digit = digitValue(number[at], base);
        if (digit < 0)
            return std::nullopt;
        magnitude = magnitude * quint64(base) + quint64(digit);
        if (magnitude > limit)
            return std::nullopt;
    }
    const auto bits = static_cast<quint32>(negative ? (~magnitude + 1) : magnitude);
    return static_cast<qint32>(bits);
}

ProfileStore::~ProfileStore()
{
    flush();
}

ProfileStore::FileStamp ProfileStore::stampOf(const QString &path)
{
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    return {true, qint64(info.st_size),
        qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec, quint64(info.st_ino)};
}

ProfileStore::Entry &ProfileStore::entryFor(const QString &path)
{
    auto it = m_entries.find(path);
    if (it != m_entries.end() && it->dirty)
        return *it; // holds writes not yet saved: newer than the disk
    const FileStamp stamp = stampOf(path);
    if (it != m_entries.end() && it->stamp == stamp)
        return *it;

    Entry entry;
    entry.stamp = stamp;
    if (stamp.exists) {
        QFile file(path);
        const QByteArray bytes
            = stamp.size <= kMaxProfileFileBytes && file.open(QIODevice::ReadOnly)
            ? file.read(kMaxProfileFileBytes + 1)
            : QByteArray();
        entry.loaded = file.isOpen() && bytes.size() == stamp.size;
        if (entry.loaded)
            entry.document = ProfileDocument(bytes);
    }
    return *m_entries.insert(path, std::move(entry));
}

QByteArray ProfileStore::readText(
    const QString &path, QByteArrayView section, QByteArrayView key, QByteArrayView fallback)
{
    const std::optional<QByteArray> stored = entryFor(path).document.value(section, key);
    QByteArray text = stored ? *stored : fallback.toByteArray();
    text.truncate(kMaxProfileValue);
    return text;
}

qint32 ProfileStore::readInt(
    const QString &path, QByteArrayView section, QByteArrayView key, qint32 fallback)
{
    return parseProfileInteger(readText(path, section, key)).value_or(fallback);
}

bool ProfileStore::readFlag(
    const QString &path, QByteArrayView section, QByteArrayView key, bool fallback)
{
    return readInt(path, section, key, fallback ? 1 : 0) != 0;
}

bool ProfileStore::writeText(
    const QString &path, QByteArrayView section, QByteArrayView key, QByteArrayView value)
{
    Entry &entry = entryFor(path);
    if (!entry.loaded)
        return refuseWrite();
    switch (entry.document.setValue(section, key, value)) {
    case ProfileDocument::WriteResult::Refused:
        return refuseWrite();
    case ProfileDocument::WriteResult::Unchanged:
        return true;
    case ProfileDocument::WriteResult::Changed:
        break;
    }
    entry.dirty = true;
    return m_batchDepth > 0 || save(path, entry);
}

bool ProfileStore::writeInt(
    const QString &path, QByteArrayView section, QByteArrayView key, qint32 value)
{
    return writeText(path, section, key, QByteArray::number(value));
}

bool ProfileStore::writeFlag(
    const QString &path, QByteArrayView section, QByteArrayView key, bool value)
{
    return writeText(path, section, key, value ? "1" : "0");
}

bool ProfileStore::removeSection(const QString &path, QByteArrayView section)
{
    Entry &entry = entryFor(path);
    if (!entry.loaded)
        return refuseWrite();
    if (!entry.document.removeSection(section))
        return true;
    entry.dirty = true;
    return m_batchDepth > 0 || save(path, entry);
}

bool ProfileStore::save(const QString &path, Entry &entry)
{
    // Local copies: OK uploads from them and a visit downloads them again, so a checked write
    // is enough without a flush to the disk.
    if (platform::writeFileAtomically(
            path, entry.document.toBytes(), platform::Durability::Written)) {
        // Forget the unsaved change so that the next access reads what the disk holds.
        m_entries.remove(path);
        return false;
    }
    entry.dirty = false;
    entry.stamp = stampOf(path);
    return true;
}

bool ProfileStore::refuseWrite()
{
    if (m_batchDepth > 0)
        m_batchRefusedWrite = true;
    return false;
}

void ProfileStore::beginBatch()
{
    if (m_batchDepth++ == 0)
        m_batchRefusedWrite = false;
}

bool ProfileStore::endBatch()
{
    if (m_batchDepth == 0 || --m_batchDepth > 0)
        return true;
    return flush() && !std::exchange(m_batchRefusedWrite, false);
}

bool ProfileStore::flush()
{
    bool allSaved = true;
    const QStringList paths = m_entries.keys();
    for (const QString &path : paths) {
        auto it = m_entries.find(path);
        if (it != m_entries.end() && it->dirty)
            allSaved = save(path, *it) && allSaved;
    }
    return allSaved;
}

} // namespace quillon::settings
