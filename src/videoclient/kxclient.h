#pragma once

// The video client library: the setup window starts it up when shown and cleans it up when
// closed. This stand-in starts no stream; with QUILLON_KXCLIENT_LOG set it writes one line per
// call to stderr, so that tests and the demo can see the calls.

#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define KXCLIENT_CALL __stdcall
#else
#define KXCLIENT_CALL
#endif

#if defined(_WIN32)
#if defined(KXCLIENT_BUILD)
#define KXCLIENT_EXPORT __declspec(dllexport)
#else
#define KXCLIENT_EXPORT __declspec(dllimport)
#endif
#else
#define KXCLIENT_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

KXCLIENT_EXPORT std::int32_t KXCLIENT_CALL MP4_ClientSetNetPort(
    std::int32_t dataPort, std::int32_t commandPort);
KXCLIENT_EXPORT std::int32_t KXCLIENT_CALL MP4_ClientStartup(
    std::uint32_t message, std::uintptr_t window);
KXCLIENT_EXPORT std::int32_t KXCLIENT_CALL MP4_ClientSetShowMode(
    std::int32_t mode, std::uint32_t colorKey);
KXCLIENT_EXPORT std::int32_t KXCLIENT_CALL MP4_ClientStop(std::int32_t stream);
KXCLIENT_EXPORT std::int32_t KXCLIENT_CALL MP4_ClientCleanup();

} // extern "C"
