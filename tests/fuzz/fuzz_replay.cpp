// libFuzzer entry: bytes as a replay file, and as frames for the frame
// codec alone, whose bytes in a real file sit behind checksums that random
// changes rarely get past. A failure must be a message; a crash, a hang, an
// allocation past the limits or a broken property aborts.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/replay/replayfile.h"

static void broken(const char *what)
{
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    replay::Replay r;
    std::string error;
    if (!replay::read(data, size, SPARKRALLY_VERSION, r, error) && error.empty())
        broken("a replay failed without saying why");

    // Each number has one encoding, so every frame decoded encodes back to
    // exactly the bytes it came from.
    replay::FrameCodec decoder, encoder;
    replay::Frame frame;
    const uint8_t *p = data, *end = data + size;
    while (p < end) {
        const uint8_t *from = p;
        if (!decoder.decode(p, end, frame, error)) {
            if (error.empty())
                broken("a frame failed without saying why");
            break;
        }
        std::vector<uint8_t> again;
        encoder.encode(frame, again);
        if (again.size() != size_t(p - from) || memcmp(again.data(), from, again.size()) != 0)
            broken("a decoded frame encodes to other bytes");
    }
    return 0;
}
