// Replays every input the fuzzer has kept, as a regression test, and a few
// inputs written by hand, through the same entry as the fuzzer.
#include <gtest/gtest.h>

#include <dirent.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "frames_input.h"

namespace {

Watched play(const std::vector<uint8_t> &bytes) { return runinput(bytes.data(), bytes.size()); }

TEST(Replay, EveryCorpusInputKeepsEveryInvariant)
{
    const std::string dir = SPARKRALLY_CORPUS;
    DIR *d = opendir(dir.c_str());
    ASSERT_NE(d, nullptr) << dir;
    int files = 0;
    long long frames = 0;
    while (dirent *e = readdir(d)) {
        if (e->d_name[0] == '.')
            continue;
        std::ifstream f(dir + "/" + e->d_name, std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)),
                                   std::istreambuf_iterator<char>());
        Watched w = play(bytes);
        EXPECT_EQ(w.failure, "") << e->d_name;
        files++;
        frames += w.frames;
    }
    closedir(d);
    EXPECT_GT(files, 0);
    std::printf("replay: %d inputs, %lld frames\n", files, frames);
}

TEST(Replay, HandWrittenInputs)
{
    // Nothing at all: one frame, then the close request.
    EXPECT_EQ(play({}).frames, 1);
    // Idle long enough for the computer to win 5-0.
    Watched idle = play(std::vector<uint8_t>(4, 0x7F));
    EXPECT_EQ(idle.failure, "");
    EXPECT_EQ(idle.matches, 1);
    // Following the ball 12 pixels below the paddle's centre: long rallies.
    Watched follow = play(std::vector<uint8_t>(2000, 0x80 | (32 - 12)));
    EXPECT_EQ(follow.failure, "");
    EXPECT_GT(follow.emitted, 5000);
    // A flood of 10000 events, then Escape held with a key-down.
    Watched flood = play({0xCA, 0x42, 0x11, 0x01, 0x1B, 0x00, 0x00, 0x00});
    EXPECT_EQ(flood.failure, "");
    EXPECT_GE(flood.events, 10000);
}

} // namespace
