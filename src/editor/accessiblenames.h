#pragma once

class QWidget;

namespace quillon::editor {

// Gives every control under the root that takes input an accessible name in the current
// language, so a screen reader says what the control is for: the control's own caption, else
// the label beside it (left of it on its line, else just above it), else its setting's caption,
// else the title of the group it sits in. A number with a range also gets the range as its
// description. Run after the window's texts are set, and again after each language switch.
void nameInputControls(QWidget *root);

// True for the widgets that take input and so need a name: line edits, number fields, spin
// boxes, lists, check boxes, radio buttons, sliders and views; not the scroll bars and editors
// that are parts of another control.
bool takesInput(const QWidget *widget);

} // namespace quillon::editor
