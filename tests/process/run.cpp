#include "run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

long long nowms()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

Child spawn(const std::vector<std::string> &argv, const std::vector<std::string> &env)
{
    int out[2], err[2];
    Child c;
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
        return c;
    c.started_ms = nowms();
    c.pid = fork();
    if (c.pid == 0) {
        dup2(out[1], 1);
        dup2(err[1], 2);
        int devnull = open("/dev/null", O_RDONLY);
        dup2(devnull, 0);
        for (const std::string &e : env)
            putenv(const_cast<char *>(e.c_str()));
        std::vector<char *> args;
        for (const std::string &a : argv)
            args.push_back(const_cast<char *>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    c.outfd = out[0];
    c.errfd = err[0];
    return c;
}

bool running(const Child &child)
{
    std::ifstream stat("/proc/" + std::to_string(child.pid) + "/stat");
    std::string pid, comm, state;
    // comm is in parentheses and holds no spaces for the programs run here.
    return stat >> pid >> comm >> state && state != "Z";
}

std::string readline(Child &child, int timeout_ms)
{
    std::string line;
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
    waitpid(child.pid, &st, 0);
    r.elapsed_ms = nowms() - child.started_ms;
    for (pollfd &p : fds)
        if (p.fd >= 0)
            close(p.fd);
    if (WIFEXITED(st))
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
