// The measuring modes through a recording host: where the settle, flush and drop steps sit
// against the phases and the clock readings, what each pass proves on a real disk and on
// tmpfs, repeats round the chunk sizes with their median (fixed, stopped or failed in round 2,
// and until steady), and the modes' failing calls.
#include "bench/BenchmarkRun.h"
#include "bench/Scales.h"
#include "platform/Measuring.h"
#include "platform/OsCalls.h"
#include "tests/support/PlatformTestSupport.h"
#include "tests/support/RecordingHost.h"
#include "tests/support/RunFixture.h"

#include <algorithm>
#include <cerrno>
#include <gtest/gtest.h>
#include <map>
#include <sys/mount.h>

namespace orvane {
namespace {

using platform::TFaultInjector;
using platform::TOsCall;
using testing::Exists;
using testing::TTempDir;

constexpr std::uint64_t MiB = 1048576;

using MeasuringModesTest = testing::TRunFixture;

TEST_F(MeasuringModesTest, TheStepsSitOutsideTheIntervalExceptTheFlush) {
    struct Case {
        TMeasuringMode mode;
        std::vector<std::string> iteration; // without "process" and the pauses
        unsigned settles;                   // syncfs calls in the whole run
        bool drops;
    };
    const Case cases[] = {
        {{false, false, 1},
         {"colour prepare", "gauge 0", "colour write", "row W: 1K", "gauge 0", "colour read",
          "row R: 1K"},
         0,
         false},
        {{true, false, 1},
         {"colour prepare", "gauge 0", "colour write", "step settle", "step flush", "row W: 1K",
          "gauge 0", "colour read", "step settle", "row R: 1K"},
         2 * 11,
         false},
        {{false, true, 1},
         {"colour prepare", "gauge 0", "colour write", "row W: 1K", "gauge 0", "step drop",
          "colour read", "row R: 1K"},
         0,
         true},
        {{true, true, 1},
         {"colour prepare", "gauge 0", "colour write", "step settle", "step flush", "row W: 1K",
          "gauge 0", "step drop", "colour read", "step settle", "row R: 1K"},
         2 * 11,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.mode.Durable) + std::to_string(c.mode.Cold));
        TRecordingHost host;
        host.Answer = Host.Answer;
        host.Mode = c.mode;
        TFaultInjector seam;
        std::vector<TPassClock::time_point> flushes, drops;
        std::vector<unsigned> syncsAtFlush, syncsAtWriteRow;
        host.Hook = [&](const std::string& e) {
            if (e == "step flush") {
                flushes.push_back(TPassClock::now());
                syncsAtFlush.push_back(seam.Count(TOsCall::Fdatasync));
            } else if (e == "step drop") {
                drops.push_back(TPassClock::now());
            } else if (e.rfind("row W", 0) == 0) {
                syncsAtWriteRow.push_back(seam.Count(TOsCall::Fdatasync));
            }
        };
        ASSERT_EQ(Run.Execute(host), TRunOutcome::Completed);

        std::vector<std::string> iteration;
        for (auto it = std::find(host.Events.begin(), host.Events.end(), "colour prepare");
             it != host.Events.end() && *it != "colour idle"; ++it) {
            if (*it != "process" && it->rfind("pause", 0) != 0 &&
                (iteration.empty() || *it != "step drop" || iteration.back() != "step drop")) {
                iteration.push_back(*it);
            }
        }
        EXPECT_EQ(iteration, c.iteration);
        EXPECT_EQ(seam.Count(TOsCall::Syncfs), c.settles);
        EXPECT_EQ(seam.Count(TOsCall::PosixFadvise) >= 11, c.drops);
        EXPECT_EQ(host.WriteRows.size(), 11u);
        ASSERT_EQ(host.ReadRows.size(), 11u);

        // The flush lies between the write pass's clock readings and reaches the system
        // there; the drop comes before the read pass's start.
        ASSERT_EQ(flushes.size(), c.mode.Durable ? 11u : 0u);
        for (std::size_t i = 0; i < flushes.size(); ++i) {
            EXPECT_LT(host.WriteRows[i].Start, flushes[i]);
            EXPECT_LT(flushes[i], host.WriteRows[i].End);
            EXPECT_GT(syncsAtWriteRow[i], syncsAtFlush[i]);
        }
        std::size_t row = 0;
        for (std::size_t i = 0; i < drops.size(); ++i) {
            while (row + 1 < host.ReadRows.size() && host.ReadRows[row].Start < drops[i]) {
                ++row; // a second drop of the same pass
            }
            EXPECT_LT(drops[i], host.ReadRows[row].Start);
        }
        EXPECT_EQ(drops.empty(), !c.drops);
        EXPECT_FALSE(Exists(host.Answer));
        EXPECT_EQ(seam.OpenDescriptors(), 0);
        EXPECT_EQ(seam.LiveMappings(), 0);
    }
}

TEST_F(MeasuringModesTest, EveryMethodFlushesItsOwnBufferInsideTheWritePass) {
    struct Case {
        TAccessMethod method;
        bool buffered;
    };
    const Case cases[] = {{TAccessMethod::amFile, false},
                          {TAccessMethod::amMmio, false},
                          {TAccessMethod::amMmio, true},
                          {TAccessMethod::amWin32, false},
                          {TAccessMethod::amWin32, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(static_cast<int>(c.method)) + (c.buffered ? " buffered" : ""));
        TRecordingHost host;
        host.Answer = Host.Answer;
        host.Method = c.method;
        host.WriteBufferedBox = host.ReadBufferedBox = c.buffered;
        host.Mode = {true, false, 1};
        TFaultInjector seam;
        // What the file holds when the write pass's interval has ended: all of it.
        std::vector<std::int64_t> sizesAtRow;
        host.Hook = [&](const std::string& e) {
            if (e.rfind("row W", 0) == 0) {
                struct stat info {};
                sizesAtRow.push_back(::stat(host.Answer.c_str(), &info) == 0 ? info.st_size : -1);
            }
        };
        ASSERT_EQ(Run.Execute(host), TRunOutcome::Completed);
        EXPECT_GE(seam.Count(TOsCall::Fdatasync), 11u);
        EXPECT_EQ(sizesAtRow, std::vector<std::int64_t>(11, static_cast<std::int64_t>(MiB)));
    }
}

TEST_F(MeasuringModesTest, EveryPassCarriesItsProofOnARealDisk) {
    if (platform::BlockDeviceOf(Dir.Dir()).empty()) {
        GTEST_SKIP() << Dir.Dir() << " is on no single block device here";
    }
    struct Case {
        TMeasuringMode mode;
        bool onDevice; // every pass's bytes reached the device
    };
    const Case cases[] = {{{false, false, 1}, false}, {{true, true, 1}, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.onDevice ? "durable and cold" : "default");
        TRecordingHost host;
        host.Answer = Host.Answer;
        host.Positions[0] = 3; // 8M: well above what the device moves for other reasons
        host.Mode = c.mode;
        // Three chunk sizes are enough to see every kind of pass; the run stops after them.
        int iterations = 0;
        host.Hook = [&](const std::string& e) {
            if (e == "colour idle" && ++iterations == 3) {
                host.Stop = true;
            }
        };
        ASSERT_EQ(Run.Execute(host), TRunOutcome::Stopped);
        for (const std::vector<TResultRow>* rows : {&host.WriteRows, &host.ReadRows}) {
            ASSERT_EQ(rows->size(), 3u);
            for (const TResultRow& row : *rows) {
                SCOPED_TRACE(RowCaption(row));
                ASSERT_TRUE(row.Proof.DeviceBytes.has_value());
                if (c.onDevice) {
                    EXPECT_GE(*row.Proof.DeviceBytes, row.FileBytes * 95ull / 100);
                }
                EXPECT_TRUE(row.Proof.CpuUserSeconds.has_value());
                EXPECT_TRUE(row.Proof.CpuSystemSeconds.has_value());
                EXPECT_TRUE(row.Proof.VoluntarySwitches.has_value());
                EXPECT_TRUE(row.Proof.InvoluntarySwitches.has_value());
                EXPECT_EQ(row.Proof.CachedBytesAtStart.has_value(), row.Pass == TResultList::Read);
                if (c.mode.Cold && row.Pass == TResultList::Read) {
                    EXPECT_LE(*row.Proof.CachedBytesAtStart, row.FileBytes / 100);
                }
                if (!c.mode.Cold && row.Pass == TResultList::Read) {
                    // Read back from memory: the write pass left the file in the cache.
                    EXPECT_EQ(*row.Proof.CachedBytesAtStart, row.FileBytes);
                }
            }
        }
    }
}

TEST_F(MeasuringModesTest, OnTmpfsNoDeviceIsClaimed) {
    const std::string mountPoint = Dir.Path("tmpfs");
    ::mkdir(mountPoint.c_str(), 0755);
    if (::mount("orvane-test", mountPoint.c_str(), "tmpfs", 0, "size=8m") != 0) {
        GTEST_SKIP() << "no tmpfs can be mounted here (needs root)";
    }
    Host.Answer = mountPoint + "/test.tmp";
    Host.Mode = {false, true, 1};
    EXPECT_EQ(Run.Execute(Host), TRunOutcome::Completed);
    ASSERT_EQ(Host.ReadRows.size(), 11u);
    for (const std::vector<TResultRow>* rows : {&Host.WriteRows, &Host.ReadRows}) {
        for (const TResultRow& row : *rows) {
            EXPECT_FALSE(row.Proof.DeviceBytes.has_value()) << RowCaption(row);
            EXPECT_TRUE(row.Proof.CpuSystemSeconds.has_value()) << RowCaption(row);
        }
    }
    EXPECT_TRUE(Host.ReadRows.front().Proof.CachedBytesAtStart.has_value());
    (void)::chdir(FStartDir.c_str());
    EXPECT_EQ(::umount(mountPoint.c_str()), 0);
}

TEST_F(MeasuringModesTest, RepeatsReportTheMedianOfTheirSamples) {
    Host.Mode = {false, false, 3};
    ASSERT_EQ(Run.Execute(Host), TRunOutcome::Completed);
    EXPECT_EQ(std::count(Host.Events.begin(), Host.Events.end(), "colour prepare"), 3 * 11);
    ASSERT_EQ(Host.WriteRows.size(), 11u);
    ASSERT_EQ(Host.ReadRows.size(), 11u);
    for (const std::vector<TResultRow>* rows : {&Host.WriteRows, &Host.ReadRows}) {
        for (const TResultRow& row : *rows) {
            ASSERT_EQ(row.DurationSamples.size(), 3u) << RowCaption(row);
            std::vector<double> sorted = row.DurationSamples;
            std::sort(sorted.begin(), sorted.end());
            EXPECT_NEAR(row.ElapsedSeconds(), sorted[1], 1e-9) << RowCaption(row);
        }
    }
    // Each repeat had a file of its own, and none is left.
    EXPECT_FALSE(Exists(Host.Answer));

    // An even count: the mean of the middle two.
    TRecordingHost even;
    even.Answer = Host.Answer;
    even.Mode = {false, false, 2};
    ASSERT_EQ(Run.Execute(even), TRunOutcome::Completed);
    for (const TResultRow& row : even.WriteRows) {
        ASSERT_EQ(row.DurationSamples.size(), 2u);
        EXPECT_NEAR(row.ElapsedSeconds(), (row.DurationSamples[0] + row.DurationSamples[1]) / 2,
                    1e-9);
    }
}

TEST_F(MeasuringModesTest, RepeatsGoRoundTheChunkSizesAndAStopKeepsWhatWasMeasured) {
    std::vector<std::string> allChunks(ChunkSizeLabels.begin(), ChunkSizeLabels.end());
    const auto rounds = [&](int whole, std::size_t more) {
        std::vector<std::string> order;
        for (int r = 0; r < whole; ++r) {
            order.insert(order.end(), allChunks.begin(), allChunks.end());
        }
        order.insert(order.end(), allChunks.begin(),
                     allChunks.begin() + static_cast<std::ptrdiff_t>(more));
        return order;
    };
    struct Case {
        const char* what;
        int repeats;
        int idleToStopAt;       // 0: no stop
        unsigned failingSettle; // durable writes, this settle failing; 0: none
        TRunOutcome outcome;
        std::vector<std::string> iterations;
        std::size_t repeatedRows; // these first rows have two samples, the rest one
    };
    const Case cases[] = {
        {"two rounds", 2, 0, 0, TRunOutcome::Completed, rounds(2, 0), 11},
        // The 14th end of an iteration: the third chunk size of round 2.
        {"stopped in round 2", 3, 14, 0, TRunOutcome::Stopped, rounds(1, 3), 3},
        // Two settles an iteration: the 23rd is the first of round 2.
        {"failed in round 2", 3, 0, 23, TRunOutcome::Failed, rounds(1, 1), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TRecordingHost host;
        host.Answer = Host.Answer;
        host.Mode.Repeats = c.repeats;
        host.Mode.Durable = c.failingSettle != 0;
        TFaultInjector seam;
        if (c.failingSettle != 0) {
            seam.FailNth(TOsCall::Syncfs, c.failingSettle, EIO);
        }
        std::vector<std::string> iterations;
        std::size_t rowsInFirstRound = 0;
        int idles = 0;
        host.Hook = [&](const std::string& e) {
            if (e == "colour prepare") {
                iterations.push_back(host.Label);
            } else if (e.rfind("row", 0) == 0 && iterations.size() <= 11) {
                ++rowsInFirstRound;
            } else if (e == "colour idle" && ++idles == c.idleToStopAt) {
                host.Stop = true;
            }
        };
        EXPECT_EQ(Run.Execute(host), c.outcome);
        EXPECT_EQ(iterations, c.iterations);
        // Until the last round no row is done, unless a stop ends the rounds.
        EXPECT_EQ(rowsInFirstRound, 0u);
        for (const std::vector<TResultRow>* rows : {&host.WriteRows, &host.ReadRows}) {
            ASSERT_EQ(rows->size(), 11u);
            for (std::size_t i = 0; i < rows->size(); ++i) {
                const TResultRow& row = (*rows)[i];
                SCOPED_TRACE(RowCaption(row));
                EXPECT_EQ(row.ChunkLabel, ChunkSizeLabels[i]); // in chunk order
                EXPECT_EQ(row.ChunkBytes, static_cast<std::uint32_t>(ChunkSizes[i]));
                EXPECT_EQ(row.DurationSamples.size(), i < c.repeatedRows ? 2u : 1u);
                EXPECT_FALSE(row.Steady.has_value()); // a fixed count aims at no target
            }
        }
        EXPECT_EQ(host.Events.back(), "unlock");
        EXPECT_FALSE(Exists(host.Answer));
    }
}

TEST_F(MeasuringModesTest, UntilSteadyRunsThreeWholeRoundsThenOnlyWhatIsNotSteady) {
    Host.Mode.UntilSteady = true;
    Host.Mode.MaxRepeats = 4;
    Host.Mode.TargetPercent = 50;
    std::vector<std::size_t> iterations;
    Host.Hook = [&](const std::string& e) {
        if (e == "colour prepare") {
            iterations.push_back(static_cast<std::size_t>(Host.Positions[2]));
        }
    };
    ASSERT_EQ(Run.Execute(Host), TRunOutcome::Completed);
    ASSERT_GE(iterations.size(), 33u);
    ASSERT_LE(iterations.size(), 44u);
    for (std::size_t i = 0; i < 33; ++i) {
        EXPECT_EQ(iterations[i], i % 11);
    }
    // The fourth round: in chunk order, only chunk sizes with a row that is not steady.
    std::vector<std::size_t> unsteady;
    for (std::size_t i = 0; i < 11; ++i) {
        const TResultRow& write = Host.WriteRows.at(i);
        const TResultRow& read = Host.ReadRows.at(i);
        ASSERT_TRUE(write.Steady.has_value() && read.Steady.has_value());
        const std::size_t runs = write.DurationSamples.size();
        EXPECT_EQ(read.DurationSamples.size(), runs);
        if (runs == 4) {
            unsteady.push_back(i);
        } else {
            EXPECT_EQ(runs, 3u);
            EXPECT_TRUE(*write.Steady && *read.Steady) << i;
        }
    }
    EXPECT_EQ(std::vector<std::size_t>(iterations.begin() + 33, iterations.end()), unsteady);
}

TEST_F(MeasuringModesTest, AFailingStepIsAnErrorOfItsPassWithNoRow) {
    struct Case {
        TMeasuringMode mode;
        TOsCall call;
        std::string named;
        bool writeRow; // the write pass of the first chunk size still has its row
    };
    const Case cases[] = {
        {{false, true, 1}, TOsCall::Fdatasync, "fdatasync failed", true},
        {{false, true, 1}, TOsCall::PosixFadvise, "posix_fadvise failed", true},
        {{true, false, 1}, TOsCall::Syncfs, "syncfs failed", false},
        {{true, false, 1}, TOsCall::Fdatasync, "could not flush the test file", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.named);
        TRecordingHost host;
        host.Answer = Host.Answer;
        host.Mode = c.mode;
        TFaultInjector seam;
        seam.FailNth(c.call, 1, EIO);
        EXPECT_EQ(Run.Execute(host), TRunOutcome::Failed);
        const auto failure = std::find_if(host.Events.begin(), host.Events.end(),
                                          [](auto& e) { return e.rfind("failure", 0) == 0; });
        ASSERT_NE(failure, host.Events.end());
        EXPECT_NE(failure->find(c.named), std::string::npos) << *failure;
        EXPECT_NE(failure->find("chunk size 1K"), std::string::npos) << *failure;
        EXPECT_EQ(host.WriteRows.size(), c.writeRow ? 1u : 0u);
        EXPECT_TRUE(host.ReadRows.empty());
        EXPECT_EQ(host.Events.back(), "unlock");
        EXPECT_FALSE(Exists(host.Answer));
        EXPECT_EQ(seam.OpenDescriptors(), 0);
    }
}

} // namespace
} // namespace orvane
