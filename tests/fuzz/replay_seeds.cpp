// Writes small valid replays into a folder, to seed the replay fuzzer:
// one with every kind of event over two and a bit blocks, one with no
// frames, one ending on a block's end, and the first cut short.
#include <cstdio>
#include <string>

#include "replay/replayfile.h"

using replay::Frame;

static std::vector<uint8_t> write(size_t count)
{
    replay::Writer w(SPARKRALLY_VERSION);
    std::vector<uint8_t> bytes = w.take();
    for (size_t i = 0; i < count; i++) {
        Frame frame;
        if (i % 5 != 4)
            frame = Frame{replay::moved, uint16_t(300 + i % 40), uint16_t(200 + i % 17)};
        if (i % 120 == 7)
            frame.flags |= replay::escaped;
        if (i + 1 == count)
            frame.flags |= replay::closed;
        w.frame(frame);
        if ((i + 1) % replay::digest_every == 0) {
            w.keep(i + 1);
            std::vector<uint8_t> got = w.take();
            bytes.insert(bytes.end(), got.begin(), got.end());
        }
    }
    std::vector<uint8_t> rest = w.finish(count);
    bytes.insert(bytes.end(), rest.begin(), rest.end());
    return bytes;
}

static bool save(const std::string &path, const std::vector<uint8_t> &bytes)
{
    FILE *f = std::fopen(path.c_str(), "wb");
    bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (f && std::fclose(f) != 0)
        ok = false;
    if (!ok)
        std::perror(path.c_str());
    return ok;
}

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    std::string dir = argv[1];
    std::vector<uint8_t> mixed = write(2 * replay::digest_every + 30);
    std::vector<uint8_t> cut(mixed.begin(), mixed.begin() + mixed.size() * 2 / 3);
    bool ok = save(dir + "/seed-mixed.sparkrally", mixed) &&
              save(dir + "/seed-empty.sparkrally", write(0)) &&
              save(dir + "/seed-boundary.sparkrally", write(replay::digest_every)) &&
              save(dir + "/seed-cut.sparkrally", cut);
    return ok ? 0 : 1;
}
