// The verdict of a row against the first run's, one table over every rule, and a run's
// verdicts summed up per pass as counts and one sentence.
#include "results/Verdict.h"

#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace orvane::results {
namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

TEST(Verdict, EveryRuleOfARowAgainstTheFirstRun) {
    struct Case {
        const char* what;
        std::vector<double> row, first; // seconds, 1000 bytes each unless said
        TVerdict verdict;
        TVerdictRule rule;
        std::optional<double> change;
        double threshold = NoiseThresholdPercent;
        double rowBytes = 1000;
    };
    const Case cases[] = {
        {"the first run has two samples",
         {1, 1, 1},
         {1, 1},
         TVerdict::NoVerdict,
         TVerdictRule::FewSamples,
         0.0},
        {"this run has one", {0.5}, {1, 1, 1}, TVerdict::NoVerdict, TVerdictRule::FewSamples, 1.0},
        {"the clock did not advance",
         {0, 0, 0},
         {1, 1, 1},
         TVerdict::NoVerdict,
         TVerdictRule::NoDuration,
         std::nullopt},
        {"a sample that is no number",
         {1, NaN, 1},
         {1, 1, 1},
         TVerdict::NoVerdict,
         TVerdictRule::NoDuration,
         std::nullopt},
        // 1 / 0.97 - 1 = 3.1 %, though the intervals are apart.
        {"within the threshold",
         {0.97, 0.96, 0.98},
         {1, 1, 1},
         TVerdict::NoChange,
         TVerdictRule::WithinThreshold,
         1 / 0.97 - 1},
        {"the same beyond a 2 % threshold",
         {0.97, 0.96, 0.98},
         {1, 1, 1},
         TVerdict::Faster,
         TVerdictRule::Apart,
         1 / 0.97 - 1,
         2},
        // +11 %, but [833, 1250] B/s and [952, 1053] B/s overlap.
        {"intervals overlap",
         {0.8, 0.9, 1.2},
         {0.95, 1.0, 1.05},
         TVerdict::NoChange,
         TVerdictRule::IntervalsOverlap,
         1 / 0.9 - 1},
        // +22 %, [1000, 1250] B/s against [833, 1000] B/s: touching is overlapping.
        {"intervals touch",
         {0.8, 0.9, 1.0},
         {1.0, 1.1, 1.2},
         TVerdict::NoChange,
         TVerdictRule::IntervalsOverlap,
         1.1 / 0.9 - 1},
        {"faster",
         {0.8, 0.81, 0.82},
         {1, 1.01, 0.99},
         TVerdict::Faster,
         TVerdictRule::Apart,
         1 / 0.81 - 1},
        {"slower",
         {1, 1.01, 0.99},
         {0.8, 0.81, 0.82},
         TVerdict::Slower,
         TVerdictRule::Apart,
         0.81 - 1},
        // Twice the bytes in twice the time: the same throughput.
        {"a larger file",
         {2, 2, 2},
         {1, 1, 1},
         TVerdict::NoChange,
         TVerdictRule::WithinThreshold,
         0.0,
         NoiseThresholdPercent,
         2000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const TRowVerdict verdict = JudgeRow({c.row, c.rowBytes}, {c.first, 1000}, c.threshold);
        EXPECT_EQ(VerdictText(verdict.Verdict), VerdictText(c.verdict));
        EXPECT_EQ(RuleText(verdict.Rule, c.threshold), RuleText(c.rule, c.threshold));
        ASSERT_EQ(verdict.Change.has_value(), c.change.has_value());
        if (c.change) {
            EXPECT_NEAR(*verdict.Change, *c.change, 1e-12);
        }
    }
    EXPECT_EQ(RuleText(TVerdictRule::WithinThreshold), "within the 5 % threshold");
    EXPECT_EQ(RuleText(TVerdictRule::Apart, 2.5), "beyond the 2.5 % threshold, intervals apart");
    EXPECT_EQ(RuleText(TVerdictRule::FewSamples), "fewer than 3 samples");
}

TEST(Verdict, ARunSummedUpPerPass) {
    const auto repeated = [](std::size_t n, TRowVerdict verdict) {
        return std::vector<TRowVerdict>(n, verdict);
    };
    std::vector<TRowVerdict> write =
        repeated(4, {TVerdict::NoChange, TVerdictRule::WithinThreshold, 0.01});
    const std::vector<TRowVerdict> faster =
        repeated(7, {TVerdict::Faster, TVerdictRule::Apart, 0.18});
    write.insert(write.begin() + 2, faster.begin(), faster.end());
    const std::vector<TRowVerdict> read =
        repeated(11, {TVerdict::NoChange, TVerdictRule::IntervalsOverlap, 0.004});

    const TRunSummary summary = SummarizeRun(2, 1, write, read);
    EXPECT_EQ(summary.Write.Rows, 11u);
    EXPECT_EQ(summary.Write.Count(TVerdict::Faster), 7u);
    EXPECT_EQ(summary.Write.Count(TVerdict::NoChange), 4u);
    EXPECT_EQ(summary.Write.MedianChange, 0.18);
    EXPECT_EQ(summary.Read.Count(TVerdict::NoChange), 11u);
    EXPECT_EQ(SummarySentence(summary),
              "run 2 vs run 1: write faster in 7 and no change in 4 of 11 rows (median +18 %); "
              "read no change in 11 of 11 rows (median 0 %)");

    // Three kinds, a row without a change, and a pass with no rows at all.
    const std::vector<TRowVerdict> mixed = {
        {TVerdict::Slower, TVerdictRule::Apart, -0.2},
        {TVerdict::NoVerdict, TVerdictRule::NoDuration, std::nullopt},
        {TVerdict::Faster, TVerdictRule::Apart, 0.1},
    };
    EXPECT_EQ(SummarySentence(SummarizeRun(3, 1, mixed, {})),
              "run 3 vs run 1: write faster in 1, slower in 1 and no verdict in 1 of 3 rows "
              "(median -5 %); read: no rows to compare");
    const std::vector<TRowVerdict> none = {{TVerdict::NoVerdict, TVerdictRule::NoDuration, {}}};
    EXPECT_EQ(SummarySentence(SummarizeRun(2, 1, none, none)),
              "run 2 vs run 1: write no verdict in 1 of 1 row; read no verdict in 1 of 1 row");
}

} // namespace
} // namespace orvane::results
