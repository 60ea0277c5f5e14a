// The whole command line, callable in-process: options, the run, the report, the exit code.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace orvane::cli {

inline constexpr int ExitOk = 0;
inline constexpr int ExitError = 1;
inline constexpr int ExitUsage = 2;

// `arguments` without the program name. Progress goes to `err` only when `progress` is
// true (the program passes whether stderr is a terminal).
int RunCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
           bool progress);

} // namespace orvane::cli
