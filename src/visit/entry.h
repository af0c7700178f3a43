#pragma once

// The module's one export. A client application calls it on its GUI thread to configure one
// recording server: it logs in, downloads the server's settings files, shows the setup window
// modally and, on OK, uploads the files and tells the server to apply them.

#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define QUILLON_CALL __stdcall
#else
#define QUILLON_CALL
#endif

#if defined(_WIN32)
#define QUILLON_EXPORT __declspec(dllexport)
#else
#define QUILLON_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

// host: the server's name or dotted address. ownerWindow: the caller's native window id, or 0.
// portCode: 10 or less for the default port 5040, else the port plus 10.
// Returns -1 once the window was shown and closed (by OK, Cancel or its close box), and 0
// when the login failed and no window was shown.
QUILLON_EXPORT std::int32_t QUILLON_CALL ShowSetupForm(const char *host, std::uintptr_t ownerWindow,
                                                       const char *userName, const char *password,
                                                       std::int32_t portCode);

} // extern "C"
