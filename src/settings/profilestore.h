#pragma once

#include "settings/profiledocument.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <optional>

namespace quillon::settings {

// The longest value a read returns: longer values are cut, as with a 2048-byte buffer.
constexpr qsizetype kMaxProfileValue = 2047;

// Reads a profile integer: "0x"/"0X" before more text stands for '$'; then optional blanks, an
// optional sign, and decimal digits, or hexadecimal digits after '$', 'x' or 'X'. Nothing when
// the text is empty, holds anything else, or does not fit in 32 bits (hexadecimal may use all 32).
std::optional<qint32> parseProfileInteger(QByteArrayView text);

// Profile-file access for the local copies of the settings files. Each path's parsed document
// is kept between calls and reused while the file on disk is unchanged, so a page reading
// dozens of keys parses its file once. Outside a batch every write is saved at once; inside a
// batch, writes are saved together when the outermost batch ends. Either way each file ends
// up byte for byte as the same writes made one by one would leave it, and saves are atomic.
class ProfileStore
{
public:
    ProfileStore() = default;
    ProfileStore(const ProfileStore &) = delete;
    ProfileStore &operator=(const ProfileStore &) = delete;
    ~ProfileStore();

    // The stored text, at most kMaxProfileValue bytes; the default when the file, section or
    // key is missing.
    QByteArray readText(const QString &path, QByteArrayView section, QByteArrayView key,
        QByteArrayView fallback = {});
    qint32 readInt(
        const QString &path, QByteArrayView section, QByteArrayView key, qint32 fallback);
    bool readFlag(const QString &path, QByteArrayView section, QByteArrayView key, bool fallback);

    // Writes key=value into the section, creating the file and the section when missing.
    // False when the write is refused (it would corrupt the file, or the file exists but could
    // not be loaded) or could not be saved.
    bool writeText(
        const QString &path, QByteArrayView section, QByteArrayView key, QByteArrayView value);
    bool writeInt(const QString &path, QByteArrayView section, QByteArrayView key, qint32 value);
    bool writeFlag(const QString &path, QByteArrayView section, QByteArrayView key, bool value);

    // Erases every section of that name with its keys; a missing section leaves the file alone.
    bool removeSection(const QString &path, QByteArrayView section);

    // Parses the file now, so that the reads that follow find it parsed.
    void preload(const QString &path) { entryFor(path); }

    void beginBatch();
    // Ends a batch; the outermost end saves every changed file. False when a save failed or a
    // write of the batch was refused.
    bool endBatch();

    // Saves every file changed in a batch. False when a save failed; that file is then read
    // again from disk at the next access.
    bool flush();

private:
    struct FileStamp
    {
        bool exists = false;
        qint64 size = 0;
        qint64 modifiedNs = 0;
        quint64 inode = 0;
        bool operator==(const FileStamp &) const = default;
    };

    struct Entry
    {
        ProfileDocument document;
        FileStamp stamp;
        bool dirty = false;
        // False for a file that exists but could not be read whole (over the size cap,
        // unreadable): it reads as empty, and every write to it is refused, since saving the
        // empty document would replace the whole file.
        bool loaded = true;
    };

    static FileStamp stampOf(const QString &path);
    Entry &entryFor(const QString &path);
    bool save(const QString &path, Entry &entry);
    // Notes a refused write for the batch under way; always false.
    bool refuseWrite();

    QHash<QString, Entry> m_entries;
    int m_batchDepth = 0;
    bool m_batchRefusedWrite = false;
};

// Groups the writes of a scope into one save per file.
class ProfileBatch
{
public:
    explicit ProfileBatch(ProfileStore &store) : m_store(store) { m_store.beginBatch(); }
    ~ProfileBatch() { m_store.endBatch(); }
    ProfileBatch(const ProfileBatch &) = delete;
    ProfileBatch &operator=(const ProfileBatch &) = delete;

private:
    ProfileStore &m_store;
};

// One settings file of a store, for code that reads or writes many keys of it.
class ProfileFile
{
public:
    ProfileFile(ProfileStore &store, QString path) : m_store(&store), m_path(std::move(path)) { }

    const QString &path() const { return m_path; }
    QByteArray readText(
        QByteArrayView section, QByteArrayView key, QByteArrayView fallback = {}) const
    {
        return m_store->readText(m_path, section, key, fallback);
    }
    qint32 readInt(QByteArrayView section, QByteArrayView key, qint32 fallback) const
    {
        return m_store->readInt(m_path, section, key, fallback);
    }
    bool readFlag(QByteArrayView section, QByteArrayView key, bool fallback) const
    {
        return m_store->readFlag(m_path, section, key, fallback);
    }
    bool writeText(QByteArrayView section, QByteArrayView key, QByteArrayView value) const
    {
        return m_store->writeText(m_path, section, key, value);
    }
    bool writeInt(QByteArrayView section, QByteArrayView key, qint32 value) const
    {
        return m_store->writeInt(m_path, section, key, value);
    }
    bool writeFlag(QByteArrayView section, QByteArrayView key, bool value) const
    {
        return m_store->writeFlag(m_path, section, key, value);
    }
    bool removeSection(QByteArrayView section) const
    {
        return m_store->removeSection(m_path, section);
    }

private:
    ProfileStore *m_store;
    QString m_path;
};

} // namespace quillon::settings
