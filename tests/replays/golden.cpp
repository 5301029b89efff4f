#include "golden.h"

#include <fstream>
#include <sstream>

std::string Golden::verified() const
{
    return "final score " + std::to_string(pointsp) + "-" + std::to_string(pointse) + " after " +
           std::to_string(frames) + " frames, state digest " + digest + "\nreplay verified\n";
}

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
