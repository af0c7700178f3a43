// The nine settings files, their orders and remote paths, local names matched without regard to
// case, the work folder, per-server backups, and the language identifier of the locale.

#include "platform/platform.h"
#include "settings/backups.h"
#include "settings/settingsfiles.h"
#include "support/sizelimit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace quillon;
using namespace quillon::settings;

class TestSettingsFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void ordersAndNames()
    {
        QStringList downloads;
        for (const SettingsFileInfo &info : settingsFiles())
            downloads << QString::fromLatin1(remotePath(info.file));
        QCOMPARE(downloads,
            QStringList({QStringLiteral("User\\User.she"), QStringLiteral("SysConfig\\SysSet.Ext"),
                QStringLiteral("SysConfig\\TVCard.Ext"), QStringLiteral("SysConfig\\AlarmSet.Ext"),
                QStringLiteral("SysConfig\\AlarmCard.ext"),
                QStringLiteral("SysConfig\\SensorSet.Ext"),
                QStringLiteral("SysConfig\\CameraSet.Ext"), QStringLiteral("SysConfig\\SMSSet.ext"),
                QStringLiteral("SysConfig\\Profile.ext")}));

        QStringList uploads;
        for (SettingsFile file : uploadOrder())
            uploads << QString::fromLatin1(fileInfo(file).name);
        QCOMPARE(uploads,
            QStringList({QStringLiteral("User.she"), QStringLiteral("SysSet.Ext"),
                QStringLiteral("TVCard.Ext"), QStringLiteral("AlarmSet.Ext"),
                QStringLiteral("AlarmCard.ext"), QStringLiteral("SensorSet.Ext"),
                QStringLiteral("CameraSet.Ext"), QStringLiteral("SMSSet.ext")}));
        QVERIFY(!fileInfo(SettingsFile::Profile).uploaded);
    }

    void remotePathsAreTheNineOnly_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("exact") << QByteArray("SysConfig\\TVCard.Ext") << true;
        QTest::newRow("other case") << QByteArray("sysconfig\\tvcard.EXT") << true;
        QTest::newRow("slash") << QByteArray("User/User.she") << true;
        QTest::newRow("profile presets") << QByteArray("SysConfig\\Profile.ext") << true;
        QTest::newRow("wrong folder") << QByteArray("User\\SysSet.Ext") << false;
        QTest::newRow("other file") << QByteArray("SysConfig\\Other.ext") << false;
        QTest::newRow("dot dot") << QByteArray("SysConfig\\..\\User\\User.she") << false;
        QTest::newRow("parent") << QByteArray("..\\User.she") << false;
        QTest::newRow("absolute") << QByteArray("/etc/passwd") << false;
        QTest::newRow("drive") << QByteArray("C:\\SysConfig\\SysSet.Ext") << false;
        QTest::newRow("leading separator") << QByteArray("\\SysConfig\\SysSet.Ext") << false;
        QTest::newRow("trailing NUL") << QByteArray("User\\User.she\0", 14) << false;
        QTest::newRow("empty") << QByteArray() << false;
    }

    void remotePathsAreTheNineOnly()
    {
        QFETCH(QByteArray, path);
        QFETCH(bool, accepted);
        SettingsFile file = SettingsFile::Profile;
        QCOMPARE(fileForRemotePath(path, &file), accepted);
        if (accepted && path.contains("TVCard"))
            QCOMPARE(file, SettingsFile::TVCard);
    }

    void localNamesIgnoreCase()
    {
        QTemporaryDir dir;
        const QString folder = dir.path() + QLatin1Char('/');
        QCOMPARE(localPath(folder, SettingsFile::TVCard), folder + QStringLiteral("TVCard.Ext"));
        QFile file(folder + QStringLiteral("tvcard.ext"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QCOMPARE(localPath(folder, SettingsFile::TVCard), folder + QStringLiteral("tvcard.ext"));
        QCOMPARE(findFileNoCase(folder, QStringLiteral("Tvcard.ext")),
            folder + QStringLiteral("tvcard.ext"));
        QCOMPARE(findFileNoCase(folder, QStringLiteral("ProFile.ext")),
            folder + QStringLiteral("ProFile.ext"));
    }

    // Every spelling of the nine names goes, nothing else does, and a copy that stays is named.
    void localCopiesAreRemovedInEveryCase()
    {
        QTemporaryDir dir;
        const QString folder = dir.path() + QLatin1Char('/');
        const QStringList copies {
            "User.she", "USER.SHE", "sysset.ext", "TVCard.Ext", "profile.EXT"};
        const QStringList others {"User.she.tmp-abc123", "Notes.txt", "SysSet.Ext.bak"};
        for (const QString &name : copies + others) {
            QFile file(folder + name);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QVERIFY(!removeLocalCopies(folder));
        QStringList kept = others;
        kept.sort();
        QCOMPARE(QDir(folder).entryList(QDir::Files, QDir::Name), kept);

        // A folder by a settings file's name cannot be removed as a copy: the visit must stop.
        QVERIFY(QDir(folder).mkdir(QStringLiteral("alarmset.ext")));
        QVERIFY(QDir(folder).mkdir(QStringLiteral("SMSSet.EXT")));
        QVERIFY(removeLocalCopies(folder) == SettingsFile::AlarmSet);
    }

    void workFolder()
    {
        QTemporaryDir dir;
        const QByteArray savedData = qgetenv("XDG_DATA_HOME");
        const QByteArray savedHome = qgetenv("HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath(QStringLiteral("a/b"))));
        const QString expected = dir.filePath(QStringLiteral("a/b/quillon/Temp/"));
        QCOMPARE(workFolderPath(), expected);
        QCOMPARE(ensureWorkFolder(), expected);
        QVERIFY(QFileInfo(expected).isDir());
        QCOMPARE(QFileInfo(expected).permissions()
                & (QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
            QFileDevice::Permissions());
        // A folder that already exists is tightened too: it holds every user's password.
        QVERIFY(QFile::setPermissions(expected,
            QFile::permissions(expected) | QFile::ReadOther | QFile::WriteGroup | QFile::ExeOther));
        QCOMPARE(ensureWorkFolder(), expected);
        QCOMPARE(QFileInfo(expected).permissions()
                & (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther
                    | QFile::WriteOther | QFile::ExeOther),
            QFileDevice::Permissions());

        // A relative data folder is ignored; without any home the executable's folder is used.
        qputenv("XDG_DATA_HOME", "relative");
        qputenv("HOME", QFile::encodeName(dir.path()));
        QCOMPARE(workFolderPath(), dir.filePath(QStringLiteral(".local/share/quillon/Temp/")));
        qunsetenv("XDG_DATA_HOME");
        qunsetenv("HOME");
        QCOMPARE(
            workFolderPath(), QCoreApplication::applicationDirPath() + QStringLiteral("/Temp/"));

        qputenv("XDG_DATA_HOME", savedData);
        qputenv("HOME", savedHome);
    }

    void backupsKeepTheNewestAndReadBack()
    {
        QTemporaryDir dir;
        const QByteArray savedData = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path()));
        const SettingsFileSet files {{SettingsFile::User, QByteArray(112, '\x01')},
            {SettingsFile::SysSet, QByteArray("[SysSet]\r\nMaxRecCount=16\r\n")}};
        QStringList written;
        for (int i = 0; i < kBackupsKept + 2; ++i)
            written.prepend(writeBackup(QStringLiteral("dvr/../x"), 5040, files));
        QVERIFY(!written.contains(QString()));

        // The host cannot name another folder; only the newest are kept, newest first.
        const QString serverFolder = serverBackupsFolder(QStringLiteral("dvr/../x"), 5040);
        QCOMPARE(QFileInfo(QDir::cleanPath(serverFolder)).path(),
            dir.filePath(QStringLiteral("quillon/Backups")));
        QCOMPARE(listBackups(QStringLiteral("dvr/../x"), 5040), written.mid(0, kBackupsKept));
        QCOMPARE(QFileInfo(written.first() + QStringLiteral("User/User.she")).permissions()
                & (QFile::ReadGroup | QFile::ReadOther),
            QFileDevice::Permissions());

        SettingsFileSet read;
        QVERIFY(readSettingsFolder(written.first(), &read));
        QCOMPARE(read, files);
        QString error;
        QVERIFY(!readSettingsFolder(dir.path(), &read, &error));
        QVERIFY(error.contains(QStringLiteral("no settings files")));
        qputenv("XDG_DATA_HOME", savedData);
    }

    // Backups dated ahead of the clock sort after the new one; retention must still keep it.
    void backupJustWrittenSurvivesItsRetention()
    {
        QTemporaryDir dir;
        const QByteArray savedData = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path()));
        const QString serverFolder = serverBackupsFolder(QStringLiteral("dvr"), 5040);
        for (int i = 0; i < kBackupsKept; ++i)
            QVERIFY(QDir().mkpath(serverFolder
                + QStringLiteral("29991231T0000%1.000Z").arg(i, 2, 10, QLatin1Char('0'))));
        const SettingsFileSet files {{SettingsFile::SysSet, QByteArray("[A]\r\nB=1\r\n")}};
        QString error;
        const QString written = writeBackup(QStringLiteral("dvr"), 5040, files, &error);
        QVERIFY2(!written.isEmpty(), qPrintable(error));
        QVERIFY(!checkBackup(written, files));
        const QStringList kept = listBackups(QStringLiteral("dvr"), 5040);
        QCOMPARE(kept.size(), kBackupsKept);
        QVERIFY(kept.contains(written));
        QVERIFY(!kept.contains(serverFolder + QStringLiteral("29991231T000000.000Z/")));

        // A backup that does not hold the files as they were is no backup.
        QVERIFY(QFile::resize(written + QStringLiteral("SysConfig/SysSet.Ext"), 3));
        QVERIFY(checkBackup(written, files));
        qputenv("XDG_DATA_HOME", savedData);
    }

    // On a full disk a backup or a pulled folder fails with a reason, and leaves nothing that
    // looks like a whole backup.
    void fullDiskFailsBackupsAndFolders()
    {
        QTemporaryDir dir;
        const QByteArray savedData = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path()));
        const SettingsFileSet files {{SettingsFile::User, QByteArray(112 * 20, '\x01')},
            {SettingsFile::SysSet, QByteArray(4000, 'x')}};
        QVERIFY(inChildUnderSizeLimit(1000, [&] {
            QString error;
            return writeBackup(QStringLiteral("dvr"), 5040, files, &error).isEmpty()
                && error.contains(QLatin1String("cannot write"));
        }));
        QCOMPARE(listBackups(QStringLiteral("dvr"), 5040), QStringList());
        QCOMPARE(QDir(serverBackupsFolder(QStringLiteral("dvr"), 5040))
                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList());
        const QString pulled = dir.filePath(QStringLiteral("pulled"));
        QVERIFY(inChildUnderSizeLimit(1000, [&] {
            QString error;
            return !writeSettingsFolder(pulled, files, &error)
                && error.contains(QLatin1String("cannot write"));
        }));
        qputenv("XDG_DATA_HOME", savedData);
    }

    void languageIds_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("id");
        QTest::newRow("en_US") << QStringLiteral("en_US.UTF-8") << 1033;
        QTest::newRow("C") << QStringLiteral("C") << 1033;
        QTest::newRow("C.UTF-8") << QStringLiteral("C.UTF-8") << 1033;
        QTest::newRow("POSIX") << QStringLiteral("POSIX") << 1033;
        QTest::newRow("en_GB") << QStringLiteral("en_GB.UTF-8") << 2057;
        QTest::newRow("zh_CN") << QStringLiteral("zh_CN.GBK") << 2052;
        QTest::newRow("zh_TW") << QStringLiteral("zh_TW.UTF-8") << 1028;
        QTest::newRow("de_DE with modifier") << QStringLiteral("de_DE@euro") << 1031;
        QTest::newRow("unknown") << QStringLiteral("xx_YY") << 0;
    }

    void languageIds()
    {
        QFETCH(QString, locale);
        QFETCH(int, id);
        QCOMPARE(platform::langIdForLocale(locale), id);
    }

    void localeVariablesInOrder()
    {
        const QByteArray all = qgetenv("LC_ALL"), messages = qgetenv("LC_MESSAGES"),
                         lang = qgetenv("LANG");
        qunsetenv("LC_ALL");
        qunsetenv("LC_MESSAGES");
        qunsetenv("LANG");
        QCOMPARE(platform::systemDefaultLangId(), 1033);
        qputenv("LANG", "zh_CN.UTF-8");
        QCOMPARE(platform::systemDefaultLangId(), 2052);
        qputenv("LC_MESSAGES", "en_GB.UTF-8");
        QCOMPARE(platform::systemDefaultLangId(), 2057);
        qputenv("LC_ALL", "en_US.UTF-8");
        QCOMPARE(platform::systemDefaultLangId(), 1033);
        qputenv("LC_ALL", all);
        qputenv("LC_MESSAGES", messages);
        qputenv("LANG", lang);
    }
};

QTEST_GUILESS_MAIN(TestSettingsFiles)
#include "tst_settingsfiles.moc"
