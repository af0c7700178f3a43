#pragma once

#include <QLineEdit>
#include <QValidator>

namespace quillon::editor {

// The typed-value clamp shared by every number field of the window: an empty text or one that
// starts with '-' gives the minimum; a number outside the range is pulled to the nearer bound;
// any other text gives the minimum.
int clampTypedValue(const QString &text, int minimum, int maximum);

// A number field: typing is free, and each key release rewrites the text as the clamped
// decimal value. Up and Down step the value by one.
class NumberField : public QLineEdit
{
    Q_OBJECT

public:
    explicit NumberField(QWidget *parent = nullptr);

    void setRange(int minimum, int maximum);
    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }

    // The shown text read through the clamp.
    int value() const;
    // Shows the value clamped into the range.
    void setValue(int value);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;

private:
    void showClamped(int value);

    int m_minimum = 0;
    int m_maximum = 100;
};

// Refuses text that GBK cannot carry or that takes more than a number of GBK bytes, so that a
// field never spills into the next one of a fixed-size record.
class GbkByteValidator : public QValidator
{
    Q_OBJECT

public:
    GbkByteValidator(int maxBytes, QObject *parent);
    State validate(QString &input, int &position) const override;

private:
    int m_maxBytes;
};

} // namespace quillon::editor
