// The real binary's failed start-ups: one line on standard output, status 1.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include "run.h"

namespace {

// Exactly one line, starting with `prefix`, and nothing on standard error.
void expectoneline(const Outcome &r, const std::string &prefix)
{
    ASSERT_FALSE(r.timedout);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.rfind(prefix, 0), 0u) << r.out;
    EXPECT_EQ(r.out.find('\n'), r.out.size() - 1) << r.out;
    EXPECT_EQ(r.err, "");
}

TEST(Process, NoUsableVideoSystemReportsItAndExitsWithOne)
{
    expectoneline(run({SPARKRALLY_BIN}, {"SDL_VIDEODRIVER=bogus"}, 10000),
                  "Unable to initialize SDL: ");
}

TEST(Process, NoVideoModeReportsItAndExitsWithOne)
{
    expectoneline(run({SPARKRALLY_BIN}, {"SDL_VIDEODRIVER=dummy"}, 10000),
                  "Unable to set video mode: ");
}

// Without a display SDL would fall back to its offscreen driver and play an
// unseen match; the game says so at once instead.
TEST(Process, NoDisplayReportsItAndExitsWithOneAtOnce)
{
    // A runtime folder of its own holds no Wayland socket either.
    char dir[] = "/tmp/sparkrally-runtime-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string runtime = std::string("XDG_RUNTIME_DIR=") + dir;
    // Nothing set at all, then a display where no server runs.
    for (const std::vector<std::string> &env :
         {std::vector<std::string>{runtime}, std::vector<std::string>{runtime, "DISPLAY=:97"}}) {
        Outcome r = run({SPARKRALLY_BIN}, env, 10000);
        expectoneline(r, "Unable to initialize SDL: no display found");
        EXPECT_LT(r.elapsed_ms, 2000);
    }
    rmdir(dir);
}

TEST(Process, AChildThatCannotBeStartedIsAFailureAndNothingIsSignalled)
{
    rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit none = saved;
    none.rlim_cur = 0; // no new file descriptor: the pipes cannot be made
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &none), 0);
    Child c = spawn({"true"});
    Outcome r = finish(c, 1000);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
    EXPECT_EQ(c.pid, -1);
    EXPECT_FALSE(running(c));
    EXPECT_EQ(r.status, -1);
    EXPECT_NE(r.err.find("pipe"), std::string::npos) << r.err;
}

} // namespace
