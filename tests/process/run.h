// Runs the real binary as a child process with its own environment and
// collects what it writes and how it ends, killing it after a time limit.
#ifndef SPARKRALLY_TESTS_PROCESS_RUN_H
#define SPARKRALLY_TESTS_PROCESS_RUN_H

#include <string>
#include <vector>

struct Outcome {
    std::string out, err;
    int status = -1; // exit status, when it exited
    bool timedout = false;
};

// env entries ("NAME=value") are added to the inherited environment.
Outcome runbinary(const std::string &path, const std::vector<std::string> &env, int timeout_ms);

#endif
