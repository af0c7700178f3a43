/* Links the installed module and host link the way a client application's build does, then
 * checks them: ShowSetupForm resolves, the host link answers bad arguments as documented and,
 * given a server, logs in to it. Exit 0 when every check passes. */
#include <quillon/showsetupform.h>

#include <stdio.h>
#include <stdlib.h>

int check_host_link(const char *host, int port, const char *userName, const char *password);

typedef int32_t(QUILLON_CALL *ShowSetupFormFunction)(
    const char *, uintptr_t, const char *, const char *, int32_t);

int main(int argc, char **argv)
{
    /* Showing the window needs an operator, so the entry is only resolved, not called. */
    const ShowSetupFormFunction entry = ShowSetupForm;
    if (!entry) {
        fputs("ShowSetupForm did not resolve\n", stderr);
        return 1;
    }
    if (argc != 1 && argc != 5) {
        fputs("usage: consumer [HOST PORT USER PASSWORD]\n", stderr);
        return 2;
    }
    const int failures = argc == 5 ? check_host_link(argv[1], atoi(argv[2]), argv[3], argv[4])
                                   : check_host_link(NULL, 0, NULL, NULL);
    if (failures)
        return 1;
    puts("consumer: ShowSetupForm resolved, host link checks passed");
    return 0;
}
