// The desktop's command line, in front of the game's entry (the linker's
// --wrap of SDL_main): plain play, or a match recorded, replayed in the
// window, or replays verified without one. The exit statuses are the help's
// table.
#include <SDL.h>

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#include <windows.h>
#endif

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "game/game.h"
#include "platform/null/answers.h"
#include "replay/layer.h"
#include "replay/replayfile.h"

extern "C" {
int __real_SDL_main(int argc, char *argv[]);
int __real_SDL_Init(Uint32 flags);
char *__real_SDL_VideoDriverName(char *buf, int size);
int __real_SDL_GL_SetAttribute(SDL_GLattr attr, int value);
SDL_Surface *__real_SDL_SetVideoMode(int width, int height, int bpp, Uint32 flags);
char *__real_SDL_GetError(void);
void __real_SDL_Quit(void);
}

namespace {

const char usage[] = "usage: sparkrally [--record FILE | --replay FILE | --verify FILE...]\n"
                     "       sparkrally --help | --version\n";

const char help[] =
    "Plays a match.\n"
    "\n"
    "Controls: the mouse, Up/Down or W/S, or a gamepad's D-pad or left stick moves\n"
    "your paddle; P or Start pauses and resumes; Escape, Back or closing the window\n"
    "ends the run.\n"
    "\n"
    "  --record FILE     play a match and write its replay to FILE, which is\n"
    "                    replaced only once the match has ended and is written\n"
    "  --replay FILE     show the replay in FILE at the game's pace: Space pauses\n"
    "                    and resumes, the right arrow steps one frame while\n"
    "                    paused, + and - set the speed from 1/4x to 8x, Escape or\n"
    "                    closing the window ends\n"
    "  --verify FILE...  play each replay with no window and no sleeps, print the\n"
    "                    final score, the frame count and the state's digest, and\n"
    "                    say whether every digest in the file matched; with\n"
    "                    several files, each line starts with the file's name and\n"
    "                    a last line counts them\n"
    "  --help            show this help\n"
    "  --version         show the game's version\n"
    "\n"
    "Exit status:\n"
    "  0    a match played, or every replay verified\n"
    "  1    a replay cannot be read, or a recording cannot be made or written\n"
    "  2    the command line is not understood\n"
    "  3    a replay drifts from the digests it keeps\n"
    "  4    a replay is incomplete: its recording was cut short, and it verified\n"
    "       up to its last whole frame\n"
    "  130  a verification interrupted (SIGINT, SIGTERM)\n"
    "With several files, the status is 3 if any drifts, else 1 if any cannot be\n"
    "read, else 4 if any is incomplete.\n";

enum Status { ok = 0, failed = 1, usagefault = 2, drifted = 3, incomplete = 4, stopped = 130 };

// Verification plays with no window: the SDL calls that would open one get
// the null platform's answers, and OpenGL's calls, with no context
// current, do nothing.
bool headless = false;

// A recording goes to a file beside its target and replaces the target only
// once the match has ended and been written whole, so the old file is never
// lost to a failed start, a kill or a full disk.
struct Recording {
    std::string path;
    std::string temp;
    FILE *file = nullptr;
    bool failed = false;
} recording;

// Each finished block goes to the disk at once, so that a run that is
// killed leaves every whole block behind. A failed write is said once; the
// match plays on.
void tofile(const std::vector<uint8_t> &bytes)
{
    if (recording.failed || !recording.file)
        return;
    if (fwrite(bytes.data(), 1, bytes.size(), recording.file) != bytes.size() ||
        fflush(recording.file) != 0) {
        recording.failed = true;
        fprintf(stderr, "sparkrally: writing %s failed: %s; the match plays on unrecorded\n",
                recording.temp.c_str(), strerror(errno));
    }
}

extern "C" void onsignal(int) { layer::stop(); }

int play(int argc, char *argv[])
{
    std::signal(SIGINT, onsignal);
    std::signal(SIGTERM, onsignal);
    return __real_SDL_main(argc, argv);
}

// Created only if absent, so that a second recorder of the same target is
// refused rather than writing into the first one's file.
FILE *createnew(const std::string &path)
{
#ifdef _WIN32
    int fd = _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, 0666);
    return fd < 0 ? nullptr : _fdopen(fd, "wb");
#else
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
    return fd < 0 ? nullptr : fdopen(fd, "wb");
#endif
}

bool replace(const std::string &from, const std::string &to)
{
#ifdef _WIN32
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

int record(const char *path, int argc, char *argv[])
{
    recording.path = path;
    recording.temp = recording.path + ".recording";
    recording.file = createnew(recording.temp);
    if (!recording.file) {
        if (errno == EEXIST)
            fprintf(stderr,
                    "sparkrally: cannot record to %s: %s exists, so another recording of it is "
                    "running or an earlier one was cut short (--verify reads it)\n",
                    path, recording.temp.c_str());
        else
            fprintf(stderr, "sparkrally: cannot record to %s: %s: %s\n", path,
                    recording.temp.c_str(), strerror(errno));
        return failed;
    }
    layer::live(tofile);
    int status = play(argc, argv);
    layer::finish();
    if (!layer::recordingerror().empty())
        recording.failed = true;
    if (fclose(recording.file) != 0 && !recording.failed) {
        recording.failed = true;
        fprintf(stderr, "sparkrally: writing %s failed: %s\n", recording.temp.c_str(),
                strerror(errno));
    }
    if (status != 0 || recording.failed) {
        std::remove(recording.temp.c_str());
        return status != 0 ? status : failed;
    }
    if (!replace(recording.temp, recording.path)) {
        fprintf(stderr, "sparkrally: cannot replace %s with %s: %s\n", path, recording.temp.c_str(),
                strerror(errno));
        return failed;
    }
    return 0;
}

// Plays one replay, shown or verified; `name` starts each line it prints.
// Returns its status.
int playreplay(const char *path, bool verify, const std::string &name, int argc, char *argv[])
{
    static replay::Replay r;
    std::string error;
    if (!replay::readfile(path, SPARKRALLY_VERSION, r, error)) {
        fprintf(stderr, "sparkrally: %s\n", error.c_str());
        return failed;
    }
    freshstate();
    headless = verify;
    layer::playback(&r, verify);
    int status = play(argc, argv);
    uint64_t digest = layer::finish();
    layer::Verdict v = layer::verdict();
    const char *n = name.c_str();
    if (verify)
        printf("%sfinal score %d-%d after %u frames, state digest 0x%016llx\n", n, pointsp, pointse,
               v.frames, (unsigned long long)digest);
    if (v.drifted) {
        printf("%sreplay drifted: the state after frame %u differs from the file's\n", n,
               v.drifted);
        return drifted;
    }
    if (status != 0)
        return status;
    if (!verify)
        return ok;
    if (v.ended_early) {
        printf("%sreplay not verified: stopped at frame %u of %zu\n", n, v.frames, r.frames.size());
        return stopped;
    }
    if (!r.complete) {
        printf("%sreplay incomplete: verified up to frame %u, where its recording was cut "
               "short\n",
               n, v.frames);
        return incomplete;
    }
    printf("%sreplay verified\n", n);
    return ok;
}

// Verifies each file in turn; with more than one, each line names its file
// and a last line counts them.
int verifyall(int files, char *paths[], char *argv[])
{
    if (files == 1)
        return playreplay(paths[0], true, "", 1, argv);
    int verified = 0, cut = 0, drifts = 0, refused = 0;
    for (int i = 0; i < files; i++) {
        int status = playreplay(paths[i], true, std::string(paths[i]) + ": ", 1, argv);
        if (status == stopped)
            return stopped;
        verified += status == ok;
        cut += status == incomplete;
        drifts += status == drifted;
        refused += status != ok && status != incomplete && status != drifted;
    }
    printf("%d replays: %d verified, %d incomplete, %d drifted, %d refused\n", files, verified, cut,
           drifts, refused);
    return drifts ? drifted : refused ? failed : cut ? incomplete : ok;
}

} // namespace

extern "C" int __wrap_SDL_main(int argc, char *argv[])
{
    std::string option = argc > 1 ? argv[1] : "";
    bool withfile = option == "--record" || option == "--replay" || option == "--verify";
    if (argc == 1)
        return play(argc, argv);
    if (option == "--help" && argc == 2) {
        printf("%s\n%s", usage, help);
        return 0;
    }
    if (option == "--version" && argc == 2) {
        printf("sparkrally %s\n", SPARKRALLY_VERSION);
        return 0;
    }
    if (!withfile || argc < 3 || (argc > 3 && option != "--verify")) {
        fprintf(stderr, "%s", usage);
        return usagefault;
    }
    if (option == "--record")
        return record(argv[2], 1, argv);
    if (option == "--replay")
        return playreplay(argv[2], false, "", 1, argv);
    return verifyall(argc - 2, argv + 2, argv);
}

extern "C" int __wrap_SDL_Init(Uint32 flags) { return headless ? 0 : __real_SDL_Init(flags); }

extern "C" char *__wrap_SDL_VideoDriverName(char *buf, int size)
{
    return headless ? nullplatform::videodrivername(buf, size)
                    : __real_SDL_VideoDriverName(buf, size);
}

extern "C" int __wrap_SDL_GL_SetAttribute(SDL_GLattr attr, int value)
{
    return headless ? 0 : __real_SDL_GL_SetAttribute(attr, value);
}

extern "C" SDL_Surface *__wrap_SDL_SetVideoMode(int width, int height, int bpp, Uint32 flags)
{
    return headless ? nullplatform::setvideomode(width, height, flags)
                    : __real_SDL_SetVideoMode(width, height, bpp, flags);
}

extern "C" char *__wrap_SDL_GetError(void)
{
    return headless ? nullplatform::error() : __real_SDL_GetError();
}

extern "C" void __wrap_SDL_Quit(void)
{
    if (!headless)
        __real_SDL_Quit();
}
