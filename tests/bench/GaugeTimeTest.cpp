// The gauge's time is kept out of a pass: the timed loop reads the clock around every
// gauge call, and the row's duration leaves their sum out, whatever the host's drawing
// costs. Hosts here spend time in the gauge on purpose.
#include "bench/BenchmarkRun.h"
#include "bench/TimedLoop.h"
#include "tests/support/PlatformTestSupport.h"
#include "tests/support/RecordingHost.h"

#include <chrono>
#include <gtest/gtest.h>
#include <vector>

namespace orvane {
namespace {

using namespace std::chrono_literals;
using TInterval = std::pair<TPassClock::time_point, TPassClock::time_point>;

// A host whose gauge call busy-waits for a set time, as a repaint on a real display does,
// and notes when each call began and ended.
class TCostlyGaugeHost : public TRecordingHost {
public:
    explicit TCostlyGaugeHost(TPassClock::duration cost) : FCost(cost) {}

    void SetGaugeProgress(std::int32_t progress) override {
        const auto begin = TPassClock::now();
        while (TPassClock::now() - begin < FCost) {
        }
        TRecordingHost::SetGaugeProgress(progress);
        Calls.emplace_back(begin, TPassClock::now());
    }
    void AddResultRow(TResultList list, const TResultRow& row) override {
        RowArrivals.push_back(TPassClock::now());
        RowGaugeCalls.push_back(Calls);
        Calls.clear();
        TRecordingHost::AddResultRow(list, row);
    }

    std::vector<TInterval> Calls; // since the last row
    std::vector<TPassClock::time_point> RowArrivals;
    std::vector<std::vector<TInterval>> RowGaugeCalls; // the calls before each row
private:
    TPassClock::duration FCost;
};

TPassClock::duration Sum(const std::vector<TInterval>& calls) {
    TPassClock::duration sum{0};
    for (const auto& [begin, end] : calls) {
        sum += end - begin;
    }
    return sum;
}

TEST(GaugeTime, TheLoopMeasuresEveryGaugeCallInsideThePass) {
    const struct {
        TPassClock::duration cost;
        std::uint32_t fileSize;
        std::int32_t blockSize;
        std::size_t gaugeCalls;
    } cases[] = {
        {0ms, 409600, 256, 100}, // 1600 blocks
        {1ms, 409600, 256, 100},
        {1ms, 25600, 256, 100}, // one block per per cent
        {1ms, 12800, 256, 50},  // fewer blocks than per cents
    };
    for (const auto& c : cases) {
        TCostlyGaugeHost host(c.cost);
        const std::string name = "unused";
        std::uint8_t buffer[256] = {};
        TIteration it{host, name, c.fileSize, c.blockSize, 1024, buffer};
        int blocks = 0;
        const TPassTiming timing = TimedLoop(it, TPassKind::Write, [&] {
            ++blocks;
            return c.blockSize;
        });
        const auto label = ::testing::Message()
                           << c.fileSize << " bytes, gauge "
                           << std::chrono::nanoseconds(c.cost).count() << " ns";
        EXPECT_EQ(blocks, static_cast<int>(c.fileSize / 256)) << label;
        ASSERT_EQ(host.Calls.size(), c.gaugeCalls) << label;
        EXPECT_EQ(host.LastGauge, static_cast<std::int32_t>(c.fileSize / 256)) << label;
        // The host's own intervals lie within the pass and within what the loop measured.
        EXPECT_LE(timing.Start, host.Calls.front().first) << label;
        EXPECT_GE(timing.End, host.Calls.back().second) << label;
        EXPECT_GE(timing.GaugeTime, Sum(host.Calls)) << label;
        EXPECT_LE(timing.GaugeTime, timing.End - timing.Start) << label;
        if (c.cost > 0ms) {
            EXPECT_GE(timing.GaugeTime, c.cost * c.gaugeCalls) << label;
            // Left without the gauge: the blocks, which here cost next to nothing.
            EXPECT_LT(timing.End - timing.Start - timing.GaugeTime, Sum(host.Calls)) << label;
        }
    }
}

TEST(GaugeTime, ARowsDurationLeavesTheGaugeOut) {
    const struct {
        TAccessMethod method;
        bool buffered;
    } cases[] = {{TAccessMethod::amFile, false}, {TAccessMethod::amWin32, true}};
    for (const auto& c : cases) {
        testing::TTempDir dir;
        TCostlyGaugeHost host(200us);
        host.Method = c.method;
        host.WriteBufferedBox = c.buffered;
        host.ReadBufferedBox = c.buffered;
        host.Answer = dir.Path("run.tmp");
        TBenchmarkRun run;
        ASSERT_EQ(run.Execute(host), TRunOutcome::Completed);

        std::vector<TResultRow> rows;
        for (std::size_t i = 0; i < host.WriteRows.size(); ++i) {
            rows.push_back(host.WriteRows[i]);
            rows.push_back(host.ReadRows[i]);
        }
        ASSERT_EQ(rows.size(), 22u);
        ASSERT_EQ(host.RowGaugeCalls.size(), 22u);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const TResultRow& row = rows[i];
            const std::vector<TInterval>& calls = host.RowGaugeCalls[i];
            // "gauge 0" before the pass is outside it: the pass's calls are the last 100.
            ASSERT_GE(calls.size(), 100u) << RowCaption(row);
            const std::vector<TInterval> pass(calls.end() - 100, calls.end());
            EXPECT_LE(row.Start, pass.front().first) << RowCaption(row);
            EXPECT_GE(row.Elapsed(), 0ns) << RowCaption(row);
            // The pass ended before the row came; its end was moved back by at least the
            // time spent in the gauge.
            EXPECT_LE(row.End + Sum(pass), host.RowArrivals[i]) << RowCaption(row);
        }
    }
}

} // namespace
} // namespace orvane
