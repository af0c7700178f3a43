// Many clients at once doing whole visits against dvrd: login, nine downloads, eight uploads
// and the apply command, for a fixed number of rounds. No visit may fail: each applies, or is
// refused as stale because another client applied after its downloads (then nothing changes).
// Every file the server holds or serves must be one whole upload (never a mix of two), and the
// server's memory must stay bounded. QUILLON_SOAK_ROUNDS and QUILLON_SOAK_CLIENTS make it longer.

#include "support/dvrdprocess.h"
#include "support/testsettings.h"

#include "hostlink/tcpclientdll.h"
#include "settings/settingsfiles.h"
#include "settings/userrecords.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

using namespace quillon;

namespace {

int environmentNumber(const char *name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : fallback;
}

qint64 residentKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// What client c uploads in round r: recognisable, of a size that differs by client, and a whole
// number of records for the user file.
QByteArray uploadContent(settings::SettingsFile file, int client, int round)
{
    const QByteArray tag
        = "client " + QByteArray::number(client) + " round " + QByteArray::number(round);
    if (file == settings::SettingsFile::User)
        return QByteArray(settings::UserRecord::kSize * (1 + client % 3), '\0')
            .replace(0, tag.size(), tag);
    return "[Soak]\r\nTag=" + tag + "\r\nPad=" + QByteArray(2000 + client * 37, 'x') + "\r\n";
}

} // namespace

class TestSoak : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void manyClientsDoingWholeVisits()
    {
        const int clients = environmentNumber("QUILLON_SOAK_CLIENTS", 32);
        const int rounds = environmentNumber("QUILLON_SOAK_ROUNDS", 6);
        QTemporaryDir root, local;
        QVERIFY(makeServerRoot(root.path(), QStringLiteral(QUILLON_SAMPLES_DIR)));
        DvrdProcess server;
        QVERIFY(server.start(root.path(), QStringLiteral("admin"), QStringLiteral("admin")));
        const QByteArray port = QByteArray::number(server.port());
        const qint64 memoryBefore = residentKiB(server.processId());

        // Every whole version a file may hold: the samples and each upload.
        QHash<QByteArray, QSet<QByteArray>> versions;
        for (const settings::SettingsFileInfo &info : settings::settingsFiles()) {
            const QByteArray remote = settings::remotePath(info.file);
            versions[remote].insert(readFile(root.path() + QLatin1Char('/')
                + QString::fromLatin1(remote).replace(QLatin1Char('\\'), QLatin1Char('/'))));
            for (int c = 0; c < clients; ++c)
                for (int r = 0; r < rounds; ++r)
                    versions[remote].insert(uploadContent(info.file, c, r));
        }

        std::atomic<int> failedVisits {0};
        std::atomic<int> staleVisits {0};
        std::atomic<int> tornFiles {0};
        std::mutex reportMutex;
        QStringList failures;
        auto fail = [&](const QString &what) {
            const std::lock_guard lock(reportMutex);
            if (failures.size() < 10)
                failures << what;
        };

        QElapsedTimer clock;
        clock.start();
        std::vector<std::thread> threads;
        for (int c = 0; c < clients; ++c) {
            threads.emplace_back([&, c] {
                const QString folder = local.filePath(QString::number(c));
                QDir().mkpath(folder);
                for (int r = 0; r < rounds; ++r) {
                    bool ok = true;
                    const KX_LoginRecord login {
                        "admin", "admin", "127.0.0.1", std::int32_t(port.toInt())};
                    ok = KX_VerifyUser(&login) == KX_LOGIN_ACCEPTED;
                    for (const settings::SettingsFileInfo &info : settings::settingsFiles()) {
                        const QByteArray remote = settings::remotePath(info.file);
                        const QByteArray path = QFile::encodeName(
                            folder + QLatin1Char('/') + QLatin1String(info.name));
                        const KX_FileTransferRecord transfer {
                            remote.constData(), path.constData(), "127.0.0.1", login.port};
                        if (ok && KX_GetRemoteFile(&transfer) != KX_OK) {
                            ok = false;
                            fail(QStringLiteral("download %1").arg(QLatin1String(remote)));
                        }
                        if (ok
                            && !versions.value(remote).contains(
                                readFile(QFile::decodeName(path)))) {
                            ++tornFiles;
                            fail(QStringLiteral("served %1 matches no whole version")
                                     .arg(QLatin1String(remote)));
                        }
                    }
                    for (settings::SettingsFile file : settings::uploadOrder()) {
                        const QByteArray remote = settings::remotePath(file);
                        const QByteArray path = QFile::encodeName(folder + QLatin1Char('/')
                            + QLatin1String(settings::fileInfo(file).name));
                        const KX_FileTransferRecord transfer {
                            remote.constData(), path.constData(), "127.0.0.1", login.port};
                        if (ok
                            && (!writeFile(QFile::decodeName(path), uploadContent(file, c, r))
                                || KX_UploadFile(&transfer) != KX_OK)) {
                            ok = false;
                            fail(QStringLiteral("upload %1").arg(QLatin1String(remote)));
                        }
                    }
                    const KX_ConnectRecord connect {"127.0.0.1", login.port};
                    const std::int32_t handle = ok ? KX_ConnectTCPServer(&connect) : 0;
                    const std::int32_t applied = ok && handle != 0
                        ? KX_ClientSendBuf(handle, "!!!!APPLY", 9, 0)
                        : KX_ERR_NETWORK;
                    if (ok && applied == KX_ERR_STALE) {
                        ++staleVisits;
                    } else if (ok && applied != 9) {
                        ok = false;
                        fail(QStringLiteral("apply"));
                    }
                    KX_DisConnectTCPServer(handle);
                    if (!ok)
                        ++failedVisits;
                }
            });
        }
        for (std::thread &thread : threads)
            thread.join();
        const double seconds = clock.elapsed() / 1000.0;
        const qint64 memoryAfter = residentKiB(server.processId());

        if (!failures.isEmpty()) {
            const QStringList refusals = server.logLines().filter(QStringLiteral("refus"));
            failures << refusals.mid(0, 5);
        }
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(QLatin1String("; "))));
        QCOMPARE(failedVisits.load(), 0);
        QCOMPARE(tornFiles.load(), 0);
        for (const settings::SettingsFileInfo &info : settings::settingsFiles()) {
            const QByteArray remote = settings::remotePath(info.file);
            const QString onServer = root.path() + QLatin1Char('/')
                + QString::fromLatin1(remote).replace(QLatin1Char('\\'), QLatin1Char('/'));
            QVERIFY2(versions.value(remote).contains(readFile(onServer)), remote.constData());
        }
        const QByteArray applies = readFile(root.filePath(QStringLiteral("apply.log")));
        QCOMPARE(applies.count('\n'), qsizetype(clients) * rounds - staleVisits.load());
        QVERIFY(staleVisits.load() < clients * rounds);
        QCOMPARE(QDir(root.filePath(QStringLiteral("SysConfig"))).entryList(QDir::Files).size(), 8);

        // Sessions, buffers and connections are bounded: memory may not grow with the visits.
        constexpr qint64 kMaxGrowthKiB = 48 * 1024;
        qInfo("%d clients x %d rounds = %d visits in %.2f s (%.1f visits/s, %d refused as stale); "
              "dvrd resident %lld KiB -> %lld KiB",
            clients, rounds, clients * rounds, seconds, clients * rounds / seconds,
            staleVisits.load(), memoryBefore, memoryAfter);
        QVERIFY(memoryBefore > 0 && memoryAfter > 0);
        // AddressSanitizer keeps freed memory in quarantine, so only a plain build is measured.
        if (qEnvironmentVariableIsEmpty("QUILLON_SANITIZED"))
            QVERIFY2(memoryAfter - memoryBefore < kMaxGrowthKiB, "dvrd grew beyond its bound");
    }
};

QTEST_GUILESS_MAIN(TestSoak)
#include "tst_soak.moc"
