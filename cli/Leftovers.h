// Test files that a killed run left behind (marked as Orvane's when created): a warning
// before a run in their directory, and `--clean DIR`, which removes only marked files.
#pragma once

#include <iosfwd>
#include <string>

namespace orvane::cli {

void WarnAboutLeftovers(const std::string& directory, std::ostream& err);

// Removes the marked test files of `directory` whose run has ended, saying what it
// removed; never follows a link. Returns the exit code.
int CleanDirectory(const std::string& directory, std::ostream& out, std::ostream& err);

} // namespace orvane::cli
