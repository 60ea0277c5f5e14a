// mmio: open flags and codes, and the buffering rules, with system calls counted through
// the fault seam.
#include "platform/OsCalls.h"
#include "platform/Win32.h"
#include "tests/support/PlatformTestSupport.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace {

using orvane::platform::TFaultInjector;
using orvane::platform::TOsCall;
using orvane::testing::InChild;
using orvane::testing::ReadWholeFile;
using orvane::testing::TTempDir;
using orvane::testing::WriteWholeFile;

HMMIO Open(const std::string& path, DWORD flags, MMIOINFO* info = nullptr) {
    return mmioOpenA(const_cast<char*>(path.c_str()), info, flags);
}

// The wErrorRet of a failed open, or 0 when it opened (the handle is closed again).
UINT OpenCode(const std::string& path, DWORD flags) {
    MMIOINFO info{};
    info.wErrorRet = 12345;
    HMMIO h = Open(path, flags, &info);
    if (h != nullptr) {
        EXPECT_EQ(info.hmmio, h);
        mmioClose(h, 0);
        return 0;
    }
    return info.wErrorRet;
}

TEST(Mmio, OpenFailuresCarryTheirCodes) {
    TTempDir dir;
    const std::string existing = dir.Path("x.tmp");
    WriteWholeFile(existing, "abc");
    EXPECT_EQ(OpenCode(dir.Path("missing"), MMIO_READ), MMIOERR_FILENOTFOUND);
    EXPECT_EQ(OpenCode(dir.Path("no/dir"), MMIO_CREATE | MMIO_WRITE), MMIOERR_PATHNOTFOUND);
    EXPECT_EQ(OpenCode(dir.Dir(), MMIO_READ), MMIOERR_ACCESSDENIED);
    HMMIO holder = Open(existing, MMIO_READWRITE | MMIO_EXCLUSIVE);
    ASSERT_NE(holder, nullptr);
    EXPECT_EQ(OpenCode(existing, MMIO_READ | MMIO_DENYNONE), MMIOERR_SHARINGVIOLATION);
    mmioClose(holder, 0);
    {
        TFaultInjector faults;
        faults.FailNth(TOsCall::Open, 1, EMFILE);
        EXPECT_EQ(OpenCode(existing, MMIO_READ), MMIOERR_TOOMANYOPENFILES);
        faults.FailNth(TOsCall::Open, 1, EIO);
        EXPECT_EQ(OpenCode(existing, MMIO_READ), MMIOERR_INVALIDFILE);
        faults.FailNth(TOsCall::Mmap, 1, ENOMEM);
        EXPECT_EQ(OpenCode(existing, MMIO_READ | MMIO_ALLOCBUF), MMIOERR_OUTOFMEMORY);
    }
    // A user who may not read the file gets "access denied".
    ::chmod(existing.c_str(), 0600);
    if (::geteuid() != 0) {
        ::chmod(existing.c_str(), 0);
    }
    EXPECT_EQ(
        InChild(true,
                [&] { return OpenCode(existing, MMIO_READ) == MMIOERR_ACCESSDENIED ? 0 : 1; }),
        0);
    EXPECT_EQ(ReadWholeFile(existing), "abc");
}

TEST(Mmio, CreateEmptiesAndExclusiveMeansExclusive) {
    TTempDir dir;
    const std::string path = dir.Path("x.tmp");
    WriteWholeFile(path, "old contents");
    HMMIO h = Open(path, MMIO_CREATE | MMIO_WRITE | MMIO_EXCLUSIVE | MMIO_ALLOCBUF);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(ReadWholeFile(path), "");
    EXPECT_EQ(OpenCode(path, MMIO_READ | MMIO_DENYNONE), MMIOERR_SHARINGVIOLATION);
    EXPECT_EQ(mmioClose(h, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(OpenCode(path, MMIO_READ | MMIO_DENYWRITE), 0u);
}

TEST(Mmio, BufferedWritesReachTheFileWhenTheBufferIsFull) {
    TTempDir dir;
    const std::string path = dir.Path("w.tmp");
    HMMIO h = Open(path, MMIO_CREATE | MMIO_WRITE | MMIO_EXCLUSIVE | MMIO_ALLOCBUF);
    ASSERT_NE(h, nullptr);
    TFaultInjector faults;
    for (int i = 0; i < 8191; ++i) {
        ASSERT_EQ(mmioWrite(h, "a", 1), 1);
    }
    EXPECT_EQ(faults.Count(TOsCall::Write), 0u); // the default buffer is 8 KiB
    ASSERT_EQ(mmioWrite(h, "b", 1), 1);
    EXPECT_EQ(faults.Count(TOsCall::Write), 1u);
    EXPECT_EQ(ReadWholeFile(path).size(), 8192u);
    ASSERT_EQ(mmioWrite(h, "cd", 2), 2);
    EXPECT_EQ(faults.Count(TOsCall::Write), 1u);
    EXPECT_EQ(mmioClose(h, 0), MMSYSERR_NOERROR); // close writes the rest
    EXPECT_EQ(faults.Count(TOsCall::Write), 2u);
    const std::string contents = ReadWholeFile(path);
    EXPECT_EQ(contents.size(), 8194u);
    EXPECT_EQ(contents.substr(8190), "abcd");
}

TEST(Mmio, SeeksInsideTheBufferAreFreeAndOutsideFlush) {
    TTempDir dir;
    const std::string path = dir.Path("s.tmp");
    HMMIO h = Open(path, MMIO_CREATE | MMIO_READWRITE | MMIO_EXCLUSIVE | MMIO_ALLOCBUF);
    ASSERT_NE(h, nullptr);
    TFaultInjector faults;
    ASSERT_EQ(mmioWrite(h, "0123456789", 10), 10);
    EXPECT_EQ(mmioSeek(h, 2, SEEK_SET), 2);
    ASSERT_EQ(mmioWrite(h, "AB", 2), 2);
    EXPECT_EQ(mmioSeek(h, 0, SEEK_CUR), 4);
    char back[4] = {};
    ASSERT_EQ(mmioRead(h, back, 4), 4); // reads what was written, from the buffer
    EXPECT_EQ(std::string(back, 4), "4567");
    EXPECT_EQ(faults.TotalCount(), 0u);

    // Far outside: the pending bytes are written first, then the next write lands there.
    EXPECT_EQ(mmioSeek(h, 100000, SEEK_SET), 100000);
    EXPECT_EQ(faults.Count(TOsCall::Write), 1u);
    EXPECT_EQ(ReadWholeFile(path), "01AB456789");
    ASSERT_EQ(mmioWrite(h, "!", 1), 1);
    EXPECT_EQ(mmioClose(h, 0), MMSYSERR_NOERROR);
    const std::string contents = ReadWholeFile(path);
    ASSERT_EQ(contents.size(), 100001u);
    EXPECT_EQ(contents.back(), '!');
    EXPECT_EQ(contents[5000], '\0');
}

TEST(Mmio, SetBufferWritesPendingDataAndTakesTheNewSize) {
    TTempDir dir;
    const std::string path = dir.Path("b.tmp");
    HMMIO h = Open(path, MMIO_CREATE | MMIO_WRITE | MMIO_EXCLUSIVE | MMIO_ALLOCBUF);
    ASSERT_NE(h, nullptr);
    TFaultInjector faults;
    ASSERT_EQ(mmioWrite(h, "pending", 7), 7);
    EXPECT_EQ(mmioSetBuffer(h, nullptr, 1024, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(ReadWholeFile(path), "pending");
    for (int i = 0; i < 1024; ++i) {
        mmioWrite(h, "x", 1);
    }
    EXPECT_EQ(faults.Count(TOsCall::Write), 2u); // one for "pending", one for the full 1 KiB
    // Memory that can't be had: 258, and the old buffer goes on working.
    faults.FailNth(TOsCall::Mmap, 1, ENOMEM);
    EXPECT_EQ(mmioSetBuffer(h, nullptr, 65536, 0), MMIOERR_OUTOFMEMORY);
    EXPECT_EQ(mmioWrite(h, "y", 1), 1);
    // Unbuffered: every call goes straight to the file.
    EXPECT_EQ(mmioSetBuffer(h, nullptr, 0, 0), MMSYSERR_NOERROR);
    const unsigned writes = faults.Count(TOsCall::Write);
    EXPECT_EQ(mmioWrite(h, "z", 1), 1);
    EXPECT_EQ(faults.Count(TOsCall::Write), writes + 1);
    EXPECT_EQ(mmioClose(h, 0), MMSYSERR_NOERROR);
    const std::string contents = ReadWholeFile(path);
    EXPECT_EQ(contents.size(), 7u + 1024 + 2);
    EXPECT_EQ(contents.substr(contents.size() - 2), "yz");
}

TEST(Mmio, ReadsRefillAWholeBufferAndEndWithZero) {
    TTempDir dir;
    const std::string path = dir.Path("r.tmp");
    WriteWholeFile(path, std::string(10000, 'r'));
    MMIOINFO info{};
    info.cchBuffer = 4096;
    HMMIO h = Open(path, MMIO_READ | MMIO_ALLOCBUF, &info);
    ASSERT_NE(h, nullptr);
    TFaultInjector faults;
    char byte = 0;
    for (int i = 0; i < 4096; ++i) {
        ASSERT_EQ(mmioRead(h, &byte, 1), 1);
    }
    EXPECT_EQ(faults.Count(TOsCall::Read), 1u);
    char rest[8000];
    EXPECT_EQ(mmioRead(h, rest, sizeof rest), 10000 - 4096);
    EXPECT_EQ(mmioRead(h, rest, 1), 0); // the end of the file
    faults.FailNth(TOsCall::Read, 1, EIO);
    EXPECT_EQ(mmioSeek(h, 0, SEEK_SET), 0);
    EXPECT_EQ(mmioRead(h, rest, 1), -1);
    mmioClose(h, 0);
}

TEST(Mmio, AReadAfterWritesNeverWritesStaleBytes) {
    TTempDir dir;
    const std::string path = dir.Path("stale.tmp");
    WriteWholeFile(path, std::string(100, '.'));
    HMMIO h = Open(path, MMIO_READWRITE | MMIO_DENYNONE | MMIO_ALLOCBUF);
    ASSERT_NE(h, nullptr);
    char buffer[100];
    ASSERT_EQ(mmioRead(h, buffer, 50), 50); // the buffer now holds all 100 bytes
    // Someone else changes byte 80 while mmio holds an old copy of it.
    HANDLE other = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    DWORD done = 0;
    SetFilePointer(other, 80, nullptr, FILE_BEGIN);
    WriteFile(other, "X", 1, &done, nullptr);
    CloseHandle(other);
    ASSERT_EQ(mmioSeek(h, 10, SEEK_SET), 10);
    ASSERT_EQ(mmioWrite(h, "W", 1), 1);
    ASSERT_EQ(mmioRead(h, buffer, 5), 5);
    EXPECT_EQ(mmioClose(h, 0), MMSYSERR_NOERROR);
    const std::string contents = ReadWholeFile(path);
    EXPECT_EQ(contents[10], 'W');
    EXPECT_EQ(contents[80], 'X');
}

TEST(Mmio, AFailedWriteOutIsReportedNotSwallowed) {
    TTempDir dir;
    const std::string path = dir.Path("full.tmp");
    HMMIO h = Open(path, MMIO_CREATE | MMIO_WRITE | MMIO_EXCLUSIVE | MMIO_ALLOCBUF);
    ASSERT_NE(h, nullptr);
    TFaultInjector faults;
    ASSERT_EQ(mmioWrite(h, "data", 4), 4);
    faults.FailNth(TOsCall::Write, 1, ENOSPC);
    EXPECT_EQ(mmioFlush(h, 0), MMIOERR_CANNOTWRITE);
    // A short write-out is a failure too, and what was left stays pending for the close.
    faults.ShortenNth(TOsCall::Write, 1, 2);
    faults.FailNth(TOsCall::Write, 2, ENOSPC);
    EXPECT_EQ(mmioClose(h, 0), MMIOERR_CANNOTWRITE);
    EXPECT_EQ(ReadWholeFile(path), "da");
    // The closed handle answers -1 and an invalid-handle code.
    EXPECT_EQ(mmioWrite(h, "x", 1), -1);
    EXPECT_EQ(mmioClose(h, 0), MMSYSERR_INVALHANDLE);
}

} // namespace
