#pragma once

// What the tests of the operator's tool share: one run of quillon, a server with the samples in a
// root of its own, and a folder's files by relative path.

#include "settings/backups.h"
#include "settings/profiledocument.h"
#include "support/dvrdprocess.h"
#include "support/testsettings.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <array>
#include <csignal>
#include <sys/resource.h>

struct ToolRun
{
    int exitCode = -1;
    QString out;
    QString err;

    QJsonObject json() const { return QJsonDocument::fromJson(out.toUtf8()).object(); }
};

// Runs quillon (QUILLON_PATH) with its data folder at dataHome and the password in its
// environment, without a terminal. sizeLimit > 0: its files may not grow beyond it, as on a
// full disk.
inline ToolRun runQuillon(const QStringList &arguments, const QString &dataHome,
    const QString &password,
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment(),
    rlim_t sizeLimit = 0)
{
    QProcess process;
    if (sizeLimit > 0) {
        process.setChildProcessModifier([sizeLimit] {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit small {sizeLimit, sizeLimit};
            ::setrlimit(RLIMIT_FSIZE, &small);
        });
    }
    environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    environment.insert(QStringLiteral("QUILLON_PASSWORD"), password);
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(qEnvironmentVariable("QUILLON_PATH"), arguments);
    if (!process.waitForFinished(120000))
        process.kill();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
        QString::fromUtf8(process.readAllStandardOutput()),
        QString::fromUtf8(process.readAllStandardError())};
}

// A dvrd serving a copy of the samples, its administrator's password given.
struct ToolServer
{
    QTemporaryDir root;
    DvrdProcess process;

    bool start(const QString &password)
    {
        return makeServerRoot(root.path(), QStringLiteral(QUILLON_SAMPLES_DIR))
            && process.start(root.path(), QStringLiteral("admin"), password);
    }
    QString address() const
    {
        return process.host() + QLatin1Char(':') + QString::number(process.port());
    }
    QString path(const char *relative) const { return root.filePath(QLatin1String(relative)); }
    QByteArray file(const char *relative) const { return readFile(path(relative)); }
    int applies() const
    {
        return process.countLog(QRegularExpression(QStringLiteral("apply generation=")));
    }
    int backups() const
    {
        return int(quillon::settings::listBackups(process.host(), process.port()).size());
    }
    // Changes keys of a served file directly, as a server's own operator would.
    void setKeys(const char *relative, const QList<std::array<QByteArray, 3>> &keys) const
    {
        quillon::settings::ProfileDocument document(file(relative));
        for (const auto &[section, key, value] : keys)
            document.setValue(section, key, value);
        QVERIFY(writeFile(path(relative), document.toBytes()));
    }
};

// The files of a folder laid out as User/ and SysConfig/, by relative path.
inline QMap<QString, QByteArray> folderFiles(const QString &folder)
{
    QMap<QString, QByteArray> files;
    for (const char *sub : {"User", "SysConfig"}) {
        const QDir dir(folder + QLatin1Char('/') + QLatin1String(sub));
        for (const QString &name : dir.entryList(QDir::Files))
            files.insert(
                QLatin1String(sub) + QLatin1Char('/') + name, readFile(dir.filePath(name)));
    }
    return files;
}
