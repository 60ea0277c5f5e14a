// Every kind of injected system-call fault reaches the Win32 caller as the code Windows
// would give (every errno of the table once), and a short transfer as a short count.
#include "platform/OsCalls.h"
#include "platform/Win32.h"
#include "tests/support/FaultSweep.h"
#include "tests/support/PlatformTestSupport.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <sys/mount.h>

namespace {

using orvane::platform::TFaultInjector;
using orvane::platform::TOsCall;
using orvane::testing::Exists;
using orvane::testing::ReadWholeFile;
using orvane::testing::SweepEveryCall;
using orvane::testing::TOutcome;
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

// The one table from errno to the Win32 code, every entry once, through a call that reports
// whatever errno it meets; an errno the table does not know is a device failure.
TEST(FaultInjection, EveryErrnoHasItsWindowsCode) {
    TTempDir dir;
    const std::string path = dir.Path("e.tmp");
    WriteWholeFile(path, "x");
    const std::pair<int, DWORD> table[] = {
        {ENOENT, ERROR_FILE_NOT_FOUND},
        {ENOTDIR, ERROR_PATH_NOT_FOUND},
        {ELOOP, ERROR_PATH_NOT_FOUND},
        {EMFILE, ERROR_TOO_MANY_OPEN_FILES},
        {ENFILE, ERROR_TOO_MANY_OPEN_FILES},
        {EACCES, ERROR_ACCESS_DENIED},
        {EPERM, ERROR_ACCESS_DENIED},
        {EROFS, ERROR_WRITE_PROTECT},
        {EISDIR, ERROR_ACCESS_DENIED},
        {ETXTBSY, ERROR_SHARING_VIOLATION},
        {EBADF, ERROR_INVALID_HANDLE},
        {ENOMEM, ERROR_NOT_ENOUGH_MEMORY},
        {EAGAIN, ERROR_LOCK_VIOLATION},
        {EEXIST, ERROR_FILE_EXISTS},
        {EINVAL, ERROR_INVALID_PARAMETER},
        {ENOSPC, ERROR_DISK_FULL},
        {EDQUOT, ERROR_DISK_FULL},
        {EFBIG, ERROR_FILE_TOO_LARGE},
        {ENAMETOOLONG, ERROR_FILENAME_EXCED_RANGE},
        {ENOTEMPTY, ERROR_DIR_NOT_EMPTY},
        {EXDEV, ERROR_NOT_SAME_DEVICE},
        {EBUSY, ERROR_BUSY},
        {EIO, ERROR_IO_DEVICE},
        {ENOSYS, ERROR_CALL_NOT_IMPLEMENTED},
        {EOPNOTSUPP, ERROR_NOT_SUPPORTED},
        {EPIPE, ERROR_BROKEN_PIPE},
        {ESRCH, ERROR_INVALID_HANDLE},
        {ETIMEDOUT, ERROR_TIMEOUT},
        {EINTR, ERROR_OPERATION_ABORTED},
        {ENXIO, ERROR_NOT_READY},
        {ENODEV, ERROR_NOT_READY},
        {EXFULL, ERROR_GEN_FAILURE},
    };
    HANDLE h = OpenRW(path, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    for (const auto& [err, code] : table) {
        SCOPED_TRACE(std::strerror(err));
        TFaultInjector faults;
        faults.FailNth(TOsCall::Ftruncate, 1, err);
        SetLastError(ERROR_SUCCESS);
        EXPECT_FALSE(SetEndOfFile(h));
        EXPECT_EQ(GetLastError(), code);
    }
    EXPECT_TRUE(CloseHandle(h));

    // An open for writing on a read-only file system is write-protected, not denied: the
    // system's refusal and a real read-only mount.
    for (const DWORD disposition : {OPEN_EXISTING, CREATE_NEW, CREATE_ALWAYS}) {
        TFaultInjector faults;
        faults.FailNth(TOsCall::Open, 1, EROFS, true);
        EXPECT_EQ(OpenRW(dir.Path("ro.tmp"), disposition), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), ERROR_WRITE_PROTECT) << disposition;
    }
    const std::string mountPoint = dir.Path("ro");
    ::mkdir(mountPoint.c_str(), 0755);
    if (::mount("orvane-test", mountPoint.c_str(), "tmpfs", MS_RDONLY, "size=64k") != 0) {
        GTEST_SKIP() << "no read-only tmpfs can be mounted here (needs root)";
    }
    EXPECT_EQ(OpenRW(mountPoint + "/new.tmp", CREATE_NEW), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_WRITE_PROTECT);
    EXPECT_EQ(::umount(mountPoint.c_str()), 0);
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

TEST(FaultInjection, ShortCountsOnRegularFilesAreFinished) {
    TTempDir dir;
    const std::string path = dir.Path("s.tmp");
    WriteWholeFile(path, "abcdefghij");
    struct Case {
        const char* what;
        bool write;
        size_t shortTo; // the first call moves this much
        int thenFail;   // errno of the call after it, 0: none
        BOOL ok;
        DWORD done;
        unsigned calls;
        DWORD code;
    };
    const Case cases[] = {
        {"write cut short", true, 3, 0, TRUE, 10, 2, 0},
        {"read cut short", false, 1, 0, TRUE, 10, 2, 0},
        {"write cut short, then the disk is full", true, 3, ENOSPC, FALSE, 3, 2, ERROR_DISK_FULL},
        {"read cut short, then a device error", false, 4, EIO, FALSE, 4, 2, ERROR_IO_DEVICE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HANDLE h = OpenRW(path, OPEN_EXISTING);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        char buffer[10] = {};
        DWORD done = 12345;
        TOsCall call = c.write ? TOsCall::Write : TOsCall::Read;
        BOOL ok;
        {
            TFaultInjector faults;
            faults.ShortenNth(call, 1, c.shortTo);
            if (c.thenFail != 0) {
                faults.FailNth(call, 2, c.thenFail);
            }
            SetLastError(0);
            ok = c.write ? WriteFile(h, "0123456789", 10, &done, nullptr)
                         : ReadFile(h, buffer, 10, &done, nullptr);
            EXPECT_EQ(faults.Count(call), c.calls);
        }
        EXPECT_EQ(ok, c.ok);
        EXPECT_EQ(done, c.done);
        if (c.code != 0) {
            EXPECT_EQ(GetLastError(), c.code);
        }
        // The file pointer stands after what was moved, and only that was moved.
        EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), c.done);
        if (c.write) {
            EXPECT_EQ(ReadWholeFile(path).substr(0, c.done), std::string("0123456789", c.done));
            WriteWholeFile(path, "abcdefghij");
        } else {
            EXPECT_EQ(std::string(buffer, done), std::string("abcdefghij", c.done));
        }
        CloseHandle(h);
    }

    // A pipe gives what one call gives, as on Windows.
    const std::string fifo = dir.Path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    HANDLE pipe = OpenRW(fifo, OPEN_EXISTING);
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    TFaultInjector faults;
    faults.ShortenNth(TOsCall::Write, 1, 3);
    DWORD done = 0;
    EXPECT_TRUE(WriteFile(pipe, "0123456789", 10, &done, nullptr));
    EXPECT_EQ(done, 3u);
    EXPECT_EQ(faults.Count(TOsCall::Write), 1u);
    CloseHandle(pipe);
}

TEST(FaultInjection, EveryCallHasItsOwnName) {
    using orvane::platform::OsCallKinds;
    using orvane::platform::OsCallName;
    const std::pair<TOsCall, std::string> known[] = {
        {TOsCall::Open, "open"},       {TOsCall::Fdatasync, "fdatasync"},
        {TOsCall::Munlock, "munlock"}, {TOsCall::Getcwd, "getcwd"},
        {TOsCall::Fcntl, "fcntl"},     {TOsCall::IoprioSet, "ioprio_set"},
    };
    for (const auto& [call, name] : known) {
        EXPECT_EQ(OsCallName(call), name);
    }
    std::set<std::string> names;
    for (std::size_t k = 0; k < OsCallKinds; ++k) {
        names.insert(OsCallName(static_cast<TOsCall>(k)));
    }
    EXPECT_EQ(names.size(), OsCallKinds);
    EXPECT_EQ(names.count("?"), 0u);
}

TEST(FaultInjection, CountersSeeDescriptorsAndMappingsLeftOpen) {
    TTempDir dir;
    const std::string path = dir.Path("c.tmp");
    WriteWholeFile(path, "0123456789");
    TFaultInjector faults;
    HANDLE h = OpenRW(path, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(faults.OpenDescriptors(), 1);
    const std::string second = dir.Path("d.tmp");
    WriteWholeFile(second, "x");
    HMMIO mmio = mmioOpenA(const_cast<char*>(second.c_str()), nullptr,
                           MMIO_READ | MMIO_ALLOCBUF | MMIO_DENYNONE);
    ASSERT_NE(mmio, nullptr);
    void* memory = VirtualAlloc(nullptr, 4096, MEM_COMMIT, PAGE_READWRITE);
    ASSERT_NE(memory, nullptr);
    EXPECT_EQ(faults.OpenDescriptors(), 2);
    EXPECT_EQ(faults.LiveMappings(), 2); // mmio's buffer and the pages
    WIN32_FIND_DATAA found{};
    HANDLE find = FindFirstFileA(dir.Path("*.tmp").c_str(), &found);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_EQ(faults.OpenDescriptors(), 2); // the directory was read and closed at once
    FindClose(find);

    faults.FailNth(TOsCall::Close, 1, EIO); // a failed close still releases
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_EQ(faults.OpenDescriptors(), 1);
    EXPECT_EQ(mmioClose(mmio, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(faults.OpenDescriptors(), 0);
    EXPECT_EQ(faults.LiveMappings(), 1);
    faults.FailNth(TOsCall::Munmap, 1, EINVAL); // a failed unmapping keeps the mapping
    EXPECT_FALSE(VirtualFree(memory, 0, MEM_RELEASE));
    EXPECT_EQ(faults.LiveMappings(), 1);
    EXPECT_TRUE(VirtualFree(memory, 0, MEM_RELEASE));
    EXPECT_EQ(faults.LiveMappings(), 0);
}

// A caller's round of the file calls: every fault in it is reported or leaves the results
// right, and none leaves a descriptor or mapping behind.
TEST(FaultInjection, ASweepOfEveryCallLeavesNothingBehind) {
    TTempDir dir;
    const std::string path = dir.Path("sweep.tmp");
    const std::string other = dir.Path("other.tmp");
    WriteWholeFile(other, "other");
    const auto scenario = [&]() -> TOutcome {
        std::remove(path.c_str());
        bool reported = false;
        bool wrong = false;
        const auto check = [&](bool ok) {
            reported = reported || !ok;
            return ok;
        };
        HANDLE h = OpenRW(path, CREATE_ALWAYS);
        if (check(h != INVALID_HANDLE_VALUE)) {
            DWORD done = 0;
            char buffer[10] = {};
            if (check(WriteFile(h, "0123456789", 10, &done, nullptr) != 0)) {
                wrong = wrong || done != 10;
                if (check(SetFilePointer(h, 2, nullptr, FILE_BEGIN) == 2) &&
                    check(ReadFile(h, buffer, 10, &done, nullptr) != 0)) {
                    wrong = wrong || std::string(buffer, done) != "23456789";
                }
                if (check(SetFilePointer(h, 5, nullptr, FILE_BEGIN) == 5) &&
                    check(SetEndOfFile(h) != 0) && check(FlushFileBuffers(h) != 0)) {
                    const DWORD size = GetFileSize(h, nullptr);
                    wrong = wrong || (check(size != INVALID_FILE_SIZE) && size != 5);
                }
            }
            check(CloseHandle(h) != 0);
        }
        HMMIO mmio = mmioOpenA(const_cast<char*>(other.c_str()), nullptr,
                               MMIO_READ | MMIO_ALLOCBUF | MMIO_DENYNONE);
        if (check(mmio != nullptr)) {
            char buffer[8] = {};
            const LONG got = mmioRead(mmio, buffer, 8);
            wrong = wrong ||
                    (check(got >= 0) && std::string(buffer, static_cast<size_t>(got)) != "other");
            check(mmioClose(mmio, 0) == MMSYSERR_NOERROR);
        }
        void* memory = VirtualAlloc(nullptr, 4096, MEM_COMMIT, PAGE_READWRITE);
        if (check(memory != nullptr)) {
            if (VirtualLock(memory, 4096)) {
                check(VirtualUnlock(memory, 4096) != 0);
            }
            if (!check(VirtualFree(memory, 0, MEM_RELEASE) != 0)) {
                VirtualFree(memory, 0, MEM_RELEASE); // as a caller would: the pages are still there
            }
        }
        WIN32_FIND_DATAA found{};
        HANDLE find = FindFirstFileA(dir.Path("o*.tmp").c_str(), &found);
        if (check(find != INVALID_HANDLE_VALUE)) {
            wrong = wrong || std::string(found.cFileName) != "other.tmp";
            FindClose(find);
        }
        const DWORD attributes = GetFileAttributesA(other.c_str());
        wrong = wrong || (check(attributes != INVALID_FILE_ATTRIBUTES) &&
                          attributes != FILE_ATTRIBUTE_NORMAL);
        if (Exists(path)) {
            const bool deleted = check(DeleteFileA(path.c_str()) != 0);
            wrong = wrong || (deleted && Exists(path));
        }
        return wrong ? TOutcome::Wrong : (reported ? TOutcome::Reported : TOutcome::Correct);
    };
    EXPECT_GT(SweepEveryCall(scenario), 20u);
    std::remove(path.c_str());
}

} // namespace
