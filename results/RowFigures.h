// What a row's repeats say beyond its median: the confidence interval of its throughput and
// its level, how far the interval reaches around the median, the spread, the outliers and
// where its bytes came from. Made from the row's data wherever it is shown or written.
#pragma once

#include "bench/PassSource.h"
#include "bench/ResultRow.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace orvane::results {

struct TRowFigures {
    // With two samples or more: the median's interval in KiB/s and its coverage.
    std::optional<double> LowKiBPerSecond;
    std::optional<double> HighKiBPerSecond;
    std::optional<double> Level;
    // Half the interval's width in % of the median throughput ("+-" in the table).
    std::optional<double> HalfWidthPercent;
    std::optional<double> Cv;
    std::vector<std::size_t> Outliers; // positions among the samples, in the order run
    TPassSource Source = TPassSource::Unknown;
};

TRowFigures FiguresOf(const TResultRow& row);

// The row in a line for a tool tip or a reader pointing at it: "write 64K: 512.0 MiB/s in
// 0.002000 s (repeats 250.0 to 1000.0 MiB/s); +-3.1 % (95.0 % interval 498.2 to 529.6
// MiB/s), cv 2.0 %; device 4 KiB; cached at start 0 bytes".
std::string RowSummary(const TResultRow& row);

} // namespace orvane::results
