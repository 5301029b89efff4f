// The real binary as a process: its failed start-ups (one line on standard
// output, status 1) and its command line.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>

#include "replay/replayfile.h"
#include "replays/golden.h"
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

// The command line and the replays it reads and writes.
namespace {

const std::string replays = SPARKRALLY_REPLAYS;

std::string lines(const std::string &text, char mark = '\n')
{
    return std::to_string(std::count(text.begin(), text.end(), mark));
}

TEST(Options, HelpVersionAndWhatIsNotUnderstood)
{
    Outcome help = run({SPARKRALLY_BIN, "--help"}, {}, 10000);
    EXPECT_EQ(help.status, 0);
    for (const char *option : {"--record", "--replay", "--verify", "--version", "Exit status"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    Outcome version = run({SPARKRALLY_BIN, "--version"}, {}, 10000);
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "sparkrally " SPARKRALLY_VERSION "\n");
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{SPARKRALLY_BIN, "--bogus"},
          std::vector<std::string>{SPARKRALLY_BIN, "--verify"},
          std::vector<std::string>{SPARKRALLY_BIN, "--record", "a", "b"}}) {
        Outcome r = run(args, {}, 10000);
        EXPECT_EQ(r.status, 2) << args[1];
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("usage: sparkrally", 0), 0u) << r.err;
    }
}

TEST(Options, AReplayThatCannotBeReadIsOneLineAndStatusOne)
{
    char dir[] = "/tmp/sparkrally-replays-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string empty = std::string(dir) + "/empty.sparkrally";
    const std::string junk = std::string(dir) + "/junk.sparkrally";
    FILE *f = fopen(empty.c_str(), "wb");
    fclose(f);
    f = fopen(junk.c_str(), "wb");
    fputs("this is not a replay at all", f);
    fclose(f);
    for (const std::string &path :
         {std::string(dir) + "/missing.sparkrally", std::string(dir), empty, junk}) {
        for (const char *option : {"--verify", "--replay"}) {
            Outcome r = run({SPARKRALLY_BIN, option, path}, {}, 10000);
            EXPECT_EQ(r.status, 1) << option << " " << path;
            EXPECT_EQ(r.out, "") << path;
            EXPECT_EQ(lines(r.err), "1") << r.err;
            EXPECT_EQ(r.err.rfind("sparkrally: ", 0), 0u) << r.err;
        }
    }
    unlink(empty.c_str());
    unlink(junk.c_str());
    rmdir(dir);
}

// Every golden replay in one process, each line named, and a last line
// that counts them; then a cut file and a missing one, whose statuses the
// worse decides.
TEST(Options, EveryGoldenReplayVerifiesInOneRun)
{
    std::vector<Golden> list = goldens(replays);
    ASSERT_GE(list.size(), 13u) << replays << "/golden.txt";
    std::vector<std::string> args = {SPARKRALLY_BIN, "--verify"};
    for (const Golden &g : list)
        args.push_back(replays + "/" + g.name);
    Outcome r = run(args, {}, 120000);
    EXPECT_EQ(r.status, 0) << r.out << r.err << rules_changed;
    EXPECT_EQ(r.out, verifiedall(list, replays)) << rules_changed;

    char cut[] = "/tmp/sparkrally-cut-XXXXXX";
    int fd = mkstemp(cut);
    ASSERT_GE(fd, 0);
    FILE *f = fopen((replays + "/match.sparkrally").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    char bytes[2000];
    ASSERT_EQ(fread(bytes, 1, sizeof bytes, f), sizeof bytes);
    fclose(f);
    ASSERT_EQ(write(fd, bytes, sizeof bytes), ssize_t(sizeof bytes));
    close(fd);
    Outcome one = run({SPARKRALLY_BIN, "--verify", cut}, {}, 60000);
    EXPECT_EQ(one.status, 4) << one.out << one.err;
    Outcome two = run({SPARKRALLY_BIN, "--verify", cut, "/nonexistent.sparkrally"}, {}, 60000);
    unlink(cut);
    EXPECT_EQ(two.status, 1) << two.out << two.err;
    EXPECT_NE(two.out.find("\n2 replays: 0 verified, 1 incomplete, 0 drifted, 1 refused\n"),
              std::string::npos)
        << two.out;
    EXPECT_EQ(two.err, "sparkrally: /nonexistent.sparkrally: No such file or directory\n");
}

TEST(Options, AReplayThatDriftsHasItsOwnStatusAndNamesTheFrame)
{
    // A golden replay whose pointer is far from the ball from frame 400 on,
    // with the original digests kept: the state after frame 600 differs.
    replay::Replay r;
    std::string error;
    ASSERT_TRUE(
        replay::readfile((replays + "/close.sparkrally").c_str(), SPARKRALLY_VERSION, r, error))
        << error;
    for (size_t f = 399; f < r.frames.size(); f++)
        r.frames[f].y = uint16_t(r.frames[f].y < 240 ? 470 : 10);
    replay::Writer w(SPARKRALLY_VERSION);
    size_t kept = 0;
    for (size_t i = 0; i < r.frames.size(); i++) {
        w.frame(r.frames[i]);
        if ((i + 1) % replay::digest_every == 0 && i + 1 < r.frames.size())
            w.keep(r.digests[kept++]);
    }
    std::vector<uint8_t> file = w.take(), last = w.finish(r.digests.back());
    file.insert(file.end(), last.begin(), last.end());
    char path[] = "/tmp/sparkrally-drift-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, file.data(), file.size()), ssize_t(file.size()));
    close(fd);
    Outcome v = run({SPARKRALLY_BIN, "--verify", path}, {}, 60000);
    unlink(path);
    EXPECT_EQ(v.status, 3) << v.out << v.err;
    EXPECT_NE(v.out.find("replay drifted: the state after frame 600 differs"), std::string::npos)
        << v.out;
}

// The real game recording, offscreen, ended each way a run can end.
struct Recorded {
    std::string path;
    Outcome verified;
};

// A recording's header: magic, format, length, rules, "1.0.0", check.
const off_t header_bytes = 8 + 2 + 2 + 2 + 1 + 5 + 4;

// Records until the file beside the target is longer than `after` bytes,
// then sends `signal`; the recording is then verified.
Recorded recordthen(const std::string &name, int signal, off_t after = header_bytes)
{
    char dir[] = "/tmp/sparkrally-record-XXXXXX";
    EXPECT_NE(mkdtemp(dir), nullptr);
    Recorded rec;
    rec.path = std::string(dir) + "/" + name;
    const std::string temp = rec.path + ".recording";
    Child c = spawn({SPARKRALLY_BIN, "--record", rec.path}, {"SDL_VIDEODRIVER=offscreen"});
    // The header is written at once; the first block of frames is on the
    // disk about six seconds in: an idle player's match lasts about ten.
    struct stat st = {};
    long long start = nowms();
    while (nowms() - start < 30000 && (stat(temp.c_str(), &st) != 0 || st.st_size < after))
        usleep(20000);
    EXPECT_GE(st.st_size, after) << "not recorded";
    // Meanwhile a second recorder of the same file is refused and leaves the
    // first one's file alone.
    if (signal == SIGKILL) {
        Outcome second =
            run({SPARKRALLY_BIN, "--record", rec.path}, {"SDL_VIDEODRIVER=offscreen"}, 10000);
        EXPECT_EQ(second.status, 1) << second.out << second.err;
        EXPECT_NE(second.err.find("another recording of it is running"), std::string::npos)
            << second.err;
    }
    kill(c.pid, signal);
    Outcome ended = finish(c, 20000);
    EXPECT_FALSE(ended.timedout);
    // A killed recording never reaches its target: what was played is in the
    // file beside it.
    const std::string &played = signal == SIGKILL ? temp : rec.path;
    EXPECT_EQ(stat(signal == SIGKILL ? rec.path.c_str() : temp.c_str(), &st), -1);
    rec.verified = run({SPARKRALLY_BIN, "--verify", played}, {}, 60000);
    return rec;
}

TEST(Options, ARecordingSurvivesSigintAndSigtermWholeAndSigkillReadable)
{
    for (int sig : {SIGINT, SIGTERM}) {
        Recorded r = recordthen("ended.sparkrally", sig);
        EXPECT_EQ(r.verified.status, 0) << sig << r.verified.out << r.verified.err;
        EXPECT_NE(r.verified.out.find("\nreplay verified\n"), std::string::npos)
            << sig << r.verified.out;
    }
    Recorded killed = recordthen("killed.sparkrally", SIGKILL, header_bytes + 1);
    EXPECT_EQ(killed.verified.status, 4) << killed.verified.out << killed.verified.err;
    EXPECT_NE(killed.verified.out.find("\nreplay incomplete: verified up to frame 300, where"),
              std::string::npos)
        << killed.verified.out;
    // Killed before its first block, it is a match of no frames.
    Recorded early = recordthen("early.sparkrally", SIGKILL);
    EXPECT_EQ(early.verified.status, 4) << early.verified.out << early.verified.err;
    EXPECT_NE(early.verified.out.find("verified up to frame 0,"), std::string::npos)
        << early.verified.out;
}

// A recording onto an existing replay that fails, at the start or while
// writing, leaves the old replay as it was and nothing beside it.
TEST(Options, AFailedRecordingKeepsTheOldFile)
{
    char dir[] = "/tmp/sparkrally-record-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string path = std::string(dir) + "/old.sparkrally";
    const std::string old = "an earlier match";
    FILE *f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fputs(old.c_str(), f);
    fclose(f);
    auto expectold = [&](const char *what) {
        char buf[64] = {};
        FILE *g = fopen(path.c_str(), "rb");
        ASSERT_NE(g, nullptr) << what;
        EXPECT_EQ(std::string(buf, fread(buf, 1, sizeof buf, g)), old) << what;
        fclose(g);
        struct stat st;
        EXPECT_EQ(stat((path + ".recording").c_str(), &st), -1) << what;
    };

    Outcome nodisplay = run({SPARKRALLY_BIN, "--record", path}, {"DISPLAY=:97"}, 10000);
    EXPECT_EQ(nodisplay.status, 1) << nodisplay.out << nodisplay.err;
    expectold("no display");

    // Writes past 64 bytes fail as on a full disk; the match plays on.
    rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 64;
    std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    Child c = spawn({SPARKRALLY_BIN, "--record", path}, {"SDL_VIDEODRIVER=offscreen"});
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &saved), 0);
    std::signal(SIGXFSZ, SIG_DFL);
    Outcome full = finish(c, 60000);
    EXPECT_FALSE(full.timedout);
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.err, "sparkrally: writing " + path +
                            ".recording failed: File too large; the match plays on unrecorded\n");
    expectold("failed write");
    remove(path.c_str());
    rmdir(dir);
}

} // namespace
