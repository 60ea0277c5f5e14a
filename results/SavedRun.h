// A run as saved results hold it: its description and its rows, read back from a JSON or
// CSV report of either front end through the same column tables that wrote it, every value
// checked against what a run can produce.
#pragma once

#include "bench/ResultRow.h"
#include "fileio/Exception.h"
#include "results/Matrix.h"
#include "results/RunInfo.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace orvane::results {

// A file that is not a saved run of this program, or is damaged: the text names the file
// and the field.
class EResultsFile : public Exception {
public:
    using Exception::Exception;
};

struct TSavedRun {
    std::string File; // where it was read from; empty for a run just made
    TRunInfo Info;
    std::vector<TResultRow> Rows; // the write rows, then the read rows
};

// Far beyond any run's report (a run of 1000 repeats writes about half a megabyte); a larger
// file is refused before it is read.
inline constexpr std::size_t MaxSavedRunBytes = std::size_t{16} << 20;
inline constexpr std::size_t MaxSavedRows = 20000;

// What a results file holds: a run, or a matrix of many configurations.
using TSavedResults = std::variant<TSavedRun, TSavedMatrix>;

// Reads a report of either front end or a matrix, JSON (this layout or an earlier one) or CSV,
// from a regular file opened without waiting on it; the JSON's "kind" and the CSV's first
// column tell a matrix from a run.
TSavedResults LoadSavedResults(const std::string& path);
TSavedResults ParseSavedResults(std::string_view text, const std::string& name);

// The same where only a run will do: a matrix is refused as not a run.
TSavedRun LoadSavedRun(const std::string& path);
// From the file's text; `name` names it in errors.
TSavedRun ParseSavedRun(std::string_view text, const std::string& name);

// The rows of one pass, in the order saved.
std::vector<TResultRow> RowsOf(const TSavedRun& run, TResultList pass);

// Where a row had repeats: the throughput of its slowest and of its fastest one.
struct TRepeatRange {
    double SlowestKiBPerSecond;
    double FastestKiBPerSecond;
};
std::optional<TRepeatRange> RepeatRange(const TResultRow& row);

} // namespace orvane::results
