// The desktop's command line, in front of the game's entry (the linker's
// --wrap of SDL_main): plain play, or a match recorded, replayed in the
// window, or verified without one. Exit statuses: 0 played, or verified;
// 1 a replay that cannot be read, or a recording that cannot be made;
// 2 a command line that is not understood; 3 a replay that drifts; 130 a
// verification interrupted.
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
#include "platform/replay/layer.h"
#include "platform/replay/replayfile.h"

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

const char usage[] = "usage: sparkrally [--record FILE | --replay FILE | --verify FILE]\n"
                     "       sparkrally --help | --version\n";

const char help[] = "Plays a match.\n"
                    "\n"
                    "Controls: the mouse, Up/Down or W/S, or a gamepad's D-pad or left stick\n"
                    "moves your paddle; P or Start pauses and resumes; Escape, Back or closing\n"
                    "the window ends the run.\n"
                    "\n"
                    "  --record FILE  play a match and write its replay to FILE\n"
                    "  --replay FILE  show the replay in FILE at the game's pace: Space pauses\n"
                    "                 and resumes, the right arrow steps one frame while paused,\n"
                    "                 + and - set the speed from 1/4x to 8x, Escape or closing\n"
                    "                 the window ends\n"
                    "  --verify FILE  play the replay in FILE with no window and no sleeps, print\n"
                    "                 the final score, the frame count and the state's digest,\n"
                    "                 and say whether every digest in the file matched\n"
                    "  --help         show this help\n"
                    "  --version      show the game's version\n"
                    "\n"
                    "Exit status: 0 after a match or a verified replay; 1 when a replay cannot be\n"
                    "read or a recording cannot be written; 2 for an unknown option; 3 when a\n"
                    "replay's state drifts from the digests it keeps; 130 when a verification\n"
                    "is interrupted (SIGINT, SIGTERM).\n";

// Verification plays with no window: the SDL calls that would open one are
// answered here instead, as by the null platform, and OpenGL's calls, with
// no context current, do nothing.
bool headless = false;
SDL_Surface screen;
char noerror[] = "";

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
        return 1;
    }
    layer::live(tofile);
    int status = play(argc, argv);
    layer::finish();
    if (fclose(recording.file) != 0 && !recording.failed) {
        recording.failed = true;
        fprintf(stderr, "sparkrally: writing %s failed: %s\n", recording.temp.c_str(),
                strerror(errno));
    }
    if (status != 0 || recording.failed) {
        std::remove(recording.temp.c_str());
        return status;
    }
    if (!replace(recording.temp, recording.path)) {
        fprintf(stderr, "sparkrally: cannot replace %s with %s: %s\n", path, recording.temp.c_str(),
                strerror(errno));
        return 1;
    }
    return 0;
}

int replayfile(const char *path, bool verify, int argc, char *argv[])
{
    static replay::Replay r;
    std::string error;
    if (!replay::readfile(path, SPARKRALLY_VERSION, r, error)) {
        fprintf(stderr, "sparkrally: %s\n", error.c_str());
        return 1;
    }
    headless = verify;
    layer::playback(&r, verify);
    int status = play(argc, argv);
    uint64_t digest = layer::finish();
    layer::Verdict v = layer::verdict();
    if (verify)
        printf("final score %d-%d after %u frames, state digest 0x%016llx\n", pointsp, pointse,
               v.frames, (unsigned long long)digest);
    if (v.drifted) {
        printf("replay drifted: the state after frame %u differs from the file's\n", v.drifted);
        return 3;
    }
    if (status != 0)
        return status;
    if (!verify)
        return 0;
    if (v.ended_early) {
        printf("replay not verified: stopped at frame %u of %zu\n", v.frames, r.frames.size());
        return 130;
    }
    if (!r.complete)
        printf("replay verified up to frame %u: the file is incomplete, its recording was cut "
               "short\n",
               v.frames);
    else
        printf("replay verified\n");
    return 0;
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
    if (!withfile || argc != 3) {
        fprintf(stderr, "%s", usage);
        return 2;
    }
    if (option == "--record")
        return record(argv[2], 1, argv);
    return replayfile(argv[2], option == "--verify", 1, argv);
}

extern "C" int __wrap_SDL_Init(Uint32 flags) { return headless ? 0 : __real_SDL_Init(flags); }

extern "C" char *__wrap_SDL_VideoDriverName(char *buf, int size)
{
    if (!headless)
        return __real_SDL_VideoDriverName(buf, size);
    if (!buf || size <= 0)
        return nullptr;
    snprintf(buf, size_t(size), "%s", "none");
    return buf;
}

extern "C" int __wrap_SDL_GL_SetAttribute(SDL_GLattr attr, int value)
{
    return headless ? 0 : __real_SDL_GL_SetAttribute(attr, value);
}

extern "C" SDL_Surface *__wrap_SDL_SetVideoMode(int width, int height, int bpp, Uint32 flags)
{
    if (!headless)
        return __real_SDL_SetVideoMode(width, height, bpp, flags);
    screen.w = width;
    screen.h = height;
    screen.flags = flags;
    return &screen;
}

extern "C" char *__wrap_SDL_GetError(void) { return headless ? noerror : __real_SDL_GetError(); }

extern "C" void __wrap_SDL_Quit(void)
{
    if (!headless)
        __real_SDL_Quit();
}
