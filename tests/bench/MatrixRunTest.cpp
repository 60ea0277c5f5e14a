// A matrix run by the run's machinery against a recording host: every cell one iteration with
// the cell's method, buffers and block size, the rows of the cells done kept through a stop and
// a failure that names its cell, and the space check before the first cell.
#include "bench/BenchmarkRun.h"
#include "bench/MatrixPlan.h"
#include "bench/Scales.h"
#include "platform/OsCalls.h"
#include "tests/support/RecordingHost.h"
#include "tests/support/RunFixture.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>

namespace orvane {
namespace {

using platform::TFaultInjector;
using platform::TOsCall;

using MatrixRunTest = testing::TRunFixture;

constexpr std::size_t File = 0;
constexpr std::size_t Win32Buffered = 4;
constexpr std::size_t Block128 = 7;
constexpr std::size_t Block256 = 8;

std::size_t Count(const std::vector<std::string>& events, const std::string& prefix) {
    return static_cast<std::size_t>(std::count_if(
        events.begin(), events.end(), [&](const auto& e) { return e.rfind(prefix, 0) == 0; }));
}

bool DirectoryHoldsOnly(const std::string& dir, std::size_t files) {
    const auto entries = std::filesystem::directory_iterator(dir);
    return static_cast<std::size_t>(std::distance(begin(entries), end(entries))) == files;
}

TEST_F(MatrixRunTest, EveryCellIsOneIterationWithItsOwnSettings) {
    TMatrixPlan plan({File, Win32Buffered}, {Block128, Block256}, {}, 5);
    const std::size_t units = 2 + 2 * ChunkSizes.size();
    ASSERT_EQ(Run.ExecuteMatrix(Host, plan), TRunOutcome::Completed);

    EXPECT_EQ(Count(Host.Events, "matrix of "), 1u);
    EXPECT_EQ(Count(Host.Events, "clear"), 0u); // a run's lists stay as they were
    EXPECT_EQ(Count(Host.Events, "cell "), units);
    EXPECT_EQ(Count(Host.Events, "colour write"), units);
    // The gauge counts each cell's own blocks.
    EXPECT_EQ(Count(Host.Events, "gauge range 8192"), 1 + ChunkSizes.size());
    EXPECT_EQ(Count(Host.Events, "gauge range 4096"), 1 + ChunkSizes.size());
    EXPECT_TRUE(Host.WriteRows.empty());
    ASSERT_EQ(Host.MatrixRows.size(), 2 * units);
    std::map<std::pair<std::size_t, std::size_t>, int> perBlock;
    for (const auto& [unit, row] : Host.MatrixRows) {
        EXPECT_EQ(row.BlockBytes, static_cast<std::uint32_t>(BlockSizes[unit.BlockPosition]));
        EXPECT_EQ(row.ChunkBytes, static_cast<std::uint32_t>(ChunkSizes[unit.RunChunkPosition()]));
        EXPECT_EQ(row.FileBytes, 1048576u);
        EXPECT_GT(row.Elapsed().count(), 0);
        ++perBlock[{unit.Configuration, unit.BlockPosition}];
    }
    EXPECT_EQ(perBlock[std::pair(File, Block128)], 2);
    EXPECT_EQ(perBlock[std::pair(Win32Buffered, Block256)],
              static_cast<int>(2 * ChunkSizes.size()));
    EXPECT_TRUE(DirectoryHoldsOnly(Dir.Dir(), 0));
}

TEST_F(MatrixRunTest, AStopEndsTheCurrentCellAndKeepsTheCellsDone) {
    TMatrixPlan plan({File, Win32Buffered}, {Block256}, {}, 9);
    std::size_t cells = 0;
    Host.Hook = [&](const std::string& e) {
        // In the third cell, between its write and its read pass.
        if (e.rfind("cell ", 0) == 0) {
            ++cells;
        }
        if (cells == 3 && e == "colour read") {
            Host.Stop = true;
        }
    };
    ASSERT_EQ(Run.ExecuteMatrix(Host, plan), TRunOutcome::Stopped);
    EXPECT_EQ(cells, 3u);
    // Two whole cells and the third's write pass, which ended before the stop.
    EXPECT_EQ(Count(Host.Events, "matrix row "), 5u);
    EXPECT_EQ(std::count_if(Host.MatrixRows.begin(), Host.MatrixRows.end(),
                            [](const auto& r) { return r.second.Pass == TResultList::Read; }),
              2);
    EXPECT_EQ(Host.Events.back(), "unlock");
    EXPECT_TRUE(DirectoryHoldsOnly(Dir.Dir(), 0));
}

TEST_F(MatrixRunTest, AFailingCellEndsTheMatrixNamingTheCell) {
    TMatrixPlan plan({File, Win32Buffered}, {Block256}, {}, 3);
    std::size_t cells = 0;
    std::string failing;
    TFaultInjector faults;
    Host.Hook = [&](const std::string& e) {
        if (e.rfind("cell ", 0) == 0 && ++cells == 4) {
            failing = e.substr(5);
            faults.FailNth(TOsCall::Write, 1, ENOSPC, true); // the disk is full from here
        }
    };
    ASSERT_EQ(Run.ExecuteMatrix(Host, plan), TRunOutcome::Failed);
    faults.Clear();
    const auto failure = std::find_if(Host.Events.begin(), Host.Events.end(),
                                      [](const auto& e) { return e.rfind("failure ", 0) == 0; });
    ASSERT_NE(failure, Host.Events.end());
    EXPECT_EQ(failure->rfind("failure In the cell " + failing + ": ", 0), 0u) << *failure;
    EXPECT_EQ(Host.MatrixRows.size(), 6u); // the three cells before it, both ways
    EXPECT_TRUE(DirectoryHoldsOnly(Dir.Dir(), 0));
}

TEST_F(MatrixRunTest, TheSpaceCheckComesBeforeTheFirstCell) {
    TMatrixPlan plan({File}, {Block256}, {}, 1);
    TFaultInjector faults;
    faults.FakeFreeSpace(1048575);
    ASSERT_EQ(Run.ExecuteMatrix(Host, plan), TRunOutcome::NotEnoughSpace);
    EXPECT_EQ(Count(Host.Events, "cell "), 0u);
    EXPECT_EQ(Count(Host.Events, "lock"), 0u);
}

} // namespace
} // namespace orvane
