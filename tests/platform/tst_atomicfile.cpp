#include "platform/atomicfile.h"
#include "support/sizelimit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace quillon::platform;

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<absent>");
}

mode_t modeOf(const QString &path)
{
    struct stat info = {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// A write in a child process whose files may not grow beyond limit bytes, as on a full disk;
// true when both kinds of write reported success.
bool writeUnderSizeLimit(const QString &path, const QByteArray &bytes, rlim_t limit)
{
    return inChildUnderSizeLimit(limit, [&] {
        return !writeFileAtomically(path, bytes, Durability::Written)
            && !writeFileAtomically(path, bytes, Durability::Synced);
    });
}

} // namespace

class TestAtomicFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void replacesWholeAndKeepsTheOldMode()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("User.she"));
        QVERIFY(!writeFileAtomically(path, "first", Durability::Synced));
        QCOMPARE(modeOf(path), mode_t(0600));
        QVERIFY(
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        QVERIFY(!writeFileAtomically(path, "second", Durability::Written));
        QCOMPARE(contents(path), QByteArray("second"));
        QCOMPARE(modeOf(path), mode_t(0640));
        QVERIFY(!writeFileAtomically(path, "third", Durability::Written, 0600));
        QCOMPARE(modeOf(path), mode_t(0600));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList {QStringLiteral("User.she")});
    }

    void aWriteThatDoesNotFitFailsAndLeavesTheOldFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("SysSet.Ext"));
        QVERIFY(!writeFileAtomically(path, "old", Durability::Synced));
        // 560 bytes against a 100-byte limit: the buffered writer's trap, a small file on a full
        // disk.
        QVERIFY(!writeUnderSizeLimit(path, QByteArray(560, 'x'), 100));
        QCOMPARE(contents(path), QByteArray("old"));
        QCOMPARE(
            QDir(dir.path()).entryList(QDir::Files), QStringList {QStringLiteral("SysSet.Ext")});
        QVERIFY(writeUnderSizeLimit(path, QByteArray(60, 'y'), 100));
        QCOMPARE(contents(path), QByteArray(60, 'y'));
    }

    void aMissingFolderIsReported()
    {
        QTemporaryDir dir;
        const std::optional<QString> failure = writeFileAtomically(
            dir.filePath(QStringLiteral("absent/User.she")), "x", Durability::Written);
        QVERIFY(failure && !failure->isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestAtomicFile)
#include "tst_atomicfile.moc"
