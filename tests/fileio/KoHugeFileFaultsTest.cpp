// TKoHugeFile as a library caller meets it beyond the benchmark's use: block sizes at a
// reopen, retry periods, write-outs that fail half-way, sizes that change between
// openings, failed refills, buffer locks that are refused, compression, a derived class,
// and a fault at every system call.
#include "fileio/KoHugeF.h"
#include "platform/OsCalls.h"
#include "tests/support/FaultSweep.h"
#include "tests/support/KoHugeFileSupport.h"
#include "tests/support/PlatformTestSupport.h"

#include <cerrno>
#include <climits>
#include <functional>
#include <gtest/gtest.h>
#include <linux/magic.h>
#include <string>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <vector>

namespace orvane {
namespace {

using platform::TFaultInjector;
using platform::TOsCall;
using testing::ReadWholeFile;
using testing::SweepEveryCall;
using testing::TOutcome;
using testing::TTempDir;
using testing::WriteWholeFile;

using testing::Raised;
using testing::ReadWrite;

// Bytes that tell their offset apart (no period of a power of two).
std::string Pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>('!' + i % 89);
    }
    return bytes;
}

std::uint32_t Write(TKoHugeFile& file, const std::string& bytes) {
    std::uint32_t done = 0;
    file.BlockWrite(bytes.data(), static_cast<std::uint32_t>(bytes.size()), done);
    return done;
}

std::string Read(TKoHugeFile& file, std::uint32_t count) {
    std::string bytes(count, '\0');
    std::uint32_t done = 0;
    file.BlockRead(bytes.data(), count, done);
    bytes.resize(done);
    return bytes;
}

class KoHugeFileFaultsTest : public ::testing::Test {
protected:
    std::string Path(const char* name) const { return Dir.Path(name); }
    TTempDir Dir;
};

TEST_F(KoHugeFileFaultsTest, AReopenChecksTheBlockSizeAndEndsClosed) {
    struct Case {
        const char* what;
        std::function<void(TKoHugeFile&, std::int32_t)> open;
    };
    const Case cases[] = {
        {"Reset", [](TKoHugeFile& f, std::int32_t b) { f.Reset(b); }},
        {"Rewrite", [](TKoHugeFile& f, std::int32_t b) { f.Rewrite(b); }},
        {"ResetBuffered", [](TKoHugeFile& f, std::int32_t b) { f.ResetBuffered(b, 4096, false); }},
        {"RewriteBuffered",
         [](TKoHugeFile& f, std::int32_t b) { f.RewriteBuffered(b, 4096, false); }},
        {"OpenRead",
         [](TKoHugeFile& f, std::int32_t b) { f.OpenRead(b, 0, 0, 0, kofBuffered, nullptr); }},
        {"OpenWrite", [](TKoHugeFile& f, std::int32_t b) { f.OpenWrite(b, 0, 0, 0, 0, nullptr); }},
    };
    const std::string path = Path("reopen");
    for (const Case& c : cases) {
        for (std::int32_t bad : {0, -1, INT32_MIN}) {
            SCOPED_TRACE(::testing::Message() << c.what << " with block size " << bad);
            TKoHugeFile file(path, FILE_ATTRIBUTE_NORMAL, ReadWrite, ShareDerived);
            file.Rewrite(1);
            EXPECT_EQ(Write(file, "kept"), 4u);
            const auto [context, text] = Raised([&] { c.open(file, bad); });
            EXPECT_EQ(context, hcBlockSize);
            EXPECT_EQ(text, "TKoHugeFile(" + path + "):BlockSize must be greater than zero!");
            EXPECT_FALSE(file.IsOpen());
            EXPECT_EQ(ReadWholeFile(path), "kept"); // written out at the close, not lost
            // The object is sound afterwards: no division by the refused size.
            file.Reset(2);
            char blocks[4] = {};
            std::uint32_t done = 0;
            file.BlockRead(blocks, 2, done);
            EXPECT_EQ(done, 2u);
            EXPECT_EQ(std::string(blocks, 4), "kept");
            file.Close();
        }
    }
}

TEST_F(KoHugeFileFaultsTest, ARetryPeriodOfZeroOrLessMakesOneAttempt) {
    const std::string busy = Path("busy");
    TKoHugeFile holder(busy, FILE_ATTRIBUTE_NORMAL, ReadWrite, ShareDerived);
    holder.Rewrite(1);
    for (std::int32_t period : {0, -1, -1000, INT32_MIN}) {
        SCOPED_TRACE(::testing::Message() << "period " << period);
        TKoHugeFile waiting(busy, FILE_ATTRIBUTE_NORMAL, ReadWrite, ShareDerived);
        TFaultInjector calls;
        // Should a third attempt come, it finds no file: the loop ends either way.
        calls.FailNth(TOsCall::Open, 3, ENOENT);
        EXPECT_EQ(waiting.OpenRead(1, 0, period, 1, kofBuffered, nullptr), korLocked);
        EXPECT_EQ(waiting.LastError(), ERROR_SHARING_VIOLATION);
        EXPECT_EQ(calls.Count(TOsCall::Open), 1u);
        EXPECT_FALSE(waiting.IsOpen());
    }
}

TEST_F(KoHugeFileFaultsTest, AWriteOutThatStopsShortLosesNothingUnseen) {
    const std::uint32_t page = 4096;
    const std::string full = Pattern(page);
    struct Case {
        const char* what;
        std::function<void(TFaultInjector&)> plan;
        std::uint32_t reported; // by the BlockWrite that fills the buffer
        bool closeRaises;
        std::string file; // after the next write of "tail" and Close
    };
    const Case cases[] = {
        {"the system moves part, then the rest",
         [](TFaultInjector& f) { f.ShortenNth(TOsCall::Write, 1, 100); }, page, false,
         full + "tail"},
        {"the system moves part, then the disk is full",
         [](TFaultInjector& f) {
             f.ShortenNth(TOsCall::Write, 1, 100);
             f.FailNth(TOsCall::Write, 2, ENOSPC);
         },
         100, false, full.substr(0, 100) + "tail"},
        {"nothing moves", [](TFaultInjector& f) { f.FailNth(TOsCall::Write, 1, ENOSPC); }, 0, false,
         "tail"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = Path("short");
        TKoHugeFile file(path, FILE_ATTRIBUTE_NORMAL, ReadWrite, ShareDerived);
        file.RewriteBuffered(1, page, false);
        {
            TFaultInjector faults;
            c.plan(faults);
            EXPECT_EQ(Write(file, full), c.reported);
        }
        EXPECT_EQ(file.FilePos(), c.reported); // the count and the position agree
        EXPECT_EQ(Write(file, "tail"), 4u);
        EXPECT_EQ(Raised([&] { file.Close(); }).first, 0);
        EXPECT_EQ(ReadWholeFile(path), c.file);
    }

    // Pending bytes whose write-out failed stay pending: the next write-out stores them.
    const std::string path = Path("pending");
    TKoHugeFile file(path, FILE_ATTRIBUTE_NORMAL, ReadWrite, ShareDerived);
    file.RewriteBuffered(1, page, false);
    EXPECT_EQ(Write(file, "0123456789"), 10u);
    {
        TFaultInjector faults;
        faults.ShortenNth(TOsCall::Write, 1, 4);
        faults.FailNth(TOsCall::Write, 2, ENOSPC);
        EXPECT_EQ(Raised([&] { file.Seek(10); }).first, hcOsError);
    }
    EXPECT_EQ(ReadWholeFile(path), "0123");
    file.Close();
    EXPECT_EQ(ReadWholeFile(path), "0123456789");
}

TEST_F(KoHugeFileFaultsTest, AFailedWriteOutIsRaisedWhereverItHappens) {
    struct Case {
        const char* what;
        std::function<void(TKoHugeFile&)> operation;
        bool staysOpen;
        const char* file; // in the end
    };
    // A failed reopen closes the object, and that close writes the data out again; a failed
    // Close has raised and given up; Seek and Truncate keep the data pending.
    const Case cases[] = {
        {"Reset", [](TKoHugeFile& f) { f.Reset(1); }, false, "data"},
        {"Rewrite", [](TKoHugeFile& f) { f.Rewrite(1); }, false, "data"},
        {"ResetBuffered", [](TKoHugeFile& f) { f.ResetBuffered(1, 8192, false); }, false, "data"},
        {"Seek", [](TKoHugeFile& f) { f.Seek(0); }, true, "data"},
        {"Truncate", [](TKoHugeFile& f) { f.Truncate(); }, true, "data"},
        {"Close", [](TKoHugeFile& f) { f.Close(); }, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = Path("late");
        TKoHugeFile file(path, FILE_ATTRIBUTE_NORMAL, ReadWrite, ShareDerived);
        file.Rewrite(1);
        EXPECT_EQ(Write(file, "data"), 4u);
        {
            TFaultInjector faults;
            faults.FailNth(TOsCall::Write, 1, ENOSPC);
            const auto [context, text] = Raised([&] { c.operation(file); });
            EXPECT_EQ(context, hcOsError);
            EXPECT_NE(text.find("Systemfehler.  Code: 112."), std::string::npos) << text;
            EXPECT_EQ(file.IsOpen(), c.staysOpen);
        }
        file.Close();
        EXPECT_EQ(ReadWholeFile(path), c.file);
    }
}

TEST_F(KoHugeFileFaultsTest, EachOpeningLearnsTheSizeAfresh) {
    const std::string path = Path("grows");
    WriteWholeFile(path, "short");
    TKoHugeFile file(path, FILE_ATTRIBUTE_NORMAL, GENERIC_READ, ShareDerived);
    file.ResetBuffered(1, 4096, false);
    EXPECT_EQ(Read(file, 100), "short");
    file.Close();
    struct Case {
        const char* what;
        bool closeFirst;
        std::size_t size;
    };
    const Case cases[] = {
        {"after a close", true, 10000},
        {"reopened while open", false, 20000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.closeFirst) {
            file.Close();
        }
        const std::string longer = Pattern(c.size);
        WriteWholeFile(path, longer);
        file.ResetBuffered(1, 4096, false);
        std::string all;
        for (std::string part = Read(file, 3000); !part.empty(); part = Read(file, 3000)) {
            all += part;
        }
        EXPECT_EQ(all.size(), longer.size());
        EXPECT_EQ(all, longer);
    }
    file.Close();
}

TEST_F(KoHugeFileFaultsTest, AFailedRefillDeliversNothingOldAndNeverMovesBack) {
    const std::string path = Path("refill");
    const std::string contents = Pattern(10000);
    WriteWholeFile(path, contents);
    TKoHugeFile file(path, FILE_ATTRIBUTE_NORMAL, GENERIC_READ, ShareDerived);
    file.ResetBuffered(1, 4096, false);
    EXPECT_EQ(Read(file, 4000), contents.substr(0, 4000));
    {
        TFaultInjector faults;
        faults.FailNth(TOsCall::Read, 1, EIO);
        const auto [context, text] = Raised([&] { Read(file, 200); });
        EXPECT_EQ(context, hcOsError);
        EXPECT_EQ(text.rfind("TKoHugeFile.Fetch(" + path + ") failed.", 0), 0u) << text;
    }
    // The 96 bytes left in the buffer were delivered; nothing moves back from there.
    EXPECT_EQ(file.FilePos(), 4096);
    EXPECT_EQ(Read(file, 10), contents.substr(4096, 10));
    EXPECT_EQ(file.FilePos(), 4106);
    file.Close();
}

TEST_F(KoHugeFileFaultsTest, AShortDirectWriteReportsWhatLandedInOrder) {
    const std::uint32_t page = 4096;
    const std::string source = Pattern(3 * page + 10);
    struct Case {
        const char* what;
        std::function<void(TFaultInjector&)> plan;
        std::uint32_t reported;
    };
    const Case cases[] = {
        // Call 1 writes out the filled buffer, call 2 the two pages straight from the caller.
        {"direct write moves 1000 bytes, then the disk is full",
         [](TFaultInjector& f) {
             f.ShortenNth(TOsCall::Write, 2, 1000);
             f.FailNth(TOsCall::Write, 3, ENOSPC);
         },
         page + 1000},
        {"direct write fails at once", [](TFaultInjector& f) { f.FailNth(TOsCall::Write, 2, EIO); },
         page},
        {"no fault", [](TFaultInjector&) {}, 3 * page + 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = Path("direct");
        TKoHugeFile file(path, FILE_ATTRIBUTE_NORMAL, ReadWrite, ShareDerived);
        file.RewriteBuffered(1, page, false);
        {
            TFaultInjector faults;
            c.plan(faults);
            EXPECT_EQ(Write(file, source), c.reported);
        }
        file.Close();
        EXPECT_EQ(ReadWholeFile(path), source.substr(0, c.reported));
    }
}

// A buffered read larger than the buffer reads whole buffers straight into the caller's
// memory. Where that read fails or stops short, what arrived is reported and kept in order,
// the system's code is left for the caller, and the next read goes on from there.
TEST_F(KoHugeFileFaultsTest, AShortDirectReadReportsWhatArrivedInOrder) {
    const std::uint32_t page = 4096;
    const std::string contents = Pattern(5 * page);
    const std::string path = Path("direct-read");
    WriteWholeFile(path, contents);
    struct Case {
        const char* what;
        std::function<void(TFaultInjector&)> plan;
        std::uint32_t reported; // of the 3 pages asked after the first 10 bytes
        DWORD code;
    };
    // Call 1 of the read is the direct read of two pages, call 2 the refill behind it.
    const Case cases[] = {
        {"the direct read fails at once",
         [](TFaultInjector& f) { f.FailNth(TOsCall::Read, 1, EIO); }, page - 10, ERROR_IO_DEVICE},
        {"the direct read moves 1000 bytes, then fails",
         [](TFaultInjector& f) {
             f.ShortenNth(TOsCall::Read, 1, 1000);
             f.FailNth(TOsCall::Read, 2, EIO);
         },
         page - 10 + 1000, ERROR_IO_DEVICE},
        {"no fault", [](TFaultInjector&) {}, 3 * page, ERROR_SUCCESS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TKoHugeFile file(path, FILE_ATTRIBUTE_NORMAL, GENERIC_READ, ShareDerived);
        file.ResetBuffered(1, page, false);
        EXPECT_EQ(Read(file, 10), contents.substr(0, 10));
        std::string arrived;
        {
            TFaultInjector faults;
            c.plan(faults);
            SetLastError(ERROR_SUCCESS);
            arrived = Read(file, 3 * page);
            EXPECT_EQ(GetLastError(), c.code);
        }
        EXPECT_EQ(arrived, contents.substr(10, c.reported));
        EXPECT_EQ(file.FilePos(), 10 + c.reported); // the count and the position agree
        EXPECT_EQ(Read(file, 100), contents.substr(10 + c.reported, 100));
        file.Close();
    }
}

// A write-out the system takes only part of without an error (a pipe, a device, or Windows'
// own disk full) leaves the code of a full disk, as the buffer's own write-out does.
TEST_F(KoHugeFileFaultsTest, AWriteOutThatStopsShortLeavesTheCodeOfAFullDisk) {
    const std::uint32_t page = 4096;
    const std::string pipe = Path("pipe");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    struct Case {
        const char* what;
        unsigned call;       // 1: the buffer's write-out, 2: the direct write behind it
        std::uint32_t taken; // of the 3 pages and 10 bytes written
    };
    const Case cases[] = {
        {"the buffer's write-out", 1, 1000},
        {"the direct write of whole buffers", 2, page + 1000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Opened for reading too, so that the pipe has a reader and takes what fits.
        TKoHugeFile file(pipe, FILE_ATTRIBUTE_NORMAL, ReadWrite, ShareDerived);
        file.RewriteBuffered(1, page, false);
        {
            TFaultInjector faults;
            faults.ShortenNth(TOsCall::Write, c.call, 1000);
            SetLastError(ERROR_SUCCESS);
            EXPECT_EQ(Write(file, Pattern(3 * page + 10)), c.taken);
            EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
        }
        file.Close();
    }
}

TEST_F(KoHugeFileFaultsTest, ARefusedBufferLockLeavesTheObjectClosedAndNothingBehind) {
    struct Case {
        const char* what;
        std::function<void(TKoHugeFile&)> open;
    };
    const Case cases[] = {
        {"RewriteBuffered", [](TKoHugeFile& f) { f.RewriteBuffered(1, 4096, true); }},
        {"ResetBuffered", [](TKoHugeFile& f) { f.ResetBuffered(1, 4096, true); }},
        {"reopened",
         [](TKoHugeFile& f) {
             f.Rewrite(1);
             f.ResetBuffered(1, 4096, true);
         }},
    };
    const std::string path = Path("locked");
    WriteWholeFile(path, "x");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TKoHugeFile file(path, FILE_ATTRIBUTE_NORMAL, ReadWrite, ShareDerived);
        TFaultInjector faults;
        faults.FailNth(TOsCall::Mlock, 1, EAGAIN);
        const auto [context, text] = Raised([&] { c.open(file); });
        EXPECT_EQ(context, hcOsError);
        EXPECT_NE(text.find("Code: 1453."), std::string::npos) << text;
        EXPECT_FALSE(file.IsOpen());
        EXPECT_EQ(faults.OpenDescriptors(), 0);
        EXPECT_EQ(faults.LiveMappings(), 0);
    }
    // A lock that is granted is given back at the close without complaint.
    TKoHugeFile file(path, FILE_ATTRIBUTE_NORMAL, ReadWrite, ShareDerived);
    try {
        file.RewriteBuffered(1, 4096, true);
    } catch (const EKoHugeFile& error) {
        GTEST_SKIP() << "no locked memory allowed here: " << error.what();
    }
    EXPECT_EQ(Write(file, "locked"), 6u);
    EXPECT_EQ(Raised([&] { file.Close(); }).first, 0);
    EXPECT_EQ(ReadWholeFile(path), "locked");
}

TEST_F(KoHugeFileFaultsTest, CompressionOnlyWhereTheVolumeCompresses) {
    struct statfs volume {};
    ASSERT_EQ(::statfs(Dir.Dir().c_str(), &volume), 0);
    const bool compresses = static_cast<unsigned long>(volume.f_type) == BTRFS_SUPER_MAGIC;
    struct Case {
        const char* what;
        std::function<void(TFaultInjector&)> plan;
        TKoOpenResult result;
        DWORD code;
    };
    const Case cases[] = {
        {"as the volume is", [](TFaultInjector&) {}, compresses ? korOk : korError,
         compresses ? ERROR_SUCCESS : ERROR_INVALID_FUNCTION},
        // The attribute query fails: that is no permission to skip the compression.
        {"the attributes can't be read",
         [](TFaultInjector& f) { f.FailNth(TOsCall::Lstat, 1, EIO); }, korError, ERROR_IO_DEVICE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = Path("packed");
        TKoHugeFile file(path, FILE_ATTRIBUTE_NORMAL, ReadWrite, ShareDerived);
        TFaultInjector faults;
        c.plan(faults);
        EXPECT_EQ(file.OpenWrite(1, 0, 0, 0, kofBuffered | kofCompress, nullptr), c.result);
        EXPECT_EQ(file.IsOpen(), c.result == korOk);
        EXPECT_EQ(file.LastError(), c.code);
        file.Close();
        EXPECT_EQ(faults.OpenDescriptors(), 0);
        EXPECT_EQ(faults.LiveMappings(), 0);
    }
    // Without the request the same volume opens as ever.
    TKoHugeFile file(Path("plain"), FILE_ATTRIBUTE_NORMAL, ReadWrite, ShareDerived);
    EXPECT_EQ(file.OpenWrite(1, 0, 0, 0, kofBuffered, nullptr), korOk);
    file.Close();
}

// A caller's own class over the operations: what it overrides is what the object calls.
class TCountingFile : public TKoHugeFile {
public:
    using TKoHugeFile::TKoHugeFile;
    int Flushes = 0;
    int Refills = 0;

protected:
    bool FlushBuffer() override {
        ++Flushes;
        return TKoHugeFile::FlushBuffer();
    }
    bool IsBufferAtEof() override {
        ++Refills;
        return TKoHugeFile::IsBufferAtEof();
    }
};

TEST_F(KoHugeFileFaultsTest, ADerivedClassReplacesTheOperations) {
    const std::string path = Path("derived");
    TCountingFile file(path, FILE_ATTRIBUTE_NORMAL, ReadWrite, ShareDerived);
    file.RewriteBuffered(1, 4096, false);
    file.Flushes = 0;
    TFaultInjector calls;
    const std::string bytes = Pattern(100);
    for (int i = 0; i < 100; ++i) { // 10000 bytes through a 4 KiB buffer
        EXPECT_EQ(Write(file, bytes), 100u);
    }
    file.Close();
    // Two full buffers and the rest at the close: each a write-out through the override.
    EXPECT_EQ(calls.Count(TOsCall::Write), 3u);
    EXPECT_EQ(file.Flushes, 3);
    file.ResetBuffered(1, 4096, false);
    std::string all;
    for (std::string part = Read(file, 1000); !part.empty(); part = Read(file, 1000)) {
        all += part;
    }
    EXPECT_EQ(all.size(), 10000u);
    EXPECT_GE(file.Refills, 3);
    file.Close();
}

TEST_F(KoHugeFileFaultsTest, AFaultAtEverySystemCallIsReportedOrHarmless) {
    const std::string path = Path("sweep");
    const std::string contents = Pattern(3 * 4096 + 123);
    const auto scenario = [&]() -> TOutcome {
        std::remove(path.c_str());
        bool shortCount = false;
        std::string back;
        try {
            TKoHugeFile file(path, FILE_ATTRIBUTE_NORMAL, ReadWrite, ShareDerived);
            file.RewriteBuffered(1, 4096, true);
            std::size_t at = 0;
            for (std::size_t step : {100, 3000, 9000}) { // small, filling, and direct
                const std::string part = contents.substr(at, step);
                shortCount = shortCount || Write(file, part) != part.size();
                at += step;
            }
            shortCount = shortCount || Write(file, contents.substr(at)) != contents.size() - at;
            file.Seek(0);
            file.Close();
            file.ResetBuffered(1, 4096, false);
            for (std::string part = Read(file, 1000); !part.empty(); part = Read(file, 1000)) {
                back += part;
            }
            file.Close();
        } catch (const EKoHugeFile&) {
            return TOutcome::Reported;
        }
        if (shortCount) {
            return TOutcome::Reported; // a smaller count is the report of an unchecked write
        }
        return back == contents ? TOutcome::Correct : TOutcome::Wrong;
    };
    EXPECT_GT(SweepEveryCall(scenario), 10u);
    std::remove(path.c_str());
}

} // namespace
} // namespace orvane
