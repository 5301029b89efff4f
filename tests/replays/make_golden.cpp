// Records the golden replays into the folder named on the command line:
// real matches of the game, played by scripted players through the same
// replay layer as live play, each with the line that tests/replays/
// golden.txt keeps for it. Run it again only when the rules version
// (game/rulesversion.h) is raised, and say why in the commit.
#include <cstdio>
#include <string>

#include "bot.h"
#include "game/game.h"
#include "replay/layer.h"
#include "support.h"

static FILE *out;
static bool written;
static void tofile(const std::vector<uint8_t> &bytes)
{
    written = written && fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
}

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: make_golden FOLDER\n");
        return 2;
    }
    struct {
        const char *name;
        Script script;
    } golden[] = {
        {"rally", {8, 25, 6000, true}},  // long rallies, a full ring, corners
        {"escape", {1, 25, 1500, true}}, // Escape mid-rally
        {"close", {5, 25, 900, false}},  // the window's close request
        {"match", {3, 12, 0, false}},    // played until a side has 5
    };
    for (auto &g : golden) {
        std::string path = std::string(argv[1]) + "/" + g.name + ".sparkrally";
        out = fopen(path.c_str(), "wb");
        if (!out) {
            perror(path.c_str());
            return 1;
        }
        freshgame();
        playscript(g.script);
        written = true;
        layer::live(tofile);
        runmain();
        uint64_t digest = layer::finish();
        if (fclose(out) != 0 || !written || !layer::recordingerror().empty()) {
            fprintf(stderr, "make_golden: writing %s failed\n", path.c_str());
            return 1;
        }
        printf("%s.sparkrally %d %d %d 0x%016llx\n", g.name, doubles::state.frames, pointsp,
               pointse, (unsigned long long)digest);
    }
    return 0;
}
