#include "settings/gbk.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace quillon::settings {

QString fromGbk(const QByteArray &bytes)
{
    QStringDecoder decoder("GBK");
    return decoder.isValid() ? decoder.decode(bytes) : QString::fromLatin1(bytes);
}

std::optional<QByteArray> toGbk(const QString &text)
{
    QStringEncoder encoder("GBK", QStringConverter::Flag::Stateless);
    if (!encoder.isValid())
        return std::nullopt;
    QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        return std::nullopt;
    return bytes;
}

std::optional<qsizetype> gbkByteCount(const QString &text)
{
    const std::optional<QByteArray> bytes = toGbk(text);
    return bytes ? std::optional<qsizetype>(bytes->size()) : std::nullopt;
}

} // namespace quillon::settings
