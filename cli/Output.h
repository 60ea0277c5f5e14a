// Where the report goes: standard output or --output, written so that no result is lost
// silently and an existing file is replaced only by a complete report.
#pragma once

#include "results/Columns.h"

#include <cstdint>
#include <iosfwd>
#include <string>

namespace orvane::cli {

// Empty when `path` can take the report after the run, else why not. Checked before the
// run, so that a long run does not end in a report that can't be kept.
std::string OutputProblem(const std::string& path);

// True when the two names lead to the same file (the same path or the same inode).
bool SameFile(const std::string& a, const std::string& b);

// Writes the whole report. A regular file (or a new one) is written beside its place and
// renamed into it once complete; a device or pipe is written directly. Empty on success,
// else the reason, and an existing file is then left unchanged.
std::string WriteOutputFile(const std::string& path, const std::string& text);

// Writes the report to a stream and flushes it; empty on success, else the reason.
std::string WriteOutputStream(std::ostream& out, const std::string& text);

} // namespace orvane::cli
