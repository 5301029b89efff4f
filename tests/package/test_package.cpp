// What `cmake --install` and the .deb put on a machine, checked as a
// desktop's tools check them, and the packaged binary started for real.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <vector>

#include "e2e/xsession.h"

namespace {

const std::string build = SPARKRALLY_BUILD_DIR;
const std::string app = "org.sparkrally.sparkrally";

bool exists(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// The one .deb that cpack wrote into dir, or "" if there is none.
std::string debin(const std::string &dir)
{
    std::string found;
    if (DIR *d = opendir(dir.c_str())) {
        while (dirent *e = readdir(d)) {
            std::string name = e->d_name;
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".deb") == 0)
                found = dir + "/" + name;
        }
        closedir(d);
    }
    return found;
}

// The value of key in a desktop entry, or "" if it has none.
std::string desktopvalue(const std::string &path, const std::string &key)
{
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key + "=", 0) == 0)
            return line.substr(key.size() + 1);
    return "";
}

std::string scratch(const std::string &name)
{
    std::string dir = build + "/package-scratch/" + name;
    run({"rm", "-rf", dir}, {}, 10000);
    run({"mkdir", "-p", dir}, {}, 10000);
    return dir;
}

TEST(Package, InstallPutsEachFileWhereADesktopLooksAndTheyValidate)
{
    std::string root = scratch("install");
    Outcome inst = run({"cmake", "--install", build, "--prefix", root}, {}, 60000);
    ASSERT_EQ(inst.status, 0) << inst.out << inst.err;
    for (const std::string &f : std::vector<std::string>{
             "/games/sparkrally", "/share/applications/" + app + ".desktop",
             "/share/icons/hicolor/64x64/apps/" + app + ".png",
             "/share/icons/hicolor/scalable/apps/" + app + ".svg",
             "/share/metainfo/" + app + ".metainfo.xml", "/share/man/man6/sparkrally.6.gz",
             "/share/doc/sparkrally/copyright", "/share/doc/sparkrally/changelog.gz"})
        EXPECT_TRUE(exists(root + f)) << f;

    Outcome desktop =
        run({"desktop-file-validate", root + "/share/applications/" + app + ".desktop"}, {}, 10000);
    EXPECT_EQ(desktop.status, 0) << desktop.out << desktop.err;
    EXPECT_EQ(desktop.out + desktop.err, "");
    Outcome meta = run(
        {"appstreamcli", "validate", "--no-net", root + "/share/metainfo/" + app + ".metainfo.xml"},
        {}, 30000);
    EXPECT_EQ(meta.status, 0) << meta.out << meta.err;
    Outcome icon = run(
        {"identify", "-format", "%w %h", root + "/share/icons/hicolor/64x64/apps/" + app + ".png"},
        {}, 10000);
    EXPECT_EQ(icon.out, "64 64");

    Outcome man = run({"gzip", "-dc", root + "/share/man/man6/sparkrally.6.gz"}, {}, 10000);
    EXPECT_EQ(man.out.rfind(".TH SPARKRALLY 6 ", 0), 0u) << man.out;
}

// The .deb as the README makes it, in a scratch folder of its own; "" after
// a failure, which it reports.
std::string builddeb(const std::string &name)
{
    std::string out = scratch(name);
    Outcome pack = run({"cpack", "-G", "DEB", "-B", out, "--config", build + "/CPackConfig.cmake"},
                       {}, 120000);
    EXPECT_EQ(pack.status, 0) << pack.out << pack.err;
    std::string deb = debin(out);
    EXPECT_FALSE(deb.empty()) << "no .deb in " << out;
    return deb;
}

TEST(Package, DebDependsOnWhatTheBinaryLinksAndItsBinaryStartsAndQuits)
{
    std::string deb = builddeb("deb");
    ASSERT_FALSE(deb.empty());

    Outcome depends = run({"dpkg-deb", "-f", deb, "Depends"}, {}, 10000);
    EXPECT_NE(depends.out.find("libsdl1.2debian"), std::string::npos) << depends.out;
    EXPECT_NE(depends.out.find("libgl1"), std::string::npos) << depends.out;
    EXPECT_NE(depends.out.find("libc6"), std::string::npos) << depends.out;

    std::string root = build + "/package-scratch/deb/root";
    ASSERT_EQ(run({"dpkg", "-x", deb, root}, {}, 30000).status, 0);
    std::string binary = root + "/usr/games/sparkrally";
    ASSERT_TRUE(exists(binary));

    XSession x;
    ASSERT_TRUE(x.ok()) << "Xvfb did not start";
    Child game = spawn({binary}, x.env());
    ASSERT_GT(game.pid, 0) << game.failure;
    unsigned long win = x.window(game.pid);
    if (win == 0) {
        finish(game, 1);
        FAIL() << "no window appeared";
    }
    // A dock ties the running window to the installed entry by this name.
    std::string entry = root + "/usr/share/applications/" + app + ".desktop";
    EXPECT_EQ(x.wmclass(win), desktopvalue(entry, "StartupWMClass"));
    EXPECT_EQ(desktopvalue(entry, "Exec"), "sparkrally");
    usleep(700000); // past the serve pause, into play
    x.holdkey(win, "Escape", 100);
    Outcome r = finish(game, 10000);
    EXPECT_FALSE(r.timedout);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
}

// Debian's own checker, pedantic and informational tags included: no tag.
TEST(Package, LintianFindsNothingInTheDeb)
{
    if (run({"sh", "-c", "command -v lintian"}, {}, 5000).status != 0)
        GTEST_SKIP() << "lintian is not installed";
    std::string deb = builddeb("lintian");
    ASSERT_FALSE(deb.empty());
    Outcome lint =
        run({"lintian", "--pedantic", "--info", "--fail-on", "error,warning,info,pedantic", deb},
            {}, 170000);
    EXPECT_EQ(lint.status, 0) << lint.out << lint.err;
    EXPECT_EQ(lint.out, "");
}

} // namespace
