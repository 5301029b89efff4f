// A block's frames as bytes. Numbers are LEB128 varints; pointer moves are
// zigzag-coded differences from the last position. Format 2 keeps like with
// like (flags, then x moves, then y moves), which deflate packs tighter
// than frames one after another.
#include "replay/framecodec.h"

namespace replay {

std::string count(uint64_t n, const char *one, const char *many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// A block's bytes end with its last frame.
static bool usedup(const uint8_t *p, const uint8_t *end, std::string &error)
{
    if (p == end)
        return true;
    error = count(uint64_t(end - p), "byte", "bytes") + " after its last frame";
    return false;
}

static void putvarint(std::vector<uint8_t> &out, uint32_t v)
{
    while (v >= 0x80) {
        out.push_back(uint8_t(v | 0x80));
        v >>= 7;
    }
    out.push_back(uint8_t(v));
}

// At most five bytes, no value past 32 bits, and no needless trailing zero
// group, so that each number has exactly one encoding.
static bool getvarint(const uint8_t *&p, const uint8_t *end, uint32_t &v, std::string &error)
{
    v = 0;
    for (int shift = 0; shift < 35; shift += 7) {
        if (p == end) {
            error = "the frame ends inside a number";
            return false;
        }
        uint8_t b = *p++;
        if (shift == 28 && b > 0x0f) {
            error = "a number is larger than 32 bits";
            return false;
        }
        v |= uint32_t(b & 0x7f) << shift;
        if (!(b & 0x80)) {
            if (b == 0 && shift > 0) {
                error = "a number is written longer than it needs";
                return false;
            }
            return true;
        }
    }
    error = "a number is larger than 32 bits";
    return false;
}

static uint32_t zigzag(int32_t d)
{
    return d < 0 ? (uint32_t(-(d + 1)) << 1) | 1 : uint32_t(d) << 1;
}

static int32_t unzigzag(uint32_t z) { return z & 1 ? -int32_t(z >> 1) - 1 : int32_t(z >> 1); }

// A move that leaves 0..65535, one coordinate.
static bool move(const uint8_t *&p, const uint8_t *end, uint16_t &c, std::string &error)
{
    uint32_t z;
    if (!getvarint(p, end, z, error))
        return false;
    int64_t to = int64_t(c) + unzigzag(z);
    if (to < 0 || to > 0xffff) {
        error = "the pointer moves to " + std::to_string(to) + ", outside 0 to 65535";
        return false;
    }
    c = uint16_t(to);
    return true;
}

static bool framefault(std::string &error, size_t frame, const std::string &what)
{
    error = "frame " + std::to_string(frame) + ": " + what;
    return false;
}

void encodeblock(const Frame *frames, size_t n, Pointer &at, std::vector<uint8_t> &out)
{
    for (size_t i = 0; i < n; i++)
        out.push_back(frames[i].flags);
    Pointer x = at;
    for (size_t i = 0; i < n; i++)
        if (frames[i].flags & moved) {
            putvarint(out, zigzag(int32_t(frames[i].x) - int32_t(x.x)));
            x.x = frames[i].x;
        }
    for (size_t i = 0; i < n; i++)
        if (frames[i].flags & moved) {
            putvarint(out, zigzag(int32_t(frames[i].y) - int32_t(at.y)));
            at.y = frames[i].y;
        }
    at.x = x.x;
}

bool decodeblock(const uint8_t *p, const uint8_t *end, uint32_t n, Pointer &at,
                 std::vector<Frame> &out, std::string &error)
{
    if (size_t(end - p) < n) {
        error = "its events end inside their flags";
        return false;
    }
    size_t first = out.size();
    for (uint32_t i = 0; i < n; i++) {
        Frame f;
        f.flags = *p++;
        if (f.flags & ~(moved | escaped | closed))
            return framefault(error, first + i + 1, "unknown flags " + std::to_string(f.flags));
        out.push_back(f);
    }
    // The x moves of the frames that moved, then their y moves.
    for (int axis = 0; axis < 2; axis++) {
        uint16_t &last = axis == 0 ? at.x : at.y;
        for (uint32_t i = 0; i < n; i++) {
            Frame &f = out[first + i];
            if (!(f.flags & moved))
                continue;
            std::string why;
            if (!move(p, end, last, why))
                return framefault(error, first + i + 1, why);
            (axis == 0 ? f.x : f.y) = last;
        }
    }
    return usedup(p, end, error);
}

// One format-1 frame: a count, then each event its kind and what it holds.
static bool decodeframe1(const uint8_t *&p, const uint8_t *end, Pointer &at, Frame &f,
                         std::string &error)
{
    uint32_t count;
    if (!getvarint(p, end, count, error))
        return false;
    if (count > max_events_per_frame) {
        error = "a frame of " + std::to_string(count) + " events, more than the " +
                std::to_string(max_events_per_frame) + " a frame may hold";
        return false;
    }
    for (uint32_t i = 0; i < count; i++) {
        if (p == end) {
            error = "the frame ends inside its events";
            return false;
        }
        uint8_t kind = *p++;
        if (kind == 1) {
            if (!move(p, end, at.x, error) || !move(p, end, at.y, error))
                return false;
            f.flags |= moved;
            f.x = at.x;
            f.y = at.y;
        } else if (kind == 2) {
            if (p == end) {
                error = "the frame ends inside a key";
                return false;
            }
            uint8_t escape = *p++;
            if (escape > 1) {
                error = "a key's Escape state is " + std::to_string(escape) + ", not 0 or 1";
                return false;
            }
            if (escape)
                f.flags |= escaped;
        } else if (kind == 3) {
            f.flags |= closed;
        } else {
            error = "unknown event kind " + std::to_string(kind);
            return false;
        }
    }
    return true;
}

bool decodeblock1(const uint8_t *p, const uint8_t *end, uint32_t n, Pointer &at,
                  std::vector<Frame> &out, std::string &error)
{
    for (uint32_t i = 0; i < n; i++) {
        Frame f;
        std::string why;
        if (!decodeframe1(p, end, at, f, why))
            return framefault(error, out.size() + 1, why);
        out.push_back(f);
    }
    return usedup(p, end, error);
}

} // namespace replay
