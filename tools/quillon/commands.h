#pragma once

#include <QStringList>

namespace quillon::tool {

// Exit codes.
enum ExitCode {
    kExitDone = 0,
    kExitDifferent = 1, // diff: the two sides differ
    kExitUsage = 2, // bad arguments or input
    kExitLoginRefused = 3, // login refused, or the server's identity changed
    kExitInvalid = 4, // validation failed
    kExitFailed = 5, // a transfer or apply failed (push: on any host)
};

// Whether the command line opens a window (edit), so that the program makes a QApplication;
// every other command runs without a display.
bool opensWindow(const QStringList &arguments);

// Runs one command line (without the program name); returns the exit code.
int runCommand(const QStringList &arguments);

} // namespace quillon::tool
