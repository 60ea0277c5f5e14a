// Another program run to its end with its output collected: the command line hands the
// chart to a helper program this way. Its calls are on the seam list like every other.
#pragma once

#ifndef _WIN32

#include <cstddef>
#include <string>
#include <vector>

namespace orvane::platform {

struct TProgramRun {
    int StartError = 0;     // errno where the program could not be started; nothing ran then
    int ExitStatus = -1;    // its exit status, or 128 + the signal that ended it
    std::string Output;     // standard output, up to the limit given
    std::string Errors;     // standard error, up to ProgramErrorBytes
    bool OutputCut = false; // it wrote more than the limit; the rest was read and dropped
};

inline constexpr std::size_t ProgramErrorBytes = std::size_t{64} * 1024;

// Runs `path` with `arguments` (the program's name first) and this process's environment,
// standard input from /dev/null, until it ends.
TProgramRun RunProgram(const std::string& path, const std::vector<std::string>& arguments,
                       std::size_t outputLimit);

// The running program's own file, as the kernel names it (/proc/self/exe); empty when it
// can't be read.
std::string OwnProgramPath();

} // namespace orvane::platform

#endif
