#include "editor/bindings.h"

#include "editor/numberfield.h"
#include "formats/profileaccess.h"
#include "formats/systemsettings.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>

namespace quillon::editor {

void Bindings::bind(
    SetupContext &context, const QWidget *page, std::initializer_list<const char *> controls)
{
    const auto noteChange = [&context] {
        context.noteChange();
    };
    for (const char *name : controls) {
        auto *control = page->findChild<QWidget *>(QLatin1String(name));
        Q_ASSERT_X(control, "Bindings", name);
        const schema::Setting &setting = schema::settingOf(name);
        if (auto *field = qobject_cast<NumberField *>(control)) {
            field->setRange(setting.minimum, setting.maximum);
            QObject::connect(field, &QLineEdit::textChanged, control, noteChange);
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
        m_bound.push_back({control, &setting});
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
        } else if (auto *slider = qobject_cast<QAbstractSlider *>(bound.control)) {
            slider->setValue(formats::readNumber(file, setting, index));
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
            values.push_back(field->value() == bound.shownOnLoad ? bound.stored : field->value());
        else if (auto *slider = qobject_cast<QAbstractSlider *>(bound.control))
            values.push_back(slider->value());
        else if (auto *button = qobject_cast<QAbstractButton *>(bound.control))
            values.push_back(button->isChecked() ? 1 : 0);
        else if (auto *list = qobject_cast<QComboBox *>(bound.control))
            values.push_back(formats::listIndexToStore(list->currentIndex(), bound.stored));
    }
    return values;
}

void Bindings::write(const settings::ProfileFile &file, const Shown &values, int index) const
{
    Q_ASSERT(values.size() == m_bound.size());
    for (size_t row = 0; row < m_bound.size(); ++row) {
        const schema::Setting &setting = *m_bound[row].setting;
        if (qobject_cast<const QAbstractButton *>(m_bound[row].control))
            formats::writeFlag(file, setting, values[row] != 0, index);
        else
            formats::writeNumber(file, setting, values[row], index);
    }
}

} // namespace quillon::editor
