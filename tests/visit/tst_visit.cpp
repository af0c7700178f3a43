// Whole visits through ShowSetupForm against dvrd on loopback: the login outcomes and their
// messages in both languages, the nine downloads, OK's eight uploads and apply command, and
// Cancel and the close box leaving the server untouched.

#include "support/dvrdprocess.h"
#include "support/modalscript.h"

#include "hostlink/wire.h"
#include "settings/backups.h"
#include "settings/settingsfiles.h"
#include "visit/entry.h"
#include "visit/hostvisit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <dlfcn.h>
#include <functional>
#include <memory>

using namespace quillon;

namespace {

// What answers on the visited host and port in the login failure cases.
constexpr int kServerUp = 0;
constexpr int kServerDown = 1;
constexpr int kOtherIdentity = 2; // a server other than the one pinned for that host and port
constexpr int kKnownHostsTooLarge = 3; // no pin can be checked
constexpr int kKnownHostsUnwritable = 4; // the first pin cannot be stored

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
    return root + QLatin1Char('/')
        + QString::fromLatin1(settings::remotePath(info.file))
              .replace(QLatin1Char('\\'), QLatin1Char('/'));
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
        QTest::addColumn<int>("server");
        QTest::addColumn<QString>("message");
        const QString en12 = QStringLiteral("Login Remote Host: 127.0.0.1 Failed");
        const QString zh12 = QString::fromUtf8("登陆失败！请确认用户名与密码的正确性。");
        const QString zh3 = QString::fromUtf8("登陆失败！该用户不允许远程配置。");
        QTest::newRow("unknown user, English") << QByteArray("en_US.UTF-8") << QByteArray("nobody")
                                               << QByteArray("x") << kServerUp << en12;
        QTest::newRow("unknown user, Chinese") << QByteArray("zh_CN.UTF-8") << QByteArray("nobody")
                                               << QByteArray("x") << kServerUp << zh12;
        QTest::newRow("wrong password, English") << QByteArray("en_US.UTF-8") << QByteArray("admin")
                                                 << QByteArray("nimda") << kServerUp << en12;
        QTest::newRow("wrong password, UK English is Chinese")
            << QByteArray("en_GB.UTF-8") << QByteArray("operator") << QByteArray("x") << kServerUp
            << zh12;
        QTest::newRow("not allowed, English") << QByteArray("en_US.UTF-8") << QByteArray("guest")
                                              << QByteArray("guest") << kServerUp << en12;
        QTest::newRow("not allowed, Chinese") << QByteArray("zh_CN.UTF-8") << QByteArray("guest")
                                              << QByteArray("guest") << kServerUp << zh3;
        QTest::newRow("no server, English")
            << QByteArray("C") << QByteArray("admin") << QByteArray("admin") << kServerDown
            << QStringLiteral("Can not Connect Remote Host: 127.0.0.1");
        QTest::newRow("no server, Chinese")
            << QByteArray("zh_TW.UTF-8") << QByteArray("admin") << QByteArray("admin")
            << kServerDown << QString::fromUtf8("不能连接到远程计算机: 127.0.0.1");
        QTest::newRow("other identity, English")
            << QByteArray("en_US.UTF-8") << QByteArray("admin") << QByteArray("admin")
            << kOtherIdentity
            << QStringLiteral("The identity of Remote Host: 127.0.0.1 has changed; not connected");
        QTest::newRow("other identity, Chinese")
            << QByteArray("zh_CN.UTF-8") << QByteArray("admin") << QByteArray("admin")
            << kOtherIdentity
            << QString::fromUtf8("远程计算机 127.0.0.1 的身份已改变，已拒绝连接。");
        QTest::newRow("known hosts too large")
            << QByteArray("en_US.UTF-8") << QByteArray("admin") << QByteArray("admin")
            << kKnownHostsTooLarge
            << QStringLiteral("Can not read the known hosts file %1, so the identity of Remote "
                              "Host: 127.0.0.1 can not be checked; not connected")
                   .arg(m_data.filePath(QStringLiteral("quillon/known_hosts")));
        QTest::newRow("known hosts unwritable")
            << QByteArray("en_US.UTF-8") << QByteArray("admin") << QByteArray("admin")
            << kKnownHostsUnwritable
            << QStringLiteral("Can not store the identity of Remote Host: 127.0.0.1 in the known "
                              "hosts file %1, so it could not be checked later; not connected")
                   .arg(m_data.filePath(QStringLiteral("file/known_hosts")));
    }

    void loginFailures()
    {
        QFETCH(QByteArray, locale);
        QFETCH(QByteArray, user);
        QFETCH(QByteArray, password);
        QFETCH(int, server);
        QFETCH(QString, message);
        qputenv("LC_ALL", locale);
        int port = m_server->port();
        if (server == kOtherIdentity) {
            // The pin of an earlier server on this host and port: the one answering now differs.
            QVERIFY(QDir().mkpath(m_data.filePath(QStringLiteral("quillon"))));
            appendTo(m_data.filePath(QStringLiteral("quillon/known_hosts")),
                "127.0.0.1:" + QByteArray::number(port) + ' ' + QByteArray(64, 'a') + '\n');
        }
        if (server == kKnownHostsTooLarge) {
            QVERIFY(QDir().mkpath(m_data.filePath(QStringLiteral("quillon"))));
            appendTo(m_data.filePath(QStringLiteral("quillon/known_hosts")),
                QByteArray(1024 * 1024 + 1, '#'));
        }
        if (server == kKnownHostsUnwritable) {
            QVERIFY(QDir().mkpath(m_data.path()));
            appendTo(m_data.filePath(QStringLiteral("file")), "not a folder");
            qputenv("QUILLON_KNOWN_HOSTS",
                QFile::encodeName(m_data.filePath(QStringLiteral("file/known_hosts"))));
        }
        const auto restoreKnownHosts = qScopeGuard([] { qunsetenv("QUILLON_KNOWN_HOSTS"); });
        if (server == kServerDown) {
            m_server->stop();
            QTcpServer probe; // a port where nothing listens
            QVERIFY(probe.listen(QHostAddress::LocalHost));
            port = probe.serverPort();
        }

        QString shownText, shownTitle;
        QMessageBox::Icon shownIcon = QMessageBox::Warning;
        ModalScript script;
        script.waitFor(QStringLiteral("LoginFailureBox"))
            .answer(QMessageBox::Ok, &shownTitle, &shownText, &shownIcon);
        QCOMPARE(
            ShowSetupForm("127.0.0.1", 0, user.constData(), password.constData(), port + 10), 0);
        QVERIFY(script.finished());
        QCOMPARE(shownText, message);
        QCOMPARE(shownTitle, QStringLiteral("Quillon"));
        QCOMPARE(shownIcon, QMessageBox::NoIcon);
        // The window's creation made the work folder; nothing was transferred into it.
        QVERIFY(QDir(m_workFolder).exists());
        QCOMPARE(QDir(m_workFolder).entryList(QDir::Files), QStringList());
        if (server != kServerDown)
            QCOMPARE(transfers(*m_server, QStringLiteral("download")), QStringList());
    }

    void okUploadsEightFilesAndApplies()
    {
        QStringList localFilesWhenShown;
        QElapsedTimer clock;
        qint64 shownMs = -1;
        ModalScript script;
        script.waitFor(QStringLiteral("SysSetForm")).then([&](QWidget *form) {
            shownMs = clock.elapsed();
            // The nine files arrived whole; edit every local copy, then press OK.
            for (const settings::SettingsFileInfo &info : settings::settingsFiles()) {
                const QString local = settings::localPath(m_workFolder, info.file);
                if (fileBytes(local) == fileBytes(serverPath(m_root->path(), info)))
                    localFilesWhenShown << QString::fromLatin1(info.name);
                appendTo(local,
                    info.file == settings::SettingsFile::User
                        ? QByteArray(112, 'u')
                        : QByteArray("[Edited]\r\nBy=test\r\n"));
            }
            form->findChild<QAbstractButton *>(QStringLiteral("BitBtn1"))->click();
        });
        const QByteArray presets
            = fileBytes(m_root->filePath(QStringLiteral("SysConfig/Profile.ext")));

        clock.start();
        QCOMPARE(ShowSetupForm("127.0.0.1", 0, "admin", "admin", m_server->port() + 10), -1);

        // Work done inside the pauses leaves each of them whole.
        QVERIFY(shownMs >= qint64(settings::settingsFiles().size()) * visit::kTransferPauseMs);
        QCOMPARE(localFilesWhenShown.size(), 9);
        QCOMPARE(transfers(*m_server, QStringLiteral("download")), remotePaths(false));
        QCOMPARE(transfers(*m_server, QStringLiteral("upload")), remotePaths(true));
        for (const settings::SettingsFileInfo &info : settings::settingsFiles()) {
            if (info.uploaded)
                QCOMPARE(fileBytes(serverPath(m_root->path(), info)),
                    fileBytes(settings::localPath(m_workFolder, info.file)));
        }
        QCOMPARE(fileBytes(m_root->filePath(QStringLiteral("SysConfig/Profile.ext"))), presets);
        QCOMPARE(m_server->countLog(QRegularExpression(QStringLiteral("\\brefused\\b"))), 0);
        const QList<QByteArray> applies
            = fileBytes(m_root->filePath(QStringLiteral("apply.log"))).trimmed().split('\n');
        QCOMPARE(applies.size(), 1);
        QVERIFY2(applies.first().contains(" generation=1 user=admin"), applies.first());
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
        ModalScript script;
        script.waitFor(QStringLiteral("SysSetForm")).then([&](QWidget *form) {
            appendTo(
                settings::localPath(m_workFolder, settings::SettingsFile::SysSet), "[Edited]\r\n");
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

    // Files that do not all arrive never reach a window: the visit stops at the first failed
    // download with one message, and nothing left from an earlier visit to another server
    // remains to be read or uploaded as this server's.
    void failedDownloadStopsTheVisit_data()
    {
        QTest::addColumn<QByteArray>("locale");
        QTest::addColumn<QString>("message");
        QTest::newRow("English")
            << QByteArray("en_US.UTF-8")
            << QStringLiteral("Can not download SysConfig\\TVCard.Ext from Remote Host: 127.0.0.1 "
                              "(the server refused the request).");
        QTest::newRow("Chinese") << QByteArray("zh_CN.UTF-8")
                                 << QString::fromUtf8(
                                        "不能从远程计算机 127.0.0.1 下载文件 "
                                        "SysConfig\\TVCard.Ext（服务器拒绝了请求）。");
    }

    void failedDownloadStopsTheVisit()
    {
        QFETCH(QByteArray, locale);
        QFETCH(QString, message);
        QTemporaryDir rootA;
        QVERIFY(makeServerRoot(rootA.path(), QStringLiteral(QUILLON_SAMPLES_DIR)));
        appendTo(rootA.filePath(QStringLiteral("SysConfig/TVCard.Ext")), "[FromA]\r\nA=1\r\n");
        DvrdProcess serverA;
        QVERIFY(serverA.start(rootA.path(), QStringLiteral("admin"), QStringLiteral("admin")));
        ModalScript closeWindow;
        closeWindow.waitFor(QStringLiteral("SysSetForm")).then([](QWidget *form) {
            form->close();
        });
        QCOMPARE(ShowSetupForm("127.0.0.1", 0, "admin", "admin", serverA.port() + 10), -1);
        QVERIFY(fileBytes(m_workFolder + QStringLiteral("TVCard.Ext")).contains("[FromA]"));

        // Server B's copy is over the transfer cap, so B cannot deliver it.
        const QString tvCardB = m_root->filePath(QStringLiteral("SysConfig/TVCard.Ext"));
        appendTo(tvCardB, QByteArray(5 * 1024 * 1024, ';'));
        const QByteArray storedB = fileBytes(tvCardB);
        qputenv("LC_ALL", locale);
        QString shownText;
        bool windowShown = false;
        ModalScript script;
        script.waitFor(QStringLiteral("DownloadFailureBox")).then([&](QWidget *widget) {
            auto *box = qobject_cast<QMessageBox *>(widget);
            shownText = box->text();
            windowShown = QApplication::activeModalWidget() != box
                && QApplication::activeModalWidget() != nullptr;
            box->button(QMessageBox::Ok)->click();
        });
        QCOMPARE(ShowSetupForm("127.0.0.1", 0, "admin", "admin", m_server->port() + 10), 0);
        QCOMPARE(shownText, message);
        QVERIFY(!windowShown);
        QVERIFY(!QFile::exists(settings::localPath(m_workFolder, settings::SettingsFile::TVCard)));
        // The visit stopped at the failed file: nothing after it was fetched.
        QCOMPARE(transfers(*m_server, QStringLiteral("download")), remotePaths(false).mid(0, 2));
        QCOMPARE(fileBytes(tvCardB), storedB);
        QVERIFY(!QFile::exists(m_root->filePath(QStringLiteral("apply.log"))));
    }

    // A file the server does not have: the earlier local copy is gone, the pages show their
    // defaults, and OK does not upload a file the window never wrote.
    void missingServerFileIsNotUploaded()
    {
        QVERIFY(QDir().mkpath(m_workFolder));
        const QString earlier = m_workFolder + QStringLiteral("tvcard.ext");
        appendTo(earlier, "[ENCODER0]\r\nCameraName=earlier\r\n");
        QVERIFY(QFile::remove(m_root->filePath(QStringLiteral("SysConfig/TVCard.Ext"))));
        bool earlierSeen = true;
        ModalScript script;
        script.waitFor(QStringLiteral("SysSetForm")).then([&](QWidget *form) {
            earlierSeen = QFile::exists(earlier)
                || QFile::exists(settings::localPath(m_workFolder, settings::SettingsFile::TVCard));
            form->findChild<QAbstractButton *>(QStringLiteral("BitBtn1"))->click();
        });
        QCOMPARE(ShowSetupForm("127.0.0.1", 0, "admin", "admin", m_server->port() + 10), -1);
        QVERIFY(!earlierSeen);
        QStringList uploaded = remotePaths(true);
        uploaded.removeAll(QStringLiteral("SysConfig\\TVCard.Ext"));
        QCOMPARE(transfers(*m_server, QStringLiteral("upload")), uploaded);
        QVERIFY(!QFile::exists(m_root->filePath(QStringLiteral("SysConfig/TVCard.Ext"))));
        QCOMPARE(m_server->countLog(QRegularExpression(QStringLiteral("apply generation=1 "))), 1);
    }

    // OK that cannot finish says so, sends no apply after a failed upload, and leaves the
    // window open with the edits, so that OK can be pressed again.
    void failedOkKeepsTheWindowOpen_data()
    {
        QTest::addColumn<bool>("serverStopped");
        QTest::addColumn<QString>("messageStart");
        QTest::newRow("server gone") << true
                                     << QStringLiteral("Can not upload User\\User.she to Remote "
                                                       "Host: 127.0.0.1 (the connection failed");
        QTest::newRow("upload refused, then OK again")
            << false
            << QStringLiteral(
                   "Can not upload User\\User.she to Remote Host: 127.0.0.1 (the server refused");
    }

    void failedOkKeepsTheWindowOpen()
    {
        QFETCH(bool, serverStopped);
        QFETCH(QString, messageStart);
        const QString userFile = settings::localPath(m_workFolder, settings::SettingsFile::User);
        QString shownText;
        bool buttonsEnabled = false;
        QByteArray localAfterFailure;
        ModalScript script;
        script.waitFor(QStringLiteral("SysSetForm")).then([&](QWidget *form) {
            // Not a whole number of user records: the server refuses it.
            appendTo(userFile, "partial");
            if (serverStopped)
                m_server->stop();
            script.waitFor(QStringLiteral("FailureBox"))
                .answer(QMessageBox::Ok, nullptr, &shownText)
                .then([&, form](QWidget *window) {
                    auto *ok = window->findChild<QAbstractButton *>(QStringLiteral("BitBtn1"));
                    auto *cancel = window->findChild<QAbstractButton *>(QStringLiteral("BitBtn2"));
                    buttonsEnabled = window == form && ok->isEnabled() && cancel->isEnabled();
                    localAfterFailure = fileBytes(userFile);
                    if (serverStopped) {
                        cancel->click();
                        return;
                    }
                    QFile::resize(userFile, QFileInfo(userFile).size() - 7);
                    ok->click();
                });
            form->findChild<QAbstractButton *>(QStringLiteral("BitBtn1"))->click();
        });
        QCOMPARE(ShowSetupForm("127.0.0.1", 0, "admin", "admin", m_server->port() + 10), -1);
        QVERIFY2(shownText.startsWith(messageStart), qPrintable(shownText));
        QVERIFY(buttonsEnabled);
        QVERIFY(localAfterFailure.endsWith("partial"));
        // One backup, of the files as the server had them, however often OK was pressed.
        const QStringList backups
            = settings::listBackups(QStringLiteral("127.0.0.1"), m_server->port());
        QCOMPARE(backups.size(), 1);
        settings::SettingsFileSet backedUp;
        QVERIFY(settings::readSettingsFolder(backups.first(), &backedUp));
        QCOMPARE(backedUp.value(settings::SettingsFile::User),
            fileBytes(QStringLiteral(QUILLON_SAMPLES_DIR "/User/User.she")));
        const QByteArray applies = fileBytes(m_root->filePath(QStringLiteral("apply.log")));
        if (serverStopped) {
            QCOMPARE(applies, QByteArray("<missing>"));
        } else {
            QCOMPARE(applies.count("generation="), 1);
            QCOMPARE(fileBytes(m_root->filePath(QStringLiteral("User/User.she"))),
                fileBytes(QStringLiteral(QUILLON_SAMPLES_DIR "/User/User.she")));
        }
    }

    // A server restarted while the window is open has forgotten the visit's session: OK logs
    // in again once with the visit's user and password and goes through. Only when that login
    // fails does the window say so, and it stays open.
    void okAfterServerRestartLogsInAgain_data()
    {
        QTest::addColumn<QString>("passwordAfterRestart");
        QTest::addColumn<QString>("messageStart");
        QTest::newRow("same password") << QStringLiteral("admin") << QString();
        QTest::newRow("password changed meanwhile")
            << QStringLiteral("changed")
            << QStringLiteral("Can not upload User\\User.she to Remote Host: 127.0.0.1 (the server "
                              "no longer knew this login and logging in again failed)");
    }

    void okAfterServerRestartLogsInAgain()
    {
        QFETCH(QString, passwordAfterRestart);
        QFETCH(QString, messageStart);
        const quint16 port = m_server->port();
        QString shownText;
        ModalScript script;
        script.waitFor(QStringLiteral("SysSetForm")).then([&](QWidget *form) {
            m_server->stop();
            m_server = std::make_unique<DvrdProcess>();
            QVERIFY(m_server->start(m_root->path(), QStringLiteral("admin"), passwordAfterRestart,
                {QStringLiteral("--port"), QString::number(port)}));
            if (!messageStart.isEmpty()) {
                script.waitFor(QStringLiteral("FailureBox"))
                    .answer(QMessageBox::Ok, nullptr, &shownText)
                    .then([](QWidget *window) {
                        window->findChild<QAbstractButton *>(QStringLiteral("BitBtn2"))->click();
                    });
            }
            form->findChild<QAbstractButton *>(QStringLiteral("BitBtn1"))->click();
        });
        QCOMPARE(ShowSetupForm("127.0.0.1", 0, "admin", "admin", port + 10), -1);
        QVERIFY2(shownText.startsWith(messageStart), qPrintable(shownText));
        const QByteArray applies = fileBytes(m_root->filePath(QStringLiteral("apply.log")));
        if (messageStart.isEmpty()) {
            QCOMPARE(m_server->countLog(QRegularExpression(QStringLiteral("\\blogin ok\\b"))), 1);
            QCOMPARE(transfers(*m_server, QStringLiteral("upload")), remotePaths(true));
            QCOMPARE(applies.count("generation="), 1);
        } else {
            QCOMPARE(transfers(*m_server, QStringLiteral("upload")), QStringList());
            QCOMPARE(applies, QByteArray("<missing>"));
        }
    }

    // A backup that cannot be written does not make applying impossible: OK asks, No (the
    // default) keeps the window and uploads nothing, Yes uploads without a backup.
    void okWithoutBackupAsks_data()
    {
        QTest::addColumn<bool>("uploadAnyway");
        QTest::newRow("No keeps the window") << false;
        QTest::newRow("Yes applies") << true;
    }

    void okWithoutBackupAsks()
    {
        QFETCH(bool, uploadAnyway);
        // A file where the backups' folder belongs: no backup can be written.
        QVERIFY(QDir().mkpath(m_data.filePath(QStringLiteral("quillon"))));
        appendTo(m_data.filePath(QStringLiteral("quillon/Backups")), "not a folder");
        QString question;
        bool noIsDefault = false;
        bool windowStayed = false;
        ModalScript script;
        script.waitFor(QStringLiteral("SysSetForm")).then([&](QWidget *form) {
            script.waitFor(QStringLiteral("UploadWithoutBackupBox"))
                .then([&](QWidget *widget) {
                    auto *box = qobject_cast<QMessageBox *>(widget);
                    question = box->text();
                    noIsDefault = box->defaultButton() == box->button(QMessageBox::No);
                    box->button(uploadAnyway ? QMessageBox::Yes : QMessageBox::No)->click();
                })
                .then([&, form](QWidget *window) {
                    windowStayed = window == form;
                    window->findChild<QAbstractButton *>(QStringLiteral("BitBtn2"))->click();
                });
            form->findChild<QAbstractButton *>(QStringLiteral("BitBtn1"))->click();
        });
        QCOMPARE(ShowSetupForm("127.0.0.1", 0, "admin", "admin", m_server->port() + 10), -1);
        QVERIFY2(question.startsWith(
                     QLatin1String("Can not store the backup of Remote Host: 127.0.0.1")),
            qPrintable(question));
        QVERIFY(noIsDefault);
        QCOMPARE(windowStayed, !uploadAnyway);
        QCOMPARE(transfers(*m_server, QStringLiteral("upload")),
            uploadAnyway ? remotePaths(true) : QStringList());
        QCOMPARE(m_server->countLog(QRegularExpression(QStringLiteral("apply generation="))),
            uploadAnyway ? 1 : 0);
    }

    // Another operator pushes while the window is open: OK is refused as stale and asks, naming
    // the host, the other operator and the time. No keeps the window and the server as they
    // are; Yes backs up the server's current files, then applies the window's.
    void applyByAnotherOperatorIsNotLost_data()
    {
        QTest::addColumn<bool>("replace");
        QTest::newRow("keep editing") << false;
        QTest::newRow("replace") << true;
    }

    void applyByAnotherOperatorIsNotLost()
    {
        QFETCH(bool, replace);
        QTemporaryDir pushed;
        QVERIFY(makeServerRoot(pushed.path(), QStringLiteral(QUILLON_SAMPLES_DIR)));
        const QString pushedSysSet = pushed.filePath(QStringLiteral("SysConfig/SysSet.Ext"));
        appendTo(pushedSysSet, "[Pushed]\r\nBy=operator\r\n");
        const QString served = m_root->filePath(QStringLiteral("SysConfig/SysSet.Ext"));
        const QString local = settings::localPath(m_workFolder, settings::SettingsFile::SysSet);
        QString question;
        bool stayedOpen = false;
        ModalScript script;
        script.waitFor(QStringLiteral("SysSetForm")).then([&](QWidget *form) {
            QProcess push;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("QUILLON_PASSWORD"), QStringLiteral("op2024"));
            push.setProcessEnvironment(environment);
            push.start(qEnvironmentVariable("QUILLON_PATH"),
                {QStringLiteral("push"), QStringLiteral("--user"), QStringLiteral("operator"),
                    pushed.path(), QStringLiteral("127.0.0.1:%1").arg(m_server->port())});
            if (!push.waitForFinished(30000) || push.exitCode() != 0)
                qWarning("push failed: %s", push.readAllStandardError().constData());
            appendTo(local, "[Edited]\r\nBy=window\r\n");
            script.waitFor(QStringLiteral("ReplaceNewerSettingsBox"))
                .then([&](QWidget *widget) {
                    auto *box = qobject_cast<QMessageBox *>(widget);
                    question = box->text();
                    QVERIFY(box->defaultButton() == box->button(QMessageBox::No));
                    box->button(replace ? QMessageBox::Yes : QMessageBox::No)->click();
                })
                .then([&, form](QWidget *window) {
                    stayedOpen = window == form
                        && window->findChild<QAbstractButton *>(QStringLiteral("BitBtn1"))
                               ->isEnabled();
                    window->findChild<QAbstractButton *>(QStringLiteral("BitBtn2"))->click();
                });
            form->findChild<QAbstractButton *>(QStringLiteral("BitBtn1"))->click();
        });
        QCOMPARE(ShowSetupForm("127.0.0.1", 0, "admin", "admin", m_server->port() + 10), -1);

        QVERIFY2(question.contains(QStringLiteral("127.0.0.1"))
                && question.contains(QStringLiteral("operator")),
            qPrintable(question));
        const QByteArray applies = fileBytes(m_root->filePath(QStringLiteral("apply.log")));
        QCOMPARE(stayedOpen, !replace);
        if (!replace) {
            QCOMPARE(fileBytes(served), fileBytes(pushedSysSet));
            QCOMPARE(applies.count("generation="), 1);
            return;
        }
        QCOMPARE(fileBytes(served), fileBytes(local));
        QVERIFY(fileBytes(served).endsWith("By=window\r\n"));
        QCOMPARE(applies.count("generation="), 2);
        // The newest backup holds what the replaced apply had served.
        const QStringList backups
            = settings::listBackups(QStringLiteral("127.0.0.1"), m_server->port());
        QVERIFY(!backups.isEmpty());
        settings::SettingsFileSet backedUp;
        QVERIFY(settings::readSettingsFolder(backups.first(), &backedUp));
        QCOMPARE(backedUp.value(settings::SettingsFile::SysSet), fileBytes(pushedSysSet));
    }

    // True only for a command the server acknowledged.
    void sendHostCommandNeedsTheAcknowledgement()
    {
        visit::storeHost("127.0.0.1", m_server->port() + 10);
        QCOMPARE(visit::verifyUser("admin", "admin"), 0);
        QVERIFY(visit::SendHostCommand(QByteArray(wire::kApplyCommand)));
        QVERIFY(!visit::SendHostCommand(QByteArrayLiteral("!!!!REBOOT")));
        m_server->stop();
        QVERIFY(!visit::SendHostCommand(QByteArray(wire::kApplyCommand)));
        QCOMPARE(fileBytes(m_root->filePath(QStringLiteral("apply.log"))).count("generation="), 1);
    }

    // The module as a client loads it: the one export, found by name in the shared library.
    void exportedFromTheLibrary()
    {
        const QByteArray library = qgetenv("QUILLON_LIB_DIR") + "/libQuillon.so";
        void *handle = dlopen(library.constData(), RTLD_NOW | RTLD_LOCAL);
        QVERIFY2(handle, dlerror());
        using Entry = std::int32_t (*)(
            const char *, std::uintptr_t, const char *, const char *, std::int32_t);
        auto entry = reinterpret_cast<Entry>(dlsym(handle, "ShowSetupForm"));
        QVERIFY(entry);
        QVERIFY(!dlsym(handle, "_ZN7quillon5visit12portFromCodeEi")); // internals stay hidden
        ModalScript script;
        script.waitFor(QStringLiteral("SysSetForm")).then([](QWidget *form) { form->close(); });
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
