// The results of a run as a table, CSV, JSON or tab-separated text, with what was measured
// where: the same for the command line, the window and the run history. Every number is
// written in the C locale's terms, whatever the user's locale is.
#pragma once

#include "results/SavedRun.h"

#include <string>

namespace orvane::results {

enum class TFormat { Table, Csv, Json };

std::string ReportText(const TSavedRun& run, TFormat format);

// Both lists under one header line, tab-separated, for a spreadsheet (the window's copy).
std::string TabText(const TSavedRun& run);

} // namespace orvane::results
