// Runs programs as child processes with their own environment, collecting
// what they write and how they end, and killing them after a time limit.
#ifndef SPARKRALLY_TESTS_PROCESS_RUN_H
#define SPARKRALLY_TESTS_PROCESS_RUN_H

#include <sys/types.h>

#include <string>
#include <vector>

struct Outcome {
    std::string out, err; // err also says why a child could not be started
    int status = -1;      // exit status, when it exited
    bool timedout = false;
    long long elapsed_ms = 0; // from the start to the end or the kill
};

struct Child {
    pid_t pid = -1; // -1 when it could not be started
    int outfd = -1, errfd = -1;
    long long started_ms = 0;
    std::string failure; // why it could not be started
};

// Removes from this process's environment the settings of a player's session
// that change what SDL, Mesa, X clients or Wine do (SDL_*, SDL12COMPAT_*,
// DISPLAY, XAUTHORITY, WAYLAND_DISPLAY, LIBGL_*, WINE*, ...), then sets env's
// entries ("NAME=value"): for tests that start SDL in-process.
void cleanownenv(const std::vector<std::string> &env);

// argv[0] is the program, searched in PATH. The child's environment is this
// process's without those session settings, with env's entries in place of
// any inherited ones of the same names, so a player's exported settings never
// reach it; its standard input is /dev/null.
Child spawn(const std::vector<std::string> &argv, const std::vector<std::string> &env = {});

// Collects the child's output until it ends, or kills it after timeout_ms.
// A child that was never started gives status -1 and its failure in err;
// nothing is signalled or waited for then.
Outcome finish(Child &child, int timeout_ms);

// Whether the child is still running (an exited, unreaped child is not).
bool running(const Child &child);

// Reads the child's standard output up to and including the first newline.
std::string readline(Child &child, int timeout_ms);

Outcome run(const std::vector<std::string> &argv, const std::vector<std::string> &env,
            int timeout_ms);

long long nowms();

// A new folder /tmp/sparkrally-WHAT-XXXXXX; empty if none could be made.
std::string tempdir(const char *what);

// Wine's own settings for a run in `prefix`: no debug channels, and no
// prompts to install Mono or Gecko.
std::vector<std::string> wineenv(const std::string &prefix);

#endif
