#include "serverlog.h"

#include "settings/gbk.h"

#include <QRegularExpression>

#include <cstdio>

namespace quillon::dvrd {

namespace {

constexpr qsizetype kMaxLoggedChars = 80;

} // namespace

void logLine(const QString &line)
{
    std::fprintf(stderr, "dvrd: %s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

QString printable(const QByteArray &bytes)
{
    const QString text = settings::fromGbk(bytes);
    QString out;
    for (const QChar c : text) {
        if (out.size() >= kMaxLoggedChars) {
            out += QStringLiteral("...");
            break;
        }
        if (c.isPrint() && !c.isSpace())
            out += c;
        else
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
    }
    return out.isEmpty() ? QStringLiteral("\"\"") : out;
}

QByteArray unprintable(const QString &text)
{
    if (text == QStringLiteral("\"\""))
        return {};
    static const QRegularExpression escape(QStringLiteral("\\\\x([0-9a-f]{2,4})"));
    QString decoded;
    qsizetype from = 0;
    for (QRegularExpressionMatchIterator it = escape.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        decoded += text.mid(from, match.capturedStart() - from);
        decoded += QChar(char16_t(match.captured(1).toUShort(nullptr, 16)));
        from = match.capturedEnd();
    }
    decoded += text.mid(from);
    return settings::toGbk(decoded).value_or(QByteArray());
}

} // namespace quillon::dvrd
