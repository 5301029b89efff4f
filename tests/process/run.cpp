#include "run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

long long nowms()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

std::string tempdir(const char *what)
{
    std::string pattern = std::string("/tmp/sparkrally-") + what + "-XXXXXX";
    return mkdtemp(&pattern[0]) ? pattern : "";
}

std::vector<std::string> wineenv(const std::string &prefix)
{
    return {"WINEPREFIX=" + prefix, "WINEDEBUG=-all", "WINEDLLOVERRIDES=mscoree,mshtml="};
}

// Settings of a player's session that would change what the game, SDL, Mesa,
// X clients or Wine do.
static bool sessionsetting(const std::string &entry)
{
    static const char *const prefixes[] = {"SDL_",        "SDL12COMPAT_",     "DISPLAY=",
                                           "XAUTHORITY=", "WAYLAND_DISPLAY=", "LIBGL_",
                                           "MESA_",       "GALLIUM_",         "LP_",
                                           "WINE",        "XDG_RUNTIME_DIR=", "XDG_SESSION_TYPE="};
    for (const char *p : prefixes)
        if (entry.rfind(p, 0) == 0)
            return true;
    return false;
}

static std::string nameof(const std::string &entry) { return entry.substr(0, entry.find('=')); }

// The environment a child gets: see spawn.
static std::vector<std::string> cleanenv(const std::vector<std::string> &env)
{
    // An inherited variable that env sets again is dropped too: the first of
    // two entries is the one a child's getenv finds.
    auto given = [&](const std::string &entry) {
        for (const std::string &e : env)
            if (nameof(e) == nameof(entry))
                return true;
        return false;
    };
    std::vector<std::string> out;
    for (char **e = environ; *e; e++)
        if (!sessionsetting(*e) && !given(*e))
            out.push_back(*e);
    out.insert(out.end(), env.begin(), env.end());
    return out;
}

void cleanownenv(const std::vector<std::string> &env)
{
    std::vector<std::string> names;
    for (char **e = environ; *e; e++)
        if (sessionsetting(*e))
            names.push_back(nameof(*e));
    for (const std::string &n : names)
        unsetenv(n.c_str());
    for (const std::string &e : env)
        setenv(nameof(e).c_str(), e.substr(e.find('=') + 1).c_str(), 1);
}

Child spawn(const std::vector<std::string> &argv, const std::vector<std::string> &env)
{
    Child c;
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        c.failure = std::string("pipe: ") + strerror(errno);
        return c;
    }
    if (pipe2(err, O_CLOEXEC) != 0) {
        c.failure = std::string("pipe: ") + strerror(errno);
        close(out[0]);
        close(out[1]);
        return c;
    }
    // Built before the fork, so the child only has to exec.
    std::vector<std::string> vars = cleanenv(env);
    std::vector<char *> args, envp;
    for (const std::string &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    for (const std::string &v : vars)
        envp.push_back(const_cast<char *>(v.c_str()));
    envp.push_back(nullptr);
    c.started_ms = nowms();
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        dup2(err[1], 2);
        int devnull = open("/dev/null", O_RDONLY);
        dup2(devnull, 0);
        execvpe(args[0], args.data(), envp.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    if (pid < 0) {
        c.failure = std::string("fork: ") + strerror(errno);
        close(out[0]);
        close(err[0]);
        return c;
    }
    c.pid = pid;
    c.outfd = out[0];
    c.errfd = err[0];
    return c;
}

bool running(const Child &child)
{
    if (child.pid <= 0)
        return false;
    std::ifstream stat("/proc/" + std::to_string(child.pid) + "/stat");
    std::string pid, comm, state;
    // comm is in parentheses and holds no spaces for the programs run here.
    return stat >> pid >> comm >> state && state != "Z";
}

std::string readline(Child &child, int timeout_ms)
{
    std::string line;
    if (child.outfd < 0)
        return line;
    long long deadline = nowms() + timeout_ms;
    pollfd p = {child.outfd, POLLIN, 0};
    while (line.empty() || line.back() != '\n') {
        long long left = deadline - nowms();
        if (left <= 0 || poll(&p, 1, int(left)) <= 0)
            break;
        char ch;
        if (read(child.outfd, &ch, 1) != 1)
            break;
        line += ch;
    }
    return line;
}

Outcome finish(Child &child, int timeout_ms)
{
    Outcome r;
    // Never signal or wait on pid -1 or 0: that would reach every process
    // the user may signal, or the whole group.
    if (child.pid <= 0) {
        r.err = child.failure.empty() ? "not started" : child.failure;
        return r;
    }
    long long deadline = nowms() + timeout_ms;
    pollfd fds[2] = {{child.outfd, POLLIN, 0}, {child.errfd, POLLIN, 0}};
    int open_fds = 2;
    while (open_fds > 0) {
        long long left = deadline - nowms();
        if (left <= 0) {
            r.timedout = true;
            kill(child.pid, SIGKILL);
            break;
        }
        if (poll(fds, 2, int(left)) <= 0)
            continue;
        for (int i = 0; i < 2; i++) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP)))
                continue;
            char buf[4096];
            ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n <= 0) {
                close(fds[i].fd);
                fds[i].fd = -1;
                open_fds--;
            } else {
                (i == 0 ? r.out : r.err).append(buf, size_t(n));
            }
        }
    }
    int st = 0;
    bool reaped = waitpid(child.pid, &st, 0) == child.pid;
    r.elapsed_ms = nowms() - child.started_ms;
    for (pollfd &p : fds)
        if (p.fd >= 0)
            close(p.fd);
    if (reaped && WIFEXITED(st))
        r.status = WEXITSTATUS(st);
    child.pid = -1;
    return r;
}

Outcome run(const std::vector<std::string> &argv, const std::vector<std::string> &env,
            int timeout_ms)
{
    Child c = spawn(argv, env);
    return finish(c, timeout_ms);
}
