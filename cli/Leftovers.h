// Test files that earlier runs left behind (marked as Orvane's when created): a warning
// before a run in their directory, and `--clean DIR`, which removes only such files.
#pragma once

#include <iosfwd>
#include <string>

namespace orvane::cli {

void WarnAboutLeftovers(const std::string& directory, std::ostream& err);

// Removes the test files of `directory` that no live run holds, saying what it removed;
// never follows a link. A directory that can't be read is an error with the system's
// reason. Returns the exit code.
int CleanDirectory(const std::string& directory, std::ostream& out, std::ostream& err);

} // namespace orvane::cli
