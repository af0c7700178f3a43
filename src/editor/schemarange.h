#pragma once

#include "schema/schema.h"

namespace quillon::editor {

// Gives a number field or a track bar the range the schema keeps for the control of its name.
template<class Control> void setSchemaRange(Control *control)
{
    const schema::Setting &setting = schema::settingOf(control->objectName().toLatin1());
    control->setRange(setting.minimum, setting.maximum);
}

} // namespace quillon::editor
