// Runs programs as child processes with their own environment, collecting
// what they write and how they end, and killing them after a time limit.
#ifndef SPARKRALLY_TESTS_PROCESS_RUN_H
#define SPARKRALLY_TESTS_PROCESS_RUN_H

#include <sys/types.h>

#include <string>
#include <vector>

struct Outcome {
    std::string out, err;
    int status = -1; // exit status, when it exited
    bool timedout = false;
    long long elapsed_ms = 0; // from the start to the end or the kill
};

struct Child {
    pid_t pid = -1;
    int outfd = -1, errfd = -1;
    long long started_ms = 0;
};

// argv[0] is the program, searched in PATH. env entries ("NAME=value") are
// added to the inherited environment; standard input is /dev/null.
Child spawn(const std::vector<std::string> &argv, const std::vector<std::string> &env = {});

// Collects the child's output until it ends, or kills it after timeout_ms.
Outcome finish(Child &child, int timeout_ms);

// Whether the child is still running (an exited, unreaped child is not).
bool running(const Child &child);

// Reads the child's standard output up to and including the first newline.
std::string readline(Child &child, int timeout_ms);

Outcome run(const std::vector<std::string> &argv, const std::vector<std::string> &env,
            int timeout_ms);

long long nowms();

#endif
