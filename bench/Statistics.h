// How far a row's repeated durations can be trusted: the median with a distribution-free
// confidence interval, the coefficient of variation, outliers, and whether the row is steady.
// Pure arithmetic over the samples (seconds, in the order run); no clock, no I/O.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

namespace orvane {

// The confidence an interval for the median aims at.
inline constexpr double MedianConfidence = 0.95;
// Fewer samples than this say nothing about steadiness or a difference between runs.
inline constexpr std::size_t MinimumSamples = 3;
// Fewer samples than this are never called steady, however close: from five samples on the
// widest interval holds the median with at least 93.75 %; three samples that agree would
// otherwise count as steady on a 75 % interval, which another run's median misses most of
// the time on a busy machine.
inline constexpr std::size_t SteadySamples = 5;
// The modified z-score above which a sample counts as an outlier.
inline constexpr double OutlierScore = 3.5;

// Two ends of a range, Low <= High.
struct TInterval {
    double Low = 0;
    double High = 0;
};

// The median of the samples and the pair of order statistics that holds the true median with
// the stated coverage. The ranks are 1-based positions among the sorted samples.
struct TMedianInterval {
    double Median = 0; // the mean of the middle two for an even count
    double Low = 0;
    double High = 0;
    std::size_t LowRank = 0;
    std::size_t HighRank = 0;
    // The exact probability that the interval holds the median of the distribution the
    // samples came from (continuous: ties only make it larger): at least MedianConfidence
    // where any pair reaches it, else that of [min, max].
    double Coverage = 0;

    // Half the interval's width as a share of the median; none for a median of zero.
    std::optional<double> RelativeHalfWidth() const;
};

// The samples' median; the mean of the middle two for an even count. None for no samples.
std::optional<double> Median(std::span<const double> samples);

// The narrowest symmetric pair of order statistics whose coverage reaches MedianConfidence,
// or [min, max] with its own coverage where none does (5 samples: 93.75 %). None for no
// samples. The samples may come in any order.
std::optional<TMedianInterval> MedianInterval(std::span<const double> samples);

// Standard deviation (n - 1) over the mean; none below two samples or for a mean of zero.
std::optional<double> CoefficientOfVariation(std::span<const double> samples);

// The positions (in the order given) of the samples whose modified z-score,
// 0.6745 (x - median) / MAD, exceeds OutlierScore either way. Where more than half the samples
// equal the median, the MAD is 0 and says nothing of the spread; the mean absolute deviation
// from the median takes its place, scaled to the same normal spread (0.7979 (x - median) /
// MeanAD). Where that is 0 too, every sample is the median and none is an outlier.
std::vector<std::size_t> Outliers(std::span<const double> samples);

// Every function here treats samples with a value that is not finite (read from a damaged
// file, say) as no samples at all.

// Whether a row is steady: at least SteadySamples, and its median interval's half-width
// within `targetPercent` of the median. A median of zero (no clock advance) is never steady.
bool IsSteady(std::span<const double> samples, double targetPercent);

// Throughput is bytes over duration, so a duration interval becomes a throughput interval
// with its ends swapped: the longest duration gives the lowest throughput. In bytes per
// second; an end from a duration of zero or less is infinite.
TInterval ThroughputInterval(const TMedianInterval& seconds, double bytes);
double Throughput(double seconds, double bytes);

} // namespace orvane
