#include "support/dvrdprocess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>

namespace {

QString dvrdPath()
{
    return qEnvironmentVariable("DVRD_PATH");
}

// Files that live as long as the test process.
QTemporaryDir &processFolder()
{
    static QTemporaryDir folder;
    return folder;
}

const char *const kSettingsFiles[] = {
    "User/User.she",
    "SysConfig/SysSet.Ext",
    "SysConfig/TVCard.Ext",
    "SysConfig/AlarmSet.Ext",
    "SysConfig/AlarmCard.ext",
    "SysConfig/SensorSet.Ext",
    "SysConfig/CameraSet.Ext",
    "SysConfig/SMSSet.ext",
    "SysConfig/Profile.ext",
};

} // namespace

DvrdProcess::DvrdProcess() : m_logPath(m_logDir.filePath(QStringLiteral("dvrd.log")))
{
    if (qEnvironmentVariableIsEmpty("XDG_DATA_HOME")
        && qEnvironmentVariableIsEmpty("QUILLON_KNOWN_HOSTS"))
        qputenv("QUILLON_KNOWN_HOSTS",
            QFile::encodeName(processFolder().filePath(QStringLiteral("known_hosts"))));
}

DvrdProcess::~DvrdProcess()
{
    if (isRunning())
        stop();
}

bool DvrdProcess::start(const QString &root, const QString &adminName, const QString &adminPassword,
    const QStringList &extraArguments, int timeoutMs)
{
    if (dvrdPath().isEmpty()) {
        qWarning("DVRD_PATH is not set");
        return false;
    }
    const QString adminFile = m_logDir.filePath(QStringLiteral("admin"));
    QFile admin(adminFile);
    if (!admin.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || !admin.setPermissions(QFile::ReadOwner | QFile::WriteOwner)
        || admin.write((adminName + QLatin1Char(':') + adminPassword + QLatin1Char('\n')).toUtf8())
            < 0)
        return false;
    admin.close();
    QStringList arguments {QStringLiteral("--root"), root, QStringLiteral("--port"),
        QStringLiteral("0"), QStringLiteral("--admin-file"), adminFile};
    if (!extraArguments.contains(QStringLiteral("--identity"))) {
        const QString identity = testIdentityPath();
        if (identity.isEmpty())
            return false;
        arguments << QStringLiteral("--identity") << identity;
    }
    QFile::remove(m_logPath);
    m_process.setStandardErrorFile(m_logPath);
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.start(dvrdPath(), arguments + extraArguments);
    if (!m_process.waitForStarted(timeoutMs))
        return false;
    static const QRegularExpression listening(QStringLiteral("^dvrd: listening on (.+):(\\d+)$"));
    const QString line = waitForLog(listening, timeoutMs);
    const QRegularExpressionMatch match = listening.match(line);
    if (!match.hasMatch()) {
        qWarning(
            "dvrd did not start listening: %s", qPrintable(logLines().join(QLatin1Char('\n'))));
        kill();
        return false;
    }
    m_port = quint16(match.captured(2).toUInt());
    return m_port != 0;
}

QStringList DvrdProcess::logLines() const
{
    QFile log(m_logPath);
    if (!log.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'));
    // A line is only whole once its newline arrived.
    lines.removeLast();
    return lines;
}

QString DvrdProcess::waitForLog(const QRegularExpression &pattern, int timeoutMs) const
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        for (const QString &line : logLines()) {
            if (pattern.match(line).hasMatch())
                return line;
        }
        if (deadline.hasExpired())
            return {};
        QThread::msleep(10);
    }
}

int DvrdProcess::countLog(const QRegularExpression &pattern) const
{
    int count = 0;
    for (const QString &line : logLines())
        count += pattern.match(line).hasMatch() ? 1 : 0;
    return count;
}

void DvrdProcess::kill()
{
    if (!isRunning())
        return;
    m_process.kill();
    m_process.waitForFinished(5000);
}

int DvrdProcess::stop(int timeoutMs)
{
    if (!isRunning())
        return -1;
    m_process.terminate();
    if (!m_process.waitForFinished(timeoutMs)) {
        kill();
        return -1;
    }
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

int DvrdProcess::waitForExit(int timeoutMs)
{
    if (isRunning() && !m_process.waitForFinished(timeoutMs))
        return -1;
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

bool DvrdProcess::isRunning() const
{
    return m_process.state() != QProcess::NotRunning;
}

QString testIdentityPath()
{
    static const QString path = [] {
        const QString file = processFolder().filePath(QStringLiteral("identity.pem"));
        return runDvrdToEnd(
                   {QStringLiteral("--identity"), file, QStringLiteral("--print-fingerprint")})
                == 0
            ? file
            : QString();
    }();
    return path;
}

bool makeServerRoot(const QString &root, const QString &sourceRoot)
{
    QDir dir(root);
    if (!dir.mkpath(QStringLiteral("User")) || !dir.mkpath(QStringLiteral("SysConfig")))
        return false;
    if (sourceRoot.isEmpty())
        return true;
    for (const char *relative : kSettingsFiles) {
        const QString target = dir.filePath(QLatin1String(relative));
        QFile::remove(target);
        if (!QFile::copy(QDir(sourceRoot).filePath(QLatin1String(relative)), target))
            return false;
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    }
    return true;
}

int runDvrdToEnd(const QStringList &arguments, QByteArray *stderrOutput, int timeoutMs)
{
    QProcess process;
    process.start(dvrdPath(), arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    if (stderrOutput)
        *stderrOutput = process.readAllStandardError();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}
