// libFuzzer entry: bytes become frames of events for the whole game, and a
// broken invariant aborts with its description.
#include <cstdio>
#include <cstdlib>

#include "frames_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Watched w = runinput(data, size);
    if (!w.failure.empty()) {
        std::fprintf(stderr, "invariant broken: %s\n", w.failure.c_str());
        std::abort();
    }
    return 0;
}
