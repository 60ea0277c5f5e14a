// The benchmark run with the "File" method, against a recording host: the order of its
// phases, what the test file holds at each, Stop at every kind of point, the dialog and
// space checks, a stopped process, and failures that must leave no file and an idle window
// behind.
#include "bench/BenchmarkRun.h"
#include "bench/Scales.h"
#include "platform/OsCalls.h"
#include "tests/support/PlatformTestSupport.h"
#include "tests/support/RecordingHost.h"
#include "tests/support/RunFixture.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/wait.h>

namespace orvane {
namespace {

using platform::TFaultInjector;
using platform::TOsCall;
using testing::Exists;
using testing::InChild;
using testing::TTempDir;
using testing::WriteWholeFile;

constexpr std::int64_t MiB = 1048576;

std::int64_t SizeOf(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_size : -1;
}

std::vector<std::string> Without(const std::vector<std::string>& events,
                                 const std::string& prefix) {
    std::vector<std::string> kept;
    std::copy_if(events.begin(), events.end(), std::back_inserter(kept),
                 [&](const std::string& e) { return e.rfind(prefix, 0) != 0; });
    return kept;
}

std::vector<std::string> Captions(const std::vector<TResultRow>& rows) {
    std::vector<std::string> captions;
    for (const TResultRow& row : rows) {
        captions.push_back(RowCaption(row));
    }
    return captions;
}

using BenchmarkRunTest = testing::TRunFixture;

TEST_F(BenchmarkRunTest, ANormalRunKeepsThePhaseOrder) {
    std::vector<std::pair<std::string, std::int64_t>> sizes; // the file's size at chosen events
    int gaugeZeros = 0;
    Host.Hook = [&](const std::string& e) {
        if (e == "gauge 0" && ++gaugeZeros <= 3) {
            sizes.emplace_back(e, SizeOf(Host.Answer));
        } else if (e.rfind("colour", 0) == 0 || e.rfind("row", 0) == 0) {
            sizes.emplace_back(e, SizeOf(Host.Answer));
        }
    };
    EXPECT_EQ(Run.Execute(Host), TRunOutcome::Completed);

    const std::vector<std::string> iteration = {
        "colour prepare", "process",     "process",   "gauge 0",     "colour write", "process",
        "pause 100",      "process",     "process",   "pause 100",   "process",      "row W: 1K",
        "gauge 0",        "colour read", "process",   "pause 100",   "process",      "process",
        "pause 100",      "process",     "row R: 1K", "colour idle", "process"};
    std::vector<std::string> expected = {"sizes 256 1024", "caption Orvane [" + Host.Answer + "]",
                                         "lock", "gauge range 4096", "clear"};
    expected.insert(expected.end(), iteration.begin(), iteration.end());
    expected.insert(expected.end(), {"bar chunks 2K", "process", "colour prepare"});
    ASSERT_GE(Host.Events.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(Host.Events.begin(), Host.Events.begin() + expected.size()),
              expected);
    EXPECT_EQ(Host.Events.back(), "unlock");
    EXPECT_EQ(Host.Proposed.size(), std::string("24-03-05_14-07-09-042.tmp").size());

    // Created empty, one byte past the size after the extension, emptied for the write
    // pass, the size after it, untouched by the read pass, gone after the iteration.
    const std::vector<std::pair<std::string, std::int64_t>> first = {
        {"colour prepare", 0}, {"gauge 0", MiB + 1}, {"colour write", 0}, {"row W: 1K", MiB},
        {"gauge 0", MiB},      {"colour read", MiB}, {"row R: 1K", MiB},  {"colour idle", MiB}};
    ASSERT_GE(sizes.size(), first.size());
    EXPECT_EQ(std::vector(sizes.begin(), sizes.begin() + first.size()), first);
    EXPECT_FALSE(Exists(Host.Answer));

    std::vector<std::string> writeCaptions, readCaptions;
    for (std::string_view label : ChunkSizeLabels) {
        writeCaptions.push_back("W: " + std::string(label));
        readCaptions.push_back("R: " + std::string(label));
    }
    EXPECT_EQ(Captions(Host.WriteRows), writeCaptions);
    EXPECT_EQ(Captions(Host.ReadRows), readCaptions);
    EXPECT_EQ(Host.Positions[2], 10);
    EXPECT_EQ(Host.Label, "1M");
    // The gauge reached the end of every pass, about once per per cent.
    EXPECT_EQ(Host.LastGauge, 4096);
    EXPECT_LE(Host.GaugeSteps, 22 * 100);
    EXPECT_GE(Host.GaugeSteps, 22 * 99);
    // The run's directory is the test file's.
    EXPECT_EQ(Run.TestDir(), Dir.Dir());
    char cwd[4096];
    EXPECT_EQ(std::string(::getcwd(cwd, sizeof cwd)), Dir.Dir());
}

TEST_F(BenchmarkRunTest, ASecondRunStartsAgainAtTheFirstChunkSize) {
    ASSERT_EQ(Run.Execute(Host), TRunOutcome::Completed);
    Host.Events.clear();
    Host.WriteRows.clear();
    ASSERT_EQ(Run.Execute(Host), TRunOutcome::Completed);
    EXPECT_NE(std::find(Host.Events.begin(), Host.Events.end(), "bar chunks 1K"),
              Host.Events.end());
    EXPECT_EQ(RowCaption(Host.WriteRows.front()), "W: 1K");
}

TEST_F(BenchmarkRunTest, StopTakenInAtEachKindOfPoint) {
    struct Case {
        const char* what;
        int iteration;       // 1-based
        const char* trigger; // the event after which "Stop" is pressed
        bool duringWriteLoop;
        std::size_t writeRows, readRows;
        int bar;
    };
    const Case cases[] = {
        // Pressed during the write loop of the third chunk size: taken in after the close.
        {"in the write loop", 3, "gauge step", true, 2, 2, 2},
        {"before the write loop", 2, "pause 100", false, 1, 1, 1},
        {"in the chunk bar's handler", 3, "bar chunks 8K", false, 3, 3, 3},
        {"before the read loop", 1, "colour read", false, 1, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TRecordingHost host;
        host.Answer = Dir.Path(std::string("stop-") + std::to_string(c.iteration) + ".tmp");
        int iteration = 0;
        bool pressed = false;
        bool pending = false;
        std::int64_t sizeAfterStop = -2;
        host.Hook = [&](const std::string& e) {
            if (e == "colour prepare") {
                ++iteration;
            }
            if (pending && e == "process") {
                host.Stop = true; // the press waits for the next message point
                pending = false;
            }
            if (!pressed && iteration == c.iteration && e == c.trigger) {
                pressed = true;
                if (c.duringWriteLoop || e == "bar chunks 8K") {
                    pending = true;
                } else {
                    host.Stop = true;
                }
            }
            if (host.Stop && sizeAfterStop == -2 && e == "colour read") {
                sizeAfterStop = SizeOf(host.Answer);
            }
        };
        EXPECT_EQ(Run.Execute(host), TRunOutcome::Stopped);
        EXPECT_EQ(host.WriteRows.size(), c.writeRows);
        EXPECT_EQ(host.ReadRows.size(), c.readRows);
        EXPECT_EQ(host.Positions[2], c.bar);
        EXPECT_EQ(host.Events.back(), "unlock");
        EXPECT_FALSE(Exists(host.Answer));
    }
}

TEST_F(BenchmarkRunTest, AStopBeforeTheWriteLoopMovesNoDataButStillOpensAndCloses) {
    std::int64_t sizeAtRead = -1;
    bool armed = false;
    Host.Hook = [&](const std::string& e) {
        if (e == "colour write") {
            armed = true;
        } else if (armed && e == "pause 100") {
            Host.Stop = true;
            armed = false;
        } else if (e == "colour read") {
            sizeAtRead = SizeOf(Host.Answer);
        }
    };
    TFaultInjector calls;
    EXPECT_EQ(Run.Execute(Host), TRunOutcome::Stopped);
    EXPECT_EQ(sizeAtRead, 0);                   // reopened and emptied, nothing written
    EXPECT_EQ(calls.Count(TOsCall::Write), 1u); // only the extension's byte
    EXPECT_EQ(calls.Count(TOsCall::Read), 0u);
    EXPECT_TRUE(Host.WriteRows.empty());
    EXPECT_EQ(Without(Host.Events, "process").back(), "unlock");
}

TEST_F(BenchmarkRunTest, ACancelledDialogChangesNothing) {
    Host.Answer.clear();
    char before[4096];
    ::getcwd(before, sizeof before);
    EXPECT_EQ(Run.Execute(Host), TRunOutcome::Cancelled);
    EXPECT_EQ(Host.Events, std::vector<std::string>{"sizes 256 1024"});
    char after[4096];
    EXPECT_STREQ(::getcwd(after, sizeof after), before);
}

TEST_F(BenchmarkRunTest, AnExistingFileIsNeverTouched) {
    WriteWholeFile(Host.Answer, "the user's own data");
    EXPECT_EQ(Run.Execute(Host), TRunOutcome::FileExists);
    ASSERT_EQ(Host.Events.size(), 2u);
    EXPECT_EQ(Host.Events[1].rfind("error \"" + Host.Answer + "\" already exists.", 0), 0u)
        << Host.Events[1];
    EXPECT_EQ(testing::ReadWholeFile(Host.Answer), "the user's own data");
    // A dangling link counts as existing too.
    const std::string link = Dir.Path("dangling.tmp");
    ASSERT_EQ(::symlink(Dir.Path("nowhere").c_str(), link.c_str()), 0);
    Host.Answer = link;
    EXPECT_EQ(Run.Execute(Host), TRunOutcome::FileExists);
    EXPECT_FALSE(Exists(Dir.Path("nowhere")));
}

TEST_F(BenchmarkRunTest, TheSpaceCheckLowersTheFileSize) {
    struct Case {
        int position;
        long long free;
        bool fails;
        int lowered; // -1: the check passes
    };
    const Case cases[] = {
        {8, 100 * MiB, false, 6}, // 256M with 100 MiB free: 64M
        {8, 512 * 1024, false, 0},
        {0, MiB, false, -1}, // exactly the size passes
        {3, 0, true, 0},     // a failed query counts as no space
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.free);
        TRecordingHost host;
        host.Positions[0] = c.position;
        host.Answer = Dir.Path("space.tmp");
        host.WriteRows.push_back(TResultRow{}); // a row from before stays
        TFaultInjector faults;
        if (c.fails) {
            faults.FailNth(TOsCall::Statvfs, 1, EIO);
        } else {
            faults.FakeFreeSpace(static_cast<unsigned long long>(c.free));
        }
        const TRunOutcome outcome = Run.Execute(host);
        if (c.lowered < 0) {
            EXPECT_EQ(outcome, TRunOutcome::Completed);
            continue;
        }
        EXPECT_EQ(outcome, TRunOutcome::NotEnoughSpace);
        EXPECT_EQ(host.Positions[0], c.lowered);
        EXPECT_NE(
            std::find(
                host.Events.begin(), host.Events.end(),
                "error Not enough space for requested file size.\rDecreasing to next valid size."),
            host.Events.end());
        EXPECT_EQ(std::count(host.Events.begin(), host.Events.end(), "lock"), 0);
        EXPECT_EQ(host.WriteRows.size(), 1u);
        EXPECT_EQ(host.Events[1], "caption Orvane [" + host.Answer + "]");
        EXPECT_FALSE(Exists(host.Answer));
    }
}

TEST_F(BenchmarkRunTest, ADeniedLocationGivesTheLayersMessageAndLeavesNothing) {
    const std::string locked = Dir.Path("locked");
    ::mkdir(locked.c_str(), 0555);
    const int result = InChild(true, [&] {
        TRecordingHost host;
        host.Answer = locked + "/test.tmp";
        TBenchmarkRun run;
        if (run.Execute(host) != TRunOutcome::Failed) {
            return 1;
        }
        const auto failure =
            std::find(host.Events.begin(), host.Events.end(), "failure Dateizugriff verweigert");
        if (failure == host.Events.end() || host.Events.back() != "unlock") {
            return 2;
        }
        return host.WriteRows.empty() && !Exists(host.Answer) ? 0 : 3;
    });
    EXPECT_EQ(result, 0);
}

// The plain file's runtime has no text of its own for 112: the system's follows its code.
const char* const DiskFullInTheFirstWritePass =
    "failure The write pass with chunk size 1K failed: E/A-Fehler 112 (Auf dem Datenträger ist "
    "nicht genügend Speicherplatz vorhanden)";

TEST_F(BenchmarkRunTest, AFullDiskOrAShortTransferEndsTheRunWithoutARow) {
    struct Case {
        const char* what;
        std::function<void(TFaultInjector&)> plan;
        const char* failure;
    };
    const Case cases[] = {
        {"disk full in the first write pass",
         [](TFaultInjector& f) { f.FailNth(TOsCall::Write, 1000, ENOSPC); },
         DiskFullInTheFirstWritePass},
        // A short count is finished by the platform; what ends the run is the failure after it.
        {"short write",
         [](TFaultInjector& f) {
             f.ShortenNth(TOsCall::Write, 3000, 100);
             f.FailNth(TOsCall::Write, 3001, ENOSPC);
         },
         DiskFullInTheFirstWritePass},
        {"short read",
         [](TFaultInjector& f) {
             f.ShortenNth(TOsCall::Read, 10, 1);
             f.FailNth(TOsCall::Read, 11, EIO);
         },
         "failure The read pass with chunk size 1K failed: E/A-Fehler 1117 (Die Anforderung konnte "
         "wegen eines E/A-Gerätefehlers nicht ausgeführt werden)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TRecordingHost host;
        host.Answer = Dir.Path("full.tmp");
        TFaultInjector faults;
        c.plan(faults);
        EXPECT_EQ(Run.Execute(host), TRunOutcome::Failed);
        EXPECT_NE(std::find(host.Events.begin(), host.Events.end(), c.failure), host.Events.end());
        EXPECT_EQ(host.Events.back(), "unlock");
        const std::size_t expectedWriteRows = std::string(c.what) == "short read" ? 1 : 0;
        EXPECT_EQ(host.WriteRows.size(), expectedWriteRows);
        EXPECT_TRUE(host.ReadRows.empty());
        EXPECT_FALSE(Exists(host.Answer));
    }
}

TEST_F(BenchmarkRunTest, ARealFullDiskOnASmallTmpfs) {
    const std::string mountPoint = Dir.Path("small");
    ::mkdir(mountPoint.c_str(), 0755);
    if (::mount("orvane-test", mountPoint.c_str(), "tmpfs", 0, "size=1600k") != 0) {
        GTEST_SKIP() << "no tmpfs can be mounted here (needs root): " << std::strerror(errno);
    }
    // Room for the check and the sparse extension; the write pass then runs out.
    Host.Answer = mountPoint + "/test.tmp";
    Host.Hook = [&](const std::string& e) {
        if (e == "lock") {
            WriteWholeFile(mountPoint + "/filler", std::string(1000 * 1024, 'f'));
        }
    };
    EXPECT_EQ(Run.Execute(Host), TRunOutcome::Failed);
    EXPECT_NE(std::find(Host.Events.begin(), Host.Events.end(), DiskFullInTheFirstWritePass),
              Host.Events.end());
    EXPECT_TRUE(Host.WriteRows.empty());
    EXPECT_FALSE(Exists(Host.Answer));
    ASSERT_EQ(::chdir(Dir.Dir().c_str()), 0); // the run made the mount its directory
    EXPECT_EQ(::umount(mountPoint.c_str()), 0);
}

TEST_F(BenchmarkRunTest, AFaultAtEverySystemCallLeavesNoFileAndAnIdleWindow) {
    // Count the calls of each kind in the first iteration of a clean run.
    std::array<unsigned, platform::OsCallKinds> firstIteration{};
    {
        TFaultInjector counter;
        bool counted = false;
        Host.Hook = [&](const std::string& e) {
            if (!counted && e == "bar chunks 2K") {
                for (std::size_t k = 0; k < platform::OsCallKinds; ++k) {
                    firstIteration[k] = counter.Count(static_cast<TOsCall>(k));
                }
                counted = true;
            }
        };
        ASSERT_EQ(Run.Execute(Host), TRunOutcome::Completed);
    }
    int runs = 0;
    for (std::size_t k = 0; k < platform::OsCallKinds; ++k) {
        const auto kind = static_cast<TOsCall>(k);
        std::vector<unsigned> positions;
        if (kind == TOsCall::Read || kind == TOsCall::Write) {
            positions = {1, 2, firstIteration[k] / 2, firstIteration[k]}; // the passes' ends
        } else {
            for (unsigned n = 1; n <= firstIteration[k]; ++n) {
                positions.push_back(n);
            }
        }
        for (unsigned n : positions) {
            SCOPED_TRACE(::testing::Message()
                         << "call " << platform::OsCallName(kind) << " number " << n);
            TRecordingHost host;
            host.Answer = Dir.Path("sweep.tmp");
            // The faults all fall in the first iteration: the run stops after it.
            host.Hook = [&host](const std::string& e) {
                if (e == "colour idle") {
                    host.Stop = true;
                }
            };
            {
                TFaultInjector faults;
                faults.FailNth(kind, n, EIO);
                Run.Execute(host);
            }
            ++runs;
            const bool locked = std::count(host.Events.begin(), host.Events.end(), "lock") == 1;
            if (locked) {
                EXPECT_EQ(host.Events.back(), "unlock");
            }
            // No row reports a pass that did not complete.
            EXPECT_LE(host.ReadRows.size(), host.WriteRows.size());
            if (Exists(host.Answer)) {
                // A file that can't be deleted (or checked) stays, as it must, and is named.
                EXPECT_TRUE(LeftBehindIsReported(host)) << host.Events.back();
                ::unlink(host.Answer.c_str());
                continue;
            }
            EXPECT_FALSE(Exists(host.Answer));
        }
    }
    EXPECT_GT(runs, 20);
}

} // namespace
} // namespace orvane

namespace orvane {
namespace {

using BenchmarkRunStopTest = testing::TRunFixture;

// The process stopped (SIGSTOP, Ctrl-Z) inside a pass: the row says for how long, never less
// than the stop lasted and never more than the row's time; a stop between the passes
// belongs to neither.
TEST_F(BenchmarkRunStopTest, AStoppedProcessMarksThePassItInterrupted) {
    constexpr long StopMilliseconds = 300;
    struct Case {
        const char* what;
        const char* moment;
        bool inWritePass;
    };
    const Case cases[] = {
        {"stopped in the first write pass", "gauge step", true},
        {"stopped between the first write and read passes", "colour read", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::fflush(nullptr);
        const pid_t child = ::fork();
        if (child == 0) {
            TRecordingHost host;
            host.Answer = Dir.Path("stopped.tmp");
            bool stopped = false;
            host.Hook = [&](const std::string& e) {
                if (!stopped && e == c.moment) {
                    stopped = true;
                    ::raise(SIGSTOP); // the parent continues it after the stop's time
                }
            };
            TBenchmarkRun run;
            if (run.Execute(host) != TRunOutcome::Completed) {
                ::_exit(1);
            }
            const double atLeast = c.inWritePass ? StopMilliseconds / 1000.0 : 0.0;
            for (const auto* rows : {&host.WriteRows, &host.ReadRows}) {
                for (const TResultRow& row : *rows) {
                    const double stoppedFor = row.Proof.StoppedSeconds.value_or(-1);
                    const bool first = &row == &host.WriteRows.front();
                    if (first ? stoppedFor < atLeast || stoppedFor > row.ElapsedSeconds()
                              : stoppedFor != 0) {
                        ::_exit(2);
                    }
                }
            }
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, WUNTRACED), child);
        ASSERT_TRUE(WIFSTOPPED(status));
        const timespec stop{0, StopMilliseconds * 1000000};
        ::nanosleep(&stop, nullptr); // a lower bound the figure must reach, not a race
        ::kill(child, SIGCONT);
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
}

} // namespace
} // namespace orvane
