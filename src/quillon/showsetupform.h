/* The module's one export, for C and C++ callers. A client application calls it on its GUI
 * thread to configure one recording server: it logs in, downloads the server's settings files,
 * shows the setup window modally and, on OK, uploads the files and tells the server to apply
 * them. */
#ifndef QUILLON_SHOWSETUPFORM_H
#define QUILLON_SHOWSETUPFORM_H

#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define QUILLON_CALL __stdcall
#else
#define QUILLON_CALL
#endif

#if defined(_WIN32)
#if defined(QUILLON_BUILD)
#define QUILLON_EXPORT __declspec(dllexport)
#else
#define QUILLON_EXPORT __declspec(dllimport)
#endif
#else
#define QUILLON_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* host: the server's name or dotted address. ownerWindow: the caller's native window id, or 0.
 * portCode: 10 or less for the default port 5040, else the port plus 10.
 * Returns -1 once the window was shown and closed (by OK, Cancel or its close box), and 0
 * when the login failed and no window was shown. */
QUILLON_EXPORT int32_t QUILLON_CALL ShowSetupForm(const char *host, uintptr_t ownerWindow,
    const char *userName, const char *password, int32_t portCode);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* QUILLON_SHOWSETUPFORM_H */
