// The Windows build under Wine: its unit tests on Windows' C runtime, the
// real sparkrally.exe in a window on a private X server, and the zip as a
// player unpacks it. Every run gets a fresh, throw-away Wine prefix.
//
// Wine is not Windows: this shows that the build links, loads only system
// DLLs and its own two, and plays and ends as it should on Wine's
// implementation of the Windows API, not that every Windows machine agrees.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>

#include "e2e/xsession.h"
#include "replays/golden.h"

namespace {

const std::string winbuild = SPARKRALLY_WINDOWS_BUILD;
const std::string zip = SPARKRALLY_WINDOWS_ZIP;
const std::string zipfolder = SPARKRALLY_WINDOWS_ZIP_FOLDER;

std::string slurp(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class Wine : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        prefix = tempdir("wineprefix");
        stage = tempdir("windows");
        ASSERT_FALSE(prefix.empty() || stage.empty()) << "no temporary folder";
    }

    void TearDown() override
    {
        if (game.pid > 0)
            finish(game, 1);
        if (!prefix.empty())
            run({"wineserver", "-k"}, wineenv(), 20000);
        run({"rm", "-rf", prefix, stage}, {}, 60000);
    }

    // Wine's own settings, all set here, in a prefix of this test's own.
    std::vector<std::string> wineenv(std::vector<std::string> more = {}) const
    {
        std::vector<std::string> wine = ::wineenv(prefix);
        more.insert(more.end(), wine.begin(), wine.end());
        return more;
    }

    // The game and its DLLs from the build tree, in a folder of their own
    // so that its stdout.txt is this test's alone.
    std::string staged()
    {
        for (const char *f : {"sparkrally.exe", "SDL.dll", "SDL2.dll"})
            EXPECT_EQ(run({"cp", winbuild + "/" + f, stage}, {}, 10000).status, 0) << f;
        return stage + "/sparkrally.exe";
    }

    // Starts exe under Wine on the X server; fatal if no window appears.
    void start(const std::string &exe, std::vector<std::string> env = {})
    {
        ASSERT_TRUE(x.ok()) << "Xvfb did not start";
        std::vector<std::string> xenv = x.env();
        env.insert(env.end(), xenv.begin(), xenv.end());
        game = spawn({SPARKRALLY_WINE64, exe}, wineenv(env));
        ASSERT_GT(game.pid, 0) << game.failure;
        // The first start in a new prefix sets the prefix up first.
        win = x.window(game.pid, 60000);
        ASSERT_NE(win, 0ul) << "no window appeared";
    }

    // Follows the pointer and S held, then ends on Escape held like a
    // person, status 0.
    void playandescape()
    {
        x.client({"xdotool", "mousemove", "--window", std::to_string(win), "320", "150"});
        Image img;
        long long deadline = nowms() + 10000;
        do {
            usleep(100000);
            img = x.shot(win, "windows-paddle");
        } while (img.whiterun(3).first != 130 && nowms() < deadline);
        EXPECT_EQ(img.w, 640);
        EXPECT_EQ(img.h, 480);
        for (int col : {2, 3, 4})
            EXPECT_EQ(img.whiterun(col), std::make_pair(130, 169)) << "column " << col;
        // S held moves the paddle on from there at the keys' profile.
        x.holdkey(win, "s", 200);
        usleep(300000);
        const int moved = x.shot(win, "windows-paddle-after-s").whiterun(3).first - 130;
        EXPECT_TRUE(keysprofile(moved)) << "S moved the paddle by " << moved;
        x.holdkey(win, "Escape", 100);
        Outcome r = finish(game, 10000);
        EXPECT_FALSE(r.timedout);
        EXPECT_EQ(r.status, 0);
    }

    XSession x;
    Child game;
    unsigned long win = 0;
    std::string prefix, stage;
};

TEST_F(Wine, UnitTestsPassOnTheWindowsRuntime)
{
    Outcome r = run({SPARKRALLY_WINE64, winbuild + "/tests/unit_tests.exe"}, wineenv(), 240000);
    ASSERT_FALSE(r.timedout);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("[  PASSED  ]"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("[  FAILED  ]"), std::string::npos) << r.out;
}

// The kept replays, through the doubles and through the real game with
// no window, every file in one run: the same digests as on Linux.
TEST_F(Wine, GoldenReplaysPlayToTheirKeptDigests)
{
    Outcome r = run({SPARKRALLY_WINE64, winbuild + "/tests/replay_tests.exe"}, wineenv(), 240000);
    ASSERT_FALSE(r.timedout);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("[  PASSED  ]"), std::string::npos) << r.out;

    std::string exe = staged();
    std::vector<Golden> list = goldens(SPARKRALLY_REPLAYS);
    ASSERT_GE(list.size(), 13u);
    const std::string folder = std::string("Z:") + SPARKRALLY_REPLAYS;
    std::vector<std::string> args = {SPARKRALLY_WINE64, exe, "--verify"};
    for (const Golden &g : list)
        args.push_back(folder + "/" + g.name);
    Outcome v = run(args, wineenv(), 240000);
    EXPECT_EQ(v.status, 0) << rules_changed;
    std::string out = slurp(stage + "/stdout.txt");
    out.erase(std::remove(out.begin(), out.end(), '\r'), out.end());
    EXPECT_EQ(out, verifiedall(list, folder)) << rules_changed;
}

TEST_F(Wine, TheGameFollowsThePointerAndKeysAndEndsOnEscape)
{
    ASSERT_NO_FATAL_FAILURE(start(staged()));
    playandescape();
}

TEST_F(Wine, TheCloseRequestEndsTheRunWithStatusZero)
{
    ASSERT_NO_FATAL_FAILURE(start(staged()));
    usleep(700000); // past the serve pause, into play
    ASSERT_TRUE(x.closerequest(win));
    Outcome r = finish(game, 10000);
    EXPECT_FALSE(r.timedout);
    EXPECT_EQ(r.status, 0);
}

// On Windows SDL's entry wrapper sends standard output to stdout.txt beside
// the executable.
TEST_F(Wine, AFailedStartWritesItsLineToStdoutTxtAndExitsWithOne)
{
    std::string exe = staged();
    Outcome r = run({SPARKRALLY_WINE64, exe}, wineenv({"SDL_VIDEODRIVER=bogus"}), 120000);
    ASSERT_FALSE(r.timedout);
    EXPECT_EQ(r.status, 1);
    std::string out = slurp(stage + "/stdout.txt");
    EXPECT_EQ(out.rfind("Unable to initialize SDL: ", 0), 0u) << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
}

// The DLLs each file imports, lower case.
std::set<std::string> imports(const std::string &file)
{
    Outcome r = run({"x86_64-w64-mingw32-objdump", "-p", file}, {}, 30000);
    EXPECT_EQ(r.status, 0) << file << r.err;
    std::set<std::string> names;
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line);) {
        size_t at = line.find("DLL Name: ");
        if (at == std::string::npos)
            continue;
        std::string name = line.substr(at + 10);
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return char(std::tolower(c)); });
        names.insert(name);
    }
    return names;
}

TEST_F(Wine, TheZipHoldsAllItNeedsAndPlaysFromAnEmptyFolder)
{
    ASSERT_EQ(access(zip.c_str(), R_OK), 0) << zip << " is missing: run scripts/windows.sh";
    Outcome unpack =
        run({"cmake", "-E", "chdir", stage, "cmake", "-E", "tar", "xf", zip}, {}, 60000);
    ASSERT_EQ(unpack.status, 0) << unpack.out << unpack.err;
    std::string dir = stage + "/" + zipfolder;
    for (const char *f : {"sparkrally.exe", "SDL.dll", "SDL2.dll", "LICENSE.txt", "README.txt",
                          "licenses/SDL2-LICENSE.txt", "licenses/sdl12-compat-LICENSE.txt",
                          "licenses/core-math-LICENSE.txt", "licenses/zlib-LICENSE.txt"})
        EXPECT_EQ(access((dir + "/" + f).c_str(), R_OK), 0) << f;

    // Windows' own DLLs only, and the exe's SDL.dll; no compiler runtime.
    const std::set<std::string> system = {
        "kernel32.dll", "user32.dll",  "gdi32.dll", "msvcrt.dll",   "opengl32.dll",
        "advapi32.dll", "imm32.dll",   "ole32.dll", "oleaut32.dll", "setupapi.dll",
        "shell32.dll",  "version.dll", "winmm.dll"};
    std::set<std::string> exe = imports(dir + "/sparkrally.exe");
    EXPECT_EQ(exe,
              (std::set<std::string>{"kernel32.dll", "msvcrt.dll", "opengl32.dll", "sdl.dll"}));
    for (const char *dll : {"SDL.dll", "SDL2.dll"})
        for (const std::string &name : imports(dir + "/" + dll))
            EXPECT_TRUE(system.count(name)) << dll << " imports " << name;

    ASSERT_NO_FATAL_FAILURE(start(dir + "/sparkrally.exe"));
    playandescape();
}

} // namespace
