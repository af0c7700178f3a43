#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace quillon::settings {

// Settings texts are GBK bytes; they become QString only at the widget boundary.
QString fromGbk(const QByteArray &bytes);
// Nothing when the text holds a character GBK cannot carry: such text is refused, never
// turned into '?'.
std::optional<QByteArray> toGbk(const QString &text);
// The GBK byte count of a text, or nothing when GBK cannot carry it.
std::optional<qsizetype> gbkByteCount(const QString &text);

} // namespace quillon::settings
