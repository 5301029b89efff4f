// The golden replays' list, tests/replays/golden.txt: one replay a line,
// with the frame count, the score and the final state's digest that
// playing it must give. Lines starting with # are comments.
#ifndef SPARKRALLY_TESTS_REPLAYS_GOLDEN_H
#define SPARKRALLY_TESTS_REPLAYS_GOLDEN_H

#include <string>
#include <vector>

struct Golden {
    std::string name; // the file, in the list's folder
    int frames = 0, pointsp = 0, pointse = 0;
    std::string digest; // 0x and 16 hexadecimal digits

    // What --verify prints for it.
    std::string verified() const;
};

// The list in `dir`; empty when it cannot be read or a line is not whole.
std::vector<Golden> goldens(const std::string &dir);

#endif
