#include "wine/wine_process.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#ifndef ORVEX_WINDOWS_BUILD
#error "ORVEX_WINDOWS_BUILD must name the build directory of the Windows build"
#endif

namespace winetest {

namespace {

// A temporary file for one captured stream; removed when read.
std::string TempFile() {
    char pattern[] = "/tmp/orvex-wine-capture-XXXXXX";
    int fd = mkstemp(pattern);
    if (fd < 0)
        return "";
    close(fd);
    return pattern;
}

std::string Slurp(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

double Now() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

} // namespace

Started Start(const std::vector<std::string> &argv, const std::string &dir,
              const Environment &env) {
    Started started;
    started.out_path = TempFile();
    started.err_path = TempFile();
    if (argv.empty() || started.out_path.empty() || started.err_path.empty()) {
        started.error = "cannot make capture files";
        return started;
    }
    pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        int in = open("/dev/null", O_RDONLY);
        int out = open(started.out_path.c_str(), O_WRONLY | O_TRUNC);
        int err = open(started.err_path.c_str(), O_WRONLY | O_TRUNC);
        if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 ||
            dup2(err, 2) < 0 || chdir(dir.c_str()) != 0)
            _exit(126);
        // Headless unless asked: a message box on a display would wait for a
        // click that never comes.
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        for (const auto &[name, value] : env)
            setenv(name.c_str(), value.c_str(), 1);
        std::vector<char *> args;
        for (const std::string &a : argv)
            args.push_back(const_cast<char *>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    started.pid = pid;
    if (pid < 0)
        started.error = std::string("fork: ") + strerror(errno);
    return started;
}

Process Finish(Started *started, int timeout_seconds) {
    Process result;
    pid_t pid = started->pid;
    if (pid > 0) {
        double deadline = Now() + timeout_seconds;
        int status = 0;
        for (;;) {
            pid_t done = waitpid(pid, &status, WNOHANG);
            if (done == pid) {
                if (WIFEXITED(status))
                    result.exit_code = WEXITSTATUS(status);
                break;
            }
            if (done < 0)
                break;
            if (Now() > deadline) {
                result.timed_out = true;
                kill(-pid, SIGKILL);
                waitpid(pid, &status, 0);
                break;
            }
            usleep(5000);
        }
        started->pid = -1;
    }
    if (!started->out_path.empty()) {
        result.out = Slurp(started->out_path);
        unlink(started->out_path.c_str());
    }
    if (!started->err_path.empty()) {
        result.err = Slurp(started->err_path);
        unlink(started->err_path.c_str());
    }
    if (!started->error.empty())
        result.err = started->error;
    started->out_path.clear();
    started->err_path.clear();
    return result;
}

Process Run(const std::vector<std::string> &argv, const std::string &dir, const Environment &env,
            int timeout_seconds) {
    Started started = Start(argv, dir, env);
    return Finish(&started, timeout_seconds);
}

std::string Prefix() {
    const char *given = getenv("WINEPREFIX");
    if (given != nullptr && *given != '\0')
        return given;
    return std::string(ORVEX_WINDOWS_BUILD) + "/wineprefix";
}

std::vector<std::string> WineCommand(const std::string &program,
                                     const std::vector<std::string> &args) {
    std::vector<std::string> argv = {std::string(ORVEX_SOURCE_DIR) + "/scripts/wine-run.sh",
                                     program};
    if (program.find('/') != std::string::npos && program[0] != '/')
        argv[1] = std::string(ORVEX_WINDOWS_BUILD) + "/" + program;
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
}

Environment WineEnvironment(const Environment &env) {
    Environment all = {{"WINEPREFIX", Prefix()}, {"WINEDEBUG", "-all"}};
    all.insert(all.end(), env.begin(), env.end());
    return all;
}

Process RunWine(const std::string &program, const std::vector<std::string> &args,
                const std::string &dir, const Environment &env) {
    return Run(WineCommand(program, args), dir, WineEnvironment(env));
}

std::string Program(const char *variable, const std::string &relative) {
    const char *given = getenv(variable);
    return given != nullptr && *given != '\0' ? given : relative;
}

std::string WithoutCr(const std::string &text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            out += text[i];
    return out;
}

} // namespace winetest
