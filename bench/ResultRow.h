// One result row of a timed pass: the chunk label, the duration in seconds and the
// throughput in KiB per second, formatted as the result lists show them.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace orvane {

struct TResultRow {
    std::string Caption;    // "W: 64K"
    std::string Duration;   // "%8.2f" of the duration
    std::string Throughput; // "%8.2f" of the throughput
    float DurationSeconds;  // whole milliseconds
    float KiBPerSecond;     // from the unrounded duration; 0 when none could be measured
    double ElapsedSeconds;  // the measured time itself, for machine-readable output
};

inline constexpr std::string_view WritePrefix = "W: ";
inline constexpr std::string_view ReadPrefix = "R: ";

// The row of a pass that moved `fileSize` bytes in `elapsed`.
TResultRow MakeResultRow(std::string_view prefix, std::string_view chunkLabel,
                         std::uint32_t fileSize, std::chrono::nanoseconds elapsed,
                         std::string_view decimalSeparator);

// "%8.2f" with the given decimal separator: right-aligned to at least 8, never cut.
std::string FormatFixed(double value, std::string_view decimalSeparator);

// The decimal separator of the user's locale as it was when first asked (call it at
// program start), "." where the locale gives none.
const std::string& DecimalSeparator();

} // namespace orvane
