#pragma once

#include "editor/setupcontext.h"
#include "editor/texttable.h"

#include <QLabel>
#include <QRect>
#include <QWidget>

#include <initializer_list>
#include <span>
#include <utility>

namespace quillon::editor {

// Enables the controls that follow a switch while it is on, and disables them while it is off.
inline void enableWhile(bool on, std::initializer_list<QWidget *> controls)
{
    for (QWidget *control : controls)
        control->setEnabled(on);
}

// One page of the setup window: it builds its controls on its sheet, names them, and gives
// the captions they carry in both languages. The window calls each page's load, check and
// save in its fixed orders.
class SetupPage
{
public:
    SetupPage(SetupContext &context, QWidget *sheet) : m_context(context), m_sheet(sheet) { }
    virtual ~SetupPage() = default;
    SetupPage(const SetupPage &) = delete;
    SetupPage &operator=(const SetupPage &) = delete;

    QWidget *sheet() const { return m_sheet; }

    // The page's captions, applied by the window's text routine.
    virtual std::span<const TextEntry> texts() const { return {}; }
    // Texts that live in rows or lists, rebuilt after the captions in the current language.
    virtual void retranslateRows() { }

protected:
    // A named control on the given parent, placed at the given geometry.
    template<class Control>
    Control *place(const char *name, QWidget *parent, int left, int top, int width, int height)
    {
        auto *control = new Control(parent);
        control->setObjectName(QLatin1String(name));
        control->setGeometry(left, top, width, height);
        return control;
    }

    // Controls of one kind one below the other: the first at `first`, each next one `step`
    // pixels lower, all of the first one's size.
    template<class Control>
    void placeColumn(QWidget *parent, const QRect &first, int step,
        std::initializer_list<std::pair<Control *&, const char *>> controls)
    {
        int top = first.top();
        for (const auto &[member, name] : controls) {
            member = place<Control>(name, parent, first.left(), top, first.width(), first.height());
            top += step;
        }
    }

    // How a form's lines are laid out: a caption, then the field it names `gap` pixels to its
    // right; the caption sits `captionDrop` pixels below the field's top so that their texts
    // stand on one line.
    struct LineShape
    {
        int captionWidth;
        int gap;
        int fieldWidth;
        int fieldHeight;
        int captionHeight = 20;
        int captionDrop = 2;
    };

    // One line of a form at the given left edge and top: the named caption and its named field.
    template<class Field>
    Field *placeLine(const LineShape &shape, QWidget *parent, int left, int top, QLabel *&caption,
        const char *captionName, const char *fieldName)
    {
        caption = place<QLabel>(captionName, parent, left, top + shape.captionDrop,
            shape.captionWidth, shape.captionHeight);
        return place<Field>(fieldName, parent, left + shape.captionWidth + shape.gap, top,
            shape.fieldWidth, shape.fieldHeight);
    }

    SetupContext &m_context;
    QWidget *m_sheet;
};

} // namespace quillon::editor
