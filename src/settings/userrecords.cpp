#include "settings/userrecords.h"

#include "platform/atomicfile.h"

#include <QFile>

#include <algorithm>
#include <cstring>

namespace quillon::settings {

namespace {

constexpr int kNameOffset = 0;
constexpr int kPasswordOffset = 32;
constexpr int kPrivilegeOffset = 64;
constexpr int kPreviewOffset = 76;

static_assert(kPreviewOffset + UserRecord::kPreviewChannels == UserRecord::kSize);

// Maximum user file the module or the server accepts: far beyond any real account list.
constexpr qint64 kMaxUserFileBytes = qint64(UserRecord::kSize) * 65536;

} // namespace

UserRecord::UserRecord() = default;

UserRecord UserRecord::fromBytes(const char *bytes, qsizetype size)
{
    UserRecord record;
    if (bytes && size == kSize)
        std::memcpy(record.m_bytes.data(), bytes, kSize);
    return record;
}

QByteArray UserRecord::toBytes() const
{
    return QByteArray(reinterpret_cast<const char *>(m_bytes.data()), kSize);
}

static QByteArray textField(const std::array<std::uint8_t, UserRecord::kSize> &bytes, int offset)
{
    const auto *begin = reinterpret_cast<const char *>(bytes.data()) + offset;
    const auto *end = std::find(begin, begin + UserRecord::kMaxTextBytes, '\0');
    return QByteArray(begin, end - begin);
}

static bool setTextField(
    std::array<std::uint8_t, UserRecord::kSize> &bytes, int offset, const QByteArray &text)
{
    if (text.size() > UserRecord::kMaxTextBytes || text.contains('\0'))
        return false;
    std::fill_n(bytes.begin() + offset, UserRecord::kTextField, std::uint8_t(0));
    std::memcpy(bytes.data() + offset, text.constData(), size_t(text.size()));
    return true;
}

QByteArray UserRecord::name() const
{
    return textField(m_bytes, kNameOffset);
}
QByteArray UserRecord::password() const
{
    return textField(m_bytes, kPasswordOffset);
}
bool UserRecord::setName(const QByteArray &gbk)
{
    return setTextField(m_bytes, kNameOffset, gbk);
}
bool UserRecord::setPassword(const QByteArray &gbk)
{
    return setTextField(m_bytes, kPasswordOffset, gbk);
}

bool UserRecord::privilege(int number) const
{
    return number >= 1 && number <= kPrivileges && m_bytes[kPrivilegeOffset + number - 1] != 0;
}

void UserRecord::setPrivilege(int number, bool granted)
{
    if (number >= 1 && number <= kPrivileges)
        m_bytes[kPrivilegeOffset + number - 1] = granted ? 1 : 0;
}

bool UserRecord::mayPreview(int channel) const
{
    return channel >= 1 && channel <= kPreviewChannels
        && m_bytes[kPreviewOffset + channel - 1] != 0;
}

void UserRecord::setMayPreview(int channel, bool allowed)
{
    if (channel >= 1 && channel <= kPreviewChannels)
        m_bytes[kPreviewOffset + channel - 1] = allowed ? 1 : 0;
}

UserRecords decodeUsers(const QByteArray &fileBytes)
{
    UserRecords records;
    if (fileBytes.size() % UserRecord::kSize != 0)
        return records;
    records.reserve(size_t(fileBytes.size() / UserRecord::kSize));
    for (qsizetype at = 0; at + UserRecord::kSize <= fileBytes.size(); at += UserRecord::kSize)
        records.push_back(UserRecord::fromBytes(fileBytes.constData() + at, UserRecord::kSize));
    return records;
}

QByteArray encodeUsers(const UserRecords &records)
{
    QByteArray bytes;
    bytes.reserve(qsizetype(records.size()) * UserRecord::kSize);
    for (const UserRecord &record : records)
        bytes += record.toBytes();
    return bytes;
}

UserRecords readUsersFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const qint64 size = file.size();
    if (size % UserRecord::kSize != 0 || size > kMaxUserFileBytes)
        return {};
    // A short read keeps the records that arrived completely.
    QByteArray bytes = file.read(size);
    bytes.truncate(bytes.size() - bytes.size() % UserRecord::kSize);
    return decodeUsers(bytes);
}

bool writeUsersFile(const QString &path, const UserRecords &records)
{
    return !platform::writeFileAtomically(
        path, encodeUsers(records), platform::Durability::Written);
}

int findUserByName(const UserRecords &records, const QByteArray &name)
{
    for (size_t i = 0; i < records.size(); ++i) {
        if (records[i].name() == name)
            return int(i);
    }
    return -1;
}

bool removeUserByName(UserRecords &records, const QByteArray &name)
{
    for (size_t i = records.size(); i-- > 0;) {
        if (records[i].name() == name) {
            records.erase(records.begin() + qsizetype(i));
            return true;
        }
    }
    return false;
}

} // namespace quillon::settings
