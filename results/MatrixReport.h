// A matrix as a table, CSV or JSON: its cells with the run's row columns and the configuration
// that measured them, each place's winner, and the run's description fields that apply to it,
// all from the column tables that write a run.
#pragma once

#include "results/Matrix.h"
#include "results/Report.h"

#include <string>

namespace orvane::results {

// The table: per block size and pass a grid of chunk size by configuration in MiB/s with the
// winner marked, and a sentence per pass. CSV: one record per cell (RFC 4180). JSON: versioned,
// with "kind": "matrix".
std::string MatrixReportText(const TSavedMatrix& matrix, TFormat format);

} // namespace orvane::results
