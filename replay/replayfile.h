// Replay files (.sparkrally): a match's input, frame by frame, exactly as
// the game read it, with digests of the game state to verify it by. The
// format is written down in docs/replays.md. The same match gives the same
// bytes on every target.
#ifndef SPARKRALLY_REPLAY_REPLAYFILE_H
#define SPARKRALLY_REPLAY_REPLAYFILE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "game/rulesversion.h"

namespace replay {

// One frame as the game reads it. Of a frame's events the game keeps only
// the last pointer position, whether a key went down while Escape was held,
// and whether the window was asked to close (a second close, or a key
// without Escape, changes nothing), so a frame keeps exactly that: every
// frame has a small bound, whatever the player did during it.
enum Flag : uint8_t { moved = 1, escaped = 2, closed = 4 };
struct Frame {
    uint8_t flags = 0;
    uint16_t x = 0, y = 0; // when moved: the pointer in window pixels, else 0
    bool operator==(const Frame &o) const { return flags == o.flags && x == o.x && y == o.y; }
};

// How often the state's digest is kept: every this many frames (about five
// seconds of play), and after the last frame.
const uint32_t digest_every = 300;

// Writes a replay as the match is played. The header is ready at once and
// blocks as they are whole, so that a file cut short anywhere, a killed
// recording's included, still reads up to its last whole block.
class Writer
{
  public:
    // gameversion: printable ASCII, at most max_version_bytes long; rules:
    // the rules version that plays the match.
    explicit Writer(const std::string &gameversion, uint16_t rules = rules_version);
    ~Writer();
    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;

    void frame(const Frame &f);
    // The digest of the game state after the frame just added. Called after
    // every digest_every-th frame (and only then): it closes a block.
    void keep(uint64_t digest);
    // The bytes finished since the last call: the header first, then whole
    // blocks.
    std::vector<uint8_t> take();
    // Ends the replay after the last frame, with the state's digest then:
    // the last block and the closing record. Returns the remaining bytes;
    // the Writer takes no more frames.
    std::vector<uint8_t> finish(uint64_t digest);
    // Empty unless compressing failed, in which case no more bytes come and
    // this says why.
    const std::string &error() const;

  private:
    struct Impl;
    Impl *impl;
};

// A replay read back whole.
struct Replay {
    uint16_t format = 0;
    uint16_t rules = 0;                  // the rules version that played it
    std::string gameversion;             // the game that recorded it
    std::vector<Frame> frames;           // every whole frame
    std::vector<uint32_t> digest_frames; // frame counts at which a digest was kept
    std::vector<uint64_t> digests;       // the digest after each of those frames
    bool complete = false;               // the closing record was read: nothing is missing
};

// Limits on what a file may make the reader do. Reading holds the file,
// one block's events and the frames (sizeof(Frame) bytes each, twice over
// while the list grows), and nothing more that grows with the file.
const size_t max_file_bytes = 64u << 20;
const uint32_t max_frames = 10u * 60 * 60 * 70; // ten hours at 70 frames a second
const uint32_t max_events_per_frame = 65536;    // format 1's frames
const size_t max_inflated_bytes = 256u << 20;   // format 1's blocks, all together
const size_t max_block_bytes = 8u << 20;        // one format-1 block's events
const size_t max_version_bytes = 64;

// Reads a replay. On failure returns false with one line in error naming
// what is wrong. A file cut short reads as incomplete (complete false), up
// to its last whole block; a corrupt one (checksums, counts, trailing
// bytes, wrong magic, a newer format) fails, and so does a replay of
// rules other than rules_version, naming the rules and games of both;
// `thisgame` is the reading game's version, for that line.
bool read(const uint8_t *data, size_t size, const std::string &thisgame, Replay &out,
          std::string &error);
// The same from a file: a missing, unreadable or oversized file, or a
// directory, fails with the reason.
bool readfile(const char *path, const std::string &thisgame, Replay &out, std::string &error);

} // namespace replay

#endif
