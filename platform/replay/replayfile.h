// Replay files (.sparkrally): a match's input, frame by frame, exactly as
// the game read it, with digests of the game state to verify it by. The
// format is written down in docs/replays.md. The same match gives the same
// bytes on every target.
#ifndef SPARKRALLY_PLATFORM_REPLAY_REPLAYFILE_H
#define SPARKRALLY_PLATFORM_REPLAY_REPLAYFILE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace replay {

// One event as the game reads it: the pointer's position from a motion, a
// key going down with whether Escape was held then, a close request.
enum Kind : uint8_t { motion = 1, key = 2, closed = 3 };
struct Event {
    Kind kind;
    uint8_t escape; // key: 1 when Escape was down as the key went down
    uint16_t x, y;  // motion: the pointer in window pixels
    bool operator==(const Event &o) const
    {
        return kind == o.kind && escape == o.escape && x == o.x && y == o.y;
    }
};
using Frame = std::vector<Event>;

// How often the state's digest is kept: every this many frames (about five
// seconds of play), and after the last frame.
const uint32_t digest_every = 300;

// One frame's events as bytes and back: live play decodes what it encodes,
// so that what is recorded is exactly what was played. `pointer` carries
// the last motion's position from frame to frame (motions are kept as
// differences); both sides start it at FrameCodec's default.
struct FrameCodec {
    uint16_t x = 0, y = 0;
    void encode(const Frame &events, std::vector<uint8_t> &out);
    // Decodes one frame from [p, end), advancing p; false on bytes that are
    // not a frame (error says why).
    bool decode(const uint8_t *&p, const uint8_t *end, Frame &events, std::string &error);
};

// Writes a replay as the match is played. Bytes become available in whole
// blocks, so that a file cut short anywhere still reads up to its last
// whole block.
class Writer
{
  public:
    // gameversion: printable ASCII, at most max_version_bytes long.
    explicit Writer(const std::string &gameversion);
    ~Writer();
    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;

    // One frame: its encoded events (from FrameCodec::encode).
    void frame(const std::vector<uint8_t> &encoded);
    // The digest of the game state after the frame just added. Called after
    // every digest_every-th frame (and only then): it closes a block.
    void keep(uint64_t digest);
    // The bytes finished since the last call: the header first, then whole
    // blocks. Empty until a block is complete.
    std::vector<uint8_t> take();
    // Ends the replay after the last frame, with the state's digest then:
    // the last block and the closing record. Returns the remaining bytes;
    // the Writer takes no more frames.
    std::vector<uint8_t> finish(uint64_t digest);

  private:
    struct Impl;
    Impl *impl;
};

// A replay read back whole.
struct Replay {
    uint16_t format = 0;
    std::string gameversion;             // the game that recorded it
    std::vector<Frame> frames;           // every whole frame
    std::vector<uint32_t> digest_frames; // frame counts at which a digest was kept
    std::vector<uint64_t> digests;       // the digest after each of those frames
    bool complete = false;               // the closing record was read: nothing is missing
};

// Limits on what a file may make the reader do.
const size_t max_file_bytes = 64u << 20;
const uint32_t max_frames = 10u * 60 * 60 * 70; // ten hours at 70 frames a second
const uint32_t max_events_per_frame = 65536;
const size_t max_inflated_bytes = 256u << 20;
const size_t max_version_bytes = 64;

// Reads a replay. On failure returns false with one line in error naming
// what is wrong. A file cut short reads as incomplete (complete false), up
// to its last whole block; a corrupt one (checksums, counts, trailing
// bytes, wrong magic, newer format) fails. `thisversion` is the game's own
// version: a replay from another version fails, naming both.
bool read(const uint8_t *data, size_t size, const std::string &thisversion, Replay &out,
          std::string &error);
// The same from a file: a missing, unreadable or oversized file, or a
// directory, fails with the reason.
bool readfile(const char *path, const std::string &thisversion, Replay &out, std::string &error);

} // namespace replay

#endif
