// Calls whose Windows meaning differs from the obvious POSIX one: emptying a file opened
// for reading, unlocking what was never locked, unbuffered offsets, handles without data
// access, mmio seeks from the end, opens that must not block, flushing a handle, and
// compression where the volume has none.
#include "platform/OsCalls.h"
#include "platform/Win32.h"
#include "tests/support/PlatformTestSupport.h"

#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/magic.h>
#include <string>
#include <sys/stat.h>
#include <sys/statfs.h>

namespace {

using orvane::platform::TFaultInjector;
using orvane::platform::TOsCall;
using orvane::testing::InChild;
using orvane::testing::ReadWholeFile;
using orvane::testing::TTempDir;
using orvane::testing::WriteWholeFile;

using orvane::testing::Open;
using orvane::testing::ReadWrite;

TEST(WindowsMeanings, CreateAlwaysEmptiesAnExistingFileWhateverTheAccess) {
    TTempDir dir;
    struct Case {
        const char* what;
        DWORD access;
        bool exists;
        DWORD lastError;
    };
    const Case cases[] = {
        {"read access, existing", GENERIC_READ, true, ERROR_ALREADY_EXISTS},
        {"write access, existing", GENERIC_WRITE, true, ERROR_ALREADY_EXISTS},
        {"read-write access, existing", ReadWrite, true, ERROR_ALREADY_EXISTS},
        {"no data access, existing", 0, true, ERROR_ALREADY_EXISTS},
        {"read access, new", GENERIC_READ, false, ERROR_SUCCESS},
    };
    int i = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir.Path("f" + std::to_string(i++));
        if (c.exists) {
            WriteWholeFile(path, "old contents");
        }
        SetLastError(12345);
        HANDLE h = Open(path, c.access, 0, CREATE_ALWAYS);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
        EXPECT_EQ(GetLastError(), c.lastError);
        DWORD high = 0;
        EXPECT_EQ(GetFileSize(h, &high), 0u);
        EXPECT_TRUE(CloseHandle(h));
        EXPECT_EQ(ReadWholeFile(path), "");
    }
    // A read-only file is not emptied, for reading or writing.
    const std::string readOnly = dir.Path("ro");
    WriteWholeFile(readOnly, "keep");
    ::chmod(readOnly.c_str(), 0444);
    EXPECT_EQ(Open(readOnly, GENERIC_READ, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(ReadWholeFile(readOnly), "keep");
}

TEST(WindowsMeanings, OnlyLockedPagesUnlock) {
    constexpr SIZE_T Page = 4096;
    char* memory = static_cast<char*>(
        VirtualAlloc(nullptr, 4 * Page, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    ASSERT_NE(memory, nullptr);
    struct Step {
        const char* what;
        bool lock; // else unlock
        SIZE_T offset;
        SIZE_T size;
        DWORD code; // 0: succeeds
    };
    const Step steps[] = {
        {"unlock, never locked", false, 0, Page, ERROR_NOT_LOCKED},
        {"lock pages 1 and 2", true, Page, 2 * Page, 0},
        {"unlock page 0, not locked", false, 0, Page, ERROR_NOT_LOCKED},
        {"unlock pages 0 to 1, partly locked", false, 0, 2 * Page, ERROR_NOT_LOCKED},
        {"unlock page 2", false, 2 * Page, Page, 0},
        {"unlock page 2 again", false, 2 * Page, Page, ERROR_NOT_LOCKED},
        {"unlock page 1 by a byte inside it", false, Page + 10, 1, 0},
        {"unlock page 1 again", false, Page, Page, ERROR_NOT_LOCKED},
        {"lock page 3", true, 3 * Page, Page, 0},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        SetLastError(12345);
        const BOOL ok = s.lock ? VirtualLock(memory + s.offset, s.size)
                               : VirtualUnlock(memory + s.offset, s.size);
        if (s.lock && !ok && GetLastError() == ERROR_WORKING_SET_QUOTA) {
            GTEST_SKIP() << "no locked memory allowed here";
        }
        EXPECT_EQ(ok != 0, s.code == 0);
        if (s.code != 0) {
            EXPECT_EQ(GetLastError(), s.code);
        }
    }
    // Releasing the region unlocks what it held: new memory at that place starts unlocked.
    EXPECT_TRUE(VirtualFree(memory, 0, MEM_RELEASE));
    char* again = static_cast<char*>(
        VirtualAlloc(nullptr, 4 * Page, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    ASSERT_NE(again, nullptr);
    EXPECT_FALSE(VirtualUnlock(again + 3 * Page, Page));
    EXPECT_EQ(GetLastError(), ERROR_NOT_LOCKED);
    VirtualFree(again, 0, MEM_RELEASE);
}

TEST(WindowsMeanings, UnbufferedTransfersNeedAnAlignedFileOffset) {
    TTempDir dir;
    const std::string path = dir.Path("direct");
    WriteWholeFile(path, std::string(8192, 'd'));
    HANDLE h = Open(path, ReadWrite, 0, OPEN_EXISTING, FILE_FLAG_NO_BUFFERING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    void* page = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    ASSERT_NE(page, nullptr);
    struct Case {
        LONG offset;
        bool write;
        bool ok;
    };
    const Case cases[] = {
        {0, true, true},     {512, true, true},    {1, true, false},    {100, false, false},
        {4096, false, true}, {4095, false, false}, {1024, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << (c.write ? "write at " : "read at ") << c.offset);
        ASSERT_EQ(SetFilePointer(h, c.offset, nullptr, FILE_BEGIN), static_cast<DWORD>(c.offset));
        DWORD done = 12345;
        SetLastError(0);
        TFaultInjector calls;
        const BOOL ok = c.write ? WriteFile(h, page, 512, &done, nullptr)
                                : ReadFile(h, page, 512, &done, nullptr);
        EXPECT_EQ(ok != 0, c.ok);
        // Refused by the rule itself, on every file system, not by the one under it.
        EXPECT_EQ(calls.Count(c.write ? TOsCall::Write : TOsCall::Read), c.ok ? 1u : 0u);
        EXPECT_EQ(done, c.ok ? 512u : 0u);
        if (!c.ok) {
            EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
            // Nothing moved: the pointer stays where it was.
            EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), static_cast<DWORD>(c.offset));
        }
    }
    CloseHandle(h);
    VirtualFree(page, 0, MEM_RELEASE);
}

TEST(WindowsMeanings, HandlesWithoutDataAccessTakeNoPartInSharing) {
    TTempDir dir;
    const std::string path = dir.Path("shared");
    WriteWholeFile(path, "x");
    struct Case {
        const char* what;
        DWORD firstAccess, firstShare, secondAccess, secondShare;
        bool secondOpens;
    };
    const Case cases[] = {
        {"no access held, exclusive; read-write wanted", 0, 0, ReadWrite, 0, true},
        {"read-write held, exclusive; no access wanted", ReadWrite, 0, 0, 0, true},
        {"no access held; no access wanted", 0, 0, 0, 0, true},
        {"read held, exclusive; read wanted (data access still counts)", GENERIC_READ, 0,
         GENERIC_READ, FILE_SHARE_READ, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HANDLE first = Open(path, c.firstAccess, c.firstShare, OPEN_EXISTING);
        ASSERT_NE(first, INVALID_HANDLE_VALUE);
        HANDLE second = Open(path, c.secondAccess, c.secondShare, OPEN_EXISTING);
        EXPECT_EQ(second != INVALID_HANDLE_VALUE, c.secondOpens);
        if (second == INVALID_HANDLE_VALUE) {
            EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
        } else {
            CloseHandle(second);
        }
        CloseHandle(first);
    }
    // Nor does such a handle keep the file from being deleted.
    HANDLE attributesOnly = Open(path, 0, 0, OPEN_EXISTING);
    ASSERT_NE(attributesOnly, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(DeleteFileA(path.c_str()));
    CloseHandle(attributesOnly);
}

TEST(WindowsMeanings, MmioSeekFromTheEndCountsBackward) {
    TTempDir dir;
    const std::string path = dir.Path("end");
    WriteWholeFile(path, std::string(30000, 'e'));
    struct Case {
        const char* what;
        DWORD flags;
        LONG offset;
        LONG result;
    };
    const Case cases[] = {
        {"buffered, 10 back", MMIO_READ | MMIO_ALLOCBUF, 10, 29990},
        {"unbuffered, 10 back", MMIO_READ, 10, 29990},
        {"buffered, at the end", MMIO_READ | MMIO_ALLOCBUF, 0, 30000},
        {"unbuffered, 30000 back", MMIO_READ, 30000, 0},
        {"unbuffered, before the start", MMIO_READ, 30001, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HMMIO h = mmioOpenA(const_cast<char*>(path.c_str()), nullptr, c.flags);
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(mmioSeek(h, c.offset, SEEK_END), c.result);
        if (c.result > 0 && c.result < 30000) {
            char byte = 0;
            EXPECT_EQ(mmioRead(h, &byte, 1), 1);
            EXPECT_EQ(mmioSeek(h, 0, SEEK_CUR), c.result + 1);
        }
        EXPECT_EQ(mmioClose(h, 0), MMSYSERR_NOERROR);
    }
}

TEST(WindowsMeanings, OpeningAFifoNeverBlocks) {
    TTempDir dir;
    const std::string fifo = dir.Path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // In a child, so that a regression hangs the child (ended by its alarm), not the tests.
    const int result = InChild(false, [&] {
        ::alarm(10);
        HANDLE h = Open(fifo, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
        if (h == INVALID_HANDLE_VALUE) {
            return 1;
        }
        // A writer comes and goes; its data is then there to read, and after it the end.
        const pid_t writer = ::fork();
        if (writer == 0) {
            const int fd = ::open(fifo.c_str(), O_WRONLY);
            const bool ok = fd >= 0 && ::write(fd, "hi", 2) == 2;
            ::_exit(ok ? 0 : 1);
        }
        int status = 0;
        ::waitpid(writer, &status, 0);
        char buffer[4] = {};
        DWORD done = 0;
        const BOOL ok = ReadFile(h, buffer, 4, &done, nullptr);
        DWORD after = 1;
        const BOOL atEnd = ReadFile(h, buffer + 2, 2, &after, nullptr);
        CloseHandle(h);
        const bool wrote = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        return ok && done == 2 && buffer[0] == 'h' && atEnd && after == 0 && wrote ? 0 : 2;
    });
    EXPECT_EQ(result, 0) << "200: the open or the read hung (or the child died)";
}

TEST(WindowsMeanings, FlushFileBuffersAndItsCodes) {
    TTempDir dir;
    const std::string path = dir.Path("flush");
    HANDLE writer = Open(path, ReadWrite, FILE_SHARE_READ | FILE_SHARE_WRITE, CREATE_ALWAYS);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    HANDLE reader = Open(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    DWORD done = 0;
    ASSERT_TRUE(WriteFile(writer, "data", 4, &done, nullptr));
    struct Case {
        const char* what;
        HANDLE handle;
        int fault;  // errno injected into fdatasync, 0: none
        DWORD code; // 0: succeeds
        unsigned syncs;
    };
    const Case cases[] = {
        {"writable handle", writer, 0, 0, 1},
        {"read-only handle", reader, 0, ERROR_ACCESS_DENIED, 0},
        {"no handle", INVALID_HANDLE_VALUE, 0, ERROR_INVALID_HANDLE, 0},
        {"forged handle", reinterpret_cast<HANDLE>(0x7770), 0, ERROR_INVALID_HANDLE, 0},
        {"device error", writer, EIO, ERROR_IO_DEVICE, 1},
        {"disk full", writer, ENOSPC, ERROR_DISK_FULL, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TFaultInjector faults;
        if (c.fault != 0) {
            faults.FailNth(TOsCall::Fdatasync, 1, c.fault);
        }
        SetLastError(12345);
        EXPECT_EQ(FlushFileBuffers(c.handle) != 0, c.code == 0);
        if (c.code != 0) {
            EXPECT_EQ(GetLastError(), c.code);
        }
        EXPECT_EQ(faults.Count(TOsCall::Fdatasync), c.syncs);
    }
    CloseHandle(reader);
    CloseHandle(writer);
}

TEST(WindowsMeanings, CompressionOnlyWhereTheVolumeCompresses) {
    TTempDir dir;
    const std::string path = dir.Path("c");
    HANDLE h = Open(path, ReadWrite, 0, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    struct statfs volume {};
    ASSERT_EQ(::statfs(dir.Dir().c_str(), &volume), 0);
    const bool compresses = static_cast<unsigned long>(volume.f_type) == BTRFS_SUPER_MAGIC;
    WORD format = COMPRESSION_FORMAT_DEFAULT;
    DWORD returned = 0;
    SetLastError(12345);
    const BOOL ok = DeviceIoControl(h, FSCTL_SET_COMPRESSION, &format, sizeof format, nullptr, 0,
                                    &returned, nullptr);
    EXPECT_EQ(ok != 0, compresses);
    if (!compresses) {
        EXPECT_EQ(GetLastError(), ERROR_INVALID_FUNCTION);
    }
    EXPECT_EQ((GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_COMPRESSED) != 0, compresses);
    CloseHandle(h);
}

} // namespace
