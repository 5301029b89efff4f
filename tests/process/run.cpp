#include "run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>

static long long nowms()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

Outcome runbinary(const std::string &path, const std::vector<std::string> &env, int timeout_ms)
{
    int out[2], err[2];
    Outcome r;
    if (pipe(out) != 0 || pipe(err) != 0)
        return r;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        dup2(err[1], 2);
        close(out[0]);
        close(err[0]);
        int devnull = open("/dev/null", O_RDONLY);
        dup2(devnull, 0);
        for (const std::string &e : env)
            putenv(const_cast<char *>(e.c_str()));
        execl(path.c_str(), path.c_str(), (char *)nullptr);
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    long long deadline = nowms() + timeout_ms;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    int open_fds = 2;
    while (open_fds > 0) {
        long long left = deadline - nowms();
        if (left <= 0) {
            r.timedout = true;
            kill(pid, SIGKILL);
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
    waitpid(pid, &st, 0);
    for (pollfd &p : fds)
        if (p.fd >= 0)
            close(p.fd);
    if (WIFEXITED(st))
        r.status = WEXITSTATUS(st);
    return r;
}
