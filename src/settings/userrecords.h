#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

namespace quillon::settings {

// One account of the server's user file: 112 bytes, no header, stored in file order.
//   0  32  name, GBK text ended by a zero byte (at most 31 bytes of text)
//  32  32  password, as typed, ended by a zero byte (at most 31 bytes of text)
//  64  12  privileges 1..12, one byte each (1 granted, 0 not)
//  76  36  preview permission for channels 1..36, one byte each
class UserRecord
{
public:
    static constexpr int kSize = 112;
    static constexpr int kTextField = 32;
    static constexpr int kMaxTextBytes = kTextField - 1;
    static constexpr int kPrivileges = 12;
    static constexpr int kPreviewChannels = 36;

    // Privilege numbers as the server uses them (1-based).
    static constexpr int kUserManagement = 1;
    static constexpr int kSystemSettings = 2;

    UserRecord();

    // Decodes one record from exactly kSize bytes; returns a zeroed record for any other size.
    static UserRecord fromBytes(const char *bytes, qsizetype size);
    QByteArray toBytes() const;

    // The text up to the field's terminating zero, never more than 31 bytes.
    QByteArray name() const;
    QByteArray password() const;
    // False (and nothing changed) when the text is longer than 31 bytes or holds a zero byte.
    bool setName(const QByteArray &gbk);
    bool setPassword(const QByteArray &gbk);

    // number: 1..12. Out-of-range numbers read false and are not written.
    bool privilege(int number) const;
    void setPrivilege(int number, bool granted);
    // channel: 1..36.
    bool mayPreview(int channel) const;
    void setMayPreview(int channel, bool allowed);

    bool operator==(const UserRecord &other) const = default;

private:
    std::array<std::uint8_t, kSize> m_bytes {};
};

using UserRecords = std::vector<UserRecord>;

// Decodes a whole user file image. A size that is not a multiple of 112 gives no records.
UserRecords decodeUsers(const QByteArray &fileBytes);
QByteArray encodeUsers(const UserRecords &records);

// Reads the user file. A missing file, or one whose size is not a multiple of 112, gives no
// records; a short read keeps the records read completely before it.
UserRecords readUsersFile(const QString &path);
// Replaces the user file atomically with every record in order. False when it could not be written.
bool writeUsersFile(const QString &path, const UserRecords &records);

// Index of the first record whose name equals the given bytes exactly (case-sensitive), or -1.
int findUserByName(const UserRecords &records, const QByteArray &name);
// Removes the last record whose name equals the given bytes; later records keep their order.
bool removeUserByName(UserRecords &records, const QByteArray &name);

} // namespace quillon::settings
