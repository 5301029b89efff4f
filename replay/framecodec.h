// A block's frames as bytes and back, for the replay file alone. Pointer
// positions are kept as differences from the last one, carried from block
// to block, starting at (0, 0).
#ifndef SPARKRALLY_REPLAY_FRAMECODEC_H
#define SPARKRALLY_REPLAY_FRAMECODEC_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "replay/replayfile.h"

namespace replay {

// "1 frame", "2 frames": a count in words, for the reader's messages.
std::string count(uint64_t n, const char *one, const char *many);

struct Pointer {
    uint16_t x = 0, y = 0;
};

// The most a format-2 frame takes: its flags and two differences of at most
// three bytes each.
const size_t max_frame_bytes = 1 + 3 + 3;

// Format 2: the block's flags, a byte a frame; then the x differences of
// the frames that moved; then their y differences.
void encodeblock(const Frame *frames, size_t n, Pointer &at, std::vector<uint8_t> &out);
// Decodes exactly n frames from exactly [p, end) onto out; false with the
// reason (and the frame, counted from the replay's first) otherwise.
bool decodeblock(const uint8_t *p, const uint8_t *end, uint32_t n, Pointer &at,
                 std::vector<Frame> &out, std::string &error);
// Format 1: each frame its events in full, reduced to what a frame keeps as
// they are read.
bool decodeblock1(const uint8_t *p, const uint8_t *end, uint32_t n, Pointer &at,
                  std::vector<Frame> &out, std::string &error);

} // namespace replay

#endif
