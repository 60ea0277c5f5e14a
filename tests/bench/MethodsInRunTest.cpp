// The "mmio" and "Win32" methods in the run: the buffer every pass gets (seen in the
// number of system calls it makes), their error texts, Stop, and faults at every kind of
// system call, for all three methods.
#include "bench/BenchmarkRun.h"
#include "platform/OsCalls.h"
#include "tests/support/PlatformTestSupport.h"
#include "tests/support/RecordingHost.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <map>

namespace orvane {
namespace {

using platform::TFaultInjector;
using platform::TOsCall;
using testing::Exists;
using testing::InChild;
using testing::TTempDir;

constexpr std::uint32_t MiB = 1048576;
// Every method in the program's own list, so that a new one is run here too.
std::vector<TAccessMethod> AllMethods() {
    std::vector<TAccessMethod> methods;
    for (std::size_t i = 0; i < Methods().size(); ++i) {
        methods.push_back(static_cast<TAccessMethod>(i));
    }
    return methods;
}

const char* Name(TAccessMethod method) {
    return MethodOps(method).Caption;
}

// The write(2) and read(2) calls of each timed pass and its close, by chunk label.
struct TPassCalls {
    std::map<std::string, unsigned> writes;
    std::map<std::string, unsigned> reads;
};

TPassCalls CountPassCalls(TRecordingHost& host) {
    TPassCalls calls;
    TFaultInjector counter;
    unsigned atStart = 0;
    host.Hook = [&](const std::string& e) {
        if (e == "colour write") {
            atStart = counter.Count(TOsCall::Write);
        } else if (e == "colour read") {
            atStart = counter.Count(TOsCall::Read);
        } else if (e.rfind("row W: ", 0) == 0) {
            calls.writes[e.substr(7)] = counter.Count(TOsCall::Write) - atStart;
        } else if (e.rfind("row R: ", 0) == 0) {
            calls.reads[e.substr(7)] = counter.Count(TOsCall::Read) - atStart;
        }
    };
    TBenchmarkRun run;
    EXPECT_EQ(run.Execute(host), TRunOutcome::Completed);
    host.Hook = nullptr;
    return calls;
}

class MethodsInRunTest : public ::testing::Test {
protected:
    TRecordingHost Host(TAccessMethod method, bool writeBuffered, bool readBuffered) {
        TRecordingHost host;
        host.Method = method;
        host.WriteBufferedBox = writeBuffered;
        host.ReadBufferedBox = readBuffered;
        host.Answer = Dir.Path("run.tmp");
        return host;
    }
    TTempDir Dir;
};

TEST_F(MethodsInRunTest, MmioBuffersOnlyWhereTheBoxIsTicked) {
    TRecordingHost host = Host(TAccessMethod::amMmio, true, false);
    const TPassCalls calls = CountPassCalls(host);
    ASSERT_EQ(calls.writes.size(), 11u);
    EXPECT_EQ(calls.writes.at("1K"), MiB / 1024); // a buffer of the chunk size
    EXPECT_EQ(calls.writes.at("64K"), MiB / 65536);
    EXPECT_EQ(calls.writes.at("1M"), 1u);
    EXPECT_EQ(calls.reads.at("1K"), MiB / 256); // no buffer: one call per block
    EXPECT_EQ(calls.reads.at("1M"), MiB / 256);
    EXPECT_EQ(host.WriteRows.size(), 11u);
    EXPECT_EQ(host.ReadRows.size(), 11u);
    EXPECT_FALSE(Exists(host.Answer));
}

TEST_F(MethodsInRunTest, Win32UsesItsDefaultBufferOrTheChunkSizeInWholePages) {
    {
        TRecordingHost host = Host(TAccessMethod::amWin32, false, false);
        const TPassCalls calls = CountPassCalls(host);
        for (const auto& [label, writes] : calls.writes) {
            EXPECT_EQ(writes, MiB / 65536) << label; // 64 KiB for all 22 passes
            EXPECT_EQ(calls.reads.at(label), MiB / 65536) << label;
        }
        EXPECT_EQ(calls.writes.size(), 11u);
    }
    TRecordingHost host = Host(TAccessMethod::amWin32, false, true);
    const TPassCalls calls = CountPassCalls(host);
    EXPECT_EQ(calls.reads.at("1K"), MiB / 4096); // one page for 1K to 4K
    EXPECT_EQ(calls.reads.at("2K"), MiB / 4096);
    EXPECT_EQ(calls.reads.at("4K"), MiB / 4096);
    EXPECT_EQ(calls.reads.at("8K"), MiB / 8192);
    EXPECT_EQ(calls.reads.at("1M"), 1u);
    EXPECT_EQ(calls.writes.at("1K"), MiB / 65536);
    EXPECT_FALSE(Exists(host.Answer));
}

TEST_F(MethodsInRunTest, EveryMethodAndBoxRunsToTheEnd) {
    for (TAccessMethod method : AllMethods()) {
        for (bool ticked : {false, true}) {
            SCOPED_TRACE(::testing::Message() << Name(method) << (ticked ? " ticked" : " clear"));
            TRecordingHost host = Host(method, ticked, ticked);
            TBenchmarkRun run;
            EXPECT_EQ(run.Execute(host), TRunOutcome::Completed);
            EXPECT_EQ(host.WriteRows.size(), 11u);
            EXPECT_EQ(host.ReadRows.size(), 11u);
            EXPECT_EQ(RowCaption(host.WriteRows.back()), "W: 1M");
            EXPECT_FALSE(Exists(host.Answer));
        }
    }
}

TEST_F(MethodsInRunTest, ADeniedLocationGivesEachMethodsMessage) {
    const std::string locked = Dir.Path("locked");
    ::mkdir(locked.c_str(), 0555);
    const std::string file = locked + "/test.tmp";
    struct Case {
        TAccessMethod method;
        bool writeBuffered;
        std::string failure;
    };
    const std::string systemText = "Systemfehler.  Code: 5.\r\nZugriff verweigert";
    const Case cases[] = {
        {TAccessMethod::amFile, false, "failure Dateizugriff verweigert"},
        {TAccessMethod::amMmio, true, "failure Access denied - this file is protected."},
        {TAccessMethod::amWin32, false,
         "failure TKoHugeFile.Rewrite(" + file + ") failed. " + systemText},
        {TAccessMethod::amWin32, true,
         "failure TKoHugeFile.RewriteBuffered(" + file + ") failed. " + systemText},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failure);
        const int result = InChild(true, [&] {
            TRecordingHost host;
            host.Method = c.method;
            host.WriteBufferedBox = c.writeBuffered;
            host.Answer = file;
            TBenchmarkRun run;
            if (run.Execute(host) != TRunOutcome::Failed) {
                return 1;
            }
            if (std::find(host.Events.begin(), host.Events.end(), c.failure) == host.Events.end()) {
                for (const auto& e : host.Events) {
                    if (e.rfind("failure", 0) == 0) {
                        std::fprintf(stderr, "got: %s\n", e.c_str());
                    }
                }
                return 2;
            }
            return host.WriteRows.empty() && host.Events.back() == "unlock" && !Exists(file) ? 0
                                                                                             : 3;
        });
        EXPECT_EQ(result, 0);
    }
}

TEST_F(MethodsInRunTest, AStopBeforeTheLoopsStillOpensExtendsAndCloses) {
    for (TAccessMethod method : {TAccessMethod::amMmio, TAccessMethod::amWin32}) {
        SCOPED_TRACE(Name(method));
        TRecordingHost host = Host(method, true, true);
        std::int64_t sizeAfterExtension = -1;
        std::int64_t sizeAtRead = -1;
        int gaugeZeros = 0;
        host.Hook = [&](const std::string& e) {
            struct stat info {};
            const std::int64_t size = ::stat(host.Answer.c_str(), &info) == 0 ? info.st_size : -1;
            if (e == "gauge 0" && ++gaugeZeros == 1) {
                sizeAfterExtension = size;
            } else if (e == "colour write") {
                host.Stop = true; // taken in at the next message point, before the loop
            } else if (e == "colour read") {
                sizeAtRead = size;
            }
        };
        TBenchmarkRun run;
        EXPECT_EQ(run.Execute(host), TRunOutcome::Stopped);
        EXPECT_EQ(sizeAfterExtension, MiB + 1);
        EXPECT_EQ(sizeAtRead, 0); // reopened (emptied) and closed, no data moved
        EXPECT_TRUE(host.WriteRows.empty());
        EXPECT_FALSE(Exists(host.Answer));
    }
}

TEST_F(MethodsInRunTest, AFaultAtEveryKindOfSystemCallLeavesNoFile) {
    for (TAccessMethod method : AllMethods()) {
        for (bool ticked : {false, true}) {
            SCOPED_TRACE(::testing::Message() << Name(method) << (ticked ? " ticked" : " clear"));
            std::array<unsigned, platform::OsCallKinds> firstIteration{};
            {
                TRecordingHost host = Host(method, ticked, ticked);
                TFaultInjector counter;
                host.Hook = [&](const std::string& e) {
                    if (e == "bar chunks 2K") {
                        for (std::size_t k = 0; k < platform::OsCallKinds; ++k) {
                            firstIteration[k] = counter.Count(static_cast<TOsCall>(k));
                        }
                    }
                };
                TBenchmarkRun run;
                ASSERT_EQ(run.Execute(host), TRunOutcome::Completed);
            }
            for (std::size_t k = 0; k < platform::OsCallKinds; ++k) {
                const auto kind = static_cast<TOsCall>(k);
                const unsigned total = firstIteration[k];
                std::vector<unsigned> positions;
                if (kind == TOsCall::Read || kind == TOsCall::Write) {
                    positions = {1, 2, total / 2, total - 1, total};
                } else {
                    for (unsigned n = 1; n <= total; ++n) {
                        positions.push_back(n);
                    }
                }
                for (unsigned n : positions) {
                    if (n == 0) {
                        continue;
                    }
                    SCOPED_TRACE(::testing::Message()
                                 << "call " << platform::OsCallName(kind) << " number " << n);
                    TRecordingHost host = Host(method, ticked, ticked);
                    // The faults all fall in the first iteration: the run stops after it.
                    host.Hook = [&host](const std::string& e) {
                        if (e == "colour idle") {
                            host.Stop = true;
                        }
                    };
                    TBenchmarkRun run;
                    TRunOutcome outcome{};
                    {
                        TFaultInjector faults;
                        faults.FailNth(kind, n, EIO);
                        outcome = run.Execute(host);
                        // Nothing of the run stays open or mapped, whatever failed.
                        EXPECT_EQ(faults.OpenDescriptors(), 0);
                        if (kind != TOsCall::Munmap) { // a refused unmap keeps its mapping
                            EXPECT_EQ(faults.LiveMappings(), 0);
                        }
                    }
                    // Either the fault was tolerated and every row stands, or it was shown.
                    const bool shown = std::any_of(
                        host.Events.begin(), host.Events.end(),
                        [](const std::string& e) { return e.rfind("failure ", 0) == 0; });
                    if (outcome == TRunOutcome::Stopped) {
                        EXPECT_FALSE(shown);
                        EXPECT_EQ(host.WriteRows.size(), 1u);
                        EXPECT_EQ(host.ReadRows.size(), 1u);
                    } else {
                        EXPECT_TRUE(shown || outcome == TRunOutcome::NotEnoughSpace ||
                                    outcome == TRunOutcome::FileExists)
                            << static_cast<int>(outcome);
                    }
                    if (std::count(host.Events.begin(), host.Events.end(), "lock") == 1) {
                        EXPECT_EQ(host.Events.back(), "unlock");
                    }
                    EXPECT_LE(host.ReadRows.size(), host.WriteRows.size());
                    if (Exists(host.Answer)) {
                        // A file that can't be deleted (or checked) stays, as it must, and is
                        // named.
                        EXPECT_TRUE(LeftBehindIsReported(host)) << host.Events.back();
                        ::unlink(host.Answer.c_str());
                        continue;
                    }
                    EXPECT_FALSE(Exists(host.Answer));
                }
            }
        }
    }
}

} // namespace
} // namespace orvane

namespace orvane {
namespace {

// An I/O error in a pass or in the flush that ends a durable write pass: every method names
// the pass and its chunk size, then its layer's own words, and gives the system's reason.
TEST_F(MethodsInRunTest, AnErrorInAPassNamesThePassAndTheSystemsReason) {
    const std::string eio = "Die Anforderung konnte wegen eines E/A-Gerätefehlers nicht "
                            "ausgeführt werden";
    const std::string file = Dir.Path("run.tmp");
    const std::string koHuge = "failed. Systemfehler.  Code: 1117.\r\n" + eio;
    const std::string flush =
        "failure The write pass with chunk size 1K could not flush the test file to the device: ";
    struct Case {
        TAccessMethod method;
        TOsCall call; // its first call in the run is the pass's first
        bool durable;
        std::string failure;
    };
    // The first write(2) extends the file; the second is the write pass's first.
    const Case cases[] = {
        {TAccessMethod::amFile, TOsCall::Write, false,
         "failure The write pass with chunk size 1K failed: E/A-Fehler 1117 (" + eio + ")"},
        {TAccessMethod::amMmio, TOsCall::Write, false,
         "failure The write pass with chunk size 1K moved only 0 of 1048576 bytes: " + eio +
             " (1117)"},
        {TAccessMethod::amWin32, TOsCall::Write, false,
         "failure The write pass with chunk size 1K moved only 65280 of 1048576 bytes: " + eio +
             " (1117)"},
        {TAccessMethod::amFile, TOsCall::Read, false,
         "failure The read pass with chunk size 1K failed: E/A-Fehler 1117 (" + eio + ")"},
        {TAccessMethod::amMmio, TOsCall::Read, false,
         "failure The read pass with chunk size 1K moved only 0 of 1048576 bytes: " + eio +
             " (1117)"},
        {TAccessMethod::amWin32, TOsCall::Read, false,
         "failure The read pass with chunk size 1K failed: TKoHugeFile.Fetch(" + file + ") " +
             koHuge},
        {TAccessMethod::amFile, TOsCall::Fdatasync, true, flush + eio + " (1117)"},
        {TAccessMethod::amMmio, TOsCall::Fdatasync, true,
         flush + "Could not flush the file to the device. (1117)"},
        {TAccessMethod::amWin32, TOsCall::Fdatasync, true,
         flush + "TKoHugeFile.Flush(" + file + ") " + koHuge},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failure);
        TRecordingHost host = Host(c.method, false, false);
        host.Mode.Durable = c.durable;
        TBenchmarkRun run;
        TFaultInjector faults;
        faults.FailNth(c.call, c.call == TOsCall::Write ? 2 : 1, EIO);
        EXPECT_EQ(run.Execute(host), TRunOutcome::Failed);
        EXPECT_NE(std::find(host.Events.begin(), host.Events.end(), c.failure), host.Events.end())
            << host.Events.back();
        EXPECT_EQ(host.WriteRows.size(), c.call == TOsCall::Read ? 1u : 0u);
        EXPECT_FALSE(Exists(host.Answer));
    }
}

} // namespace
} // namespace orvane
