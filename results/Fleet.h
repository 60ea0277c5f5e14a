// Saved runs of many machines side by side: one column per host, per row the fleet's median,
// least and most throughput with the slowest host named, and every host judged against the
// fleet median, row by row and summed up per pass.
#pragma once

#include "fileio/Exception.h"
#include "results/Report.h"
#include "results/SavedRun.h"
#include "results/Verdict.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvane::results {

// Runs that were not measured alike (their config_hash differs): no fleet without --force.
class EFleetMismatch : public Exception {
public:
    using Exception::Exception;
};

struct TFleetHost {
    // The run's host label; the file's name for a run saved before hosts were recorded; with
    // " (2)", " (3)" ... where an earlier run has the same one.
    std::string Label;
    const TSavedRun* Run = nullptr;
};

// One row (a pass and a chunk size) across the hosts.
struct TFleetRow {
    TResultList Pass = TResultList::Write;
    std::uint32_t ChunkBytes = 0;
    std::string Chunk;
    std::vector<const TResultRow*> Rows; // per host; nullptr where it has no such row
    // Over the hosts whose row has a throughput; none where no host's has.
    std::size_t Measured = 0;
    std::optional<double> MedianKiBPerSecond;
    std::optional<double> MinKiBPerSecond;
    std::optional<double> MaxKiBPerSecond;
    std::optional<std::size_t> Slowest; // the host with the least throughput (the first of ties)
    std::vector<std::optional<TRowVerdict>> Verdicts; // per host, where it has the row
};

struct TFleet {
    std::vector<TFleetHost> Hosts; // in the order the files were given
    std::vector<TFleetRow> Rows;   // in the order first seen, as `report` has them
    std::vector<std::string> Notes;
    double ThresholdPercent = NoiseThresholdPercent;
};

// How a host's row is judged against the fleet. The hosts are the samples of the fleet, so
// the fleet median says something only where at least MinimumSamples hosts measured the row
// (else: no verdict). The host's median throughput against the fleet median is its change;
// up to the noise threshold it is no change. Beyond it, a host that repeated the row
// (MinimumSamples passes or more) is faster or slower only where the fleet median lies
// outside the host's own confidence interval for its median (else: no change, the interval
// holds the fleet median); a host that measured the row fewer times has no interval, and
// the threshold alone decides. `Change` is always against the fleet median.
TRowVerdict JudgeAgainstFleet(const TResultRow& row, double fleetMedianKiBPerSecond,
                              std::size_t hostsMeasured,
                              double thresholdPercent = NoiseThresholdPercent);

// The rule that decided, in words: "fewer than 3 hosts", "beyond the 5 % threshold, one
// pass", "the fleet median within the host's interval", ...
std::string FleetRuleText(const TRowVerdict& verdict, const TResultRow& row,
                          double thresholdPercent = NoiseThresholdPercent);

// What makes runs comparable, spelt out: "win32, write buffered, file 1M, block 256, durable".
std::string RunSettingsText(const TRunInfo& info);

// The runs as a fleet. Runs whose settings (config_hash) differ from the first run's are
// refused with EFleetMismatch naming them, or with `force` compared all the same, with a
// note; notes also tell of runs without a host label and of labels that were numbered.
// `runs` must outlive the result.
TFleet MakeFleet(const std::vector<TSavedRun>& runs, bool force,
                 double thresholdPercent = NoiseThresholdPercent);

// "db-3: write slower in 11 of 11 rows (median 38 % slower than the fleet median); read no
// change in 11 of 11 rows (median 1 % faster than the fleet median)", one per host.
std::vector<std::string> FleetSummaries(const TFleet& fleet);

// The fleet in `format`: labels, file names and notes escaped for a terminal in a table, the
// CSV quoted as RFC 4180 has it (one column group per host), the JSON with every host's
// description, row, verdict and summary. Linear in the rows of all runs.
std::string FleetText(const TFleet& fleet, TFormat format);

} // namespace orvane::results
