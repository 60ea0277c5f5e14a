// One result row of a timed pass, as data: the pass, the chunk, block and file sizes and
// the two clock readings. The texts that the result lists show (the chunk label with its
// prefix, the duration and the throughput with "%8.2f") are made from it where shown.
#pragma once

#include "bench/Clock.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

enum class TResultList { Write, Read };

// What a pass did beyond its clock readings, read around it; none where it can't be told.
struct TPassProof {
    // What the file system's block device moved in the pass's direction during the pass.
    std::optional<std::uint64_t> DeviceBytes;
    // Read passes: the file's bytes in the page cache as the pass started.
    std::optional<std::uint64_t> CachedBytesAtStart;
    std::optional<double> CpuUserSeconds;
    std::optional<double> CpuSystemSeconds;
    std::optional<std::uint64_t> VoluntarySwitches;
    std::optional<std::uint64_t> InvoluntarySwitches;
    // How long the process was stopped (SIGSTOP, Ctrl-Z, a debugger) inside the pass's
    // interval, as the continue signal shows it: never less than the real stop, and more by
    // at most the running time since the pass was last seen running (its start, each
    // hundredth of its blocks, the end of its block loop). None where it can't be seen.
    std::optional<double> StoppedSeconds;
};

struct TResultRow {
    TResultList Pass = TResultList::Write;
    std::string ChunkLabel; // "64K": the chunk size's label when the row was made
    std::uint32_t ChunkBytes = 0;
    std::uint32_t BlockBytes = 0;
    std::uint32_t FileBytes = 0; // what the pass moved
    TPassClock::time_point Start{};
    TPassClock::time_point End{};
    TPassProof Proof;
    // Every repeat's duration in seconds, in the order run; End - Start is their median.
    std::vector<double> DurationSamples;
    // Whether the samples' median interval came within the run's target; none when the run
    // repeated a fixed number of times.
    std::optional<bool> Steady;
    // Durable writes and cold reads of a run that measured the device's ceiling: the row's
    // throughput as a share of the ceiling of its direction.
    std::optional<double> CeilingShare;

    std::chrono::nanoseconds Elapsed() const { return End - Start; }
    double ElapsedSeconds() const { return std::chrono::duration<double>(Elapsed()).count(); }
    // From the unrounded time, in double; 0 when the clock did not advance.
    double KiBPerSecond() const;
};

inline constexpr std::string_view WritePrefix = "W: ";
inline constexpr std::string_view ReadPrefix = "R: ";

// "W: 64K".
std::string RowCaption(const TResultRow& row);

// "interrupted: the process was stopped for 2.0 s" for a row whose passes include a stop,
// as both front ends show it beside the row; empty otherwise.
std::string InterruptionNote(const TResultRow& row);

// The row as the result lists show it.
struct TShownRow {
    std::string Caption;
    std::string Duration;   // "%8.2f" of DurationSeconds
    std::string Throughput; // "%8.2f" of KiBPerSecond, or "> " and a lower bound
    float DurationSeconds;  // whole milliseconds, single precision
    // The same double every other output of the row gives, so that the window's lists and
    // the copied or saved results never disagree in the last digit.
    double KiBPerSecond; // 0 when none could be measured
};
TShownRow ShownRow(const TResultRow& row, std::string_view decimalSeparator);

// "%8.2f" with the given decimal separator: right-aligned to at least 8, never cut.
std::string FormatFixed(double value, std::string_view decimalSeparator);

// The decimal separator of the user's locale as it was when first asked (call it at
// program start), "." where the locale gives none.
const std::string& DecimalSeparator();

} // namespace orvane
