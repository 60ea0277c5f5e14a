// Running another program through posix_spawn, its two outputs read through pipes.
#include "platform/Programs.h"

#include "platform/OsCalls.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace orvane::platform {

namespace {

struct TPipe {
    int Read = -1;
    int Write = -1;
    ~TPipe() {
        for (const int fd : {Read, Write}) {
            if (fd >= 0) {
                OsCalls().close(fd);
            }
        }
    }
    void CloseWrite() {
        OsCalls().close(Write);
        Write = -1;
    }
};

struct TSpawnActions {
    posix_spawn_file_actions_t Actions{};
    bool Made = posix_spawn_file_actions_init(&Actions) == 0;
    ~TSpawnActions() {
        if (Made) {
            posix_spawn_file_actions_destroy(&Actions);
        }
    }
};

// Reads what is there into `into` (up to `limit`, the rest dropped); false at the end.
bool Drain(int fd, std::string& into, std::size_t limit, bool& cut) {
    char buffer[65536];
    const ssize_t n = OsCalls().read(fd, buffer, sizeof buffer);
    if (n < 0) {
        return errno == EINTR || errno == EAGAIN;
    }
    if (n == 0) {
        return false;
    }
    const auto count = static_cast<std::size_t>(n);
    const std::size_t room = into.size() < limit ? limit - into.size() : 0;
    into.append(buffer, std::min(count, room));
    cut = cut || count > room;
    return true;
}

} // namespace

TProgramRun RunProgram(const std::string& path, const std::vector<std::string>& arguments,
                       std::size_t outputLimit) {
    TProgramRun run;
    TPipe output, errors;
    for (TPipe* pipe : {&output, &errors}) {
        int ends[2] = {-1, -1};
        if (OsCalls().pipe2(ends, O_CLOEXEC) != 0) {
            run.StartError = errno;
            return run;
        }
        pipe->Read = ends[0];
        pipe->Write = ends[1];
    }
    TSpawnActions actions;
    if (!actions.Made ||
        posix_spawn_file_actions_addopen(&actions.Actions, 0, "/dev/null", O_RDONLY, 0) != 0 ||
        posix_spawn_file_actions_adddup2(&actions.Actions, output.Write, 1) != 0 ||
        posix_spawn_file_actions_adddup2(&actions.Actions, errors.Write, 2) != 0) {
        run.StartError = ENOMEM;
        return run;
    }
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_t child = -1;
    if (OsCalls().posix_spawn(&child, path.c_str(), &actions.Actions, nullptr, argv.data(),
                              environ) != 0) {
        run.StartError = errno;
        return run;
    }
    output.CloseWrite();
    errors.CloseWrite();
    // Both read as they come, so that neither pipe fills and stops the program.
    bool outputOpen = true, errorsOpen = true, errorsCut = false;
    while (outputOpen || errorsOpen) {
        pollfd ready[2] = {{outputOpen ? output.Read : -1, POLLIN, 0},
                           {errorsOpen ? errors.Read : -1, POLLIN, 0}};
        if (OsCalls().poll(ready, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break; // the program is still waited for below
        }
        if (outputOpen && ready[0].revents != 0) {
            outputOpen = Drain(output.Read, run.Output, outputLimit, run.OutputCut);
        }
        if (errorsOpen && ready[1].revents != 0) {
            errorsOpen = Drain(errors.Read, run.Errors, ProgramErrorBytes, errorsCut);
        }
    }
    int status = 0;
    while (OsCalls().waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            return run; // ExitStatus stays -1: its end is unknown
        }
    }
    run.ExitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

std::string OwnProgramPath() {
    char path[PATH_MAX];
    const ssize_t n = OsCalls().readlink("/proc/self/exe", path, sizeof path);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof path) {
        return {};
    }
    return {path, static_cast<std::size_t>(n)};
}

} // namespace orvane::platform
