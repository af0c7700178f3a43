// quillon: the operator's tool for recording servers' settings. See docs/operator.md.

#include "tools/quillon/commands.h"

#include <QApplication>

#include <cstdio>
#include <memory>

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    // Only the window needs a display: every other command runs on a bare console.
    std::unique_ptr<QCoreApplication> app;
    if (quillon::tool::opensWindow(arguments)) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
            && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
            std::fputs("quillon: edit opens a window and needs a display (DISPLAY)\n", stderr);
            return quillon::tool::kExitUsage;
        }
        app = std::make_unique<QApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    return quillon::tool::runCommand(arguments);
}
