// What the window does with the rows of its last run: save them as CSV or JSON (the command
// line's formats) through the one safe writer.
#pragma once

#include "results/SavedRun.h"

#include <string>

namespace orvane {

// Writes the run as JSON or CSV, whole; empty on success, else why.
std::string SaveResults(const std::string& fileName, bool json, const results::TSavedRun& run);

} // namespace orvane
