// The profile engine on a 64-channel video settings file: 64 sections of 34 keys, every key
// written once, then rewritten, then read, through the public operations.

#include "figures.h"
#include "settings/profilestore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using quillon::settings::ProfileBatch;
using quillon::settings::ProfileStore;

namespace {

constexpr int kSections = 64;
constexpr int kKeys = 34;
constexpr int kRuns = 15;

struct Names
{
    std::vector<QByteArray> sections;
    std::vector<QByteArray> keys;
};

Names makeNames()
{
    Names names;
    for (int s = 0; s < kSections; ++s)
        names.sections.push_back("ENCODER" + QByteArray::number(s));
    for (int k = 0; k < kKeys; ++k)
        names.keys.push_back("SettingKey" + QByteArray::number(k));
    return names;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const Names names = makeNames();
    std::vector<double> writeMs, rewriteMs, readMs, totalMs;
    qint64 checksum = 0;

    for (int run = 0; run < kRuns; ++run) {
        const QString path = dir.filePath(QStringLiteral("TVCard%1.Ext").arg(run));
        ProfileStore store;
        QElapsedTimer timer;
        timer.start();
        {
            ProfileBatch batch(store);
            for (const QByteArray &section : names.sections)
                for (const QByteArray &key : names.keys)
                    store.writeText(path, section, key, "1");
        }
        const qint64 afterWrite = timer.nsecsElapsed();
        {
            ProfileBatch batch(store);
            for (const QByteArray &section : names.sections)
                for (const QByteArray &key : names.keys)
                    store.writeInt(path, section, key, 1234);
        }
        const qint64 afterRewrite = timer.nsecsElapsed();
        for (const QByteArray &section : names.sections)
            for (const QByteArray &key : names.keys)
                checksum += store.readInt(path, section, key, 0);
        const qint64 afterRead = timer.nsecsElapsed();

        writeMs.push_back(afterWrite / 1e6);
        rewriteMs.push_back((afterRewrite - afterWrite) / 1e6);
        readMs.push_back((afterRead - afterRewrite) / 1e6);
        totalMs.push_back(afterRead / 1e6);
    }

    // One write saved on its own, as the pages' immediate writes are.
    const QString single = dir.filePath(QStringLiteral("single.ini"));
    ProfileStore store;
    QElapsedTimer timer;
    timer.start();
    constexpr int kSingles = 50;
    for (int i = 0; i < kSingles; ++i)
        store.writeInt(single, "ENCODER0", "SettingKey0", i);
    const double singleMs = timer.nsecsElapsed() / 1e6 / kSingles;

    const int ops = kSections * kKeys;
    std::printf(
        "profile engine, %d sections x %d keys, median of %d runs\n", kSections, kKeys, kRuns);
    std::printf(
        "  %-34s %8.2f ms (%d writes, one atomic save)\n", "write every key", median(writeMs), ops);
    std::printf("  %-34s %8.2f ms (%d writes, one atomic save)\n", "rewrite every key",
        median(rewriteMs), ops);
    std::printf("  %-34s %8.2f ms (%d reads)\n", "read every key", median(readMs), ops);
    std::printf("  %-34s %8.2f ms (%d operations)\n", "all three", median(totalMs), 3 * ops);
    std::printf("  %-34s %8.3f ms per write\n", "write saved on its own", singleMs);
    std::printf("  file size %lld bytes, checksum %lld\n",
        static_cast<long long>(QFile(dir.filePath(QStringLiteral("TVCard0.Ext"))).size()),
        static_cast<long long>(checksum));
    return 0;
}
