// The real binary's failed start-ups: one line on standard output, status 1.
#include <gtest/gtest.h>

#include "run.h"

namespace {

TEST(Process, NoUsableVideoSystemReportsItAndExitsWithOne)
{
    Outcome r = run({SPARKRALLY_BIN}, {"SDL_VIDEODRIVER=bogus"}, 10000);
    ASSERT_FALSE(r.timedout);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.rfind("Unable to initialize SDL: ", 0), 0u) << r.out;
    EXPECT_EQ(r.out.find('\n'), r.out.size() - 1) << r.out;
    EXPECT_EQ(r.err, "");
}

TEST(Process, NoVideoModeReportsItAndExitsWithOne)
{
    Outcome r = run({SPARKRALLY_BIN}, {"SDL_VIDEODRIVER=dummy"}, 10000);
    ASSERT_FALSE(r.timedout);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.rfind("Unable to set video mode: ", 0), 0u) << r.out;
    EXPECT_EQ(r.out.find('\n'), r.out.size() - 1) << r.out;
    EXPECT_EQ(r.err, "");
}

} // namespace
