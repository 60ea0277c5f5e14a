// A host's row against the fleet median, one table over every rule, with the rule's words.
#include "results/Fleet.h"

#include <chrono>
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

namespace orvane::results {
namespace {

TEST(Fleet, EveryRuleOfAHostsRowAgainstTheFleetMedian) {
    constexpr double FleetMedian = 1024; // KiB/s: 1 MiB in one second
    struct Case {
        const char* what;
        double seconds;              // the row's median duration for 1 MiB
        std::vector<double> samples; // its passes; none: one pass
        std::size_t hostsMeasured;
        TVerdict verdict;
        const char* rule;
        std::optional<double> change;
    };
    const Case cases[] = {
        {"two hosts say nothing of a fleet",
         0.5,
         {},
         2,
         TVerdict::NoVerdict,
         "fewer than 3 hosts",
         1.0},
        {"a pass the clock did not time",
         0,
         {},
         3,
         TVerdict::NoVerdict,
         "no duration measured",
         std::nullopt},
        {"within the threshold",
         1 / 1.04,
         {},
         3,
         TVerdict::NoChange,
         "within the 5 % threshold",
         0.04},
        {"one pass beyond the threshold",
         1 / 0.62,
         {},
         3,
         TVerdict::Slower,
         "beyond the 5 % threshold, no interval (1 pass)",
         -0.38},
        {"two passes have no interval either",
         1 / 1.2,
         {0.8, 0.86},
         11,
         TVerdict::Faster,
         "beyond the 5 % threshold, no interval (2 passes)",
         0.2},
        // 1024 KiB/s in [1.1 / 1.3, 1.1 / 0.8] x 1024: the repeats are too spread to tell.
        {"repeats whose interval holds the fleet median",
         1 / 1.1,
         {1.3 / 1.1, 1 / 1.1, 0.8 / 1.1},
         3,
         TVerdict::NoChange,
         "the fleet median within the host's interval",
         0.1},
        {"repeats apart from it",
         1 / 1.1,
         {1.01 / 1.1, 1 / 1.1, 0.99 / 1.1},
         3,
         TVerdict::Faster,
         "beyond the 5 % threshold, the fleet median outside the host's interval",
         0.1},
        {"slower, apart",
         1 / 0.5,
         {2.02, 2, 1.98},
         3,
         TVerdict::Slower,
         "beyond the 5 % threshold, the fleet median outside the host's interval",
         -0.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TResultRow row;
        row.FileBytes = 1048576;
        row.End = row.Start + std::chrono::nanoseconds(std::llround(c.seconds * 1e9));
        row.DurationSamples = c.samples;
        const TRowVerdict verdict = JudgeAgainstFleet(row, FleetMedian, c.hostsMeasured);
        EXPECT_EQ(verdict.Verdict, c.verdict);
        EXPECT_EQ(FleetRuleText(verdict, row), c.rule);
        ASSERT_EQ(verdict.Change.has_value(), c.change.has_value());
        if (c.change) {
            EXPECT_NEAR(*verdict.Change, *c.change, 1e-6);
        }
    }
}

} // namespace
} // namespace orvane::results
