// Random linked-channel texts and channel counts: reading never goes outside the text, and
// writing back what was read keeps every stored character, the first 108 padded.

#include "formats/sensorsettings.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

using namespace quillon::formats;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    FuzzedDataProvider data(bytes, size);
    const int channels = data.ConsumeIntegralInRange<int>(-2, 200);
    const std::string text = data.ConsumeRandomLengthString(400);
    const QByteArray stored(text.data(), qsizetype(text.size()));

    std::vector<LinkedChannel> links = parseLinkChn(stored, channels);
    if (int(links.size()) > std::max(channels, 0) || int(links.size()) > linkChnRoom(stored))
        std::abort();
    for (const LinkedChannel &link : links) {
        if (link.preset < 0 || link.preset > 99)
            std::abort();
    }
    QByteArray padded = stored;
    if (padded.size() < kLinkChnLength)
        padded.append(QByteArray(kLinkChnLength - padded.size(), '0'));

    const QByteArray unchanged = formatLinkChn(stored, links);
    if (unchanged.size() != padded.size())
        std::abort();
    for (qsizetype at = qsizetype(links.size()) * 3; at < padded.size(); ++at) {
        if (unchanged[at] != padded[at])
            std::abort();
    }

    for (LinkedChannel &link : links) {
        link.linked = data.ConsumeBool();
        link.preset = data.ConsumeIntegralInRange<int>(0, kMaxPreset);
    }
    const QByteArray written = formatLinkChn(stored, links);
    const std::vector<LinkedChannel> reread = parseLinkChn(written, int(links.size()));
    if (reread.size() != links.size())
        std::abort();
    for (size_t i = 0; i < links.size(); ++i) {
        if (reread[i].linked != links[i].linked || reread[i].preset != links[i].preset)
            std::abort();
    }
    return 0;
}
