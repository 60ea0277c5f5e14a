// A run as saved results hold it: its settings and, per row, what the comparison and the
// chart show. Read back from a JSON report of either front end, or taken from a run just made.
#pragma once

#include "bench/ResultRow.h"
#include "fileio/Exception.h"
#include "results/Report.h"

#include <cstdint>
#include <optional>
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
    std::uint64_t ChunkBytes = 0;
    std::uint64_t FileBytes = 0; // 0 where the file did not say
    double KiBPerSecond = 0;     // from the median duration; 0 where none could be measured
    std::optional<double> Seconds;
    // Where the row had repeats: the throughput of the slowest and of the fastest one.
    std::optional<double> MinKiBPerSecond;
    std::optional<double> MaxKiBPerSecond;
    std::optional<std::uint64_t> DeviceBytes;
    std::optional<std::uint64_t> CachedBytesAtStart;
};

struct TSavedRun {
    std::string File; // where it was read from; empty for a run just made
    TRunInfo Info;
    std::vector<TSavedRow> Rows;
};

// Reads a JSON report of either front end (this layout or an earlier one).
TSavedRun LoadSavedRun(const std::string& path);

// The rows of a run just made, as a saved run of them would read back.
TSavedRun SavedRunOf(const TRunInfo& info, const std::vector<TResultRow>& writeRows,
                     const std::vector<TResultRow>& readRows);

// One line naming the run: "win32 buffered W+R, block 256, file 1M, durable, median of 3,
// 2026-12-08 10:20:31".
std::string RunLabel(const TRunInfo& info);

// The row in a line, for a reader pointing at it: "write 64K: 512.0 MiB/s in 0.002 s ...".
std::string RowSummary(const TSavedRow& row);

} // namespace orvane::results
