// One frame's events as bytes: a count, then per event its kind and what it
// carries. Numbers are LEB128 varints; pointer moves are zigzag-coded
// differences from the last position, so that steady motion is one or two
// small bytes that deflate well.
#include <string>

#include "platform/replay/replayfile.h"

namespace replay {

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

void FrameCodec::encode(const Frame &events, std::vector<uint8_t> &out)
{
    putvarint(out, uint32_t(events.size()));
    for (const Event &e : events) {
        out.push_back(e.kind);
        if (e.kind == motion) {
            putvarint(out, zigzag(int32_t(e.x) - int32_t(x)));
            putvarint(out, zigzag(int32_t(e.y) - int32_t(y)));
            x = e.x;
            y = e.y;
        } else if (e.kind == key) {
            out.push_back(e.escape ? 1 : 0);
        }
    }
}

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

bool FrameCodec::decode(const uint8_t *&p, const uint8_t *end, Frame &events, std::string &error)
{
    events.clear();
    uint32_t count;
    if (!getvarint(p, end, count, error))
        return false;
    if (count > max_events_per_frame) {
        error = "a frame of " + std::to_string(count) + " events, more than the " +
                std::to_string(max_events_per_frame) + " a frame may hold";
        return false;
    }
    // Every event takes at least its kind's byte: a count past what is left
    // is refused before anything is reserved for it.
    if (count > size_t(end - p)) {
        error = "a frame of " + std::to_string(count) + " events ends after " +
                std::to_string(end - p) + " bytes";
        return false;
    }
    events.reserve(count);
    for (uint32_t i = 0; i < count; i++) {
        if (p == end) {
            error = "the frame ends inside its events";
            return false;
        }
        Event e{Kind(*p++), 0, 0, 0};
        if (e.kind == motion) {
            if (!move(p, end, x, error) || !move(p, end, y, error))
                return false;
            e.x = x;
            e.y = y;
        } else if (e.kind == key) {
            if (p == end) {
                error = "the frame ends inside a key";
                return false;
            }
            e.escape = *p++;
            if (e.escape > 1) {
                error = "a key's Escape state is " + std::to_string(e.escape) + ", not 0 or 1";
                return false;
            }
        } else if (e.kind != closed) {
            error = "unknown event kind " + std::to_string(int(e.kind));
            return false;
        }
        events.push_back(e);
    }
    return true;
}

} // namespace replay
