// The command line's options, parsed with CLI11.
#pragma once

#include "bench/AccessMethod.h"
#include "bench/RunHost.h"
#include "bench/Scales.h"
#include "cli/StartAt.h"
#include "results/Report.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvane::cli {

using results::TFormat;

struct TCliOptions {
    TAccessMethod Method = TAccessMethod::amFile;
    int FileSizePosition = FileSizeStartPosition; // as the window starts
    int BlockSizePosition = BlockSizeStartPosition;
    bool WriteBuffered = false;
    bool ReadBuffered = false;
    std::string Dir = ".";
    std::string File; // empty: a new name in Dir
    TFormat Format = TFormat::Table;
    std::string Output;     // empty: standard output
    std::string Clean;      // --clean DIR: remove leftover test files there instead of a run
    bool NoHistory = false; // don't keep the run in the history
    // `report FILE...`: compare saved runs instead of a run.
    bool Report = false;
    std::vector<std::string> ReportFiles;
    bool ByHost = false;   // --by host: the runs as a fleet, one column per host
    bool Force = false;    // --force: a fleet of runs measured with unlike settings all the same
    std::string Chart;     // also draw the chart into this file (.svg or .png)
    bool LogScale = false; // the chart's throughput axis logarithmic
    // A difference of medians up to this share is noise in the report's verdicts.
    double ThresholdPercent = 5;
    TMeasuringMode Mode;
    std::string HostLabel; // --host-label: the machine's name in reports of many machines
    // --start-at: the first pass waits until then, so that a fleet measures at one moment.
    std::optional<TWallTime> StartAt;
    std::string StartAtText; // as given, for messages
    // `matrix`: every configuration at every block size and chunk size instead of a run.
    bool Matrix = false;
    std::vector<std::size_t> Configurations; // indices into MatrixConfigurations(), in order
    std::vector<std::size_t> BlockPositions; // ascending
    std::optional<std::uint64_t> Seed;       // none: a fresh one
};

struct TParseResult {
    std::optional<TCliOptions> Options; // none: stop with ExitCode and Message
    int ExitCode = 0;
    std::string Message; // help, version or the usage error
};

// `now` is what --start-at is checked against.
TParseResult ParseOptions(const std::vector<std::string>& arguments,
                          TWallTime now = std::chrono::system_clock::now());

} // namespace orvane::cli
