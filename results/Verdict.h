// Whether a row of a run is faster or slower than the same row of the first run, or whether
// the difference is noise, with the rule that decided; and a run's verdicts summed up per pass
// as data and as one sentence. Pure: it takes duration samples and file bytes, nothing saved.
#pragma once

#include "bench/ResultRow.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>

namespace orvane::results {

// A difference of the median throughputs up to this is noise, whatever the intervals say.
inline constexpr double NoiseThresholdPercent = 5;

enum class TVerdict { Faster, Slower, NoChange, NoVerdict };

// The rules in the order they are tried; the first that applies decides.
enum class TVerdictRule {
    FewSamples,       // either row has fewer than MinimumSamples: no verdict
    NoDuration,       // either row has no usable duration (none above zero): no verdict
    WithinThreshold,  // the medians differ by no more than the threshold: no change
    IntervalsOverlap, // the two median intervals (throughput) overlap or touch: no change
    Apart,            // beyond the threshold and the intervals apart: faster or slower
};

// One row's measurement: its duration samples in seconds and the bytes each pass moved.
struct TMeasuredRow {
    std::span<const double> Seconds;
    double FileBytes = 0;
};

struct TRowVerdict {
    TVerdict Verdict = TVerdict::NoVerdict;
    TVerdictRule Rule = TVerdictRule::FewSamples;
    // The median throughput's change against the first run (+0.18: 18 % faster), wherever
    // both medians are durations above zero, however few the samples.
    std::optional<double> Change;
};

TRowVerdict JudgeRow(const TMeasuredRow& row, const TMeasuredRow& first,
                     double thresholdPercent = NoiseThresholdPercent);

// "faster", "slower", "no change", "no verdict".
std::string VerdictText(TVerdict verdict);
// "fewer than 3 samples", "within the 5 % threshold", "intervals overlap", ...
std::string RuleText(TVerdictRule rule, double thresholdPercent = NoiseThresholdPercent);

// A pass's verdicts counted, and the median of its rows' changes (none without any).
struct TPassSummary {
    TResultList Pass = TResultList::Write;
    std::size_t Rows = 0;
    std::size_t Counts[4] = {}; // by TVerdict
    std::optional<double> MedianChange;

    std::size_t Count(TVerdict verdict) const { return Counts[static_cast<int>(verdict)]; }
};

struct TRunSummary {
    int Run = 2;   // 1-based, as the runs were given
    int First = 1; // the run compared against
    TPassSummary Write;
    TPassSummary Read;
};

TPassSummary SummarizePass(TResultList pass, std::span<const TRowVerdict> verdicts);
TRunSummary SummarizeRun(int run, int first, std::span<const TRowVerdict> write,
                         std::span<const TRowVerdict> read);

// "faster in 7 and no change in 4 of 11 rows".
std::string VerdictCountsText(const TPassSummary& pass);

// "run 2 vs run 1: write faster in 7 and no change in 4 of 11 rows (median +18 %); read no
// change in 11 of 11 rows (median 0 %)".
std::string SummarySentence(const TRunSummary& summary);

} // namespace orvane::results
