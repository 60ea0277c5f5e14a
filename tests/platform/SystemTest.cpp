// Paths, free space, memory, system messages, clocks, file times and events.
#include "platform/Win32.h"
#include "tests/support/PlatformTestSupport.h"

#include <gtest/gtest.h>
#include <sys/statvfs.h>
#include <thread>

namespace {

using orvane::testing::TTempDir;

std::string CurrentDirectory() {
    char buffer[4096];
    const DWORD length = GetCurrentDirectoryA(sizeof buffer, buffer);
    return std::string(buffer, length);
}

TEST(System, FullPathNamesAndTheCurrentDirectory) {
    TTempDir dir;
    TTempDir home; // a known start: the directory the tests began in may be gone by now
    ASSERT_TRUE(SetCurrentDirectoryA(home.Dir().c_str()));
    const std::string before = CurrentDirectory();
    EXPECT_EQ(before, home.Dir());
    ASSERT_TRUE(SetCurrentDirectoryA(dir.Dir().c_str()));
    EXPECT_EQ(CurrentDirectory(), dir.Dir());

    struct Case {
        const char* name;
        std::string full;
        const char* filePart; // nullptr: none
    };
    const Case cases[] = {
        {"a.tmp", dir.Dir() + "/a.tmp", "a.tmp"},
        {"./sub/../b.tmp", dir.Dir() + "/b.tmp", "b.tmp"},
        {"/x/./y//z.tmp", "/x/y/z.tmp", "z.tmp"},
        {"/../..", "/", nullptr},
        {"/x/y/", "/x/y/", nullptr},
    };
    for (const Case& c : cases) {
        char buffer[4096];
        char* filePart = nullptr;
        const DWORD length = GetFullPathNameA(c.name, sizeof buffer, buffer, &filePart);
        EXPECT_EQ(std::string(buffer, length), c.full) << c.name;
        if (c.filePart == nullptr) {
            EXPECT_EQ(filePart, nullptr) << c.name;
        } else {
            ASSERT_NE(filePart, nullptr) << c.name;
            EXPECT_STREQ(filePart, c.filePart);
        }
    }
    // Too small a buffer: the size needed, with the NUL.
    char tiny[4];
    EXPECT_EQ(GetFullPathNameA("/abcdef", sizeof tiny, tiny, nullptr), 8u);

    EXPECT_FALSE(SetCurrentDirectoryA(dir.Path("missing").c_str()));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    ASSERT_TRUE(SetCurrentDirectoryA(before.c_str()));
}

TEST(System, FreeSpaceIsWhatTheCallerMayUse) {
    TTempDir dir;
    struct statvfs info {};
    ASSERT_EQ(::statvfs(dir.Dir().c_str(), &info), 0);
    ULARGE_INTEGER available{}, total{}, free{};
    ASSERT_TRUE(GetDiskFreeSpaceExA(dir.Dir().c_str(), &available, &total, &free));
    EXPECT_EQ(total.QuadPart, ULONGLONG{info.f_blocks} * info.f_frsize);
    EXPECT_LE(available.QuadPart, free.QuadPart);
    // Free space moves while the test runs; a megabyte either way is the same disk.
    const double expected = static_cast<double>(info.f_bavail) * static_cast<double>(info.f_frsize);
    EXPECT_NEAR(static_cast<double>(available.QuadPart), expected, 1 << 20);
    EXPECT_FALSE(GetDiskFreeSpaceExA(dir.Path("missing").c_str(), &available, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST(System, PageMemoryIsAlignedZeroedAndReleasedOnce) {
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    ASSERT_GT(info.dwPageSize, 0u);
    auto* memory = static_cast<unsigned char*>(
        VirtualAlloc(nullptr, 10000, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(memory, nullptr);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(memory) % info.dwPageSize, 0u);
    for (int i = 0; i < 10000; i += 997) {
        EXPECT_EQ(memory[i], 0) << i;
    }
    memory[9999] = 1; // the whole size is usable
    if (VirtualLock(memory, 10000)) {
        EXPECT_TRUE(VirtualUnlock(memory, 10000));
    } else {
        EXPECT_EQ(GetLastError(), ERROR_WORKING_SET_QUOTA);
    }
    EXPECT_FALSE(VirtualFree(memory + 1, 0, MEM_RELEASE));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_ADDRESS);
    EXPECT_TRUE(VirtualFree(memory, 0, MEM_RELEASE));
    EXPECT_FALSE(VirtualFree(memory, 0, MEM_RELEASE));
    EXPECT_EQ(VirtualAlloc(nullptr, 0, MEM_COMMIT, PAGE_READWRITE), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

std::string Message(DWORD code) {
    char buffer[512];
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                                            FORMAT_MESSAGE_ARGUMENT_ARRAY,
                                        nullptr, code, 0, buffer, 256, nullptr);
    return std::string(buffer, length);
}

TEST(System, GermanSystemMessages) {
    EXPECT_EQ(Message(2), "Das System kann die angegebene Datei nicht finden.\r\n");
    EXPECT_EQ(Message(3), "Das System kann den angegebenen Pfad nicht finden.\r\n");
    EXPECT_EQ(Message(5), "Zugriff verweigert\r\n");
    EXPECT_EQ(Message(32),
              "Der Prozess kann nicht auf die Datei zugreifen, da sie von einem anderen "
              "Prozess verwendet wird.\r\n");
    EXPECT_EQ(Message(112),
              "Auf dem Datentr\xC3\xA4ger ist nicht gen\xC3\xBCgend Speicherplatz vorhanden.\r\n");
    EXPECT_EQ(Message(87), "Falscher Parameter.\r\n");
    EXPECT_EQ(Message(99999), "Unbekannter Fehler (Code 99999).\r\n");
    // Every code the platform's error table can produce has a text of its own.
    for (DWORD code :
         {1u,   4u,   6u,   8u,   14u,  17u,  19u,  21u,  31u,  33u,  50u,   80u,   109u,  120u,
          122u, 123u, 131u, 145u, 170u, 183u, 206u, 223u, 487u, 995u, 1117u, 1453u, 1460u, 1920u}) {
        EXPECT_EQ(Message(code).find("Unbekannter"), std::string::npos) << code;
    }
    char small[8];
    EXPECT_EQ(
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 2, 0, small, sizeof small, nullptr),
        0u);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    char* allocated = nullptr;
    EXPECT_GT(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr,
                             5, 0, reinterpret_cast<LPSTR>(&allocated), 0, nullptr),
              0u);
    EXPECT_STREQ(allocated, "Zugriff verweigert\r\n");
    LocalFree(allocated);
}

TEST(System, FileTimeConversions) {
    const SYSTEMTIME moment{2024, 3, 0, 5, 14, 7, 9, 42};
    FILETIME utc{};
    ASSERT_TRUE(SystemTimeToFileTime(&moment, &utc));
    SYSTEMTIME back{};
    ASSERT_TRUE(FileTimeToSystemTime(&utc, &back));
    EXPECT_EQ(back.wYear, 2024);
    EXPECT_EQ(back.wDayOfWeek, 2); // a Tuesday
    EXPECT_EQ(back.wMinute, 7);
    EXPECT_EQ(back.wMilliseconds, 42);

    // The DOS form keeps two-second steps and years from 1980 to 2107.
    WORD date = 0, time = 0;
    ASSERT_TRUE(FileTimeToDosDateTime(&utc, &date, &time));
    EXPECT_EQ(date, (2024 - 1980) << 9 | 3 << 5 | 5);
    EXPECT_EQ(time, 14 << 11 | 7 << 5 | 4);
    FILETIME dos{};
    ASSERT_TRUE(DosDateTimeToFileTime(date, time, &dos));
    ASSERT_TRUE(FileTimeToSystemTime(&dos, &back));
    EXPECT_EQ(back.wSecond, 8);
    const SYSTEMTIME tooEarly{1979, 12, 0, 31, 0, 0, 0, 0};
    ASSERT_TRUE(SystemTimeToFileTime(&tooEarly, &utc));
    EXPECT_FALSE(FileTimeToDosDateTime(&utc, &date, &time));
    const SYSTEMTIME april31{2024, 4, 0, 31, 0, 0, 0, 0};
    EXPECT_FALSE(SystemTimeToFileTime(&april31, &utc));

    // Local and back is the identity, whatever the zone.
    ASSERT_TRUE(SystemTimeToFileTime(&moment, &utc));
    FILETIME local{}, again{};
    ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &local));
    ASSERT_TRUE(LocalFileTimeToFileTime(&local, &again));
    EXPECT_EQ(again.dwLowDateTime, utc.dwLowDateTime);
    EXPECT_EQ(again.dwHighDateTime, utc.dwHighDateTime);
}

TEST(System, SetFileTimeSetsTheLastWriteTime) {
    TTempDir dir;
    const std::string path = dir.Path("dated");
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    const SYSTEMTIME moment{2001, 9, 0, 8, 12, 0, 0, 0};
    FILETIME written{};
    ASSERT_TRUE(SystemTimeToFileTime(&moment, &written));
    ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &written));
    CloseHandle(h);
    WIN32_FIND_DATAA data{};
    HANDLE find = FindFirstFileA(path.c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    FindClose(find);
    EXPECT_EQ(data.ftLastWriteTime.dwLowDateTime, written.dwLowDateTime);
    EXPECT_EQ(data.ftLastWriteTime.dwHighDateTime, written.dwHighDateTime);
}

TEST(System, EventsEndWaitsFromAnotherThread) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    const ULONGLONG start = GetTickCount64();
    std::thread setter([event] {
        Sleep(30);
        SetEvent(event);
    });
    EXPECT_EQ(WaitForSingleObject(event, 10000), WAIT_OBJECT_0);
    setter.join();
    EXPECT_GE(GetTickCount64() - start, 29u);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0); // manual reset: stays set
    ResetEvent(event);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

    HANDLE automatic = CreateEventA(nullptr, FALSE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_TIMEOUT); // taken by the first wait
    CloseHandle(automatic);
}

TEST(System, LocalTimeAgreesWithTheSystemClock) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    const time_t seconds = ::time(nullptr);
    std::tm fields{};
    ::localtime_r(&seconds, &fields);
    EXPECT_EQ(now.wYear, fields.tm_year + 1900);
    EXPECT_EQ(now.wMonth, fields.tm_mon + 1);
    EXPECT_LT(now.wMilliseconds, 1000);
    const DWORD ticks = GetTickCount();
    EXPECT_LT(static_cast<DWORD>(GetTickCount64()) - ticks, 1000u); // the same clock, 32 bits of it
}

} // namespace
