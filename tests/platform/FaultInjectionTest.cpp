// Every kind of injected system-call fault reaches the Win32 caller as the code Windows
// would give, and a short transfer as a short count.
#include "platform/OsCalls.h"
#include "platform/Win32.h"
#include "tests/platform/PlatformTestSupport.h"

#include <cerrno>
#include <functional>
#include <gtest/gtest.h>

namespace {

using orvane::platform::TFaultInjector;
using orvane::platform::TOsCall;
using orvane::testing::Exists;
using orvane::testing::TTempDir;
using orvane::testing::WriteWholeFile;

HANDLE OpenRW(const std::string& path, DWORD disposition) {
    return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

TEST(FaultInjection, EachFaultReachesTheCallerWithItsCode) {
    TTempDir dir;
    const std::string path = dir.Path("f.tmp");
    WriteWholeFile(path, "0123456789");
    struct Case {
        const char* what;
        TOsCall call;
        int err;
        std::function<bool(HANDLE)> operation; // false: the call failed
        DWORD code;
    };
    char buffer[16];
    DWORD done = 0;
    const Case cases[] = {
        {"read, I/O error", TOsCall::Read, EIO,
         [&](HANDLE h) { return ReadFile(h, buffer, 4, &done, nullptr) != 0; }, ERROR_IO_DEVICE},
        {"write, disk full", TOsCall::Write, ENOSPC,
         [&](HANDLE h) { return WriteFile(h, "x", 1, &done, nullptr) != 0; }, ERROR_DISK_FULL},
        {"write, quota", TOsCall::Write, EDQUOT,
         [&](HANDLE h) { return WriteFile(h, "x", 1, &done, nullptr) != 0; }, ERROR_DISK_FULL},
        {"write, too large", TOsCall::Write, EFBIG,
         [&](HANDLE h) { return WriteFile(h, "x", 1, &done, nullptr) != 0; }, ERROR_FILE_TOO_LARGE},
        {"seek", TOsCall::Lseek, EIO,
         [&](HANDLE h) {
             return SetFilePointer(h, 5, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
         },
         ERROR_IO_DEVICE},
        {"size", TOsCall::Fstat, EIO,
         [&](HANDLE h) { return GetFileSize(h, nullptr) != INVALID_FILE_SIZE; }, ERROR_IO_DEVICE},
        {"truncate", TOsCall::Ftruncate, EPERM, [&](HANDLE h) { return SetEndOfFile(h) != 0; },
         ERROR_ACCESS_DENIED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HANDLE h = OpenRW(path, OPEN_EXISTING);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        {
            TFaultInjector faults;
            faults.FailNth(c.call, 1, c.err);
            SetLastError(ERROR_SUCCESS);
            EXPECT_FALSE(c.operation(h));
            EXPECT_EQ(GetLastError(), c.code);
            EXPECT_EQ(faults.Count(c.call), 1u);
            // Only the planned call fails; the next one of its kind goes through.
            EXPECT_TRUE(c.operation(h));
        }
        EXPECT_TRUE(CloseHandle(h));
    }
}

TEST(FaultInjection, OpenCloseDeleteAndSpaceFaults) {
    TTempDir dir;
    const std::string path = dir.Path("g.tmp");
    TFaultInjector faults;

    faults.FailNth(TOsCall::Open, 1, EMFILE);
    EXPECT_EQ(OpenRW(path, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_TOO_MANY_OPEN_FILES);
    EXPECT_FALSE(Exists(path));
    // A create that fails after the file was made takes the new file back.
    faults.FailNth(TOsCall::Fstat, 1, EIO);
    EXPECT_EQ(OpenRW(path, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_IO_DEVICE);
    EXPECT_FALSE(Exists(path));

    // A failed close still ends the handle, as on Windows.
    HANDLE h = OpenRW(path, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    faults.FailNth(TOsCall::Close, 1, EIO);
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_EQ(GetLastError(), ERROR_IO_DEVICE);
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    // ...and released its share: the file opens exclusively again.
    h = OpenRW(path, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);

    faults.FailNth(TOsCall::Unlink, 1, EACCES);
    EXPECT_FALSE(DeleteFileA(path.c_str()));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(Exists(path));
    EXPECT_TRUE(DeleteFileA(path.c_str()));

    ULARGE_INTEGER available{};
    faults.FailNth(TOsCall::Statvfs, 1, EIO);
    EXPECT_FALSE(GetDiskFreeSpaceExA(dir.Dir().c_str(), &available, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_IO_DEVICE);

    faults.FailNth(TOsCall::Mmap, 1, ENOMEM);
    EXPECT_EQ(VirtualAlloc(nullptr, 4096, MEM_COMMIT, PAGE_READWRITE), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);

    void* memory = VirtualAlloc(nullptr, 4096, MEM_COMMIT, PAGE_READWRITE);
    ASSERT_NE(memory, nullptr);
    faults.FailNth(TOsCall::Mlock, 1, EAGAIN);
    EXPECT_FALSE(VirtualLock(memory, 4096));
    EXPECT_EQ(GetLastError(), ERROR_WORKING_SET_QUOTA);
    VirtualFree(memory, 0, MEM_RELEASE);
}

TEST(FaultInjection, ShortTransfersArriveAsShortCounts) {
    TTempDir dir;
    const std::string path = dir.Path("s.tmp");
    HANDLE h = OpenRW(path, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    TFaultInjector faults;
    faults.ShortenNth(TOsCall::Write, 1, 3);
    DWORD done = 0;
    EXPECT_TRUE(WriteFile(h, "0123456789", 10, &done, nullptr));
    EXPECT_EQ(done, 3u);
    EXPECT_EQ(faults.Count(TOsCall::Write), 1u); // one call, not a loop that hides it
    SetFilePointer(h, 0, nullptr, FILE_BEGIN);
    faults.ShortenNth(TOsCall::Read, 1, 1);
    char buffer[10];
    EXPECT_TRUE(ReadFile(h, buffer, 10, &done, nullptr));
    EXPECT_EQ(done, 1u);
    // A persistent fault strikes every call from the nth on.
    faults.FailNth(TOsCall::Write, 2, ENOSPC, true);
    EXPECT_TRUE(WriteFile(h, "a", 1, &done, nullptr));
    EXPECT_FALSE(WriteFile(h, "b", 1, &done, nullptr));
    EXPECT_FALSE(WriteFile(h, "c", 1, &done, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
    CloseHandle(h);
}

} // namespace
