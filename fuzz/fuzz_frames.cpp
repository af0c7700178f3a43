// Random byte streams into the server's frame decoder, fed in random chunks, and every ready
// frame through every message parser: nothing may read outside a buffer, and a frame that
// parses must encode back to the same payload.

#include "hostlink/wire.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

using namespace quillon::wire;

namespace {

template<typename Message> void roundTrip(const Frame &frame)
{
    if (frame.type != Message::kType)
        return;
    if (const std::optional<Message> message = decode<Message>(frame)) {
        if (message->payload() != frame.payload)
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    FuzzedDataProvider data(bytes, size);
    FrameDecoder decoder(data.ConsumeBool() ? kMaxControlPayload : kMaxFramePayload);
    qsizetype frameBytes = 0; // taken since the last ready frame
    while (data.remaining_bytes() > 0 && decoder.state() != FrameDecoder::State::Failed) {
        const std::string chunk = data.ConsumeRandomLengthString(64);
        QByteArrayView rest(chunk.data(), qsizetype(chunk.size()));
        while (!rest.isEmpty() && decoder.state() == FrameDecoder::State::NeedMore) {
            const qsizetype taken = decoder.feed(rest);
            if (taken < 0 || taken > rest.size())
                std::abort();
            // A decoder still waiting must have taken everything it was given.
            if (decoder.state() == FrameDecoder::State::NeedMore && taken != rest.size())
                std::abort();
            rest = rest.sliced(taken);
            frameBytes += taken;
            if (decoder.state() == FrameDecoder::State::FrameReady) {
                const Frame frame = decoder.takeFrame();
                // Never a byte of the next frame.
                if (frameBytes != kHeaderSize + frame.payload.size())
                    std::abort();
                frameBytes = 0;
                roundTrip<LoginHello>(frame);
                roundTrip<LoginChallenge>(frame);
                roundTrip<LoginProof>(frame);
                roundTrip<LoginResult>(frame);
                roundTrip<SessionOpen>(frame);
                roundTrip<StatusReply>(frame);
                roundTrip<FileRequest>(frame);
                roundTrip<FileData>(frame);
                roundTrip<FileUpload>(frame);
                roundTrip<Command>(frame);
            }
            if (taken == 0)
                break;
        }
    }
    return 0;
}
