#pragma once

#include <QByteArray>
#include <QString>

namespace quillon::dvrd {

// Writes one line to stderr, prefixed with the program's name.
void logLine(const QString &line);

// A user name or path from the wire, made safe for a one-line log: GBK decoded, control
// characters and blanks written as \xNN, cut at a sane length.
QString printable(const QByteArray &bytes);
// The bytes behind a printable() text, as far as it kept them (a name cut short stays cut).
QByteArray unprintable(const QString &text);

} // namespace quillon::dvrd
