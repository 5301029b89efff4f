// What `cmake --install` and the .deb put on a machine, checked as a
// desktop's tools check them, and the packaged binary started for real.
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
    for (const std::string &f :
         std::vector<std::string>{"/bin/sparkrally", "/share/applications/" + app + ".desktop",
          "/share/icons/hicolor/64x64/apps/" + app + ".png",
          "/share/icons/hicolor/scalable/apps/" + app + ".svg",
          "/share/metainfo/" + app + ".metainfo.xml", "/share/man/man6/sparkrally.6"})
        EXPECT_TRUE(exists(root + f)) << f;

    Outcome desktop =
        run({"desktop-file-validate", root + "/share/applications/" + app + ".desktop"}, {}, 10000);
    EXPECT_EQ(desktop.status, 0) << desktop.out << desktop.err;
    EXPECT_EQ(desktop.out + desktop.err, "");
    Outcome meta = run({"appstreamcli", "validate", "--no-net",
                        root + "/share/metainfo/" + app + ".metainfo.xml"},
                       {}, 30000);
    EXPECT_EQ(meta.status, 0) << meta.out << meta.err;
    Outcome icon = run({"identify", "-format", "%w %h",
                        root + "/share/icons/hicolor/64x64/apps/" + app + ".png"},
                       {}, 10000);
    EXPECT_EQ(icon.out, "64 64");

    std::ifstream man(root + "/share/man/man6/sparkrally.6");
    std::string th;
    std::getline(man, th);
    EXPECT_EQ(th.rfind(".TH SPARKRALLY 6 ", 0), 0u) << th;
}

TEST(Package, DebDependsOnWhatTheBinaryLinksAndItsBinaryStartsAndQuits)
{
    std::string out = scratch("deb");
    Outcome pack =
        run({"cpack", "-G", "DEB", "-B", out, "--config", build + "/CPackConfig.cmake"}, {}, 120000);
    ASSERT_EQ(pack.status, 0) << pack.out << pack.err;
    Outcome found = run({"sh", "-c", "ls " + out + "/*.deb"}, {}, 5000);
    ASSERT_EQ(found.status, 0);
    std::string deb = found.out.substr(0, found.out.find('\n'));

    Outcome depends = run({"dpkg-deb", "-f", deb, "Depends"}, {}, 10000);
    EXPECT_NE(depends.out.find("libsdl1.2debian"), std::string::npos) << depends.out;
    EXPECT_NE(depends.out.find("libgl1"), std::string::npos) << depends.out;
    EXPECT_NE(depends.out.find("libc6"), std::string::npos) << depends.out;

    std::string root = out + "/root";
    ASSERT_EQ(run({"dpkg", "-x", deb, root}, {}, 30000).status, 0);
    std::string binary = root + "/usr/bin/sparkrally";
    ASSERT_TRUE(exists(binary));

    XSession x;
    ASSERT_TRUE(x.ok());
    Child game = spawn({binary}, x.env());
    unsigned long win = x.window(game.pid);
    ASSERT_NE(win, 0ul);
    usleep(700000);  // past the serve pause, into play
    x.client({"xdotool", "windowfocus", "--sync", std::to_string(win)});
    x.client({"xdotool", "keydown", "Escape"});
    usleep(100000);
    x.client({"xdotool", "keyup", "Escape"});
    Outcome r = finish(game, 10000);
    EXPECT_FALSE(r.timedout);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
}

} // namespace
