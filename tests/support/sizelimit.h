#pragma once

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

// Runs body in a child process whose files may not grow beyond limit bytes, as on a full disk
// (SIGXFSZ ignored, so a write fails with EFBIG instead of ending the process). True when body
// returned true there. The child ends with _exit: nothing of the test's own state is torn down.
template<typename Body> bool inChildUnderSizeLimit(rlim_t limit, Body body)
{
    const pid_t child = ::fork();
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit small {limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &small);
        ::_exit(body() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
