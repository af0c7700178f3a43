// quillon-client run as a separate process against dvrd on loopback: unattended runs that
// picture the setup window and cancel it, login failures that end with exit code 3 instead of a
// box waiting forever, usage errors, and a module that is missing or lacks its export.

#include "support/dvrdprocess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

struct ClientRun
{
    int exitCode = -1;
    QString output;
    QString errors;
};

} // namespace

class TestClient : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        m_data = std::make_unique<QTemporaryDir>();
        m_shots = std::make_unique<QTemporaryDir>();
        QVERIFY(makeServerRoot(m_root->path(), QStringLiteral(QUILLON_SAMPLES_DIR)));
        m_server = std::make_unique<DvrdProcess>();
        QVERIFY(m_server->start(m_root->path(), QStringLiteral("admin"), QStringLiteral("admin")));
    }

    void cleanup() { m_server.reset(); }

    // Every page is pictured whole, numbered in order, and the window is cancelled: the
    // server sees a login and downloads but no upload and no apply command.
    void screenshotsPictureTheWindowAndCancel_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::newRow("administrator") << QStringLiteral("admin") << QStringLiteral("admin");
        QTest::newRow("Chinese user name, sent as GBK")
            << QString::fromUtf8("值班员") << QStringLiteral("zb8866");
    }

    void screenshotsPictureTheWindowAndCancel()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        const ClientRun run = runClient(visitArguments(user), password);
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(!run.errors.contains(QLatin1String("QObject")), qPrintable(run.errors));
        QVERIFY2(run.output.contains(QLatin1String("ShowSetupForm returned -1")),
            qPrintable(run.output));

        const QStringList printed
            = run.output.split(QLatin1Char('\n')).filter(QLatin1String(".png"));
        QVERIFY(!printed.isEmpty());
        QCOMPARE(QDir(m_shots->path()).entryList({QStringLiteral("*.png")}).size(), printed.size());
        QSize windowSize;
        QStringList pageNames;
        for (qsizetype i = 0; i < printed.size(); ++i) {
            const QFileInfo file(printed[i]);
            QCOMPARE(file.path(), m_shots->path());
            const QString number = QStringLiteral("%1-").arg(i + 1, 2, 10, QLatin1Char('0'));
            QVERIFY2(file.fileName().startsWith(number), qPrintable(file.fileName()));
            pageNames << file.completeBaseName().mid(number.size());
            const QImage image(file.filePath());
            QVERIFY2(!image.isNull(), qPrintable(file.filePath()));
            if (windowSize.isEmpty())
                windowSize = image.size();
            QCOMPARE(image.size(), windowSize);
            QVERIFY2(
                hasSeveralColours(image), qPrintable(file.fileName() + QLatin1String(" is blank")));
        }
        QVERIFY(windowSize.width() >= 300 && windowSize.height() >= 200);
        // Each reachable page once; the page whose tab is hidden is not reachable.
        QCOMPARE(pageNames.removeDuplicates(), 0);
        QVERIFY2(!pageNames.contains(QLatin1String("TabSheet11")), qPrintable(pageNames.join(' ')));

        QCOMPARE(m_server->countLog(QRegularExpression(QStringLiteral("\\blogin ok\\b"))), 1);
        QVERIFY(m_server->countLog(QRegularExpression(QStringLiteral("\\bdownload "))) > 0);
        QCOMPARE(m_server->countLog(QRegularExpression(QStringLiteral("\\b(upload|apply) "))), 0);
        QVERIFY(!QFile::exists(m_root->path() + QStringLiteral("/apply.log")));
    }

    // The module's message box is printed and closed, so an unattended run ends.
    void loginFailureEndsWithExitCode3_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::newRow("wrong password") << QStringLiteral("admin") << QStringLiteral("wrong");
        QTest::newRow("unknown user") << QStringLiteral("nobody") << QStringLiteral("admin");
        QTest::newRow("no system-settings privilege")
            << QStringLiteral("guest") << QStringLiteral("guest");
    }

    void loginFailureEndsWithExitCode3()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        const ClientRun run = runClient(visitArguments(user), password);
        QCOMPARE(run.exitCode, 3);
        QVERIFY2(
            run.output.contains(QLatin1String("ShowSetupForm returned 0")), qPrintable(run.output));
        QVERIFY2(run.output.contains(
                     QRegularExpression(QStringLiteral("^LoginFailureBox: .*127\\.0\\.0\\.1"),
                         QRegularExpression::MultilineOption)),
            qPrintable(run.output));
        QVERIFY(QDir(m_shots->path()).isEmpty());
    }

    // The password never comes from the command line, where every local user can read it.
    void usageErrorsExitWith2_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("expectedError");
        const QStringList host {"--host", "127.0.0.1"};
        const QStringList user {"--user", "admin"};
        const QString usage = QStringLiteral("usage: quillon-client");
        const QString admin = QStringLiteral("admin");
        QTest::newRow("no options") << QStringList() << admin << usage;
        QTest::newRow("help") << QStringList {"--help"} << admin << usage;
        QTest::newRow("no host") << user << admin << usage;
        QTest::newRow("no user") << host << admin << usage;
        QTest::newRow("no password and no terminal")
            << host + user << QString() << QStringLiteral("no password: set QUILLON_PASSWORD");
        QTest::newRow("password as an argument")
            << host + user + QStringList {"--password", "admin"} << admin
            << QStringLiteral("never given as an argument");
        QTest::newRow("option without value")
            << host + user + QStringList {"--port-code"} << admin << usage;
        QTest::newRow("port code not a number")
            << host + user + QStringList {"--port-code", "x"} << admin << usage;
        QTest::newRow("unknown option")
            << host + user + QStringList {"--verbose", "1"} << admin << usage;
        QTest::newRow("user name GBK cannot carry")
            << host + QStringList {"--user", QString::fromUtf8("\xF0\x9F\x98\x80")} << admin
            << usage;
    }

    void usageErrorsExitWith2()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, password);
        QFETCH(QString, expectedError);
        const ClientRun run = runClient(arguments, password);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.errors.contains(expectedError), qPrintable(run.errors));
        QVERIFY2(!run.errors.contains(QLatin1String("QObject")), qPrintable(run.errors));
        QCOMPARE(m_server->countLog(QRegularExpression(QStringLiteral("\\blogin\\b"))), 0);
    }

    // Two visits at once on one PC share the one work folder: the second is refused with the
    // first one's server named, and the first one's copies stay its server's. A visit killed
    // mid-way leaves no lock behind.
    void secondVisitAtOnceIsRefused()
    {
        QTemporaryDir rootB;
        QVERIFY(makeServerRoot(rootB.path(), QStringLiteral(QUILLON_SAMPLES_DIR)));
        QFile sysSetB(rootB.filePath(QStringLiteral("SysConfig/SysSet.Ext")));
        QVERIFY(sysSetB.open(QIODevice::Append) && sysSetB.write("[FromB]\r\nB=1\r\n") > 0);
        sysSetB.close();
        DvrdProcess serverB;
        QVERIFY(serverB.start(rootB.path(), QStringLiteral("admin"), QStringLiteral("admin")));

        // Visit A stays open: nobody is at its window.
        QStringList argumentsA = visitArguments(QStringLiteral("admin"));
        argumentsA.resize(argumentsA.size() - 2); // without --screenshots
        QProcess visitA;
        visitA.setProcessEnvironment(clientEnvironment(QStringLiteral("admin")));
        visitA.start(QStringLiteral(QUILLON_CLIENT_PATH), argumentsA);
        QVERIFY(!m_server
                     ->waitForLog(
                         QRegularExpression(QStringLiteral("download SysConfig.Profile\\.ext")))
                     .isEmpty());

        QStringList argumentsB = visitArguments(QStringLiteral("admin"));
        argumentsB[5] = QString::number(serverB.port() + 10);
        const ClientRun refused = runClient(argumentsB, QStringLiteral("admin"));
        QCOMPARE(refused.exitCode, 3);
        QVERIFY2(refused.output.contains(QStringLiteral("VisitBusyBox: Another setup window is "
                                                        "configuring Remote Host: 127.0.0.1:%1")
                                             .arg(m_server->port())),
            qPrintable(refused.output));
        QCOMPARE(serverB.countLog(QRegularExpression(QStringLiteral("\\blogin\\b"))), 0);
        const QString workSysSet = m_data->filePath(QStringLiteral("quillon/Temp/SysSet.Ext"));
        QFile copy(workSysSet);
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QVERIFY(!copy.readAll().contains("[FromB]"));

        visitA.kill();
        QVERIFY(visitA.waitForFinished());
        const ClientRun afterwards = runClient(argumentsB, QStringLiteral("admin"));
        QCOMPARE(afterwards.exitCode, 0);
        QCOMPARE(serverB.countLog(QRegularExpression(QStringLiteral("\\blogin ok\\b"))), 1);
    }

    // A copy of the client in a folder of its own: with no module beside it, and with a
    // library of that name that does not export ShowSetupForm.
    void moduleProblemsExitWith1_data()
    {
        QTest::addColumn<QString>("moduleSource");
        QTest::addColumn<QString>("expectedError");
        QTest::newRow("missing") << QString() << "cannot load libQuillon.so";
        QTest::newRow("without the export") << QStringLiteral("libTCPClientDLL.so")
                                            << QStringLiteral("does not export ShowSetupForm");
    }

    void moduleProblemsExitWith1()
    {
        QFETCH(QString, moduleSource);
        QFETCH(QString, expectedError);
        QTemporaryDir install;
        QVERIFY(QDir(install.path()).mkpath(QStringLiteral("bin")));
        QVERIFY(QDir(install.path()).mkpath(QStringLiteral("lib")));
        const QString client = install.filePath(QStringLiteral("bin/quillon-client"));
        QVERIFY(QFile::copy(QStringLiteral(QUILLON_CLIENT_PATH), client));
        if (!moduleSource.isEmpty()) {
            const QString libraries = qEnvironmentVariable("QUILLON_LIB_DIR");
            QVERIFY(QFile::copy(libraries + QLatin1Char('/') + moduleSource,
                install.filePath(QStringLiteral("lib/libQuillon.so"))));
        }
        const ClientRun run
            = runClient(visitArguments(QStringLiteral("admin")), QStringLiteral("admin"), client);
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.errors.contains(expectedError), qPrintable(run.errors));
        QCOMPARE(m_server->countLog(QRegularExpression(QStringLiteral("\\blogin\\b"))), 0);
    }

private:
    QStringList visitArguments(const QString &user) const
    {
        return {QStringLiteral("--host"), m_server->host(), QStringLiteral("--user"), user,
            QStringLiteral("--port-code"), QString::number(m_server->port() + 10),
            QStringLiteral("--screenshots"), m_shots->path()};
    }

    // An empty password leaves QUILLON_PASSWORD unset.
    QProcessEnvironment clientEnvironment(const QString &password) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("QUILLON_PASSWORD"));
        if (!password.isEmpty())
            environment.insert(QStringLiteral("QUILLON_PASSWORD"), password);
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), m_data->path());
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("en_US.UTF-8"));
        environment.remove(QStringLiteral("LD_LIBRARY_PATH"));
        return environment;
    }

    ClientRun runClient(const QStringList &arguments, const QString &password,
        const QString &program = QStringLiteral(QUILLON_CLIENT_PATH)) const
    {
        QProcess process;
        process.setProcessEnvironment(clientEnvironment(password));
        process.start(program, arguments);
        ClientRun run;
        if (!process.waitForFinished(30000)) {
            process.kill();
            process.waitForFinished();
            qWarning(
                "quillon-client did not finish: %s", qPrintable(process.readAllStandardOutput()));
            return run;
        }
        run.output = QString::fromLocal8Bit(process.readAllStandardOutput());
        run.errors = QString::fromLocal8Bit(process.readAllStandardError());
        if (process.exitStatus() == QProcess::NormalExit)
            run.exitCode = process.exitCode();
        return run;
    }

    static bool hasSeveralColours(const QImage &image)
    {
        const QRgb first = image.pixel(0, 0);
        for (int y = 0; y < image.height(); y += 4) {
            for (int x = 0; x < image.width(); x += 4) {
                if (image.pixel(x, y) != first)
                    return true;
            }
        }
        return false;
    }

    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<QTemporaryDir> m_shots;
    std::unique_ptr<DvrdProcess> m_server;
};

QTEST_GUILESS_MAIN(TestClient)
#include "tst_client.moc"
