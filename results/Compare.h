// Saved runs (or matrices) read back and compared: each run's rows side by side with the first
// run's, as a ratio, with a note wherever the runs were not measured alike.
#pragma once

#include "results/Report.h"
#include "results/SavedRun.h"
#include "results/Verdict.h"

#include <string>
#include <vector>

namespace orvane::results {

// A row against the same row of the first run.
TRowVerdict VerdictOf(const TResultRow& row, const TResultRow& first,
                      double thresholdPercent = NoiseThresholdPercent);

// The notes on runs measured unlike the first (file size, block size).
std::vector<std::string> MismatchNotes(const std::vector<TSavedRun>& runs);

// The comparison as text in `format`, each row of a later run with its verdict against the
// first run's (`thresholdPercent`: a difference of medians up to it is noise) and one summary
// per run; file names and labels in a table are escaped for a terminal. Linear in the rows of
// all runs.
std::string ComparisonText(const std::vector<TSavedRun>& runs, TFormat format,
                           double thresholdPercent = NoiseThresholdPercent);

// The notes on matrices measured unlike the first (file size, mode, cells) or not to their end.
std::vector<std::string> MatrixMismatchNotes(const std::vector<TSavedMatrix>& matrices);

// Matrices compared cell by cell as runs are row by row: each cell of a later matrix with its
// verdict against the first's (a configuration that ignores the chunk size once per block
// size), and one summary per matrix.
std::string MatrixComparisonText(const std::vector<TSavedMatrix>& matrices, TFormat format,
                                 double thresholdPercent = NoiseThresholdPercent);

} // namespace orvane::results
