// Replay files written and read back: the layout is docs/replays.md's.
// Every number is little-endian and written byte by byte. The frames'
// bytes are one deflate stream over the whole match, flushed to a byte
// boundary at the end of every block, so that the blocks of a file cut
// short still inflate.
#include "replay/replayfile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <sys/stat.h>
#include <zlib.h>

#include "replay/framecodec.h"

namespace replay {

static const uint8_t magic[8] = {'S', 'P', 'R', 'K', 'R', 'P', 'L', 'Y'};
static const uint16_t format_version = 2;
static const uint8_t block_tag = 'B', closing_tag = 'E';
// A block's head: tag, frames, event bytes, digest, compressed length; then
// its CRC-32.
static const size_t block_head = 1 + 2 + 4 + 8 + 4;
// Tag, frames, blocks, event bytes, digest, file checksum: never shorter
// than a block's head and its check, so that a closing record whose tag
// is damaged into a block's fails that check instead of reading as a file
// cut short.
static const size_t closing_size = 1 + 4 + 4 + 4 + 8 + 4;
static_assert(closing_size >= block_head + 4, "a closing record covers a block's head");

static void put(std::vector<uint8_t> &out, uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; i++)
        out.push_back(uint8_t(v >> (8 * i)));
}

static uint64_t get(const uint8_t *p, int bytes)
{
    uint64_t v = 0;
    for (int i = 0; i < bytes; i++)
        v |= uint64_t(p[i]) << (8 * i);
    return v;
}

static uint32_t crc(const uint8_t *p, size_t n, uint32_t running = 0)
{
    // zlib takes lengths as uInt: large spans in pieces.
    while (n > 0) {
        uInt piece = n > (1u << 30) ? 1u << 30 : uInt(n);
        running = uint32_t(crc32(running, p, piece));
        p += piece;
        n -= piece;
    }
    return running;
}

// ---- Writer ----

struct Writer::Impl {
    z_stream z{};
    std::vector<uint8_t> ready; // finished bytes not yet taken
    std::vector<Frame> pending; // the open block's frames
    Pointer at;                 // the pointer as the last block left it
    uint32_t frames = 0, blocks = 0, eventbytes = 0;
    uint32_t filecrc = 0;
    bool finished = false;
    std::string error;

    void emit(const std::vector<uint8_t> &bytes)
    {
        filecrc = crc(bytes.data(), bytes.size(), filecrc);
        ready.insert(ready.end(), bytes.begin(), bytes.end());
    }

    void closeblock(uint64_t digest)
    {
        std::vector<uint8_t> events, packed;
        encodeblock(pending.data(), pending.size(), at, events);
        z.next_in = events.data();
        z.avail_in = uInt(events.size());
        // Deflate until the flush is whole: output space left over means
        // everything is out.
        do {
            size_t done = packed.size();
            packed.resize(done + 4096 + events.size() / 2);
            z.next_out = packed.data() + done;
            z.avail_out = uInt(packed.size() - done);
            int r = deflate(&z, Z_SYNC_FLUSH);
            packed.resize(packed.size() - z.avail_out);
            if (r != Z_OK && r != Z_BUF_ERROR) {
                error = "compressing the replay failed (zlib error " + std::to_string(r) + ")";
                finished = true;
                return;
            }
        } while (z.avail_out == 0);

        std::vector<uint8_t> block;
        block.push_back(block_tag);
        put(block, pending.size(), 2);
        put(block, events.size(), 4);
        put(block, digest, 8);
        put(block, packed.size(), 4);
        put(block, crc(block.data(), block.size()), 4);
        block.insert(block.end(), packed.begin(), packed.end());
        put(block, crc(packed.data(), packed.size()), 4);
        emit(block);
        frames += uint32_t(pending.size());
        eventbytes += uint32_t(events.size());
        blocks++;
        pending.clear();
    }
};

Writer::Writer(const std::string &gameversion, uint16_t rules) : impl(new Impl)
{
    Impl &w = *impl;
    // Fixed settings: the same input deflates to the same bytes everywhere.
    if (deflateInit2(&w.z, 9, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        delete impl;
        throw std::bad_alloc();
    }
    // The header goes out at once: a recording killed before its first
    // block is whole still reads, as a match of no frames.
    std::vector<uint8_t> header(magic, magic + sizeof magic);
    put(header, format_version, 2);
    put(header, 2 + 1 + gameversion.size() + 4, 2);
    put(header, rules, 2);
    header.push_back(uint8_t(gameversion.size()));
    header.insert(header.end(), gameversion.begin(), gameversion.end());
    put(header, crc(header.data(), header.size()), 4);
    w.emit(header);
}

Writer::~Writer()
{
    deflateEnd(&impl->z);
    delete impl;
}

void Writer::frame(const Frame &f)
{
    if (!impl->finished)
        impl->pending.push_back(f);
}

void Writer::keep(uint64_t digest)
{
    if (!impl->finished && !impl->pending.empty())
        impl->closeblock(digest);
}

std::vector<uint8_t> Writer::take()
{
    std::vector<uint8_t> out;
    out.swap(impl->ready);
    return out;
}

std::vector<uint8_t> Writer::finish(uint64_t digest)
{
    Impl &w = *impl;
    if (w.finished)
        return take();
    if (!w.pending.empty())
        w.closeblock(digest);
    if (!w.error.empty())
        return take();
    std::vector<uint8_t> closing;
    closing.push_back(closing_tag);
    put(closing, w.frames, 4);
    put(closing, w.blocks, 4);
    put(closing, w.eventbytes, 4);
    put(closing, digest, 8);
    w.filecrc = crc(closing.data(), closing.size(), w.filecrc);
    put(closing, w.filecrc, 4);
    w.ready.insert(w.ready.end(), closing.begin(), closing.end());
    w.finished = true;
    return take();
}

const std::string &Writer::error() const { return impl->error; }

// ---- Reader ----

namespace {

// Inflates the blocks' compressed bytes in order, as the one stream they are.
struct Inflater {
    z_stream z{};
    bool ok;
    Inflater() { ok = inflateInit2(&z, 15) == Z_OK; }
    ~Inflater() { inflateEnd(&z); }

    // Inflates one block's bytes into out, which must come to exactly
    // `expected` bytes.
    bool block(const uint8_t *p, size_t n, uint32_t expected, std::vector<uint8_t> &out,
               std::string &error)
    {
        out.clear();
        z.next_in = const_cast<Bytef *>(p);
        z.avail_in = uInt(n);
        // Room grows with what really comes out, never to more than the
        // block says; one spare byte past it catches a block that inflates
        // to more.
        uint8_t spare;
        for (;;) {
            size_t done = out.size();
            bool room = done < expected;
            if (room) {
                size_t grow = expected - done < 65536 + done ? expected - done : 65536 + done;
                out.resize(done + grow);
                z.next_out = out.data() + done;
                z.avail_out = uInt(grow);
            } else {
                z.next_out = &spare;
                z.avail_out = 1;
            }
            uInt in = z.avail_in, space = z.avail_out;
            int r = inflate(&z, Z_SYNC_FLUSH);
            uInt produced = space - z.avail_out;
            if (room)
                out.resize(out.size() - z.avail_out);
            else if (produced > 0) {
                error =
                    "its events inflate past the " + std::to_string(expected) + " bytes it says";
                return false;
            }
            if (r == Z_STREAM_END) {
                error = "its compressed events end the stream, which a replay never ends";
                return false;
            }
            if (r != Z_OK && r != Z_BUF_ERROR) {
                error = std::string("its compressed events are corrupt (") +
                        (z.msg ? z.msg : "zlib error " + std::to_string(r)) + ")";
                return false;
            }
            // Done when every byte is in and inflate has room to spare or
            // nothing more to give.
            if (z.avail_in == 0 && (z.avail_out > 0 || produced == 0))
                break;
            if (produced == 0 && z.avail_in == in) {
                error = "its compressed events stop making progress";
                return false;
            }
        }
        if (out.size() != expected) {
            error = "its events inflate to " + std::to_string(out.size()) + " bytes, not the " +
                    std::to_string(expected) + " it says";
            return false;
        }
        return true;
    }
};

bool fail(std::string &error, const std::string &what)
{
    error = what;
    return false;
}

bool printable(const uint8_t *p, size_t n)
{
    for (size_t i = 0; i < n; i++)
        if (p[i] < 0x20 || p[i] > 0x7e)
            return false;
    return true;
}

} // namespace

// The header, checked before anything in it is believed: format 1 (which
// reads as rules version 1) has its check after the game's version; later
// formats say the header's length first, so that its check is found
// whatever the format.
static bool readheader(const uint8_t *data, size_t size, const std::string &thisgame, Replay &out,
                       size_t &pos, std::string &error)
{
    if (size < 10)
        return fail(error, "the file ends inside its header");
    out.format = uint16_t(get(data + 8, 2));
    size_t vlen = 0, end;
    if (out.format == 1) {
        if (size < 11)
            return fail(error, "the file ends inside its header");
        vlen = data[10];
        pos = 11;
        end = pos + vlen + 4;
        if (size < end)
            return fail(error, "the file ends inside its header");
    } else {
        if (size < 12)
            return fail(error, "the file ends inside its header");
        size_t length = size_t(get(data + 10, 2));
        end = 12 + length;
        if (length < 4 || size < end)
            return fail(error, out.format == format_version
                                   ? "the file ends inside its header"
                                   : "the header is damaged, or the file ends inside it");
    }
    if (get(data + end - 4, 4) != crc(data, end - 4))
        return fail(error, "the header's checksum does not match");
    if (out.format == 0)
        return fail(error, "format version 0 is not one this game reads");
    if (out.format > format_version)
        return fail(error, "format version " + std::to_string(out.format) +
                               " is newer than this game reads (" + std::to_string(format_version) +
                               ")");
    if (out.format == 1) {
        out.rules = 1;
    } else {
        if (end < 12 + 2 + 1 + 4 || end != size_t(12 + 2 + 1 + data[14] + 4))
            return fail(error, "the header's length does not fit its fields");
        out.rules = uint16_t(get(data + 12, 2));
        vlen = data[14];
        pos = 15;
    }
    if (vlen > max_version_bytes)
        return fail(error, "a game version of " + std::to_string(vlen) +
                               " bytes, longer than the " + std::to_string(max_version_bytes) +
                               " allowed");
    if (!printable(data + pos, vlen))
        return fail(error, "the game version is not printable text");
    out.gameversion.assign(reinterpret_cast<const char *>(data + pos), vlen);
    pos = end;
    if (out.rules != rules_version)
        return fail(error, "recorded with rules version " + std::to_string(out.rules) +
                               " by sparkrally " + out.gameversion + "; this is sparkrally " +
                               thisgame + ", which plays rules version " +
                               std::to_string(rules_version));
    return true;
}

static bool readbytes(const uint8_t *data, size_t size, const std::string &thisgame, Replay &out,
                      std::string &error)
{
    if (size == 0)
        return fail(error, "empty file");
    if (size > max_file_bytes)
        return fail(error, std::to_string(size) + " bytes, more than the " +
                               std::to_string(max_file_bytes) + " a replay may have");
    if (memcmp(data, magic, size < sizeof magic ? size : sizeof magic) != 0)
        return fail(error, "not a sparkrally replay (wrong magic)");
    size_t pos;
    if (!readheader(data, size, thisgame, out, pos, error))
        return false;

    Inflater inflater;
    if (!inflater.ok)
        return fail(error, "zlib could not start inflating");
    Pointer at;
    std::vector<uint8_t> events;
    uint64_t eventbytes = 0;
    bool shortblock = false; // a block of fewer than digest_every frames: the last
    for (uint32_t b = 1;; b++) {
        // A record that does not fit is where the file was cut: what came
        // before it stands.
        if (pos == size)
            return true;
        const uint8_t *r = data + pos;
        std::string at_byte = " at byte " + std::to_string(pos);
        if (r[0] == closing_tag) {
            if (size - pos < closing_size)
                return true;
            uint32_t frames = uint32_t(get(r + 1, 4));
            uint32_t blocks = uint32_t(get(r + 5, 4));
            uint32_t bytes = uint32_t(get(r + 9, 4));
            uint64_t digest = get(r + 13, 8);
            if (get(r + 21, 4) != crc(data, pos + 21))
                return fail(error, "the file's checksum does not match");
            if (frames != out.frames.size() || blocks != b - 1 || bytes != eventbytes)
                return fail(error, "the closing record counts " + count(frames, "frame", "frames") +
                                       " in " + count(blocks, "block", "blocks") + " of " +
                                       count(bytes, "byte", "bytes") + "; the file holds " +
                                       std::to_string(out.frames.size()) + " in " +
                                       std::to_string(b - 1) + " of " + std::to_string(eventbytes));
            if (!out.digests.empty() && digest != out.digests.back())
                return fail(error, "the final digest differs from the last block's");
            if (out.digests.empty()) {
                out.digest_frames.push_back(0);
                out.digests.push_back(digest);
            }
            if (size - pos > closing_size)
                return fail(error, count(size - pos - closing_size, "byte", "bytes") +
                                       " after the closing record");
            out.complete = true;
            return true;
        }
        if (r[0] != block_tag)
            return fail(error, "unknown record type " + std::to_string(r[0]) + at_byte);
        if (size - pos < block_head + 4)
            return true;
        if (get(r + block_head, 4) != crc(r, block_head))
            return fail(error, "block " + std::to_string(b) + at_byte +
                                   ": its head's checksum does not match");
        uint32_t frames = uint32_t(get(r + 1, 2));
        uint32_t bytes = uint32_t(get(r + 3, 4));
        uint64_t digest = get(r + 7, 8);
        uint32_t packed = uint32_t(get(r + 15, 4));
        std::string name = "block " + std::to_string(b) + at_byte + ": ";
        if (frames == 0 || frames > digest_every)
            return fail(error, name + count(frames, "frame", "frames") + "; a block holds 1 to " +
                                   std::to_string(digest_every));
        if (shortblock)
            return fail(error, name + "follows a block of fewer than " +
                                   std::to_string(digest_every) + " frames, which ends a replay");
        if (frames > max_frames - out.frames.size())
            return fail(error, name + "more than the " + std::to_string(max_frames) +
                                   " frames a replay may hold");
        // What a block's events may inflate to: a format-2 frame has a
        // bound of its own; format 1's frames do not, so its blocks have one.
        size_t most = out.format == 1 ? max_block_bytes : frames * max_frame_bytes;
        if (bytes > most)
            return fail(error, name + "its events say " + count(bytes, "byte", "bytes") +
                                   ", more than the " + std::to_string(most) + " its " +
                                   count(frames, "frame", "frames") + " may take");
        if (bytes > max_inflated_bytes - eventbytes)
            return fail(error, name + "its events inflate past the " +
                                   std::to_string(max_inflated_bytes) + " bytes a replay may hold");
        pos += block_head + 4;
        if (size - pos < uint64_t(packed) + 4)
            return true;
        if (get(data + pos + packed, 4) != crc(data + pos, packed))
            return fail(error, name + "the checksum of its compressed events does not match");
        if (!inflater.block(data + pos, packed, bytes, events, error))
            return fail(error, name + error);
        pos += size_t(packed) + 4;

        const uint8_t *p = events.data(), *end = p + events.size();
        bool decoded = out.format == 1 ? decodeblock1(p, end, frames, at, out.frames, error)
                                       : decodeblock(p, end, frames, at, out.frames, error);
        if (!decoded)
            return fail(error, name + error);
        eventbytes += bytes;
        out.digest_frames.push_back(uint32_t(out.frames.size()));
        out.digests.push_back(digest);
        shortblock = frames < digest_every;
    }
}

// Whatever the file, reading it never ends the process: running out of
// memory is one more reason a replay cannot be read.
bool read(const uint8_t *data, size_t size, const std::string &thisgame, Replay &out,
          std::string &error)
{
    out = Replay();
    error.clear();
    try {
        if (readbytes(data, size, thisgame, out, error))
            return true;
    } catch (const std::bad_alloc &) {
        error = "not enough memory to read it";
    }
    out = Replay();
    return false;
}

bool readfile(const char *path, const std::string &thisgame, Replay &out, std::string &error)
{
    out = Replay();
    std::string name = std::string(path) + ": ";
    struct stat st;
    if (stat(path, &st) != 0)
        return fail(error, name + strerror(errno));
    if (S_ISDIR(st.st_mode))
        return fail(error, name + strerror(EISDIR));
    if (S_ISREG(st.st_mode) && uint64_t(st.st_size) > max_file_bytes)
        return fail(error, name + std::to_string(uint64_t(st.st_size)) + " bytes, more than the " +
                               std::to_string(max_file_bytes) + " a replay may have");
    FILE *f = fopen(path, "rb");
    if (!f)
        return fail(error, name + strerror(errno));
    // Read in pieces up to one byte past the limit, whatever the file said
    // its size was: a pipe says nothing, and a file may grow.
    std::vector<uint8_t> data;
    size_t got = 0;
    try {
        while (got <= max_file_bytes) {
            size_t want = got < 65536 ? 65536 : got;
            if (want > max_file_bytes + 1 - got)
                want = max_file_bytes + 1 - got;
            data.resize(got + want);
            size_t n = fread(data.data() + got, 1, want, f);
            got += n;
            if (n < want)
                break;
        }
    } catch (const std::bad_alloc &) {
        fclose(f);
        return fail(error, name + "not enough memory to read it");
    }
    bool failed = ferror(f);
    int err = errno;
    fclose(f);
    if (failed)
        return fail(error, name + strerror(err));
    if (got > max_file_bytes)
        return fail(error, name + "more than the " + std::to_string(max_file_bytes) +
                               " bytes a replay may have");
    if (!read(data.data(), got, thisgame, out, error))
        return fail(error, name + error);
    return true;
}

} // namespace replay
