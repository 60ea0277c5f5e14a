// TKoHugeFile: buffer sizes, buffered and direct transfers, positioning in both buffer
// modes, sizes, truncation, unbuffered sectors, closing at the end of the file, opening
// errors with their texts, and retries on a locked file.
#include "fileio/KoHugeF.h"
#include "fileio/SecondaryErrors.h"
#include "platform/OsCalls.h"
#include "tests/support/KoHugeFileSupport.h"
#include "tests/support/PlatformTestSupport.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <thread>

namespace orvane {
namespace {

using platform::TFaultInjector;
using platform::TOsCall;
using testing::ReadWholeFile;
using testing::TTempDir;
using testing::WriteWholeFile;

using testing::Raised;
using testing::ReadWrite;

std::uint32_t PageSize() {
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    return info.dwPageSize;
}

class KoHugeFileTest : public ::testing::Test {
protected:
    std::string Path(const char* name) const { return Dir.Path(name); }
    TTempDir Dir;
};

TEST_F(KoHugeFileTest, BufferSizesAreWholePages) {
    ASSERT_EQ(PageSize(), 4096u) << "the cases below assume 4 KiB pages";
    struct Case {
        const char* what;
        std::function<void(TKoHugeFile&)> open;
        std::uint32_t size;
    };
    const Case cases[] = {
        {"Rewrite", [](TKoHugeFile& f) { f.Rewrite(1); }, 65536},
        {"Reset", [](TKoHugeFile& f) { f.Reset(1); }, 65536},
        {"ResetBuffered 1024", [](TKoHugeFile& f) { f.ResetBuffered(1, 1024, false); }, 4096},
        {"RewriteBuffered 65537", [](TKoHugeFile& f) { f.RewriteBuffered(1, 65537, false); },
         69632},
        {"RewriteBuffered 1 MiB", [](TKoHugeFile& f) { f.RewriteBuffered(1, 1048576, false); },
         1048576},
    };
    WriteWholeFile(Path("sizes"), "");
    for (const Case& c : cases) {
        TKoHugeFile file(Path("sizes"), FILE_ATTRIBUTE_NORMAL, ReadWrite, ShareDerived);
        c.open(file);
        EXPECT_EQ(file.BufferSize(), c.size) << c.what;
        EXPECT_TRUE(file.Buffered()) << c.what;
    }
}

TEST_F(KoHugeFileTest, BufferedWritesFillFlushAndBypass) {
    const std::string path = Path("w");
    TKoHugeFile file(path, FILE_ATTRIBUTE_NORMAL, ReadWrite, ShareDerived);
    file.RewriteBuffered(1, 4096, false);
    TFaultInjector calls;
    std::uint32_t done = 0;
    // A single byte waits in the buffer; one less than the free space writes nothing.
    file.BlockWrite("a", 1, done);
    std::vector<char> data(3 * 4096 + 10, 'x');
    file.BlockWrite(data.data(), 4094, done);
    EXPECT_EQ(calls.Count(TOsCall::Write), 0u);
    // Exactly the free space: the full buffer goes out at once.
    file.BlockWrite(data.data(), 1, done);
    EXPECT_EQ(calls.Count(TOsCall::Write), 1u);
    EXPECT_EQ(ReadWholeFile(path).size(), 4096u);
    // 3 buffers + 10 into the empty buffer: one buffer, two straight from the caller, 10 pending.
    file.BlockWrite(data.data(), static_cast<std::uint32_t>(data.size()), done);
    EXPECT_EQ(done, data.size());
    EXPECT_EQ(calls.Count(TOsCall::Write), 3u);
    EXPECT_EQ(ReadWholeFile(path).size(), 4096u * 4);
    EXPECT_EQ(file.FileSize(), 4 * 4096 + 10); // the position counts pending bytes
    file.Close();
    EXPECT_EQ(ReadWholeFile(path).size(), 4u * 4096 + 10);
    EXPECT_EQ(ReadWholeFile(path).front(), 'a');
}

TEST_F(KoHugeFileTest, SeekInWriteModeWritesPendingDataFirst) {
    const std::string path = Path("seek-w");
    TKoHugeFile file(path, FILE_ATTRIBUTE_NORMAL, ReadWrite, ShareDerived);
    file.Rewrite(4);
    std::uint32_t done = 0;
    file.BlockWrite("AAAABBBB", 2, done);
    file.Seek(10);
    EXPECT_EQ(ReadWholeFile(path), "AAAABBBB");
    file.BlockWrite("CCCC", 1, done);
    EXPECT_EQ(file.FilePos(), 11);
    EXPECT_EQ(file.FileSize(), 11);
    file.Close();
    const std::string contents = ReadWholeFile(path);
    ASSERT_EQ(contents.size(), 44u);
    EXPECT_EQ(contents.substr(40), "CCCC");
}

TEST_F(KoHugeFileTest, SeeksInReadMode) {
    const std::string path = Path("seek-r");
    std::string text;
    for (int i = 0; i < 10000; ++i) {
        text += static_cast<char>('a' + i % 26);
    }
    WriteWholeFile(path, text);
    TKoHugeFile file(path, FILE_ATTRIBUTE_NORMAL, ReadWrite, ShareDerived);
    file.ResetBuffered(1, 4096, false);
    char buffer[16] = {};
    std::uint32_t done = 0;
    file.BlockRead(buffer, 10, done);
    TFaultInjector calls;
    file.Seek(5); // back inside the buffered data: no system call, the same bytes again
    file.BlockRead(buffer, 5, done);
    EXPECT_EQ(std::string(buffer, 5), text.substr(5, 5));
    EXPECT_EQ(calls.TotalCount(), 0u);
    // Exactly the end of the buffered data: the pointer moves and the buffer empties.
    file.Seek(4096);
    EXPECT_EQ(calls.Count(TOsCall::Lseek), 1u);
    file.BlockRead(buffer, 3, done);
    EXPECT_EQ(std::string(buffer, 3), text.substr(4096, 3));
    EXPECT_EQ(file.FilePos(), 4099);
}

TEST_F(KoHugeFileTest, ReadingPastTheEndCountsWholeBlocks) {
    const std::string path = Path("ten");
    WriteWholeFile(path, "0123456789");
    TKoHugeFile file(path, FILE_ATTRIBUTE_NORMAL, ReadWrite, ShareDerived);
    file.Reset(4);
    char buffer[12] = {};
    std::uint32_t done = 0;
    file.BlockRead(buffer, 3, done);
    EXPECT_EQ(done, 2u);
    EXPECT_EQ(std::string(buffer, 10), "0123456789"); // the partial block is copied
    file.BlockRead(buffer, 1, done);
    EXPECT_EQ(done, 0u);
}

TEST_F(KoHugeFileTest, ModeConflictsAndSwitchingToWriteAtTheEnd) {
    const std::string path = Path("modes");
    WriteWholeFile(path, "abcdef");
    TKoHugeFile file(path, FILE_ATTRIBUTE_NORMAL, ReadWrite, ShareDerived);
    file.Reset(1);
    char buffer[8];
    std::uint32_t done = 0;
    file.BlockRead(buffer, 3, done);
    EXPECT_EQ(Raised([&] { file.BlockWrite("x", 1, done); }),
              std::make_pair(1006, "TKoHugeFile(" + path + "):Write while in buffered read mode!"));
    file.BlockRead(buffer, 3, done); // to the end
    file.BlockWrite("gh", 2, done);  // at the end: write mode, appending
    EXPECT_EQ(done, 2u);
    EXPECT_EQ(Raised([&] { file.BlockRead(buffer, 1, done); }),
              std::make_pair(1007, "TKoHugeFile(" + path + "):Read while in buffered write mode!"));
    file.Close();
    EXPECT_EQ(ReadWholeFile(path), "abcdefgh");
}

TEST_F(KoHugeFileTest, SizeDuringWritingAndAfterTruncate) {
    const std::string path = Path("size");
    TKoHugeFile file(path, FILE_ATTRIBUTE_NORMAL, ReadWrite, ShareDerived);
    file.RewriteBuffered(1, 4096, false);
    std::uint32_t done = 0;
    std::vector<char> data(5000, 'd');
    file.BlockWrite(data.data(), 5000, done);
    EXPECT_EQ(ReadWholeFile(path).size(), 4096u);
    EXPECT_EQ(file.FileSize(), 5000); // the OS has 4096, the position says 5000
    file.Seek(100);
    file.Truncate();
    EXPECT_EQ(file.FileSize(), 100);
    file.Close();
    EXPECT_EQ(ReadWholeFile(path).size(), 100u);
}

TEST_F(KoHugeFileTest, UnbufferedSectorsWriteWholePages) {
    const std::string path = Path("sector");
    TKoHugeFile file(path, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_NO_BUFFERING, ReadWrite, ShareDerived);
    file.Rewrite(1);
    std::uint32_t done = 0;
    file.BlockWrite("0123456789", 10, done);
    file.Close();
    const std::string contents = ReadWholeFile(path);
    ASSERT_EQ(contents.size(), PageSize());
    EXPECT_EQ(contents.substr(0, 10), "0123456789");
    EXPECT_EQ(contents.find_first_not_of('\0', 10), std::string::npos);
}

TEST_F(KoHugeFileTest, ClosingTheHandleAtTheEndOfTheFile) {
    const std::string path = Path("eof");
    WriteWholeFile(path, std::string(6000, 'e'));
    TKoHugeFile file(path, FILE_ATTRIBUTE_NORMAL, GENERIC_READ, ShareDerived);
    ASSERT_EQ(file.OpenRead(1, 4096, 0, 0, kofBuffered | kofCloseOnEof, nullptr), korOk);
    std::vector<char> buffer(8000);
    std::uint32_t done = 0;
    file.BlockRead(buffer.data(), 4000, done); // the first buffer
    EXPECT_FALSE(file.ClosedAtEof());
    file.BlockRead(buffer.data(), 1000, done); // runs out and refills to the end
    EXPECT_FALSE(file.ClosedAtEof());
    file.BlockRead(buffer.data(), 500, done); // the first read after: the handle closes
    EXPECT_EQ(done, 500u);
    EXPECT_TRUE(file.ClosedAtEof());
    EXPECT_TRUE(file.IsOpen());
    file.BlockRead(buffer.data(), 1000, done); // the rest of the buffer, then nothing
    EXPECT_EQ(done, 500u);
    file.BlockRead(buffer.data(), 10, done);
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(file.FileSize(), 6000);
    EXPECT_EQ(file.FilePos(), 6000);
    file.Seek(5000); // inside the last buffer: still served
    file.BlockRead(buffer.data(), 10, done);
    EXPECT_EQ(done, 10u);
    EXPECT_EQ(Raised([&] { file.Seek(10); }),
              std::make_pair(1004, "TKoHugeFile(" + path + "):File not open!"));
    EXPECT_EQ(Raised([&] { file.BlockWrite("x", 1, done); }).first, 1004);
    file.Close();
    EXPECT_FALSE(file.IsOpen());
}

TEST_F(KoHugeFileTest, OpenErrorsCarryOperationFileCodeAndSystemText) {
    const std::string missing = Path("missing");
    TKoHugeFile file(missing, FILE_ATTRIBUTE_NORMAL, ReadWrite, ShareDerived);
    EXPECT_EQ(
        Raised([&] { file.Reset(1); }),
        std::make_pair(
            1001, "TKoHugeFile.Reset(" + missing +
                      ") failed. Systemfehler.  Code: 2.\r\nDas System kann die angegebene Datei "
                      "nicht finden"));
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(
        Raised([&] { file.Reset(0); }),
        std::make_pair(1003, "TKoHugeFile(" + missing + "):BlockSize must be greater than zero!"));
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(Raised([&] { file.FileSize(); }).first, 1004);

    // A second object on an exclusively opened file: "locked", and Reset raises with 32.
    const std::string busy = Path("busy");
    TKoHugeFile first(busy, FILE_ATTRIBUTE_NORMAL, ReadWrite, ShareDerived);
    first.Rewrite(1);
    TKoHugeFile second(busy, FILE_ATTRIBUTE_NORMAL, ReadWrite, ShareDerived);
    EXPECT_EQ(second.OpenRead(1, 0, 0, 0, kofBuffered, nullptr), korLocked);
    EXPECT_EQ(second.LastError(), 32u);
    const auto [context, text] = Raised([&] { second.Reset(1); });
    EXPECT_EQ(context, 1001);
    EXPECT_NE(text.find("Systemfehler.  Code: 32."), std::string::npos) << text;
    EXPECT_NE(text.back(), '.'); // the system text without its full stop

    // A failed buffer allocation inside an open closes the object and raises.
    TKoHugeFile third(Path("third"), FILE_ATTRIBUTE_NORMAL, ReadWrite, ShareDerived);
    TFaultInjector faults;
    faults.FailNth(TOsCall::Mmap, 1, ENOMEM);
    EXPECT_EQ(Raised([&] { third.Rewrite(1); }).first, 1001);
    EXPECT_FALSE(third.IsOpen());
}

TEST_F(KoHugeFileTest, RetriesOnALockedFile) {
    const std::string busy = Path("retry");
    TKoHugeFile holder(busy, FILE_ATTRIBUTE_NORMAL, ReadWrite, ShareDerived);
    holder.Rewrite(1);
    TKoHugeFile waiting(busy, FILE_ATTRIBUTE_NORMAL, ReadWrite, ShareDerived);
    {
        TFaultInjector calls;
        EXPECT_EQ(waiting.OpenRead(1, 0, 500, 100, kofBuffered, nullptr), korLocked);
        // About every 100 ms for 500 ms: five or six attempts.
        EXPECT_GE(calls.Count(TOsCall::Open), 4u); // pauses overshoot on a loaded machine
        EXPECT_LE(calls.Count(TOsCall::Open), 7u);
        calls.Clear();
        EXPECT_EQ(waiting.OpenRead(1, 0, 0, 100, kofBuffered, nullptr), korLocked);
        EXPECT_EQ(calls.Count(TOsCall::Open), 1u); // timeout 0: one attempt
    }
    // A signalled wait object gives up after the current attempt.
    HANDLE giveUp = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread signaller([giveUp] {
        Sleep(150);
        SetEvent(giveUp);
    });
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(waiting.OpenRead(1, 0, 10000, 100, kofBuffered, giveUp), korLocked);
    signaller.join();
    EXPECT_LT(GetTickCount64() - start, 2000u);
    CloseHandle(giveUp);
    // Released in between: the retry succeeds.
    std::thread releaser([&holder] {
        Sleep(150);
        holder.Close();
    });
    EXPECT_EQ(waiting.OpenRead(1, 0, 5000, 50, kofBuffered, nullptr), korOk);
    releaser.join();
}

TEST_F(KoHugeFileTest, ReopeningAndClosing) {
    const std::string path = Path("reopen");
    TKoHugeFile file(path, FILE_ATTRIBUTE_NORMAL, ReadWrite, ShareDerived);
    file.Close(); // not open: nothing
    file.Rewrite(1);
    std::uint32_t done = 0;
    file.BlockWrite("pending", 7, done);
    file.Reset(1); // writes the pending bytes out, then reads from 0
    char buffer[8] = {};
    file.BlockRead(buffer, 7, done);
    EXPECT_EQ(std::string(buffer, 7), "pending");
    file.Rewrite(1); // on the open object: an empty file
    EXPECT_EQ(ReadWholeFile(path), "");
    file.Close();
    file.Close();

    // A failed flush at Close raises, and the object ends closed all the same.
    file.Rewrite(1);
    file.BlockWrite("lost", 4, done);
    {
        TFaultInjector faults;
        faults.FailNth(TOsCall::Write, 1, ENOSPC);
        EXPECT_EQ(Raised([&] {
                      file.Close();
                  }).second.rfind("TKoHugeFile.FreeBuffer(" + path + ") failed.", 0),
                  0u);
        EXPECT_FALSE(file.IsOpen());
        EXPECT_EQ(faults.OpenDescriptors(), -1); // the handle opened before was closed
    }
    file.Close();
    EXPECT_FALSE(file.IsOpen());

    // Destroyed with a failing flush: nothing thrown, the error kept.
    TakeSecondaryErrors();
    {
        TFaultInjector faults; // outlives the object below
        TKoHugeFile doomed(Path("doomed"), FILE_ATTRIBUTE_NORMAL, ReadWrite, ShareDerived);
        doomed.Rewrite(1);
        doomed.BlockWrite("x", 1, done);
        faults.FailNth(TOsCall::Write, 1, ENOSPC);
    }
    EXPECT_EQ(TakeSecondaryErrors().size(), 1u);
}

TEST_F(KoHugeFileTest, DatesAndWrappedExceptions) {
    const std::string path = Path("dated");
    TKoHugeFile file(path, FILE_ATTRIBUTE_NORMAL, ReadWrite, ShareDerived);
    file.Rewrite(1);
    const TDateTime moment = EncodeDateTime({2001, 9, 8, 12, 30, 44, 0});
    file.SetDate(moment);
    EXPECT_NEAR(file.GetDate(), moment, 1.0 / 86400 / 2); // two-second steps
    file.Close();
    EXPECT_EQ(Raised([&] { file.GetDate(); }).first, 1004);
}

} // namespace
} // namespace orvane

namespace orvane {
namespace {

// Flush: the buffer reaches the file and the file the device, and a failing flush is named.
TEST(KoHugeFileFlush, WritesTheBufferOutAndFlushesTheFile) {
    TTempDir dir;
    struct Case {
        bool buffered;
        int failingCall; // 0: none; else the fdatasync fails
    };
    for (const Case c : {Case{true, 0}, Case{false, 0}, Case{true, EIO}}) {
        SCOPED_TRACE(std::to_string(c.buffered) + " " + std::to_string(c.failingCall));
        const std::string path = dir.Path("flush.tmp");
        TKoHugeFile file(path, FILE_ATTRIBUTE_NORMAL, ReadWrite, ShareDerived);
        if (c.buffered) {
            file.RewriteBuffered(1, 65536, false);
        } else {
            file.Rewrite(1);
        }
        const std::string data(1000, 'x');
        std::uint32_t written = 0;
        file.BlockWrite(data.data(), 1000, written);
        TFaultInjector seam;
        if (c.failingCall != 0) {
            seam.FailNth(TOsCall::Fdatasync, 1, c.failingCall);
            const auto [context, text] = Raised([&] { file.Flush(); });
            EXPECT_EQ(context, hcOsError);
            EXPECT_NE(text.find("TKoHugeFile.Flush(" + path + ") failed"), std::string::npos)
                << text;
            continue;
        }
        file.Flush();
        EXPECT_EQ(seam.Count(TOsCall::Fdatasync), 1u);
        EXPECT_EQ(ReadWholeFile(path), data); // before the close
        file.BlockWrite(data.data(), 1000, written);
        file.Close();
        EXPECT_EQ(ReadWholeFile(path), data + data);
    }
}

} // namespace
} // namespace orvane
