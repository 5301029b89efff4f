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

#include <zlib.h>

#include "game/digest.h"
#include "replay/framecodec.h"
#include "replay/replayfile.h"
#include "support.h"

namespace {

using replay::Frame;

const std::string version = "1.0.0";

Frame motion(uint16_t x, uint16_t y) { return Frame{replay::moved, x, y}; }

uint64_t digestafter(size_t frames) { return chaindigest(0x5eed, frames); }

// Header: magic 8, format 2, length 2, rules 2, version's length 1,
// "1.0.0", CRC 4. The closing record: tag 1, three counts 12, digest 8,
// CRC 4.
const size_t header = 8 + 2 + 2 + 2 + 1 + 5 + 4;
const size_t closing = 1 + 12 + 8 + 4;

// A match written as the game writes one: a digest kept after every
// digest_every-th frame, the bytes taken after each, where a file grows.
struct Recorded {
    std::vector<uint8_t> bytes;
    std::vector<size_t> grown; // where each block ends
};

Recorded record(const std::vector<Frame> &frames, const std::string &gameversion = version,
                uint16_t rules = rules_version)
{
    Recorded r;
    replay::Writer w(gameversion, rules);
    r.bytes = w.take();
    EXPECT_EQ(r.bytes.size(), header - 5 + gameversion.size()) << "the header comes at once";
    for (size_t i = 0; i < frames.size(); i++) {
        w.frame(frames[i]);
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
// to the corners and back, Escape with a key, a close request.
std::vector<Frame> smallmatch()
{
    std::vector<Frame> frames(2 * replay::digest_every + 50);
    for (size_t i = 0; i < frames.size(); i++) {
        if (i % 7 != 3)
            frames[i] = motion(uint16_t(320 + (i * 37) % 200), uint16_t(240 - i % 90));
        if (i % 50 == 9)
            frames[i].flags |= replay::escaped;
    }
    frames[5] = motion(65535, 65535);
    frames[6] = motion(0, 65535);
    frames[7] = motion(0, 0);
    frames.back().flags |= replay::escaped | replay::closed;
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
        seed = nextdraw(seed);
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
        frames.push_back(motion(uint16_t(x / 16), uint16_t(y / 16)));
    }
    return frames;
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

TEST(ReplayFile, BlocksOfEitherFormatThatAreNotFramesAreRefused)
{
    struct Case {
        int format;
        std::vector<uint8_t> bytes;
        const char *says;
    } cases[] = {
        {2, {}, "end inside their flags"},
        {2, {8}, "frame 1: unknown flags 8"},
        {2, {1}, "frame 1: the frame ends inside a number"},
        {2, {1, 1, 0}, "moves to -1"},
        {2, {1, 0x80, 0x00, 0}, "longer than it needs"},
        {2, {1, 0xff, 0xff, 0xff, 0xff, 0x1f, 0}, "larger than 32 bits"},
        {2, {0, 0}, "1 byte after its last frame"},
        {1, {}, "ends inside a number"},
        {1, {1, 4}, "unknown event kind 4"},
        {1, {1, 2, 2}, "Escape state is 2"},
        {1, {1, 2}, "ends inside a key"},
        {1, {1, 1, 1}, "moves to -1"},
        {1, {1, 1, 0x80}, "ends inside a number"},
        {1, {0x81, 0x80, 0x04}, "more than the 65536"},
        {1, {3, 3, 3}, "ends inside its events"},
        {1, {0, 0, 0}, "2 bytes after its last frame"},
    };
    for (const Case &c : cases) {
        replay::Pointer at;
        std::vector<Frame> frames;
        std::string error;
        const uint8_t *p = c.bytes.data(), *end = p + c.bytes.size();
        bool ok = c.format == 1 ? replay::decodeblock1(p, end, 1, at, frames, error)
                                : replay::decodeblock(p, end, 1, at, frames, error);
        EXPECT_FALSE(ok) << c.says;
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
    }
}

TEST(ReplayFile, AFormatOneFrameKeepsWhatTheGameReads)
{
    // Two moves, a key without Escape and one with it, two closes; then a
    // frame of a key alone, which the game ignores.
    const std::vector<uint8_t> bytes = {6, 1, 2, 2, 2, 0, 1, 4, 4, 2, 1, 3, 3, 1, 2, 0};
    replay::Pointer at;
    std::vector<Frame> frames;
    std::string error;
    ASSERT_TRUE(
        replay::decodeblock1(bytes.data(), bytes.data() + bytes.size(), 2, at, frames, error))
        << error;
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0], (Frame{uint8_t(replay::moved | replay::escaped | replay::closed), 3, 3}));
    EXPECT_EQ(frames[1], Frame{});
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
        EXPECT_EQ(r.format, 2);
        EXPECT_EQ(r.rules, rules_version);
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

TEST(ReplayFile, TenMinutesOfMotionAreTheSameBytesEverywhereAndFitALink)
{
    std::vector<Frame> frames = tenminutes();
    Recorded a = record(frames);
    // The page offers links of up to 32,000 characters of base64.
    EXPECT_LE((a.bytes.size() * 4 + 2) / 3, 32000u);
    // zlib 1.2.13 with the same settings on every target: these bytes.
    EXPECT_EQ(a.bytes.size(), 20855u);
    Fnv1a d;
    for (uint8_t b : a.bytes)
        d.add(uint64_t(b));
    EXPECT_EQ(d.h, 4323549679306549488u);
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
    // The header's check comes first: a damaged format is not a newer one.
    b = good;
    b[8] ^= 1;
    EXPECT_EQ(failure(b), "the header's checksum does not match");
    putle(b, header - 4, crc32(0, b.data(), header - 4), 4);
    EXPECT_EQ(failure(b), "format version 3 is newer than this game reads (2)");
    EXPECT_EQ(failure(record(smallmatch(), "1.1.0", rules_version + 1).bytes),
              "recorded with rules version 2 by sparkrally 1.1.0; this is sparkrally 1.0.0, "
              "which plays rules version 1");
    EXPECT_NE(failure(record({}, std::string(65, '9')).bytes).find("longer than the 64"),
              std::string::npos);

    b = good;
    b.push_back(0);
    EXPECT_EQ(failure(b), "1 byte after the closing record");

    // Counts past the limits, with every checksum made to match.
    b = good;
    patchblock(b, header, 1, replay::digest_every + 1, 2);
    EXPECT_NE(failure(b).find("301 frames; a block holds 1 to 300"), std::string::npos);
    b = good;
    patchblock(b, header, 3, 300 * 7 + 1, 4);
    EXPECT_NE(failure(b).find("its events say 2101 bytes, more than the 2100 its 300 frames may "
                              "take"),
              std::string::npos);
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

// A format-1 file, as the first releases wrote them, of frames given as
// their bytes: a frame's event count, then its events.
std::vector<uint8_t> format1(const std::vector<std::vector<uint8_t>> &frames)
{
    const std::string head = std::string("SPRKRPLY\1\0\5", 11) + version;
    std::vector<uint8_t> out(head.begin(), head.end());
    auto put = [&out](uint64_t v, int width) {
        for (int i = 0; i < width; i++)
            out.push_back(uint8_t(v >> (8 * i)));
    };
    put(crc32(0, out.data(), uInt(out.size())), 4);
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY);
    size_t all = 0;
    for (size_t first = 0; first < frames.size(); first += replay::digest_every) {
        size_t n = std::min<size_t>(replay::digest_every, frames.size() - first);
        std::vector<uint8_t> events, packed(1 << 20);
        for (size_t i = first; i < first + n; i++)
            events.insert(events.end(), frames[i].begin(), frames[i].end());
        z.next_in = events.data();
        z.avail_in = uInt(events.size());
        z.next_out = packed.data();
        z.avail_out = uInt(packed.size());
        EXPECT_EQ(deflate(&z, Z_SYNC_FLUSH), Z_OK);
        packed.resize(packed.size() - z.avail_out);
        size_t head = out.size();
        out.push_back('B');
        put(n, 2);
        put(events.size(), 4);
        put(0, 8);
        put(packed.size(), 4);
        put(crc32(0, out.data() + head, 19), 4);
        out.insert(out.end(), packed.begin(), packed.end());
        put(crc32(0, packed.data(), uInt(packed.size())), 4);
        all += events.size();
    }
    deflateEnd(&z);
    out.push_back('E');
    put(frames.size(), 4);
    put((frames.size() + replay::digest_every - 1) / replay::digest_every, 4);
    put(all, 4);
    put(0, 8);
    put(crc32(0, out.data(), uInt(out.size())), 4);
    return out;
}

TEST(ReplayFile, CraftedFormatOneFilesReadWithinBoundsOrAreRefused)
{
    // The most close requests a frame may hold, 30 times: a short link
    // that once took the page's whole heap. Each frame is one close now.
    std::vector<uint8_t> closes = {0x80, 0x80, 0x04};
    closes.resize(closes.size() + 65536, 3);
    replay::Replay r;
    std::string error;
    ASSERT_TRUE(readbytes(format1(std::vector<std::vector<uint8_t>>(30, closes)), r, error))
        << error;
    EXPECT_EQ(r.rules, 1);
    EXPECT_EQ(r.frames, std::vector<Frame>(30, Frame{replay::closed, 0, 0}));

    // A whole block of them inflates past what a block may.
    EXPECT_EQ(failure(format1(std::vector<std::vector<uint8_t>>(300, closes))),
              "block 1 at byte 20: its events say 19661700 bytes, more than the 8388608 its 300 "
              "frames may take");

    // A pause of 70,000 pointer moves, as the first releases wrote it.
    std::vector<uint8_t> moves = {0xf0, 0xa2, 0x04};
    for (int i = 0; i < 70000; i++)
        moves.insert(moves.end(), {1, 2, 2});
    EXPECT_NE(failure(format1({moves})).find("a frame of 70000 events, more than the 65536"),
              std::string::npos);
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
