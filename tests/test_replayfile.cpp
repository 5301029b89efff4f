// Replay files: frames and digests come back as written, the same match is
// the same bytes on every target, and a file cut short, damaged or hostile
// reads as incomplete or fails with its reason, never worse.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#ifdef _WIN32
#include <direct.h>
#endif

#include "platform/replay/digest.h"
#include "platform/replay/replayfile.h"
#include "support.h"

namespace {

using replay::Event;
using replay::Frame;

const std::string version = "1.0.0";

Event motion(uint16_t x, uint16_t y) { return Event{replay::motion, 0, x, y}; }
Event key(bool escape) { return Event{replay::key, uint8_t(escape), 0, 0}; }
Event closed() { return Event{replay::closed, 0, 0, 0}; }

uint64_t digestafter(size_t frames) { return chaindigest(0x5eed, frames); }

// Header: magic 8, format 2, length 1, "1.0.0", CRC 4. The closing record:
// tag 1, three counts 12, digest 8, CRC 4.
const size_t header = 8 + 2 + 1 + 5 + 4;
const size_t closing = 1 + 12 + 8 + 4;

// A match written as the game writes one: a digest kept after every
// digest_every-th frame, the bytes taken after each, where a file grows.
struct Recorded {
    std::vector<uint8_t> bytes;
    std::vector<size_t> grown; // where each block ends
};

Recorded record(const std::vector<Frame> &frames, const std::string &gameversion = version)
{
    Recorded r;
    replay::Writer w(gameversion);
    replay::FrameCodec codec;
    for (size_t i = 0; i < frames.size(); i++) {
        std::vector<uint8_t> encoded;
        codec.encode(frames[i], encoded);
        w.frame(encoded);
        if ((i + 1) % replay::digest_every == 0) {
            w.keep(digestafter(i + 1));
            std::vector<uint8_t> got = w.take();
            r.bytes.insert(r.bytes.end(), got.begin(), got.end());
            r.grown.push_back(r.bytes.size());
        }
    }
    std::vector<uint8_t> rest = w.finish(digestafter(frames.size()));
    r.bytes.insert(r.bytes.end(), rest.begin(), rest.end());
    // The last block, when short, ends where the closing record begins.
    if (frames.size() % replay::digest_every)
        r.grown.push_back(r.bytes.size() - closing);
    return r;
}

// Two and a bit blocks of everything a frame can hold: still frames, moves
// to the corners, keys with and without Escape, a close request, a crowd.
std::vector<Frame> smallmatch()
{
    std::vector<Frame> frames(2 * replay::digest_every + 50);
    for (size_t i = 0; i < frames.size(); i++) {
        if (i % 7 != 3)
            frames[i].push_back(motion(uint16_t(320 + (i * 37) % 200), uint16_t(240 - i % 90)));
        if (i % 50 == 9)
            frames[i].push_back(key(i % 100 == 9));
    }
    frames[5] = {motion(0, 0), motion(65535, 65535), motion(0, 65535)};
    frames[400] = Frame(40, motion(1, 2));
    frames.back().push_back(closed());
    return frames;
}

// Ten minutes of a hand on the mouse: a pointer always moving, smoothly,
// wandering over the window and turning at its edges.
std::vector<Frame> tenminutes()
{
    std::vector<Frame> frames;
    uint32_t seed = 12345;
    int x = 320 * 16, y = 240 * 16, vx = 0, vy = 0; // sixteenths of a pixel
    for (int i = 0; i < 10 * 60 * 60; i++) {
        seed = seed * 1664525u + 1013904223u;
        vx += int(seed >> 29) - 3;
        vy += int((seed >> 26) & 7) - 3;
        vx -= vx / 32;
        vy -= vy / 32;
        x += vx;
        y += vy;
        if (x < 0 || x > 639 * 16) {
            vx = -vx;
            x = x < 0 ? 0 : 639 * 16;
        }
        if (y < 0 || y > 479 * 16) {
            vy = -vy;
            y = y < 0 ? 0 : 479 * 16;
        }
        frames.push_back({motion(uint16_t(x / 16), uint16_t(y / 16))});
    }
    return frames;
}

uint64_t fnv1a(const std::vector<uint8_t> &bytes)
{
    uint64_t h = 14695981039346656037ull;
    for (uint8_t b : bytes)
        h = (h ^ b) * 1099511628211ull;
    return h;
}

bool readbytes(const std::vector<uint8_t> &bytes, replay::Replay &out, std::string &error)
{
    return replay::read(bytes.data(), bytes.size(), version, out, error);
}

std::string failure(const std::vector<uint8_t> &bytes)
{
    replay::Replay r;
    std::string error;
    EXPECT_FALSE(readbytes(bytes, r, error));
    return error;
}

void putle(std::vector<uint8_t> &bytes, size_t at, uint64_t v, int width)
{
    for (int i = 0; i < width; i++)
        bytes[at + i] = uint8_t(v >> (8 * i));
}

// Rewrites a field of the block at `at` and its head's checksum after it,
// as a hostile writer would.
void patchblock(std::vector<uint8_t> &bytes, size_t at, size_t field, uint64_t v, int width)
{
    putle(bytes, at + field, v, width);
    uint32_t crc = 0xffffffffu;
    for (size_t i = 0; i < 19; i++) {
        crc ^= bytes[at + i];
        for (int k = 0; k < 8; k++)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1)));
    }
    putle(bytes, at + 19, ~crc, 4);
}

TEST(ReplayFile, CodecRefusesBytesThatAreNotAFrame)
{
    struct Case {
        std::vector<uint8_t> bytes;
        const char *says;
    } cases[] = {
        {{}, "ends inside a number"},
        {{1, 4}, "unknown event kind 4"},
        {{1, 2, 2}, "Escape state is 2"},
        {{1, 2}, "ends inside a key"},
        {{1, 1, 1}, "moves to -1"},
        {{1, 1, 0x80}, "ends inside a number"},
        {{1, 1, 0x80, 0x00, 0}, "longer than it needs"},
        {{1, 1, 0xff, 0xff, 0xff, 0xff, 0x1f}, "larger than 32 bits"},
        {{0x81, 0x80, 0x04}, "more than the 65536"},
        {{3, 3, 3}, "ends after 2 bytes"},
    };
    for (const Case &c : cases) {
        replay::FrameCodec codec;
        Frame events;
        std::string error;
        const uint8_t *p = c.bytes.data();
        EXPECT_FALSE(codec.decode(p, p + c.bytes.size(), events, error)) << c.says;
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
    }
}

TEST(ReplayFile, FramesAndDigestsComeBackAsWritten)
{
    // Two and a bit blocks; none at all; exactly two, so that the end
    // falls on a block's.
    for (size_t n : {smallmatch().size(), size_t(0), size_t(2 * replay::digest_every)}) {
        std::vector<Frame> frames = smallmatch();
        frames.resize(n);
        replay::Replay r;
        std::string error;
        ASSERT_TRUE(readbytes(record(frames).bytes, r, error)) << error;
        EXPECT_TRUE(r.complete);
        EXPECT_EQ(r.format, 1);
        EXPECT_EQ(r.gameversion, version);
        EXPECT_EQ(r.frames, frames);
        std::vector<uint32_t> at;
        for (uint32_t f = replay::digest_every; f < n; f += replay::digest_every)
            at.push_back(f);
        at.push_back(uint32_t(n));
        ASSERT_EQ(r.digest_frames, at) << n << " frames";
        for (size_t i = 0; i < at.size(); i++)
            EXPECT_EQ(r.digests[i], digestafter(at[i]));
    }
}

TEST(ReplayFile, TenMinutesOfMotionAreTheSameBytesEverywhereInAtMost32KB)
{
    std::vector<Frame> frames = tenminutes();
    Recorded a = record(frames);
    EXPECT_LE(a.bytes.size(), 32768u);
    // zlib 1.2.13 with the same settings on every target: these bytes.
    EXPECT_EQ(a.bytes.size(), 25091u);
    EXPECT_EQ(fnv1a(a.bytes), 15259557051296908713u);
    replay::Replay r;
    std::string error;
    ASSERT_TRUE(readbytes(a.bytes, r, error)) << error;
    EXPECT_TRUE(r.complete);
    EXPECT_EQ(r.frames, frames);
}

TEST(ReplayFile, AFileCutAnywhereReadsUpToItsLastWholeBlock)
{
    Recorded rec = record(smallmatch());
    const std::vector<uint8_t> &bytes = rec.bytes;
    for (size_t cut = 0; cut < bytes.size(); cut++) {
        replay::Replay r;
        std::string error;
        bool ok = replay::read(bytes.data(), cut, version, r, error);
        if (cut < header) {
            // Nothing to play: not even the game that recorded it.
            EXPECT_FALSE(ok) << cut;
            EXPECT_FALSE(error.empty());
            continue;
        }
        ASSERT_TRUE(ok) << "cut at " << cut << ": " << error;
        EXPECT_FALSE(r.complete) << cut;
        size_t whole = 0;
        while (whole < rec.grown.size() && rec.grown[whole] <= cut)
            whole++;
        size_t frames = std::min(whole * replay::digest_every, smallmatch().size());
        ASSERT_EQ(r.frames.size(), frames) << "cut at " << cut;
        ASSERT_EQ(r.digests.size(), whole);
        for (size_t b = 0; b < whole; b++)
            EXPECT_EQ(r.digests[b], digestafter(std::min((b + 1) * replay::digest_every, frames)));
    }
}

TEST(ReplayFile, EverySingleByteChangeFails)
{
    const std::vector<uint8_t> bytes = record(smallmatch()).bytes;
    for (size_t at = 0; at < bytes.size(); at++)
        for (uint8_t flip : {0x01, 0x80, 0xff}) {
            std::vector<uint8_t> changed = bytes;
            changed[at] ^= flip;
            replay::Replay r;
            std::string error;
            EXPECT_FALSE(readbytes(changed, r, error)) << "byte " << at << " ^ " << int(flip);
            EXPECT_FALSE(error.empty());
        }
}

TEST(ReplayFile, EachFaultIsNamed)
{
    const std::vector<uint8_t> good = record(smallmatch()).bytes;
    EXPECT_EQ(failure({}), "empty file");

    std::vector<uint8_t> b = good;
    b[0] = 'X';
    EXPECT_EQ(failure(b), "not a sparkrally replay (wrong magic)");
    b = good;
    putle(b, 8, 2, 2);
    EXPECT_EQ(failure(b), "format version 2 is newer than this game reads (1)");
    EXPECT_EQ(failure(record(smallmatch(), "0.9.0").bytes),
              "recorded by sparkrally 0.9.0; this is sparkrally 1.0.0");
    EXPECT_NE(failure(record({}, std::string(65, '9')).bytes).find("longer than the 64"),
              std::string::npos);

    b = good;
    b.push_back(0);
    EXPECT_EQ(failure(b), "1 bytes after the closing record");

    // Counts past the limits, with every checksum made to match.
    b = good;
    patchblock(b, header, 1, replay::digest_every + 1, 2);
    EXPECT_NE(failure(b).find("301 frames; a block holds 1 to 300"), std::string::npos);
    b = good;
    patchblock(b, header, 3, replay::max_inflated_bytes + 1, 4);
    EXPECT_NE(failure(b).find("past the 268435456 bytes a replay may hold"), std::string::npos);
    // Inflating to more than the block says, and to less.
    uint32_t says = 0;
    for (int i = 3; i >= 0; i--)
        says = says << 8 | good[header + 3 + i];
    b = good;
    patchblock(b, header, 3, says - 1, 4);
    EXPECT_NE(failure(b).find("inflate past the"), std::string::npos);
    b = good;
    patchblock(b, header, 3, says + 1, 4);
    EXPECT_NE(failure(b).find("inflate to"), std::string::npos);
}

TEST(ReplayFile, ReadingAFileNamesItAndTheReason)
{
    std::string dir = testing::TempDir() + "replayfile-" + std::to_string(getpid());
#ifdef _WIN32
    ASSERT_EQ(_mkdir(dir.c_str()), 0) << strerror(errno);
#else
    ASSERT_EQ(mkdir(dir.c_str(), 0700), 0) << strerror(errno);
#endif
    replay::Replay r;
    std::string error;

    std::string good = dir + "/match.sparkrally";
    std::vector<uint8_t> bytes = record(smallmatch()).bytes;
    FILE *f = fopen(good.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    fclose(f);
    ASSERT_TRUE(replay::readfile(good.c_str(), version, r, error)) << error;
    EXPECT_EQ(r.frames, smallmatch());

    std::string missing = dir + "/none.sparkrally";
    EXPECT_FALSE(replay::readfile(missing.c_str(), version, r, error));
    EXPECT_EQ(error, missing + ": " + strerror(ENOENT));
    EXPECT_FALSE(replay::readfile(dir.c_str(), version, r, error));
    EXPECT_EQ(error, dir + ": " + strerror(EISDIR));

    // Larger than a replay may be, without writing its bytes.
    std::string huge = dir + "/huge.sparkrally";
    fclose(fopen(huge.c_str(), "wb"));
    ASSERT_EQ(truncate(huge.c_str(), replay::max_file_bytes + 1), 0) << strerror(errno);
    EXPECT_FALSE(replay::readfile(huge.c_str(), version, r, error));
    EXPECT_EQ(error, huge + ": 67108865 bytes, more than the 67108864 a replay may have");
    remove(huge.c_str());

    // A damaged file is named with its fault.
    bytes.back() ^= 1;
    f = fopen(good.c_str(), "wb");
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
    EXPECT_FALSE(replay::readfile(good.c_str(), version, r, error));
    EXPECT_EQ(error, good + ": the file's checksum does not match");

    // Only where permissions bind: Windows has no unreadable mode, and
    // root (the browser's file system runs as root) reads anything.
#ifndef _WIN32
    if (geteuid() != 0) {
        ASSERT_EQ(chmod(good.c_str(), 0), 0);
        EXPECT_FALSE(replay::readfile(good.c_str(), version, r, error));
        EXPECT_EQ(error, good + ": " + strerror(EACCES));
    }
#endif
    remove(good.c_str());
    rmdir(dir.c_str());
}

} // namespace
