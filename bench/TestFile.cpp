// Naming, finding and deleting the test file through the platform calls.
#include "bench/TestFile.h"

#include "bench/Clock.h"
#include "platform/Win32.h"

#include <cstdio>
#include <vector>

namespace orvane {

std::string DefaultTestFileName(double now) {
    const TDateTimeFields t = DecodeDateTime(now);
    char text[40];
    std::snprintf(text, sizeof text, "%02d-%02u-%02u_%02u-%02u-%02u-%03u.tmp", t.Year % 100,
                  t.Month, t.Day, t.Hour, t.Minute, t.Second, t.Millisecond);
    return text;
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

bool PathExists(const std::string& path) {
    // Attributes are read without following a link, so a dangling one counts too.
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES ||
           (GetLastError() != ERROR_FILE_NOT_FOUND && GetLastError() != ERROR_PATH_NOT_FOUND);
}

std::optional<TFileIdentity> IdentityOf(const std::string& path) {
    // A handle that moves no data and shares everything stands beside any other open.
    HANDLE handle =
        CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const BOOL ok = GetFileInformationByHandle(handle, &info);
    CloseHandle(handle);
    if (!ok) {
        return std::nullopt;
    }
    return TFileIdentity{info.dwVolumeSerialNumber,
                         (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

void TCreatedFile::Capture() {
    FCreated = true;
    FIdentity = IdentityOf(FName);
}

void TCreatedFile::DeleteIfStillOurs() noexcept {
    // DeleteFileA removes a link itself, never what it points to.
    if (FCreated && (!FIdentity.has_value() || IdentityOf(FName) == FIdentity)) {
        DeleteFileA(FName.c_str());
    }
}

} // namespace orvane
