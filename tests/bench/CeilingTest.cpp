// The device's ceiling in a run: measured before the first iteration with Stop taken in at
// the message points around it, its transfers aligned as statx or the device says (or
// refused cleanly, the run going on without it), refused on a real tmpfs, and every one of
// its system calls failed in turn without leaving a descriptor, a mapping or a file.
#include "bench/Ceiling.h"
#include "bench/BenchmarkRun.h"
#include "bench/TestFile.h"
#include "fileio/KoHugeF.h"
#include "platform/Measuring.h"
#include "platform/OsCalls.h"
#include "tests/support/FaultSweep.h"
#include "tests/support/PlatformTestSupport.h"
#include "tests/support/RecordingHost.h"
#include "tests/support/RunFixture.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <linux/magic.h>
#include <sys/vfs.h>

namespace orvane {
namespace {

using platform::TAlignmentSource;
using platform::TFaultInjector;
using platform::TOsCall;
using testing::Exists;
using testing::TOutcome;

constexpr std::uint64_t MiB = 1048576;
constexpr int FourMiB = 2; // the file-size bar's position

using CeilingTest = testing::TRunFixture;

std::vector<std::string> Between(const std::vector<std::string>& events, const std::string& first,
                                 const std::string& last) {
    auto begin = std::find(events.begin(), events.end(), first);
    auto end = std::find(begin, events.end(), last);
    return {begin == events.end() ? begin : begin + 1, end};
}

bool HasEventStarting(const TRecordingHost& host, const std::string& prefix) {
    return std::any_of(host.Events.begin(), host.Events.end(),
                       [&](const std::string& e) { return e.rfind(prefix, 0) == 0; });
}

bool OnBlockDevice(const std::string& dir) {
    return !platform::BlockDeviceOf(dir).empty();
}

TEST_F(CeilingTest, ItComesBeforeTheFirstIterationAndStopIsTakenInAroundIt) {
    if (!OnBlockDevice(Dir.Dir())) {
        GTEST_SKIP() << Dir.Dir() << " is on no block device, where direct I/O measures one";
    }
    struct Case {
        int stopAt; // the nth message point after the results are cleared; 0: none
        std::vector<std::string> untilFirstIteration;
        bool ceiling;
        TRunOutcome outcome;
    };
    const std::vector<std::string> whole = {
        "process", "step settle", "process", "step settle", "ceiling", "process", "colour prepare"};
    const Case cases[] = {
        {0, whole, true, TRunOutcome::Completed},
        {1, {"process"}, false, TRunOutcome::Stopped},
        // Between the passes: the read pass is not made, the point after the ceiling is.
        {2, {"process", "step settle", "process", "process"}, false, TRunOutcome::Stopped},
        {3, {whole.begin(), whole.end() - 1}, true, TRunOutcome::Stopped},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stopAt);
        TRecordingHost host;
        host.Answer = Host.Answer;
        host.Positions[0] = FourMiB;
        host.Mode.Ceiling = true;
        TFaultInjector seam;
        int points = 0;
        bool cleared = false;
        unsigned syncsAtCeiling = 0, flushesAtCeiling = 0;
        host.Hook = [&](const std::string& e) {
            cleared = cleared || e == "clear";
            if (cleared && e == "process" && ++points == c.stopAt) {
                host.Stop = true;
            } else if (e == "ceiling") {
                syncsAtCeiling = seam.Count(TOsCall::Syncfs);
                flushesAtCeiling = seam.Count(TOsCall::Fdatasync);
            }
        };
        EXPECT_EQ(Run.Execute(host), c.outcome);
        // What came between the cleared results and the first iteration; after a stop, all.
        const std::vector<std::string> after = Between(host.Events, "clear", "unlock");
        const auto shown = static_cast<std::ptrdiff_t>(
            c.outcome == TRunOutcome::Completed ? c.untilFirstIteration.size() : after.size());
        ASSERT_GE(static_cast<std::ptrdiff_t>(after.size()), shown);
        EXPECT_EQ(std::vector<std::string>(after.begin(), after.begin() + shown),
                  c.untilFirstIteration);
        if (c.outcome == TRunOutcome::Completed) {
            EXPECT_EQ(host.WriteRows.size(), 11u);
            EXPECT_EQ(host.ReadRows.size(), 11u);
            // Both passes settled first, the write flushed to the device.
            EXPECT_EQ(syncsAtCeiling, 2u);
            EXPECT_EQ(flushesAtCeiling, 1u);
        } else {
            EXPECT_TRUE(host.WriteRows.empty());
        }
        ASSERT_EQ(host.Ceiling.has_value(), c.ceiling);
        if (host.Ceiling) {
            EXPECT_GT(host.Ceiling->WriteKiBPerSecond, 0);
            EXPECT_GT(host.Ceiling->ReadKiBPerSecond, 0);
        }
        EXPECT_EQ(host.Events.back(), "unlock");
        EXPECT_FALSE(Exists(host.Answer));
        EXPECT_EQ(seam.OpenDescriptors(), 0);
        EXPECT_EQ(seam.LiveMappings(), 0);
    }
}

TEST_F(CeilingTest, TheTransfersKeepTheAlignmentGivenOrTheCeilingIsRefusedAndTheRunGoesOn) {
    if (!OnBlockDevice(Dir.Dir())) {
        GTEST_SKIP() << Dir.Dir() << " is on no block device, where direct I/O measures one";
    }
    struct Case {
        const char* what;
        std::function<void(TFaultInjector&)> setUp;
        TRunOutcome outcome;  // the run stops after its first iteration when it goes on
        const char* refusal;  // the start of the reason; nullptr: none
        const char* failure;  // a part of the run's error; nullptr: none
        std::uint32_t memory; // the ceiling's alignment; 0: none
        std::uint32_t offset;
        TAlignmentSource source;
    };
    const auto statx = [](std::uint32_t memory, std::uint32_t offset) {
        return [=](TFaultInjector& seam) { seam.FakeDirectAlignment(memory, offset); };
    };
    const auto noStatx = [](TFaultInjector& seam) {
        seam.FailNth(TOsCall::Statx, 1, ENOSYS, true);
    };
    const Case cases[] = {
        {"512 from statx", statx(512, 512), TRunOutcome::Stopped, nullptr, nullptr, 512, 512,
         TAlignmentSource::Statx},
        {"4096 from statx", statx(4096, 4096), TRunOutcome::Stopped, nullptr, nullptr, 4096, 4096,
         TAlignmentSource::Statx},
        {"64K of memory, more than a page", statx(65536, 512), TRunOutcome::Stopped, nullptr,
         nullptr, 65536, 512, TAlignmentSource::Statx},
        {"1M, a whole transfer", statx(MiB, MiB), TRunOutcome::Stopped, nullptr, nullptr, MiB, MiB,
         TAlignmentSource::Statx},
        {"no statx: the logical block size", noStatx, TRunOutcome::Stopped, nullptr, nullptr, 0, 0,
         TAlignmentSource::LogicalBlockSize},
        {"not a power of two", statx(3000, 512), TRunOutcome::Stopped,
         "statx asks for transfers aligned to 3000 bytes in memory and 512 in the file, which "
         "1 MiB transfers can't keep",
         nullptr, 0, 0, TAlignmentSource::Statx},
        {"more than a transfer", statx(512, 2 * MiB), TRunOutcome::Stopped,
         "statx asks for transfers aligned to 512 bytes in memory and 2097152 in the file", nullptr,
         0, 0, TAlignmentSource::Statx},
        {"statx: no direct I/O for this file", statx(0, 0), TRunOutcome::Stopped,
         "direct I/O is not supported on ", nullptr, 0, 0, TAlignmentSource::Statx},
        {"the file system refuses direct I/O",
         [](TFaultInjector& seam) { seam.FailNth(TOsCall::Fcntl, 1, EINVAL); },
         TRunOutcome::Stopped, "direct I/O is not supported on ", nullptr, 0, 0,
         TAlignmentSource::Statx},
        {"a misaligned fallback",
         [&](TFaultInjector& seam) {
             noStatx(seam);
             seam.FailNth(TOsCall::Pwrite, 1, EINVAL);
         },
         TRunOutcome::Stopped, "direct I/O refused a transfer aligned to ", nullptr, 0, 0,
         TAlignmentSource::Statx},
        {"an I/O error", [](TFaultInjector& seam) { seam.FailNth(TOsCall::Pwrite, 2, EIO); },
         TRunOutcome::Failed, nullptr, "pwrite failed: Input/output error", 0, 0,
         TAlignmentSource::Statx},
        {"a short write", [](TFaultInjector& seam) { seam.ShortenNth(TOsCall::Pwrite, 3, 4096); },
         TRunOutcome::Failed, nullptr, "pwrite moved only 2101248 of 4194304 bytes", 0, 0,
         TAlignmentSource::Statx},
        {"a refused flush", [](TFaultInjector& seam) { seam.FailNth(TOsCall::Fdatasync, 1, EIO); },
         TRunOutcome::Failed, nullptr, "fdatasync failed: Input/output error", 0, 0,
         TAlignmentSource::Statx},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TRecordingHost host;
        host.Answer = Host.Answer;
        host.Positions[0] = FourMiB;
        host.Mode.Ceiling = true;
        host.Hook = [&](const std::string& e) { host.Stop = host.Stop || e == "colour idle"; };
        TFaultInjector seam;
        c.setUp(seam);
        EXPECT_EQ(Run.Execute(host), c.outcome);

        EXPECT_EQ(HasEventStarting(host, std::string("ceiling refused ") +
                                             (c.refusal != nullptr ? c.refusal : "\x01")),
                  c.refusal != nullptr);
        EXPECT_EQ(HasEventStarting(host, "failure The device's ceiling could not be measured "
                                         "on \"" +
                                             host.Answer +
                                             "\": " + (c.failure != nullptr ? c.failure : "\x01")),
                  c.failure != nullptr);
        // A refused ceiling is no reason to stop: the first iteration has its rows.
        EXPECT_EQ(host.WriteRows.size(), c.outcome == TRunOutcome::Stopped ? 1u : 0u);
        EXPECT_EQ(host.ReadRows.size(), c.outcome == TRunOutcome::Stopped ? 1u : 0u);
        ASSERT_EQ(host.Ceiling.has_value(), c.memory != 0 || c.source != TAlignmentSource::Statx);
        std::uint32_t memory = c.memory, offset = c.offset;
        if (host.Ceiling) {
            EXPECT_EQ(host.Ceiling->Alignment.Source, c.source);
            if (c.source == TAlignmentSource::LogicalBlockSize) {
                memory = offset = host.Ceiling->Alignment.Memory; // the real device's
            }
            EXPECT_EQ(host.Ceiling->Alignment.Memory, memory);
            EXPECT_EQ(host.Ceiling->Alignment.Offset, offset);
            EXPECT_EQ(seam.Transfers().size(), 2 * 4u) << "four 1 MiB writes and four reads";
        }
        // Every transfer made, whether it went through or not, kept the alignment.
        for (const TFaultInjector::TTransfer& transfer : seam.Transfers()) {
            EXPECT_EQ(transfer.Count, MiB);
            if (memory != 0) {
                EXPECT_EQ(reinterpret_cast<std::uintptr_t>(transfer.Buffer) % memory, 0u);
                EXPECT_EQ(static_cast<std::uint64_t>(transfer.Offset) % offset, 0u);
            }
        }
        EXPECT_FALSE(Exists(host.Answer));
        EXPECT_EQ(seam.OpenDescriptors(), 0);
        EXPECT_EQ(seam.LiveMappings(), 0);
    }
}

TEST_F(CeilingTest, OnTmpfsTheRunGoesOnWithoutACeiling) {
    std::string shm = "/dev/shm/orvane-ceiling-XXXXXX";
    struct statfs info {};
    if (::statfs("/dev/shm", &info) != 0 || info.f_type != TMPFS_MAGIC ||
        ::mkdtemp(shm.data()) == nullptr) {
        GTEST_SKIP() << "no tmpfs at /dev/shm";
    }
    Host.Answer = shm + "/test.tmp";
    Host.Mode.Ceiling = true;
    TFaultInjector seam;
    EXPECT_EQ(Run.Execute(Host), TRunOutcome::Completed);
    EXPECT_TRUE(HasEventStarting(Host, "ceiling refused tmpfs keeps its files in memory: there "
                                       "is no device under it"));
    EXPECT_FALSE(Host.Ceiling.has_value());
    EXPECT_TRUE(seam.Transfers().empty()) << "nothing was moved to measure memory";
    EXPECT_EQ(Host.WriteRows.size(), 11u);
    EXPECT_EQ(Host.ReadRows.size(), 11u);
    EXPECT_EQ(seam.OpenDescriptors(), 0);
    (void)::chdir(FStartDir.c_str());
    EXPECT_TRUE(std::filesystem::is_empty(shm)) << "the ceiling's file is gone";
    std::filesystem::remove_all(shm);
}

TEST_F(CeilingTest, AFaultInAnyOfItsCallsLeavesNothingBehindAndIsNamed) {
    if (!OnBlockDevice(Dir.Dir())) {
        GTEST_SKIP() << Dir.Dir() << " is on no block device, where direct I/O measures one";
    }
    const std::string file = Host.Answer;
    const std::string named = "\"" + file + "\"";
    const std::vector<std::string> errorTexts = {platform::ErrnoText(EIO),
                                                 SystemErrorText(ERROR_IO_DEVICE)};
    const auto scenario = [&]() -> TOutcome {
        TRecordingHost host;
        host.Positions[0] = 1; // 2M: two transfers each way
        try {
            const std::optional<TCeiling> ceiling = MeasureCeiling(host, file);
            const bool right = ceiling && ceiling->WriteKiBPerSecond > 0 &&
                               ceiling->ReadKiBPerSecond > 0 && !Exists(file);
            return right ? TOutcome::Correct : TOutcome::Wrong;
        } catch (const ECeilingRefused& refused) {
            ADD_FAILURE() << "an I/O error taken for a refusal: " << refused.what();
        } catch (const ETestFileReplaced& error) {
            // A look-up of the name that failed: the file can't be told to be ours.
            EXPECT_NE(std::string(error.what()).find(named), std::string::npos) << error.what();
            EXPECT_FALSE(Exists(file)) << error.what();
            return TOutcome::Reported;
        } catch (const std::exception& error) {
            const std::string text = error.what();
            const bool leftNamed = text.find("left behind") != std::string::npos;
            const bool errorNamed =
                std::any_of(errorTexts.begin(), errorTexts.end(), [&](const std::string& e) {
                    return text.find(e) != std::string::npos;
                });
            EXPECT_TRUE(text.find(named) != std::string::npos && errorNamed) << text;
            if (Exists(file)) {
                EXPECT_TRUE(leftNamed) << "left on the disk unnamed: " << text;
                ::unlink(file.c_str());
            }
            return TOutcome::Reported;
        }
        return TOutcome::Wrong;
    };
    EXPECT_GT(testing::SweepEveryCall(scenario), 20u);
}

} // namespace
} // namespace orvane
