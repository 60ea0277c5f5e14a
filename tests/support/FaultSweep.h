// A sweep through the fault-injection seam: a scenario runs once cleanly to count its
// system calls, then once for each of those calls with that call failing. Every run must
// either come out right (the fault was tolerated: the results are still correct) or report
// the failure; a run that reports success with wrong results swallowed the fault. No run
// may leave a descriptor or a mapping behind (but for a refused munmap, which must be
// reported). Failures name the call by its own name.
#pragma once

#include "platform/OsCalls.h"

#include <array>
#include <cerrno>
#include <functional>
#include <gtest/gtest.h>

namespace orvane::testing {

enum class TOutcome { Correct, Reported, Wrong };

inline const char* OutcomeName(TOutcome outcome) {
    static const char* const names[] = {"correct", "reported", "wrong"};
    return names[static_cast<int>(outcome)];
}

// Returns how many faulty runs were made (so that a caller can see the sweep did sweep).
inline unsigned SweepEveryCall(const std::function<TOutcome()>& scenario, int err = EIO) {
    using platform::OsCallKinds;
    using platform::OsCallName;
    using platform::TFaultInjector;
    using platform::TOsCall;
    std::array<unsigned, OsCallKinds> counts{};
    {
        TFaultInjector counter;
        const TOutcome clean = scenario();
        EXPECT_EQ(clean, TOutcome::Correct) << "the clean run: " << OutcomeName(clean);
        for (std::size_t k = 0; k < OsCallKinds; ++k) {
            counts[k] = counter.Count(static_cast<TOsCall>(k));
        }
        EXPECT_EQ(counter.OpenDescriptors(), 0) << "descriptors left by the clean run";
        EXPECT_EQ(counter.LiveMappings(), 0) << "mappings left by the clean run";
    }
    unsigned runs = 0;
    for (std::size_t k = 0; k < OsCallKinds; ++k) {
        const auto kind = static_cast<TOsCall>(k);
        for (unsigned n = 1; n <= counts[k]; ++n) {
            TFaultInjector faults;
            faults.FailNth(kind, n, err);
            const TOutcome outcome = scenario();
            ++runs;
            const auto where = ::testing::Message() << "failing " << OsCallName(kind) << " call "
                                                    << n << " of " << counts[k];
            EXPECT_NE(outcome, TOutcome::Wrong) << where << ": swallowed, the results are wrong";
            EXPECT_EQ(faults.OpenDescriptors(), 0) << where << ": a descriptor was left open";
            // A refused unmapping leaves its mapping by nature; it must then be reported.
            if (kind != TOsCall::Munmap || outcome != TOutcome::Reported) {
                EXPECT_EQ(faults.LiveMappings(), 0) << where << ": a mapping was left behind";
            }
        }
    }
    return runs;
}

} // namespace orvane::testing
