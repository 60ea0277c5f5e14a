// The run history: every completed or stopped run of either front end, kept as its JSON
// report in $XDG_DATA_HOME/orvane/runs/ (by default ~/.local/share/orvane/runs/), named by
// its start time and settings.
#pragma once

#include "results/SavedRun.h"

#include <string>

namespace orvane::results {

// The folder, or empty when neither XDG_DATA_HOME nor HOME says where it is.
std::string HistoryDirectory();

// "2026-12-08T09-25-31+0000_win32_256M_b256_wb" for the run's start and settings.
std::string HistoryFileName(const TRunInfo& info);

struct THistoryResult {
    std::string Path;    // the file written
    std::string Problem; // why nothing was written; empty on success
};

// Writes the run's JSON report into the history (folders made private to the user), never
// over another file; a file that can't be written is a problem to mention, never a failed run.
THistoryResult SaveToHistory(const TSavedRun& run);

// "2026-12-08T09-25-31+0000_matrix_16M_x3" for a matrix's start and settings.
std::string MatrixHistoryFileName(const TSavedMatrix& matrix);
// The same for a matrix's JSON file.
THistoryResult SaveMatrixToHistory(const TSavedMatrix& matrix);

} // namespace orvane::results
