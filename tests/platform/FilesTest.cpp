// Files through the Win32 calls: dispositions, transfers, positioning past 4 GiB, share
// modes within and across processes, deletion and the error codes Windows gives.
#include "platform/Win32.h"
#include "tests/support/PlatformTestSupport.h"

#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <vector>

namespace {

using orvane::testing::Exists;
using orvane::testing::InChild;
using orvane::testing::ReadWholeFile;
using orvane::testing::TTempDir;
using orvane::testing::WriteWholeFile;

using orvane::testing::Open;
using orvane::testing::ReadWrite;

// The code of a failed open, or 0 when it succeeded (the handle is closed again).
DWORD OpenError(const std::string& path, DWORD access, DWORD share, DWORD disposition) {
    SetLastError(12345);
    HANDLE h = Open(path, access, share, disposition);
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        return 0;
    }
    return GetLastError();
}

TEST(Files, DispositionsAndTheirCodes) {
    TTempDir dir;
    const std::string existing = dir.Path("existing");
    WriteWholeFile(existing, "0123456789");
    const std::string missing = dir.Path("missing");
    const std::string inMissingDir = dir.Path("no-such-dir/file");

    EXPECT_EQ(OpenError(missing, GENERIC_READ, 0, OPEN_EXISTING), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(OpenError(inMissingDir, GENERIC_READ, 0, OPEN_EXISTING), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(OpenError(inMissingDir, ReadWrite, 0, CREATE_ALWAYS), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(OpenError(existing, ReadWrite, 0, CREATE_NEW), ERROR_FILE_EXISTS);
    EXPECT_EQ(OpenError(dir.Dir(), GENERIC_READ, 0, OPEN_EXISTING), ERROR_ACCESS_DENIED);
    EXPECT_EQ(OpenError(existing, GENERIC_READ, 0, 9), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(ReadWholeFile(existing), "0123456789"); // none of these touched it

    // OPEN_ALWAYS and CREATE_ALWAYS tell an existing file by 183; only the latter empties it.
    HANDLE h = Open(existing, ReadWrite, 0, OPEN_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(GetFileSize(h, nullptr), 10u);
    CloseHandle(h);
    h = Open(existing, ReadWrite, 0, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(GetFileSize(h, nullptr), 0u);
    CloseHandle(h);
    h = Open(missing, ReadWrite, 0, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    CloseHandle(h);
    EXPECT_TRUE(Exists(missing));
}

TEST(Files, TransfersEndOfFileAndAccessRules) {
    TTempDir dir;
    const std::string path = dir.Path("data");
    HANDLE h = Open(path, ReadWrite, 0, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD done = 99;
    ASSERT_TRUE(WriteFile(h, "hello", 5, &done, nullptr));
    EXPECT_EQ(done, 5u);
    ASSERT_EQ(SetFilePointer(h, 0, nullptr, FILE_BEGIN), 0u);
    char buffer[16] = {};
    ASSERT_TRUE(ReadFile(h, buffer, sizeof buffer, &done, nullptr));
    EXPECT_EQ(done, 5u);
    EXPECT_EQ(std::string(buffer, 5), "hello");
    // At the end of the file a read succeeds with nothing.
    done = 99;
    EXPECT_TRUE(ReadFile(h, buffer, sizeof buffer, &done, nullptr));
    EXPECT_EQ(done, 0u);
    ASSERT_TRUE(CloseHandle(h));

    // A handle may only move data the way it was opened.
    h = Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(WriteFile(h, "x", 1, &done, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(SetEndOfFile(h));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    CloseHandle(h);
    h = Open(path, GENERIC_WRITE, 0, OPEN_EXISTING);
    EXPECT_FALSE(ReadFile(h, buffer, 1, &done, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    CloseHandle(h);

    // A closed handle is recognised, also by a second close.
    EXPECT_FALSE(ReadFile(h, buffer, 1, &done, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(Files, PositioningPastTheEndAndBeyondFourGiB) {
    TTempDir dir;
    const std::string path = dir.Path("sparse");
    HANDLE h = Open(path, ReadWrite, 0, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);

    // Past the end: the size stays until a write extends it.
    EXPECT_EQ(SetFilePointer(h, 1000, nullptr, FILE_BEGIN), 1000u);
    EXPECT_EQ(GetFileSize(h, nullptr), 0u);
    DWORD done = 0;
    ASSERT_TRUE(WriteFile(h, "z", 1, &done, nullptr));
    EXPECT_EQ(GetFileSize(h, nullptr), 1001u);

    // 5 GiB + 3 through the high part, on a sparse file.
    LONG high = 1;
    EXPECT_EQ(SetFilePointer(h, 0x40000003, &high, FILE_BEGIN), 0x40000003u);
    EXPECT_EQ(high, 1);
    ASSERT_TRUE(WriteFile(h, "!", 1, &done, nullptr));
    DWORD sizeHigh = 0;
    EXPECT_EQ(GetFileSize(h, &sizeHigh), 0x40000004u);
    EXPECT_EQ(sizeHigh, 1u);
    high = 0;
    EXPECT_EQ(SetFilePointer(h, 0, &high, FILE_CURRENT), 0x40000004u);
    EXPECT_EQ(high, 1);

    // Low part 0xFFFFFFFF is a position when the last error is 0.
    SetLastError(ERROR_ACCESS_DENIED);
    high = 0;
    EXPECT_EQ(SetFilePointer(h, -1, &high, FILE_BEGIN), 0xFFFFFFFFu);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_EQ(high, 0);

    // Before the start: 131, and the pointer stays.
    EXPECT_EQ(SetFilePointer(h, 10, nullptr, FILE_BEGIN), 10u);
    EXPECT_EQ(SetFilePointer(h, -11, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), 10u);
    // Without a high part a result beyond 32 bits is refused and the pointer stays.
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_END), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), 10u);

    // SetEndOfFile cuts at the pointer.
    ASSERT_TRUE(SetEndOfFile(h));
    EXPECT_EQ(GetFileSize(h, &sizeHigh), 10u);
    EXPECT_EQ(sizeHigh, 0u);
    CloseHandle(h);
}

TEST(Files, ShareModesWithinTheProcess) {
    TTempDir dir;
    const std::string path = dir.Path("shared");
    WriteWholeFile(path, "abc");
    struct Case {
        DWORD firstAccess, firstShare, secondAccess, secondShare;
        DWORD code;
    };
    const Case cases[] = {
        {ReadWrite, 0, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, ERROR_SHARING_VIOLATION},
        {GENERIC_READ, FILE_SHARE_READ, GENERIC_READ, FILE_SHARE_READ, 0},
        {GENERIC_READ, FILE_SHARE_READ, GENERIC_WRITE, FILE_SHARE_READ, ERROR_SHARING_VIOLATION},
        // The second may not deny an access the first already has.
        {GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, GENERIC_READ, FILE_SHARE_READ,
         ERROR_SHARING_VIOLATION},
        {GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, GENERIC_READ,
         FILE_SHARE_READ | FILE_SHARE_WRITE, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << c.firstAccess << "/" << c.firstShare
                                          << " then " << c.secondAccess << "/" << c.secondShare);
        HANDLE first = Open(path, c.firstAccess, c.firstShare, OPEN_EXISTING);
        ASSERT_NE(first, INVALID_HANDLE_VALUE);
        EXPECT_EQ(OpenError(path, c.secondAccess, c.secondShare, OPEN_EXISTING), c.code);
        CloseHandle(first);
    }
    // A refused CREATE_ALWAYS empties nothing; after the close the file opens again.
    HANDLE holder = Open(path, ReadWrite, 0, OPEN_EXISTING);
    EXPECT_EQ(OpenError(path, ReadWrite, 0, CREATE_ALWAYS), ERROR_SHARING_VIOLATION);
    CloseHandle(holder);
    EXPECT_EQ(ReadWholeFile(path), "abc");
    EXPECT_EQ(OpenError(path, ReadWrite, 0, OPEN_EXISTING), 0u);
}

TEST(Files, ExclusiveOpenHoldsAgainstOtherProcesses) {
    TTempDir dir;
    const std::string path = dir.Path("locked");
    HANDLE h = Open(path, ReadWrite, 0, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(InChild(false,
                      [&] {
                          return static_cast<int>(OpenError(path, GENERIC_READ,
                                                            FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                            OPEN_EXISTING));
                      }),
              static_cast<int>(ERROR_SHARING_VIOLATION));
    CloseHandle(h);
    EXPECT_EQ(
        InChild(false,
                [&] { return static_cast<int>(OpenError(path, GENERIC_READ, 0, OPEN_EXISTING)); }),
        0);
}

TEST(Files, DeleteRefusesWhatWindowsRefuses) {
    TTempDir dir;
    const std::string readOnly = dir.Path("read-only");
    WriteWholeFile(readOnly, "keep me");
    ::chmod(readOnly.c_str(), 0444);
    EXPECT_FALSE(DeleteFileA(readOnly.c_str()));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(ReadWholeFile(readOnly), "keep me");
    // Writing to it is refused as well, even for root.
    EXPECT_EQ(OpenError(readOnly, GENERIC_WRITE, 0, OPEN_EXISTING), ERROR_ACCESS_DENIED);
    EXPECT_EQ(GetFileAttributesA(readOnly.c_str()), FILE_ATTRIBUTE_READONLY);

    const std::string open = dir.Path("open");
    HANDLE h = Open(open, ReadWrite, 0, CREATE_ALWAYS);
    EXPECT_FALSE(DeleteFileA(open.c_str()));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    CloseHandle(h);
    EXPECT_TRUE(DeleteFileA(open.c_str()));
    EXPECT_FALSE(Exists(open));

    EXPECT_FALSE(DeleteFileA(open.c_str()));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(DeleteFileA(dir.Path("nowhere/x").c_str()));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(DeleteFileA(dir.Dir().c_str()));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST(Files, PermissionDeniedForAnOrdinaryUser) {
    TTempDir dir;
    const std::string privateFile = dir.Path("private");
    WriteWholeFile(privateFile, "secret");
    ::chmod(privateFile.c_str(), 0600);
    const std::string lockedDir = dir.Path("locked-dir");
    ::mkdir(lockedDir.c_str(), 0755);
    const std::string inLockedDir = lockedDir + "/new.tmp";

    if (::geteuid() != 0) {
        // Not root: the current user is refused by these rights already, unless it owns them.
        ::chmod(privateFile.c_str(), 0);
        ::chmod(lockedDir.c_str(), 0555);
    }
    const int result = InChild(true, [&] {
        if (OpenError(privateFile, GENERIC_READ, 0, OPEN_EXISTING) != ERROR_ACCESS_DENIED) {
            return 1;
        }
        if (OpenError(inLockedDir, ReadWrite, 0, CREATE_ALWAYS) != ERROR_ACCESS_DENIED) {
            return 2;
        }
        return Exists(inLockedDir) ? 3 : 0;
    });
    EXPECT_EQ(result, 0);
}

TEST(Files, UnbufferedTransfersMustBeAligned) {
    TTempDir dir;
    const std::string path = dir.Path("direct");
    HANDLE h = Open(path, ReadWrite, 0, CREATE_ALWAYS, FILE_FLAG_NO_BUFFERING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    void* page = VirtualAlloc(nullptr, 8192, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    ASSERT_NE(page, nullptr);
    DWORD done = 0;
    EXPECT_FALSE(WriteFile(h, page, 10, &done, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(WriteFile(h, static_cast<char*>(page) + 1, 4096, &done, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(WriteFile(h, page, 4096, &done, nullptr));
    EXPECT_EQ(done, 4096u);
    CloseHandle(h);
    VirtualFree(page, 0, MEM_RELEASE);
}

TEST(Files, AttributesAndFinding) {
    TTempDir dir;
    const std::string file = dir.Path("one.tmp");
    WriteWholeFile(file, "12345");
    WriteWholeFile(dir.Path("two.tmp"), "");
    WriteWholeFile(dir.Path("other.txt"), "");
    EXPECT_EQ(GetFileAttributesA(file.c_str()), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(GetFileAttributesA(dir.Dir().c_str()), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributesA(dir.Path("none").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetFileAttributesA(dir.Path("none/x").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);

    WIN32_FIND_DATAA data{};
    HANDLE find = FindFirstFileA(file.c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(data.cFileName, "one.tmp");
    EXPECT_EQ(data.nFileSizeLow, 5u);
    EXPECT_FALSE(FindNextFileA(find, &data));
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
    EXPECT_TRUE(FindClose(find));

    std::vector<std::string> names;
    find = FindFirstFileA(dir.Path("*.tmp").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    do {
        names.emplace_back(data.cFileName);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"one.tmp", "two.tmp"}));

    EXPECT_EQ(FindFirstFileA(dir.Path("*.none").c_str(), &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(FindFirstFileA(dir.Path("gone").c_str(), &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(FindFirstFileA(dir.Path("gone/*").c_str(), &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST(Files, CompressionNeedsAFileSystemThatHasIt) {
    TTempDir dir;
    HANDLE h = Open(dir.Path("c"), ReadWrite, 0, CREATE_ALWAYS);
    WORD format = COMPRESSION_FORMAT_DEFAULT;
    DWORD returned = 0;
    const BOOL ok = DeviceIoControl(h, FSCTL_SET_COMPRESSION, &format, sizeof format, nullptr, 0,
                                    &returned, nullptr);
    // Wherever it is refused, it is refused with a code, and where it worked the attribute shows.
    if (ok) {
        EXPECT_NE(GetFileAttributesA(dir.Path("c").c_str()) & FILE_ATTRIBUTE_COMPRESSED, 0u);
    } else {
        EXPECT_NE(GetLastError(), ERROR_SUCCESS);
    }
    EXPECT_FALSE(
        DeviceIoControl(h, FSCTL_SET_COMPRESSION, &format, 1, nullptr, 0, &returned, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(DeviceIoControl(h, 0x12345, &format, 2, nullptr, 0, &returned, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_FUNCTION);
    CloseHandle(h);
}

} // namespace

namespace {

TEST(Files, CreatingNeverFollowsALinkAndIdentityNamesTheFile) {
    TTempDir dir;
    const std::string victim = dir.Path("victim");
    WriteWholeFile(victim, "precious");
    const std::string link = dir.Path("link.tmp");
    ASSERT_EQ(::symlink(victim.c_str(), link.c_str()), 0);
    for (DWORD disposition : {CREATE_ALWAYS, OPEN_ALWAYS, TRUNCATE_EXISTING, CREATE_NEW}) {
        SCOPED_TRACE(disposition);
        const DWORD code = OpenError(link, ReadWrite, 0, disposition);
        EXPECT_TRUE(code == ERROR_ACCESS_DENIED ||
                    (disposition == CREATE_NEW && code == ERROR_FILE_EXISTS))
            << code;
    }
    EXPECT_EQ(ReadWholeFile(victim), "precious");
    // Reading an existing file through a link still works, as on Windows.
    EXPECT_EQ(OpenError(link, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING), 0u);

    // Two handles on one file give the same identity; another file another one. A handle
    // that moves no data opens beside an exclusive one.
    HANDLE exclusive = Open(victim, ReadWrite, 0, OPEN_EXISTING);
    HANDLE probe =
        Open(victim, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING);
    ASSERT_NE(probe, INVALID_HANDLE_VALUE);
    BY_HANDLE_FILE_INFORMATION a{}, b{}, c{};
    ASSERT_TRUE(GetFileInformationByHandle(exclusive, &a));
    ASSERT_TRUE(GetFileInformationByHandle(probe, &b));
    EXPECT_EQ(a.nFileIndexLow, b.nFileIndexLow);
    EXPECT_EQ(a.nFileIndexHigh, b.nFileIndexHigh);
    EXPECT_EQ(a.dwVolumeSerialNumber, b.dwVolumeSerialNumber);
    EXPECT_EQ(a.nFileSizeLow, 8u);
    CloseHandle(probe);
    CloseHandle(exclusive);
    const std::string other = dir.Path("other");
    WriteWholeFile(other, "");
    HANDLE h = Open(other, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_TRUE(GetFileInformationByHandle(h, &c));
    CloseHandle(h);
    EXPECT_FALSE(c.nFileIndexLow == a.nFileIndexLow && c.nFileIndexHigh == a.nFileIndexHigh);
}

} // namespace
