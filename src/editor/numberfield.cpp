#include "editor/numberfield.h"

#include "settings/gbk.h"

#include <QKeyEvent>

#include <algorithm>

namespace quillon::editor {

int clampTypedValue(const QString &text, int minimum, int maximum)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('-')))
        return minimum;
    bool isNumber = false;
    const qlonglong number = trimmed.toLongLong(&isNumber);
    if (!isNumber) {
        // A run of digits too long for any integer is still a number above the maximum.
        const bool allDigits = std::all_of(trimmed.begin(), trimmed.end(),
            [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
        return allDigits ? maximum : minimum;
    }
    return int(std::clamp<qlonglong>(number, minimum, maximum));
}

NumberField::NumberField(QWidget *parent) : QLineEdit(parent)
{
    showClamped(m_minimum);
}

void NumberField::setRange(int minimum, int maximum)
{
    m_minimum = minimum;
    m_maximum = std::max(minimum, maximum);
    showClamped(value());
}

int NumberField::value() const
{
    return clampTypedValue(text(), m_minimum, m_maximum);
}

void NumberField::setValue(int value)
{
    showClamped(value);
}

void NumberField::showClamped(int value)
{
    const QString shown = QString::number(std::clamp(value, m_minimum, m_maximum));
    if (text() != shown)
        setText(shown);
}

void NumberField::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) {
        const int step = event->key() == Qt::Key_Up ? 1 : -1;
        const qlonglong next = qlonglong(value()) + step;
        showClamped(int(std::clamp<qlonglong>(next, m_minimum, m_maximum)));
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void NumberField::keyReleaseEvent(QKeyEvent *event)
{
    QLineEdit::keyReleaseEvent(event);
    showClamped(value());
}

GbkByteValidator::GbkByteValidator(int maxBytes, QObject *parent)
    : QValidator(parent), m_maxBytes(maxBytes)
{ }

QValidator::State GbkByteValidator::validate(QString &input, int &) const
{
    const std::optional<qsizetype> bytes = settings::gbkByteCount(input);
    return bytes && *bytes <= m_maxBytes ? Acceptable : Invalid;
}

} // namespace quillon::editor
