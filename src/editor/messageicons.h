#pragma once

class QMessageBox;

namespace quillon::editor {

// Gives the box an information, warning or question icon drawn at the screen's pixel density:
// the style's own icons exist only as small pictures, which a dense screen shows blown up.
// The box keeps its icon kind, so what it announces does not change.
void useScalableIcon(QMessageBox &box);

} // namespace quillon::editor
