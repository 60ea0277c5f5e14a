// Saved runs of made-up machines for the fleet's tests: every chunk size at one write and one
// read throughput, written as the JSON a run of orvane-cli saves.
#pragma once

#include "bench/Scales.h"
#include "results/Report.h"
#include "tests/support/PlatformTestSupport.h"

#include <chrono>
#include <cmath>
#include <string>
#include <vector>

namespace orvane::testing {

struct THostRun {
    std::string Label; // empty: a run saved before runs named their host
    double WriteMiBPerSecond = 100;
    double ReadMiBPerSecond = 200;
    std::string Method = "win32";
    // Each row's passes as shares of its duration (the median should be 1); none: one pass.
    std::vector<double> Spread = {};
};

inline results::TSavedRun MakeHostRun(const THostRun& host) {
    results::TSavedRun run;
    run.Info.Method = host.Method;
    run.Info.FileSize = "1M";
    run.Info.BlockSize = "256";
    run.Info.StartTime = "2026-12-08T10:00:00+00:00";
    run.Info.Outcome = "completed";
    run.Info.Host.Label = host.Label;
    run.Info.Mode.Repeats = host.Spread.empty() ? 1 : static_cast<int>(host.Spread.size());
    for (const TResultList pass : {TResultList::Write, TResultList::Read}) {
        const double mib =
            pass == TResultList::Write ? host.WriteMiBPerSecond : host.ReadMiBPerSecond;
        for (std::size_t p = 0; p < ChunkSizes.size(); ++p) {
            TResultRow row;
            row.Pass = pass;
            row.ChunkLabel = std::string(ChunkSizeLabels[p]);
            row.ChunkBytes = static_cast<std::uint32_t>(ChunkSizes[p]);
            row.BlockBytes = 256;
            row.FileBytes = 1048576;
            const double seconds = 1 / mib;
            row.End = row.Start + std::chrono::nanoseconds(std::llround(seconds * 1e9));
            for (const double share : host.Spread) {
                row.DurationSamples.push_back(seconds * share);
            }
            run.Rows.push_back(row);
        }
    }
    return run;
}

// The run saved as `name` in `dir`; its full path.
inline std::string SaveHostRun(const TTempDir& dir, const std::string& name, const THostRun& host) {
    WriteWholeFile(dir.Path(name), results::ReportText(MakeHostRun(host), results::TFormat::Json));
    return dir.Path(name);
}

} // namespace orvane::testing
