#include "golden.h"

#include <fstream>
#include <sstream>

std::string Golden::verified() const
{
    return "final score " + std::to_string(pointsp) + "-" + std::to_string(pointse) + " after " +
           std::to_string(frames) + " frames, state digest " + digest + "\nreplay verified\n";
}

std::string verifiedall(const std::vector<Golden> &list, const std::string &folder)
{
    std::string out;
    for (const Golden &g : list) {
        std::string said = g.verified();
        for (size_t at = 0; at < said.size(); at = said.find('\n', at) + 1)
            out += folder + "/" + g.name + ": " + said.substr(at, said.find('\n', at) + 1 - at);
    }
    std::string n = std::to_string(list.size());
    return out + n + " replays: " + n + " verified, 0 incomplete, 0 drifted, 0 refused\n";
}

const char *const rules_changed =
    "a kept replay no longer plays as tests/replays/golden.txt says: the rules changed. If that "
    "was meant, raise rules_version in game/rulesversion.h and record the corpus again with "
    "scripts/record_corpus.sh; if not, the change broke the rules";

std::vector<Golden> goldens(const std::string &dir)
{
    std::ifstream list(dir + "/golden.txt");
    std::vector<Golden> out;
    for (std::string line; std::getline(list, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        Golden g;
        if (!(fields >> g.name >> g.frames >> g.pointsp >> g.pointse >> g.digest))
            return {};
        out.push_back(g);
    }
    return out;
}
