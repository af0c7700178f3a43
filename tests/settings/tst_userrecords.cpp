// The user file: 112-byte records, nothing read past a record, nothing written past a field.

#include "settings/userrecords.h"
#include "support/userrecord.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace quillon::settings;

namespace {

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

} // namespace

class TestUserRecords : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void recordLayout()
    {
        UserRecord user = userRecord("op", "pw");
        user.setPrivilege(2, true);
        user.setPrivilege(12, true);
        user.setMayPreview(1, true);
        user.setMayPreview(36, true);
        const QByteArray bytes = user.toBytes();
        QCOMPARE(bytes.size(), 112);
        QCOMPARE(bytes.left(3), QByteArray("op\0", 3));
        QCOMPARE(bytes.mid(32, 3), QByteArray("pw\0", 3));
        QCOMPARE(bytes.mid(64, 12), QByteArray("\0\1\0\0\0\0\0\0\0\0\0\1", 12));
        QCOMPARE(bytes[76], '\1');
        QCOMPARE(bytes[111], '\1');
        QCOMPARE(bytes.count('\0'), 112 - 2 - 2 - 4);
        QCOMPARE(UserRecord::fromBytes(bytes.constData(), bytes.size()), user);

        // Numbers outside the ranges neither read nor write anything.
        user.setPrivilege(0, true);
        user.setPrivilege(13, true);
        user.setMayPreview(37, true);
        QCOMPARE(user.toBytes(), bytes);
        QVERIFY(!user.privilege(13));
        QVERIFY(!user.mayPreview(0));
    }

    void textFieldsNeverSpill()
    {
        UserRecord user = userRecord("name", "secret");
        QVERIFY(user.setName(QByteArray(31, 'n')));
        QVERIFY(!user.setName(QByteArray(32, 'x')));
        QVERIFY(!user.setPassword(QByteArray("a\0b", 3)));
        QCOMPARE(user.name(), QByteArray(31, 'n'));
        QCOMPARE(user.password(), QByteArray("secret"));

        // A stored field with no terminator reads its first 31 bytes, never the next field.
        QByteArray raw(112, '\0');
        raw.replace(0, 32, QByteArray(32, 'A'));
        raw.replace(32, 32, QByteArray(32, 'B'));
        const UserRecord unterminated = UserRecord::fromBytes(raw.constData(), raw.size());
        QCOMPARE(unterminated.name(), QByteArray(31, 'A'));
        QCOMPARE(unterminated.password(), QByteArray(31, 'B'));
        // Garbage after a terminator carries no meaning.
        raw.replace(0, 4, QByteArray("ab\0z", 4));
        QCOMPARE(UserRecord::fromBytes(raw.constData(), raw.size()).name(), QByteArray("ab"));
        // Only whole records decode.
        QCOMPARE(UserRecord::fromBytes(raw.constData(), 111), UserRecord());
    }

    void fileSizes_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("users");
        QTest::newRow("empty") << 0 << 0;
        QTest::newRow("224 bytes") << 224 << 2;
        QTest::newRow("225 bytes") << 225 << 0;
        QTest::newRow("111 bytes") << 111 << 0;
        QTest::newRow("112 bytes") << 112 << 1;
    }

    void fileSizes()
    {
        QFETCH(int, size);
        QFETCH(int, users);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("User.she"));
        QByteArray bytes(size, '\0');
        for (int i = 0; i < size; i += 112)
            bytes[i] = char('a' + i / 112);
        writeBytes(path, bytes);
        const UserRecords records = readUsersFile(path);
        QCOMPARE(int(records.size()), users);
        if (users == 2)
            QCOMPARE(records[1].name(), QByteArray("b"));
    }

    void missingFileHasNoUsers()
    {
        QTemporaryDir dir;
        QVERIFY(readUsersFile(dir.filePath(QStringLiteral("User.she"))).empty());
    }

    void writeAndReadBack()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("User.she"));
        UserRecords records {
            userRecord("\xD6\xB5\xB0\xE0", "1"), userRecord("b", " "), userRecord("c", "")};
        QVERIFY(writeUsersFile(path, records));
        QCOMPARE(QFile(path).size(), 336);
        QCOMPARE(readUsersFile(path), records);
        QVERIFY(writeUsersFile(path, {}));
        QCOMPARE(QFile(path).size(), 0);
        QVERIFY(!writeUsersFile(dir.filePath(QStringLiteral("missing/User.she")), records));
    }

    void findAndRemoveByName()
    {
        UserRecords records {userRecord("Ann", "1"), userRecord("bob", "2"), userRecord("ann", "3"),
            userRecord("bob", "4"), userRecord("cy", "5")};
        QCOMPARE(findUserByName(records, "ann"), 2); // exact, case-sensitive
        QCOMPARE(findUserByName(records, "bob"), 1); // the first of two
        QCOMPARE(findUserByName(records, "ANN"), -1);
        QCOMPARE(findUserByName(records, ""), -1);

        QVERIFY(removeUserByName(records, "bob")); // the last of two goes
        QCOMPARE(records.size(), size_t(4));
        QCOMPARE(records[1].password(), QByteArray("2"));
        QCOMPARE(records[3].name(), QByteArray("cy"));
        QVERIFY(!removeUserByName(records, "nobody"));
        QCOMPARE(records.size(), size_t(4));
    }
};

QTEST_GUILESS_MAIN(TestUserRecords)
#include "tst_userrecords.moc"
