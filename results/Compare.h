// Saved runs read back and compared: each run's rows side by side with the first run's,
// as a ratio, with a note wherever the runs were not measured alike.
#pragma once

#include "results/SavedRun.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace orvane::results {

// The notes on runs measured unlike the first (file size, block size).
std::vector<std::string> MismatchNotes(const std::vector<TSavedRun>& runs);

enum class TCompareFormat { Table, Csv, Json };

void WriteComparison(std::ostream& out, const std::vector<TSavedRun>& runs, TCompareFormat format);

} // namespace orvane::results
