// libFuzzer entry: bytes as a replay file, and as frames for the frame
// codec alone, whose bytes in a real file sit behind checksums that random
// changes rarely get past. A failure must be a message; a crash, a hang, an
// allocation past the limits or a broken property aborts.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "replay/framecodec.h"
#include "replay/replayfile.h"

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

    // Each number has one encoding, so a block of frames decoded encodes
    // back to exactly the bytes it came from; the first byte says how many
    // frames. The first format's frames must decode or say why.
    if (size == 0)
        return 0;
    uint32_t frames = data[0] % replay::digest_every + 1;
    replay::Pointer from, at, again;
    std::vector<replay::Frame> decoded;
    if (replay::decodeblock(data + 1, data + size, frames, at, decoded, error)) {
        std::vector<uint8_t> bytes;
        replay::encodeblock(decoded.data(), decoded.size(), from, bytes);
        if (bytes.size() != size - 1 || memcmp(bytes.data(), data + 1, bytes.size()) != 0)
            broken("a decoded block encodes to other bytes");
    } else if (error.empty()) {
        broken("a block failed without saying why");
    }
    decoded.clear();
    error.clear();
    if (!replay::decodeblock1(data + 1, data + size, frames, again, decoded, error) &&
        error.empty())
        broken("a first-format block failed without saying why");
    return 0;
}
