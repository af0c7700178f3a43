#include "applylog.h"

#include "platform/atomicfile.h"
#include "serverlog.h"

#include <QFile>
#include <QRegularExpression>

namespace quillon::dvrd {

namespace {

// Longer lines are read in pieces; none of ours comes near.
constexpr qint64 kMaxLineBytes = 4096;

const QRegularExpression &lineFormat()
{
    static const QRegularExpression format(
        QStringLiteral("^(\\S+) generation=(\\d{1,15}) user=(\\S*)"));
    return format;
}

} // namespace

std::optional<AppliedSet> lastApply(const QString &logPath)
{
    QFile log(logPath);
    if (!log.exists())
        return AppliedSet {};
    if (!log.open(QIODevice::ReadOnly))
        return std::nullopt;
    AppliedSet last;
    while (!log.atEnd()) {
        const QString line = QString::fromUtf8(log.readLine(kMaxLineBytes));
        const QRegularExpressionMatch match = lineFormat().match(line);
        if (!match.hasMatch() || match.captured(2).toLongLong() < last.generation)
            continue;
        last.generation = match.captured(2).toLongLong();
        last.time = QDateTime::fromString(match.captured(1), Qt::ISODate);
        last.user = unprintable(match.captured(3));
    }
    return last;
}

bool appendApply(const QString &logPath, const AppliedSet &apply, platform::Durability durability)
{
    QFile log(logPath);
    QByteArray bytes;
    if (log.exists()) {
        if (!log.open(QIODevice::ReadOnly))
            return false;
        bytes = log.readAll();
        if (bytes.size() != log.size())
            return false;
        if (!bytes.isEmpty() && !bytes.endsWith('\n'))
            bytes += '\n';
    }
    bytes += QStringLiteral("%1 generation=%2 user=%3\n")
                 .arg(apply.time.toUTC().toString(Qt::ISODate))
                 .arg(apply.generation)
                 .arg(printable(apply.user))
                 .toUtf8();
    return !platform::writeFileAtomically(logPath, bytes, durability);
}

} // namespace quillon::dvrd
