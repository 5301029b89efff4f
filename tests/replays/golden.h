// The kept replays' list, tests/replays/golden.txt: one replay a line,
// with the frame count, the score and the final state's digest that
// playing it must give, then where and how it was made. Lines starting
// with # are comments.
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

// What one --verify of every replay in `list` prints, each named as
// `folder`/file.
std::string verifiedall(const std::vector<Golden> &list, const std::string &folder);

// Why a kept replay that no longer plays as the list keeps it fails, and
// what to do then.
extern const char *const rules_changed;

#endif
