// Saved runs read back and compared: each run's rows side by side with the first run's,
// as a ratio, with a note wherever the runs were not measured alike.
#pragma once

#include "fileio/Exception.h"
#include "results/Report.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace orvane::results {

// A file that is not a saved run of this program, or is damaged: the text names the file
// and the field.
class EResultsFile : public Exception {
public:
    using Exception::Exception;
};

struct TSavedRow {
    std::string Pass; // "write" or "read"
    std::string Chunk;
    double KiBPerSecond = 0;
};

struct TSavedRun {
    std::string File;
    TRunInfo Info;
    std::vector<TSavedRow> Rows;
};

// Reads a JSON report of either front end (this layout or an earlier one).
TSavedRun LoadSavedRun(const std::string& path);

// The notes on runs measured unlike the first (file size, block size, method, mode).
std::vector<std::string> MismatchNotes(const std::vector<TSavedRun>& runs);

enum class TCompareFormat { Table, Csv, Json };

void WriteComparison(std::ostream& out, const std::vector<TSavedRun>& runs, TCompareFormat format);

} // namespace orvane::results
