// The repeat plan driven by an injected sample source: the round-robin order, when each row
// is complete, the steady mode with rows that settle early, late and never, and a stop.
#include "bench/RepeatPlan.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>

namespace orvane {
namespace {

// A pass's duration by chunk size, round (from 1) and list.
using TSource = std::function<double(std::size_t, int, TResultList)>;

struct TDriven {
    // "0 1 | 0 W0 R0 1 W1 R1": the chunk sizes run, "|" between rounds, and the rows as they
    // are taken; "stop" where the run was stopped and the rest taken.
    std::string Log;
    // Per row taken, in the order taken: its sample count and whether it is steady.
    std::vector<std::size_t> Counts;
    std::vector<std::optional<bool>> Steady;
};

// Runs the plan as a run would; `stopAfter` passes (if given), the run is stopped.
TDriven Drive(TRepeatPlan& plan, const TSource& source, int stopAfter = -1) {
    TDriven driven;
    const auto log = [&](const std::string& word) {
        driven.Log += (driven.Log.empty() ? "" : " ") + word;
    };
    const auto take = [&](TResultList list, std::vector<std::size_t> rows) {
        for (const std::size_t chunk : rows) {
            log((list == TResultList::Write ? "W" : "R") + std::to_string(chunk));
            driven.Counts.push_back(plan.Samples(chunk, list).size());
            driven.Steady.push_back(plan.Steady(chunk, list));
        }
    };
    int round = 1;
    int passes = 0;
    while (const std::optional<std::size_t> chunk = plan.Next()) {
        if (plan.Round() != round) {
            round = plan.Round();
            log("|");
        }
        log(std::to_string(*chunk));
        for (const TResultList list : {TResultList::Write, TResultList::Read}) {
            if (passes++ == stopAfter) {
                log("stop");
                take(TResultList::Write, plan.TakeRest(TResultList::Write));
                take(TResultList::Read, plan.TakeRest(TResultList::Read));
                return driven;
            }
            plan.Record(*chunk, list, source(*chunk, round, list));
            take(TResultList::Write, plan.TakeComplete(TResultList::Write));
            take(TResultList::Read, plan.TakeComplete(TResultList::Read));
        }
    }
    return driven;
}

TMeasuringMode Fixed(int repeats) {
    TMeasuringMode mode;
    mode.Repeats = repeats;
    return mode;
}

TMeasuringMode UntilSteady() {
    TMeasuringMode mode;
    mode.UntilSteady = true;
    return mode;
}

TMeasuringMode UntilSteady(int maxRepeats, double targetPercent) {
    TMeasuringMode mode = UntilSteady();
    mode.MaxRepeats = maxRepeats;
    mode.TargetPercent = targetPercent;
    return mode;
}

// Chunk size 0 is the same every time; 1 has one slow write pass in the first round and is
// steady once nine samples trim it off; 2 swings between 1 s and 2 s and never settles.
double Settling(std::size_t chunk, int round, TResultList list) {
    switch (chunk) {
    case 0:
        return 1.0;
    case 1:
        return round == 1 && list == TResultList::Write ? 3.0 : 1.0;
    default:
        return round % 2 == 0 ? 2.0 : 1.0;
    }
}

TEST(RepeatPlan, RoundsOverTheChunkSizesAndRowsInChunkOrder) {
    using B = std::optional<bool>;
    struct Case {
        const char* what;
        std::size_t chunks;
        TMeasuringMode mode;
        int stopAfter;
        std::string log;
        std::vector<std::size_t> counts;
        std::vector<std::optional<bool>> steady;
    };
    const Case cases[] = {
        {"one pass each: every row as soon as its pass is done",
         3,
         Fixed(1),
         -1,
         "0 W0 R0 1 W1 R1 2 W2 R2",
         {1, 1, 1, 1, 1, 1},
         std::vector<B>(6)},
        {"three rounds, rows in the last", 3, Fixed(3), -1,
         "0 1 2 | 0 1 2 | 0 W0 R0 1 W1 R1 2 W2 R2", std::vector<std::size_t>(6, 3),
         std::vector<B>(6)},
        {"until steady: five rounds at least, then only the unsettled, each row in turn",
         3,
         UntilSteady(12, 5),
         -1,
         "0 1 2 | 0 1 2 | 0 1 2 | 0 1 2 | 0 W0 R0 1 2 | 1 2 | 1 2 | 1 2 | 1 W1 R1 2 | 2 | 2 | 2 "
         "W2 R2",
         {5, 5, 9, 9, 12, 12},
         {true, true, true, true, false, false}},
        // Chunk size 1 reaches the maximum as it settles; 2 ends there unsettled.
        {"until steady with the default maximum: nine at most",
         3,
         UntilSteady(),
         -1,
         "0 1 2 | 0 1 2 | 0 1 2 | 0 1 2 | 0 W0 R0 1 2 | 1 2 | 1 2 | 1 2 | 1 W1 R1 2 W2 R2",
         {5, 5, 9, 9, 9, 9},
         {true, true, true, true, false, false}},
        // Stopped in the read pass of chunk size 1's second run: what each row has stands.
        {"a stop in round 2",
         3,
         Fixed(3),
         9,
         "0 1 2 | 0 1 stop W0 W1 W2 R0 R1 R2",
         {2, 2, 1, 2, 1, 1},
         std::vector<B>(6)},
        {"a stop before any pass", 3, UntilSteady(9, 5), 0, "0 stop", {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TRepeatPlan plan(c.chunks, c.mode);
        const TDriven driven = Drive(plan, Settling, c.stopAfter);
        EXPECT_EQ(driven.Log, c.log);
        EXPECT_EQ(driven.Counts, c.counts);
        EXPECT_EQ(driven.Steady, c.steady);
        if (c.stopAfter < 0) {
            EXPECT_FALSE(plan.Next().has_value()); // and stays done
        }
    }
}

TEST(RepeatPlan, APassOfNoStartedRunIsNotKept) {
    TRepeatPlan plan(2, Fixed(1));
    plan.Record(1, TResultList::Write, 1.0); // chunk size 1 has not started
    EXPECT_TRUE(plan.Samples(1, TResultList::Write).empty());
    ASSERT_EQ(plan.Next(), 0u);
    plan.Record(0, TResultList::Write, 1.0);
    plan.Record(0, TResultList::Write, 2.0); // a second write pass in one run
    EXPECT_EQ(plan.Samples(0, TResultList::Write), std::vector<double>{1.0});
    EXPECT_THROW(plan.Record(2, TResultList::Write, 1.0), std::out_of_range);
}

} // namespace
} // namespace orvane
