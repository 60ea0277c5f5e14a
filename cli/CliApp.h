// The whole command line, callable in-process: options, the run, the report, the exit code.
#pragma once

#include <chrono>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace orvane::cli {

inline constexpr int ExitOk = 0;
inline constexpr int ExitError = 1;
inline constexpr int ExitUsage = 2;

// What a test may change about a run: the pause before and after each pass (a real sleep
// when empty), a call at each of the run's message points, where a stop is taken in, and the
// wall clock that --start-at is read against with the wait for it (the real ones when empty;
// the real wait ends early when a stop signal arrives).
struct TRunHooks {
    std::function<void(unsigned milliseconds)> Pause;
    std::function<void()> AtMessagePoint;
    std::function<std::chrono::system_clock::time_point()> Now;
    std::function<void(std::chrono::milliseconds)> Wait;
};

// `arguments` without the program name. Progress goes to `err` only when `progress` is
// true (the program passes whether both stdout and stderr are terminals).
int RunCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
           bool progress, const TRunHooks& hooks = {});

} // namespace orvane::cli
