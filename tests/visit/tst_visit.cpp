// Whole visits through ShowSetupForm against dvrd on loopback: the login outcomes and their
// messages in both languages, the nine downloads, OK's eight uploads and apply command, and
// Cancel and the close box leaving the server untouched.

#include "support/widgetdriver.h"
#include "support/dvrdprocess.h"

#include "settings/settingsfiles.h"
#include "visit/entry.h"
#include "visit/hostvisit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <dlfcn.h>
#include <functional>
#include <memory>

using namespace quillon;

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void appendTo(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::Append));
    file.write(bytes);
}

QString serverPath(const QString &root, const settings::SettingsFileInfo &info)
{
    return root + QLatin1Char('/') + QString::fromLatin1(settings::remotePath(info.file)).replace(QLatin1Char('\\'), QLatin1Char('/'));
}


QStringList transfers(const DvrdProcess &server, const QString &kind)
{
    QStringList names;
    const QRegularExpression pattern(QStringLiteral("\\b%1 (\\S+) bytes=").arg(kind));
    for (const QString &line : server.logLines()) {
        const QRegularExpressionMatch match = pattern.match(line);
        if (match.hasMatch())
            names << match.captured(1);
    }
    return names;
}

QStringList remotePaths(bool uploadedOnly)
{
    QStringList paths;
    if (uploadedOnly) {
        for (settings::SettingsFile file : settings::uploadOrder())
            paths << QString::fromLatin1(settings::remotePath(file));
    } else {
        for (const settings::SettingsFileInfo &info : settings::settingsFiles())
            paths << QString::fromLatin1(settings::remotePath(info.file));
    }
    return paths;
}

} // namespace

class TestVisit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_data.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_data.path()));
        qputenv("LC_ALL", "en_US.UTF-8");
        m_workFolder = settings::workFolderPath();
    }

    void init()
    {
        QDir(m_data.path()).removeRecursively();
        m_root = std::make_unique<QTemporaryDir>();
        QVERIFY(makeServerRoot(m_root->path(), QStringLiteral(QUILLON_SAMPLES_DIR)));
        m_server = std::make_unique<DvrdProcess>();
        QVERIFY(m_server->start(m_root->path(), QStringLiteral("admin"), QStringLiteral("admin")));
    }

    void cleanup()
    {
        m_server.reset();
        qputenv("LC_ALL", "en_US.UTF-8");
    }

    void portCodes_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("port");
        QTest::newRow("0") << 0 << 5040;
        QTest::newRow("10") << 10 << 5040;
        QTest::newRow("negative") << -7 << 5040;
        QTest::newRow("11") << 11 << 1;
        QTest::newRow("5050") << 5050 << 5040;
        QTest::newRow("5060") << 5060 << 5050;
    }

    void portCodes()
    {
        QFETCH(int, code);
        QFETCH(int, port);
        QCOMPARE(visit::portFromCode(code), port);
    }

    void loginFailures_data()
    {
        QTest::addColumn<QByteArray>("locale");
        QTest::addColumn<QByteArray>("user");
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<bool>("serverUp");
        QTest::addColumn<QString>("message");
        const QString en12 = QStringLiteral("Login Remote Host: 127.0.0.1 Failed");
        const QString zh12 = QString::fromUtf8("登陆失败！请确认用户名与密码的正确性。");
        const QString zh3 = QString::fromUtf8("登陆失败！该用户不允许远程配置。");
        QTest::newRow("unknown user, English") << QByteArray("en_US.UTF-8") << QByteArray("nobody") << QByteArray("x") << true << en12;
        QTest::newRow("unknown user, Chinese") << QByteArray("zh_CN.UTF-8") << QByteArray("nobody") << QByteArray("x") << true << zh12;
        QTest::newRow("wrong password, English") << QByteArray("en_US.UTF-8") << QByteArray("admin") << QByteArray("nimda") << true << en12;
        QTest::newRow("wrong password, UK English is Chinese") << QByteArray("en_GB.UTF-8") << QByteArray("operator") << QByteArray("x") << true << zh12;
        QTest::newRow("not allowed, English") << QByteArray("en_US.UTF-8") << QByteArray("guest") << QByteArray("guest") << true << en12;
        QTest::newRow("not allowed, Chinese") << QByteArray("zh_CN.UTF-8") << QByteArray("guest") << QByteArray("guest") << true << zh3;
        QTest::newRow("no server, English") << QByteArray("C") << QByteArray("admin") << QByteArray("admin") << false
                                            << QStringLiteral("Can not Connect Remote Host: 127.0.0.1");
        QTest::newRow("no server, Chinese") << QByteArray("zh_TW.UTF-8") << QByteArray("admin") << QByteArray("admin") << false
                                            << QString::fromUtf8("不能连接到远程计算机: 127.0.0.1");
    }

    void loginFailures()
    {
        QFETCH(QByteArray, locale);
        QFETCH(QByteArray, user);
        QFETCH(QByteArray, password);
        QFETCH(bool, serverUp);
        QFETCH(QString, message);
        qputenv("LC_ALL", locale);
        int port = m_server->port();
        if (!serverUp) {
            m_server->stop();
            QTcpServer probe; // a port where nothing listens
            QVERIFY(probe.listen(QHostAddress::LocalHost));
            port = probe.serverPort();
        }

        QString shownText, shownTitle;
        QMessageBox::Icon shownIcon = QMessageBox::Warning;
        whenShown(QStringLiteral("LoginFailureBox"), [&](QWidget *widget) {
            auto *box = qobject_cast<QMessageBox *>(widget);
            shownText = box->text();
            shownTitle = box->windowTitle();
            shownIcon = box->icon();
            box->button(QMessageBox::Ok)->click();
        });
        QCOMPARE(ShowSetupForm("127.0.0.1", 0, user.constData(), password.constData(), port + 10), 0);
        QCOMPARE(shownText, message);
        QCOMPARE(shownTitle, QStringLiteral("Quillon"));
        QCOMPARE(shownIcon, QMessageBox::NoIcon);
        // The window's creation made the work folder; nothing was transferred into it.
        QVERIFY(QDir(m_workFolder).exists());
        QCOMPARE(QDir(m_workFolder).entryList(QDir::Files), QStringList());
        if (serverUp)
            QCOMPARE(transfers(*m_server, QStringLiteral("download")), QStringList());
    }

    void okUploadsEightFilesAndApplies()
    {
        QStringList localFilesWhenShown;
        whenShown(QStringLiteral("SysSetForm"), [&](QWidget *form) {
            // The nine files arrived whole; edit every local copy, then press OK.
            for (const settings::SettingsFileInfo &info : settings::settingsFiles()) {
                const QString local = settings::localPath(m_workFolder, info.file);
                if (fileBytes(local) == fileBytes(serverPath(m_root->path(), info)))
                    localFilesWhenShown << QString::fromLatin1(info.name);
                appendTo(local, info.file == settings::SettingsFile::User
                                    ? QByteArray(112, 'u') : QByteArray("[Edited]\r\nBy=test\r\n"));
            }
            form->findChild<QAbstractButton *>(QStringLiteral("BitBtn1"))->click();
        });
        const QByteArray presets = fileBytes(m_root->filePath(QStringLiteral("SysConfig/Profile.ext")));

        QCOMPARE(ShowSetupForm("127.0.0.1", 0, "admin", "admin", m_server->port() + 10), -1);

        QCOMPARE(localFilesWhenShown.size(), 9);
        QCOMPARE(transfers(*m_server, QStringLiteral("download")), remotePaths(false));
        QCOMPARE(transfers(*m_server, QStringLiteral("upload")), remotePaths(true));
        for (const settings::SettingsFileInfo &info : settings::settingsFiles()) {
            if (info.uploaded)
                QCOMPARE(fileBytes(serverPath(m_root->path(), info)),
                         fileBytes(settings::localPath(m_workFolder, info.file)));
        }
        QCOMPARE(fileBytes(m_root->filePath(QStringLiteral("SysConfig/Profile.ext"))), presets);
        const QList<QByteArray> applies = fileBytes(m_root->filePath(QStringLiteral("apply.log"))).trimmed().split('\n');
        QCOMPARE(applies.size(), 1);
        QVERIFY2(applies.first().contains("admin") && applies.first().contains("1"), applies.first());
    }

    void cancelAndCloseBoxUploadNothing_data()
    {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("Cancel") << false;
        QTest::newRow("close box") << true;
    }

    void cancelAndCloseBoxUploadNothing()
    {
        QFETCH(bool, closeBox);
        whenShown(QStringLiteral("SysSetForm"), [&](QWidget *form) {
            appendTo(settings::localPath(m_workFolder, settings::SettingsFile::SysSet), "[Edited]\r\n");
            if (closeBox)
                form->close();
            else
                form->findChild<QAbstractButton *>(QStringLiteral("BitBtn2"))->click();
        });
        QCOMPARE(ShowSetupForm("127.0.0.1", 0, "operator", "op2024", m_server->port() + 10), -1);
        QCOMPARE(transfers(*m_server, QStringLiteral("upload")), QStringList());
        QCOMPARE(fileBytes(m_root->filePath(QStringLiteral("SysConfig/SysSet.Ext"))),
                 fileBytes(QStringLiteral(QUILLON_SAMPLES_DIR "/SysConfig/SysSet.Ext")));
        QVERIFY(!QFile::exists(m_root->filePath(QStringLiteral("apply.log"))));
    }

    // A file the server cannot deliver leaves the earlier visit's local copy in place.
    void undeliveredFileKeepsEarlierCopy()
    {
        QVERIFY(QDir().mkpath(m_workFolder));
        const QString earlier = m_workFolder + QStringLiteral("tvcard.ext");
        appendTo(earlier, "[ENCODER0]\r\nCameraName=earlier\r\n");
        QVERIFY(QFile::remove(m_root->filePath(QStringLiteral("SysConfig/TVCard.Ext"))));
        bool shown = false;
        whenShown(QStringLiteral("SysSetForm"), [&](QWidget *form) {
            shown = true;
            form->close();
        });
        QCOMPARE(ShowSetupForm("127.0.0.1", 0, "admin", "admin", m_server->port() + 10), -1);
        QVERIFY(shown);
        QCOMPARE(fileBytes(earlier), QByteArray("[ENCODER0]\r\nCameraName=earlier\r\n"));
        QVERIFY(!QFile::exists(m_workFolder + QStringLiteral("TVCard.Ext")));
        QCOMPARE(fileBytes(m_workFolder + QStringLiteral("SysSet.Ext")),
                 fileBytes(QStringLiteral(QUILLON_SAMPLES_DIR "/SysConfig/SysSet.Ext")));
    }

    // The module as a client loads it: the one export, found by name in the shared library.
    void exportedFromTheLibrary()
    {
        const QByteArray library = qgetenv("QUILLON_LIB_DIR") + "/libQuillon.so";
        void *handle = dlopen(library.constData(), RTLD_NOW | RTLD_LOCAL);
        QVERIFY2(handle, dlerror());
        using Entry = std::int32_t (*)(const char *, std::uintptr_t, const char *, const char *, std::int32_t);
        auto entry = reinterpret_cast<Entry>(dlsym(handle, "ShowSetupForm"));
        QVERIFY(entry);
        QVERIFY(!dlsym(handle, "_ZN7quillon5visit12portFromCodeEi")); // internals stay hidden
        whenShown(QStringLiteral("SysSetForm"), [](QWidget *form) { form->close(); });
        QCOMPARE(entry("127.0.0.1", 0, "admin", "admin", m_server->port() + 10), -1);
        dlclose(handle);
    }

private:
    QTemporaryDir m_data;
    QString m_workFolder;
    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<DvrdProcess> m_server;
};

QTEST_MAIN(TestVisit)
#include "tst_visit.moc"
