// The row statistics.
#include "bench/Statistics.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace orvane {

namespace {

// The normal distribution's MAD and mean absolute deviation in standard deviations.
constexpr double MadScale = 0.6745;
constexpr double MeanDeviationScale = 0.7979;

bool Usable(std::span<const double> samples) {
    return !samples.empty() &&
           std::all_of(samples.begin(), samples.end(), [](double x) { return std::isfinite(x); });
}

std::vector<double> Sorted(std::span<const double> samples) {
    std::vector<double> sorted(samples.begin(), samples.end());
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

double MedianOfSorted(const std::vector<double>& sorted) {
    const std::size_t n = sorted.size();
    return n % 2 == 1 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
}

} // namespace

std::optional<double> TMedianInterval::RelativeHalfWidth() const {
    if (Median <= 0) {
        return std::nullopt;
    }
    return (High - Low) / 2 / Median;
}

std::optional<double> Median(std::span<const double> samples) {
    if (!Usable(samples)) {
        return std::nullopt;
    }
    return MedianOfSorted(Sorted(samples));
}

std::optional<TMedianInterval> MedianInterval(std::span<const double> samples) {
    if (!Usable(samples)) {
        return std::nullopt;
    }
    const std::vector<double> sorted = Sorted(samples);
    const std::size_t n = sorted.size();
    // The true median lies below the k-th order statistic when fewer than k samples fall below
    // it, a Binomial(n, 1/2) count: [x(k), x(n+1-k)] holds it with 1 - 2 P(X <= k - 1).
    // The terms are built in logarithms, so that no 2^n overflows for a long run.
    const double logHalfPower = -static_cast<double>(n) * std::log(2.0);
    double logChoose = 0;                  // log C(n, i)
    double below = std::exp(logHalfPower); // P(X <= k - 1), for k = 1
    std::size_t k = 1;
    double coverage = 1 - 2 * below;
    while (2 * (k + 1) <= n + 1) {
        logChoose += std::log(static_cast<double>(n - k + 1)) - std::log(static_cast<double>(k));
        const double next = 1 - 2 * (below + std::exp(logChoose + logHalfPower));
        if (next < MedianConfidence) {
            break;
        }
        below += std::exp(logChoose + logHalfPower);
        coverage = next;
        ++k;
    }
    TMedianInterval interval;
    interval.Median = MedianOfSorted(sorted);
    interval.LowRank = k;
    interval.HighRank = n + 1 - k;
    interval.Low = sorted[interval.LowRank - 1];
    interval.High = sorted[interval.HighRank - 1];
    interval.Coverage = std::max(coverage, 0.0);
    return interval;
}

std::optional<double> CoefficientOfVariation(std::span<const double> samples) {
    if (samples.size() < 2 || !Usable(samples)) {
        return std::nullopt;
    }
    const auto n = static_cast<double>(samples.size());
    const double mean = std::accumulate(samples.begin(), samples.end(), 0.0) / n;
    if (mean == 0) {
        return std::nullopt;
    }
    double squares = 0;
    for (const double x : samples) {
        squares += (x - mean) * (x - mean);
    }
    return std::sqrt(squares / (n - 1)) / mean;
}

std::vector<std::size_t> Outliers(std::span<const double> samples) {
    std::vector<std::size_t> outliers;
    if (!Usable(samples)) {
        return outliers;
    }
    const double median = MedianOfSorted(Sorted(samples));
    std::vector<double> deviations;
    deviations.reserve(samples.size());
    for (const double x : samples) {
        deviations.push_back(std::abs(x - median));
    }
    double scale = MadScale / MedianOfSorted(Sorted(deviations));
    if (!std::isfinite(scale)) {
        const double meanDeviation = std::accumulate(deviations.begin(), deviations.end(), 0.0) /
                                     static_cast<double>(deviations.size());
        if (meanDeviation == 0) {
            return outliers;
        }
        scale = MeanDeviationScale / meanDeviation;
    }
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (scale * deviations[i] > OutlierScore) {
            outliers.push_back(i);
        }
    }
    return outliers;
}

bool IsSteady(std::span<const double> samples, double targetPercent) {
    const std::optional<TMedianInterval> interval = MedianInterval(samples);
    if (samples.size() < SteadySamples || !interval) {
        return false;
    }
    const std::optional<double> halfWidth = interval->RelativeHalfWidth();
    return halfWidth && *halfWidth <= targetPercent / 100;
}

double Throughput(double seconds, double bytes) {
    return seconds > 0 ? bytes / seconds : std::numeric_limits<double>::infinity();
}

TInterval ThroughputInterval(const TMedianInterval& seconds, double bytes) {
    return {Throughput(seconds.High, bytes), Throughput(seconds.Low, bytes)};
}

} // namespace orvane
