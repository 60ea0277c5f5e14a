// orvane-cli: the Orvane benchmark without a window.
#include "cli/CliApp.h"

#include <fcntl.h>
#include <iostream>
#include <unistd.h>

namespace {

// A closed standard descriptor is taken by /dev/null, so that no file the run opens gets
// its number (and with it the report or a message). Returns whether it was closed.
bool OccupyIfClosed(int fd) {
    if (::fcntl(fd, F_GETFD) != -1) {
        return false;
    }
    const int null = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    if (null >= 0 && null != fd) {
        ::dup2(null, fd);
        ::close(null);
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    OccupyIfClosed(STDIN_FILENO);
    const bool stdoutClosed = OccupyIfClosed(STDOUT_FILENO);
    OccupyIfClosed(STDERR_FILENO);
    // With standard output closed, the report can't go anywhere: writing it fails.
    std::ostream closedOut(nullptr);
    // Progress only where a person watches both outputs.
    const bool progress = ::isatty(STDOUT_FILENO) != 0 && ::isatty(STDERR_FILENO) != 0;
    return orvane::cli::RunCli({argv + 1, argv + argc}, stdoutClosed ? closedOut : std::cout,
                               std::cerr, progress);
}
