#include "applylog.h"

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>

namespace quillon::dvrd {

namespace {

// Longer lines are read in pieces; none of ours comes near.
constexpr qint64 kMaxLineBytes = 4096;

qint64 highestGeneration(const QString &logPath)
{
    static const QRegularExpression generation(QStringLiteral("\\bgeneration=(\\d{1,15})\\b"));
    QFile log(logPath);
    if (!log.open(QIODevice::ReadOnly))
        return 0;
    qint64 highest = 0;
    while (!log.atEnd()) {
        const QString line = QString::fromUtf8(log.readLine(kMaxLineBytes));
        const QRegularExpressionMatch match = generation.match(line);
        if (match.hasMatch())
            highest = std::max(highest, match.captured(1).toLongLong());
    }
    return highest;
}

} // namespace

qint64 appendApply(const QString &logPath, const QString &user)
{
    const qint64 generation = highestGeneration(logPath) + 1;
    const QString line = QStringLiteral("%1 generation=%2 user=%3\n")
                             .arg(QDateTime::currentDateTimeUtc().toString(Qt::ISODate))
                             .arg(generation)
                             .arg(user);
    QFile log(logPath);
    const QByteArray bytes = line.toUtf8();
    if (!log.open(QIODevice::WriteOnly | QIODevice::Append) || log.write(bytes) != bytes.size()
        || !log.flush())
        return -1;
    return generation;
}

} // namespace quillon::dvrd
