#include "serverlog.h"

#include "settings/gbk.h"

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

} // namespace quillon::dvrd
