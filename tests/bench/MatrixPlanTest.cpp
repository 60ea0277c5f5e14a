// The matrix's plan: which cells are measured (a configuration that ignores the chunk size once
// per block size) and their order, shuffled by the seed round by round.
#include "bench/MatrixPlan.h"
#include "bench/Scales.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <numeric>
#include <set>
#include <tuple>

namespace orvane {
namespace {

TMeasuringMode Repeats(int count) {
    TMeasuringMode mode;
    mode.Repeats = count;
    return mode;
}

// Every unit the plan hands out until it is done, recording a second for each pass.
std::vector<std::size_t> Drain(TMatrixPlan& plan) {
    std::vector<std::size_t> order;
    for (auto unit = plan.Next(); unit; unit = plan.Next()) {
        order.push_back(*unit);
        plan.Record(*unit, TResultList::Write, 1.0);
        plan.Record(*unit, TResultList::Read, 1.0);
    }
    return order;
}

TEST(MatrixPlan, ChunkIndependentConfigurationsAreMeasuredOncePerBlockSize) {
    const std::size_t chunks = ChunkSizes.size();
    struct Case {
        std::vector<std::size_t> configurations;
        std::vector<std::size_t> blocks;
        std::size_t units;
    };
    const Case cases[] = {
        {{0}, {0, 2, 4, 6, 8}, 5}, // file: one cell per block size
        {{2}, {8}, chunks},        // mmio-buffered: every chunk size
        {{0, 1, 2, 3, 4}, {0, 2, 4, 6, 8}, 3 * 5 + 2 * 5 * chunks}, // the default matrix
        {{3, 4}, {4, 8}, 2 + 2 * chunks},
    };
    for (const Case& c : cases) {
        const TMatrixPlan plan(c.configurations, c.blocks, Repeats(1), 1);
        ASSERT_EQ(plan.Units().size(), c.units);
        std::set<std::tuple<std::size_t, std::size_t, std::size_t>> seen;
        for (const TMatrixUnit& unit : plan.Units()) {
            const TMatrixConfiguration& configuration = MatrixConfigurations()[unit.Configuration];
            EXPECT_EQ(unit.ChunkPosition.has_value(), !configuration.ChunkIndependent());
            EXPECT_TRUE(seen.insert({unit.Configuration, unit.BlockPosition,
                                     unit.ChunkPosition.value_or(99)})
                            .second)
                << MatrixUnitName(unit);
        }
    }
}

TEST(MatrixPlan, TheSeedFixesTheShuffledOrderOfEveryRound) {
    const auto order = [](std::uint64_t seed) {
        TMatrixPlan plan({0, 2, 4}, {0, 8}, Repeats(3), seed);
        return Drain(plan);
    };
    const std::vector<std::size_t> first = order(42);
    const std::size_t units = 2 + 2 * 2 * ChunkSizes.size();
    ASSERT_EQ(first.size(), 3 * units);
    EXPECT_EQ(order(42), first);
    EXPECT_NE(order(43), first);
    // Every round visits every cell once, each in an order of its own.
    std::vector<std::vector<std::size_t>> rounds;
    for (std::size_t r = 0; r < 3; ++r) {
        rounds.emplace_back(first.begin() + static_cast<long>(r * units),
                            first.begin() + static_cast<long>((r + 1) * units));
        std::vector<std::size_t> sorted = rounds.back();
        std::sort(sorted.begin(), sorted.end());
        for (std::size_t i = 0; i < units; ++i) {
            EXPECT_EQ(sorted[i], i);
        }
    }
    EXPECT_NE(rounds[0], rounds[1]);
    std::vector<std::size_t> identity(units);
    std::iota(identity.begin(), identity.end(), std::size_t{0});
    EXPECT_NE(rounds[0], identity);
}

TEST(MatrixPlan, DrawsAreUniformAndUnbiasedAtTheEdges) {
    std::mt19937_64 generator(7);
    std::size_t counts[3] = {};
    for (int i = 0; i < 30000; ++i) {
        ++counts[DrawBelow(3, generator)];
    }
    for (const std::size_t count : counts) {
        EXPECT_NEAR(static_cast<double>(count), 10000, 400);
    }
    EXPECT_EQ(DrawBelow(1, generator), 0u);
    // A bound near the generator's range still lands below it.
    EXPECT_LT(DrawBelow((std::uint64_t{1} << 63) + 1, generator), (std::uint64_t{1} << 63) + 1);
}

} // namespace
} // namespace orvane
