#include "videoclient/kxclient.h"

#include <cstdio>
#include <cstdlib>

namespace {

bool g_started = false;

void logCall(const char *format, long long first = 0, long long second = 0)
{
    if (!std::getenv("QUILLON_KXCLIENT_LOG"))
        return;
    std::fprintf(stderr, "KxClient: ");
    std::fprintf(stderr, format, first, second);
    std::fprintf(stderr, "\n");
}

} // namespace

extern "C" {

std::int32_t KXCLIENT_CALL MP4_ClientSetNetPort(std::int32_t dataPort, std::int32_t commandPort)
{
    logCall("MP4_ClientSetNetPort(%lld, %lld)", dataPort, commandPort);
    return 1;
}

std::int32_t KXCLIENT_CALL MP4_ClientStartup(std::uint32_t message, std::uintptr_t window)
{
    logCall("MP4_ClientStartup(%lld, %lld)", message, static_cast<long long>(window));
    g_started = true;
    return 1;
}

std::int32_t KXCLIENT_CALL MP4_ClientSetShowMode(std::int32_t mode, std::uint32_t colorKey)
{
    logCall("MP4_ClientSetShowMode(%lld, 0x%llX)", mode, colorKey);
    return 1;
}

std::int32_t KXCLIENT_CALL MP4_ClientStop(std::int32_t stream)
{
    // No stream is ever started, so there is nothing to stop.
    logCall("MP4_ClientStop(%lld)", stream);
    return 0;
}

std::int32_t KXCLIENT_CALL MP4_ClientCleanup()
{
    logCall("MP4_ClientCleanup()");
    const bool wasStarted = g_started;
    g_started = false;
    return wasStarted ? 1 : 0;
}

} // extern "C"
