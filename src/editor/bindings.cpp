#include "editor/bindings.h"

#include "editor/numberfield.h"
#include "formats/profileaccess.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

#include <algorithm>

namespace quillon::editor {

namespace {

// Shows a flag on a radio button: a button of an exclusive pair cannot be turned off by
// itself, so off checks the other button of its pair.
void showFlagOnRadio(QRadioButton *button, bool on)
{
    if (on) {
        button->setChecked(true);
        return;
    }
    for (QRadioButton *other :
        button->parentWidget()->findChildren<QRadioButton *>(Qt::FindDirectChildrenOnly)) {
        if (other != button) {
            other->setChecked(true);
            return;
        }
    }
}

} // namespace

void Bindings::bind(SetupContext &context, const QWidget *page,
    std::initializer_list<const char *> controls, Ends ends)
{
    const auto noteChange = [&context, hook = m_noteChange] {
        (context.*hook)();
    };
    for (const char *name : controls) {
        auto *control = page->findChild<QWidget *>(QLatin1String(name));
        Q_ASSERT_X(control, "Bindings", name);
        const schema::Setting &setting = schema::settingOf(name);
        if (auto *field = qobject_cast<NumberField *>(control)) {
            field->setRange(setting.minimum, setting.maximum);
            QObject::connect(field, &QLineEdit::textChanged, control, noteChange);
        } else if (auto *edit = qobject_cast<QLineEdit *>(control)) {
            QObject::connect(edit, &QLineEdit::textChanged, control, noteChange);
        } else if (auto *slider = qobject_cast<QAbstractSlider *>(control)) {
            slider->setRange(setting.minimum, setting.maximum);
            QObject::connect(slider, &QAbstractSlider::valueChanged, control, noteChange);
        } else if (auto *button = qobject_cast<QAbstractButton *>(control)) {
            QObject::connect(button, &QAbstractButton::toggled, control, noteChange);
        } else if (auto *list = qobject_cast<QComboBox *>(control)) {
            // The operator's choice counts as a change; a selection made by the window does not.
            QObject::connect(list, &QComboBox::activated, control, noteChange);
        } else {
            Q_ASSERT_X(false, "Bindings", "a control of a type that shows no setting");
        }
        Bound bound {control, &setting};
        bound.ends = ends;
        m_bound.push_back(bound);
    }
}

void Bindings::load(const settings::ProfileFile &file, int index)
{
    for (Bound &bound : m_bound) {
        const schema::Setting &setting = *bound.setting;
        if (auto *field = qobject_cast<NumberField *>(bound.control)) {
            field->setValue(formats::readNumber(file, setting, index));
            bound.shownOnLoad = field->value();
            // A default outside the range is written as shown; a stored number stays as stored.
            bound.stored
                = formats::readStoredNumber(file, setting, index).value_or(bound.shownOnLoad);
        } else if (auto *edit = qobject_cast<QLineEdit *>(bound.control)) {
            if (setting.kind == schema::Kind::Number) {
                const qint32 number = formats::readNumber(file, setting, index);
                bound.shownOnLoad = std::clamp(number, setting.minimum, setting.maximum);
                bound.stored
                    = formats::readStoredNumber(file, setting, index).value_or(bound.shownOnLoad);
                edit->setText(QString::number(bound.shownOnLoad));
            } else {
                const QByteArray stored = formats::readText(file, setting, index);
                edit->setText(bound.text.load(
                    bound.ends == Ends::Trimmed ? formats::trimmedText(stored) : stored));
            }
        } else if (auto *slider = qobject_cast<QAbstractSlider *>(bound.control)) {
            slider->setValue(formats::readNumber(file, setting, index));
        } else if (auto *radio = qobject_cast<QRadioButton *>(bound.control)) {
            showFlagOnRadio(radio, formats::readFlag(file, setting, index));
        } else if (auto *button = qobject_cast<QAbstractButton *>(bound.control)) {
            button->setChecked(formats::readFlag(file, setting, index));
        } else if (auto *list = qobject_cast<QComboBox *>(bound.control)) {
            bound.stored = formats::readNumber(file, setting, index);
            list->setCurrentIndex(formats::listEntryFor(bound.stored, list->count()));
        }
    }
}

void Bindings::save(const settings::ProfileFile &file, int index) const
{
    write(file, shown(), index);
}

Bindings::Shown Bindings::shown() const
{
    Shown values;
    for (const Bound &bound : m_bound) {
        if (auto *field = qobject_cast<NumberField *>(bound.control))
            values.emplace_back(
                field->value() == bound.shownOnLoad ? bound.stored : field->value());
        else if (auto *edit = qobject_cast<QLineEdit *>(bound.control))
            values.push_back(lineEditValue(bound, *edit));
        else if (auto *slider = qobject_cast<QAbstractSlider *>(bound.control))
            values.emplace_back(qint32(slider->value()));
        else if (auto *button = qobject_cast<QAbstractButton *>(bound.control))
            values.emplace_back(qint32(button->isChecked() ? 1 : 0));
        else if (auto *list = qobject_cast<QComboBox *>(bound.control))
            values.emplace_back(formats::listIndexToStore(list->currentIndex(), bound.stored));
    }
    return values;
}

Bindings::Value Bindings::lineEditValue(const Bound &bound, const QLineEdit &edit)
{
    if (bound.setting->kind != schema::Kind::Number)
        return bound.text.bytesFor(edit.text());
    const QString digits = edit.displayText().trimmed();
    if (digits == QString::number(bound.shownOnLoad))
        return bound.stored;
    return digits.toLatin1();
}

void Bindings::write(const settings::ProfileFile &file, const Shown &values, int index) const
{
    Q_ASSERT(values.size() == m_bound.size());
    for (size_t row = 0; row < m_bound.size(); ++row) {
        const schema::Setting &setting = *m_bound[row].setting;
        if (const auto *text = std::get_if<QByteArray>(&values[row]))
            formats::writeText(file, setting, *text, index);
        else if (qobject_cast<const QAbstractButton *>(m_bound[row].control))
            formats::writeFlag(file, setting, std::get<qint32>(values[row]) != 0, index);
        else
            formats::writeNumber(file, setting, std::get<qint32>(values[row]), index);
    }
}

} // namespace quillon::editor
