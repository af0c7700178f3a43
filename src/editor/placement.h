#pragma once

#include <QLabel>
#include <QLatin1String>
#include <QRect>
#include <QWidget>

#include <initializer_list>
#include <utility>

namespace quillon::editor {

// A named control on the given parent, placed at the given geometry. Every control of the
// window and its dialogs carries a name, by which its texts, the tests and accessibility find it.
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
    caption = place<QLabel>(captionName, parent, left, top + shape.captionDrop, shape.captionWidth,
        shape.captionHeight);
    return place<Field>(fieldName, parent, left + shape.captionWidth + shape.gap, top,
        shape.fieldWidth, shape.fieldHeight);
}

} // namespace quillon::editor
