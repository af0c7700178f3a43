#pragma once

class QWidget;

namespace quillon::editor {

// Makes Tab go through the controls under the root in reading order, whatever order they were
// created in: top to bottom, and left to right along a line. Where controls stand in columns
// beside each other (a group box beside a list of boxes), each column is read to its end before
// the next, as a group's controls belong together. A tab bar is one stop: its arrow keys move
// between tabs, so its scroll buttons take no Tab focus. Run once the controls are placed.
void followReadingOrder(QWidget *root);

// Ctrl+Tab and Ctrl+Shift+Tab turn the pages of the page control nearest the focus, to the next
// or previous page shown, from any control of the window: a page control turns them only when
// the key reaches it, and a drop-down list with the focus takes them as typed text.
void turnPagesFromAnywhere(QWidget *window);

} // namespace quillon::editor
