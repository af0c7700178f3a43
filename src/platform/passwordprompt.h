#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace quillon::platform {

// The password from the environment variable when it is set, else asked for on the terminal
// without echo. Ctrl-C at the prompt gives the terminal its echo back before the program ends.
// Nothing, with *error set, when there is neither (no terminal) or the terminal cannot be set.
std::optional<QByteArray> readPassword(const char *environmentVariable, QString *error);

} // namespace quillon::platform
