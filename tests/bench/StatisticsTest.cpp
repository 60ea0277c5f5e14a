// The row statistics against hand-computed tables: the median interval's order statistics
// and exact coverage for 1 to 9 samples, 20 and 100, ties, outliers by the MAD rule and its
// fallback, the coefficient of variation, steadiness, and the swap into throughput.
#include "bench/Statistics.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <numeric>
#include <string>

namespace orvane {
namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Infinity = std::numeric_limits<double>::infinity();

// 1, 2, ... n seconds in an order that is not sorted, so that the sorting is exercised.
std::vector<double> Scrambled(std::size_t n) {
    std::vector<double> samples(n);
    std::iota(samples.begin(), samples.end(), 1.0);
    std::reverse(samples.begin(), samples.end());
    std::rotate(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(n / 3),
                samples.end());
    return samples;
}

TEST(Statistics, TheMedianIntervalIsTheNarrowestPairReaching95Percent) {
    struct Case {
        std::size_t n;
        std::size_t lowRank; // the high rank is n + 1 - lowRank
        double coverage;     // 1 - 2 P(Binomial(n, 1/2) <= lowRank - 1)
        double median;
    };
    const Case cases[] = {
        {1, 1, 0.0, 1},           // one sample is no interval at all
        {2, 1, 1 - 2.0 / 4, 1.5}, // [min, max] below 95 %: its own coverage
        {3, 1, 1 - 2.0 / 8, 2},
        {4, 1, 1 - 2.0 / 16, 2.5},
        {5, 1, 1 - 2.0 / 32, 3},    // 93.75 %
        {6, 1, 1 - 2.0 / 64, 3.5},  // the first count that reaches 95 %
        {7, 1, 1 - 2.0 / 128, 4},   // the 2nd and 6th: 1 - 2 * 8/128 = 87.5 %
        {8, 1, 1 - 2.0 / 256, 4.5}, // the 2nd and 7th: 1 - 2 * 9/256 = 92.97 %
        {9, 2, 1 - 2.0 * 10 / 512, 5},
        {20, 6, 125647.0 / 131072, 10.5},
        {100, 40, 0.9647997997822951, 50.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.n);
        const std::vector<double> samples = Scrambled(c.n);
        const std::optional<TMedianInterval> interval = MedianInterval(samples);
        ASSERT_TRUE(interval.has_value());
        EXPECT_EQ(interval->LowRank, c.lowRank);
        EXPECT_EQ(interval->HighRank, c.n + 1 - c.lowRank);
        // Sample i is i seconds, so the ends are the ranks themselves.
        EXPECT_EQ(interval->Low, static_cast<double>(c.lowRank));
        EXPECT_EQ(interval->High, static_cast<double>(c.n + 1 - c.lowRank));
        EXPECT_NEAR(interval->Coverage, c.coverage, 1e-12);
        EXPECT_EQ(interval->Median, c.median);
        EXPECT_EQ(Median(samples), c.median);
    }
    EXPECT_FALSE(MedianInterval({}).has_value());
    EXPECT_FALSE(Median({}).has_value());
}

TEST(Statistics, TiesAndValuesThatAreNoDurations) {
    struct Case {
        std::vector<double> samples;
        std::optional<double> median, low, high;
    };
    const Case cases[] = {
        {{5, 2, 2, 5, 2}, 2, 2, 5},
        // Nine samples: the 2nd and 8th, here both 3: an interval of no width.
        {{3, 9, 3, 3, 1, 3, 3, 3, 3}, 3, 3, 3},
        {{4, 4}, 4, 4, 4},
        // A damaged file's values: no statistics rather than a wrong one.
        {{1, NaN, 2}, std::nullopt, std::nullopt, std::nullopt},
        {{1, Infinity, 2}, std::nullopt, std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        const std::optional<TMedianInterval> interval = MedianInterval(c.samples);
        EXPECT_EQ(Median(c.samples), c.median);
        ASSERT_EQ(interval.has_value(), c.low.has_value());
        if (interval) {
            EXPECT_EQ(interval->Low, *c.low);
            EXPECT_EQ(interval->High, *c.high);
        }
    }
}

TEST(Statistics, OutliersByTheModifiedZScore) {
    struct Case {
        const char* what;
        std::vector<double> samples;
        std::vector<std::size_t> outliers;
    };
    const Case cases[] = {
        // Median 12.5, MAD 1.5: 50 scores 0.6745 * 37.5 / 1.5 = 16.9, 10 only 1.1.
        {"one slow pass", {10, 11, 12, 13, 14, 50}, {5}},
        // Median 11, MAD 1: 1 scores 6.7 and 30 scores 12.8.
        {"both ways", {1, 10, 10.5, 11, 11.5, 12, 30}, {0, 6}},
        // Median 11, MAD 1: 14 scores 2.0 and 16 scores 3.4, just inside.
        {"wide but no outlier", {9, 10, 11, 12, 16, 11, 14}, {}},
        // MAD 0; the mean absolute deviation from the median, 99 / 5 = 19.8, takes its place:
        // 100 scores 0.7979 * 99 / 19.8 = 3.99.
        {"most samples equal", {1, 1, 100, 1, 1}, {2}},
        // MAD 0, mean absolute deviation 0.25: 2 scores 0.7979 / 0.25 = 3.19.
        {"most equal, one near", {1, 1, 1, 2}, {}},
        {"all equal", {5, 5, 5}, {}},
        {"two", {2, 3}, {}},
        {"one", {2}, {}},
        {"none", {}, {}},
        {"not a number", {1, 1, 1, NaN, 100}, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Outliers(c.samples), c.outliers) << c.what;
    }
}

TEST(Statistics, CoefficientOfVariation) {
    struct Case {
        std::vector<double> samples;
        std::optional<double> cv;
    };
    const Case cases[] = {
        {{1, 2, 3}, 0.5},                                    // mean 2, standard deviation 1
        {{2, 4, 4, 4, 5, 5, 7, 9}, std::sqrt(32.0 / 7) / 5}, // squares 32 over 7
        {{3, 3, 3}, 0.0},
        {{3}, std::nullopt},
        {{}, std::nullopt},
        {{-1, 1}, std::nullopt}, // a mean of zero
        {{1, NaN}, std::nullopt},
    };
    for (const Case& c : cases) {
        const std::optional<double> cv = CoefficientOfVariation(c.samples);
        ASSERT_EQ(cv.has_value(), c.cv.has_value()) << c.samples.size();
        if (cv) {
            EXPECT_NEAR(*cv, *c.cv, 1e-12) << c.samples.size();
        }
    }
}

TEST(Statistics, ARowIsSteadyWhenItsIntervalIsWithinTheTarget) {
    struct Case {
        const char* what;
        std::vector<double> samples;
        double targetPercent;
        bool steady;
    };
    const Case cases[] = {
        {"half-width 4 %", {0.96, 1.04, 1.0, 0.98, 1.02}, 5, true},
        {"half-width 10 %", {0.9, 1.0, 1.1, 0.95, 1.05}, 5, false},
        {"half-width 10 %, target 12", {0.9, 1.0, 1.1, 0.95, 1.05}, 12, true},
        {"no width", {2, 2, 2, 2, 2}, 5, true},
        // Agreeing passes say little below five: three give only a 75 % interval.
        {"three that agree are too few", {0.96, 1.04, 1.0}, 5, false},
        {"four that agree are too few", {2, 2, 2, 2}, 5, false},
        // The 2nd and 8th of nine: 0.99 and 1.02 around 1.0, whatever the ninth did.
        {"one wild pass of nine", {1, 1.01, 0.99, 1.02, 0.98, 1.0, 1.01, 0.99, 5}, 5, true},
        {"five passes, one wild", {1, 1.01, 0.99, 1.0, 5}, 5, false}, // [min, max]
        {"the clock did not advance", {0, 0, 0}, 5, false},
        {"not a number", {1, 1, NaN}, 5, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsSteady(c.samples, c.targetPercent), c.steady) << c.what;
    }
    TMedianInterval interval;
    interval.Median = 2;
    interval.Low = 1.5;
    interval.High = 3;
    EXPECT_EQ(interval.RelativeHalfWidth(), 0.375);
    interval.Median = 0;
    EXPECT_FALSE(interval.RelativeHalfWidth().has_value());
}

TEST(Statistics, ADurationIntervalBecomesAThroughputIntervalTheOtherWayRound) {
    TMedianInterval seconds;
    seconds.Median = 2;
    seconds.Low = 1;
    seconds.High = 4;
    const TInterval throughput = ThroughputInterval(seconds, 1024);
    EXPECT_EQ(throughput.Low, 256);   // from the longest duration
    EXPECT_EQ(throughput.High, 1024); // from the shortest
    seconds.Low = 0;
    EXPECT_EQ(ThroughputInterval(seconds, 1024).High, Infinity);
    EXPECT_EQ(Throughput(0.5, 1024), 2048);
}

} // namespace
} // namespace orvane
