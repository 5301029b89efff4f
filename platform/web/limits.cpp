// The reader's limit on a replay file's size, for the page: a larger file
// or link is refused before a byte of it is copied into the heap.
#include <emscripten.h>

#include "replay/replayfile.h"

extern "C" EMSCRIPTEN_KEEPALIVE double sparkrally_replay_limit()
{
    return double(replay::max_file_bytes);
}
