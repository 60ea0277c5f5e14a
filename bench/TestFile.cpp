// Naming, creating, checking and deleting the test file through the platform calls.
#include "bench/TestFile.h"

#include "bench/Clock.h"
#include "fileio/Exception.h"
#include "fileio/KoHugeF.h"
#include "platform/Measuring.h"
#include "platform/TestFileGuard.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <vector>

namespace orvane {

namespace {

constexpr double MillisecondsPerDay = 86400000.0;
constexpr int NameAttempts = 1000;

std::optional<TFileIdentity> IdentityOfHandle(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info)) {
        return std::nullopt;
    }
    return TFileIdentity{info.dwVolumeSerialNumber,
                         (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

} // namespace

std::string DefaultTestFileName(double now) {
    const TDateTimeFields t = DecodeDateTime(now);
    char text[40];
    std::snprintf(text, sizeof text, "%02d-%02u-%02u_%02u-%02u-%02u-%03u.tmp", t.Year % 100,
                  t.Month, t.Day, t.Hour, t.Minute, t.Second, t.Millisecond);
    return text;
}

std::string UniqueDefaultTestFileName(double now, const std::string& directory) {
    const double start = std::round(now * MillisecondsPerDay);
    std::string name = DefaultTestFileName(now);
    for (int k = 0; k < NameAttempts; ++k) {
        name = DefaultTestFileName((start + k) / MillisecondsPerDay);
        std::string path = directory;
        path += "/";
        path += name;
        if (CheckTestFileName(path).State != TNameState::Taken) {
            break;
        }
    }
    return name;
}

std::string FullPathName(const std::string& name) {
    std::vector<char> buffer(MAX_PATH);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD length = GetFullPathNameA(name.c_str(), static_cast<DWORD>(buffer.size()),
                                              buffer.data(), nullptr);
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            return std::string(buffer.data(), length);
        }
        buffer.resize(length);
    }
    return {};
}

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

TNameCheck CheckTestFileName(const std::string& path) {
    // Attributes are read without following a link, so a dangling one counts too.
    if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return {TNameState::Taken, 0};
    }
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
        return {TNameState::Free, 0};
    }
    return {TNameState::Unusable, error};
}

std::string ExistingFileText(const std::string& fileName) {
    return "\"" + fileName +
           "\" already exists.\rThe benchmark only uses a new file that it creates and deletes "
           "itself; please choose a name that is not taken.";
}

std::string UnusableNameText(const std::string& fileName, DWORD error) {
    return "\"" + fileName + "\" can't be used as the test file: " + SystemErrorText(error);
}

std::string UnmarkedTestFileText(const std::string& directory, int error) {
    const std::string head = "The test file in \"" + directory +
                             "\" can't be marked as Orvane's (" + platform::ErrnoText(error) + ")";
    if (error == EOPNOTSUPP || error == ENOTSUP) {
        return head + ": this file system keeps no marks, so a test file left behind by a killed "
                      "run is recognised here only by a name Orvane proposes "
                      "(yy-mm-dd_hh-nn-ss-zzz.tmp), never by a name chosen for it.";
    }
    return head + ", so a test file left behind if this run is killed won't be recognised.";
}

std::optional<TFileIdentity> IdentityOf(const std::string& path) {
    // A handle that moves no data and shares everything stands beside any other open.
    HANDLE handle =
        CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    const std::optional<TFileIdentity> identity = IdentityOfHandle(handle);
    CloseHandle(handle);
    return identity;
}

TCreatedFile::~TCreatedFile() {
    platform::DisarmAbortRemoval();
    if (FHandle != INVALID_HANDLE_VALUE) {
        CloseHandle(FHandle);
    }
}

void TCreatedFile::Create() {
    FHandle = CreateFileA(FName.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (FHandle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) {
            throw ETestFileTaken(ExistingFileText(FName));
        }
        return; // the layer's open meets the same obstacle and names it in its words
    }
    Hold();
}

void TCreatedFile::Hold() {
    std::optional<TFileIdentity> identity = IdentityOfHandle(FHandle);
    if (!identity) {
        identity = IdentityOfHandle(FHandle); // a look-up that failed once gets a second chance
    }
    if (!identity) {
        const DWORD error = GetLastError();
        CloseHandle(FHandle);
        FHandle = INVALID_HANDLE_VALUE;
        throw Exception("The test file \"" + FName +
                        "\" could not be checked and is left behind: " + SystemErrorText(error));
    }
    FIdentity = *identity;
    FMark = platform::MarkAsTestFile(FHandle);
    platform::ArmAbortRemoval(FName, FIdentity.volume, FIdentity.index);
}

void TCreatedFile::Verify() {
    if (FHandle == INVALID_HANDLE_VALUE) {
        // The new file could not be made a moment ago (a passing fault), yet the layer's
        // own open has just made it: it is this iteration's file after all.
        FHandle =
            CreateFileA(FName.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (FHandle == INVALID_HANDLE_VALUE) {
            throw ETestFileReplaced("\"" + FName +
                                    "\" can't be opened again: " + SystemErrorText(GetLastError()));
        }
        Hold();
    }
    const std::optional<TFileIdentity> now = IdentityOf(FName);
    // What stands at the name now shows as a missing file, a refused link or a directory,
    // or another identity; any other failure is the open's own.
    if (const DWORD error = GetLastError(); !now && error != ERROR_FILE_NOT_FOUND &&
                                            error != ERROR_PATH_NOT_FOUND &&
                                            error != ERROR_ACCESS_DENIED) {
        throw Exception("The test file \"" + FName +
                        "\" could not be opened again to check that it is still the run's own: " +
                        SystemErrorText(error) + " (" + std::to_string(error) + ")");
    }
    if (now != FIdentity) {
        throw ETestFileReplaced(
            "\"" + FName +
            "\" is no longer the test file this run created: something else was put in its "
            "place (a link, another file or a special file). The run stops and leaves it alone");
    }
}

std::string TCreatedFile::Release() noexcept {
    if (FHandle == INVALID_HANDLE_VALUE) {
        return {};
    }
    std::string left;
    try {
        std::optional<TFileIdentity> now = IdentityOf(FName);
        DWORD error = GetLastError();
        if (!now && error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
            if (error == ERROR_TOO_MANY_OPEN_FILES) {
                // The held handle makes room: the identity to compare with is kept as numbers.
                CloseHandle(FHandle);
                FHandle = INVALID_HANDLE_VALUE;
            }
            now = IdentityOf(FName); // a look-up that failed once gets a second chance
            error = GetLastError();
        }
        // DeleteFileA removes a link itself, never what it points to.
        if (now == FIdentity && !DeleteFileA(FName.c_str())) {
            left = "The test file \"" + FName +
                   "\" could not be deleted and is left behind: " + SystemErrorText(GetLastError());
        } else if (!now && error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND &&
                   error != ERROR_ACCESS_DENIED) {
            left = "The test file \"" + FName +
                   "\" could not be checked and is left behind: " + SystemErrorText(error);
        }
    } catch (const std::exception& error) {
        left = "The test file \"" + FName + "\" may be left behind: " + error.what();
    }
    platform::DisarmAbortRemoval();
    if (FHandle != INVALID_HANDLE_VALUE) {
        CloseHandle(FHandle);
        FHandle = INVALID_HANDLE_VALUE;
    }
    return left;
}

} // namespace orvane
