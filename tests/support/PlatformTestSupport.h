// Helpers for the platform tests: a scratch directory, whole-file reads and writes, and
// running a check in a child process, optionally as the unprivileged "nobody" user.
#pragma once

#include "platform/Win32.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orvane::testing {

inline constexpr uid_t NobodyId = 65534;

inline constexpr DWORD ReadWrite = GENERIC_READ | GENERIC_WRITE;

// CreateFileA with the arguments the tests vary.
inline HANDLE Open(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                   DWORD flags = FILE_ATTRIBUTE_NORMAL) {
    return CreateFileA(path.c_str(), access, share, nullptr, disposition, flags, nullptr);
}

class TTempDir {
public:
    TTempDir() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/orvane-test-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            ADD_FAILURE() << "mkdtemp failed";
        }
        FPath = pattern;
        // Reachable by the unprivileged child of the permission tests.
        ::chmod(FPath.c_str(), 0755);
    }
    ~TTempDir() {
        std::error_code ignored;
        // Read-only files inside must not keep the tree alive.
        for (const auto& entry : std::filesystem::recursive_directory_iterator(FPath, ignored)) {
            ::chmod(entry.path().c_str(), entry.is_directory() ? 0755 : 0644);
        }
        std::filesystem::remove_all(FPath, ignored);
    }
    std::string Path(const std::string& name) const { return FPath + "/" + name; }
    const std::string& Dir() const { return FPath; }

private:
    std::string FPath;
};

inline void WriteWholeFile(const std::string& path, const std::string& contents) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << contents;
}

inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline bool Exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

// Runs `body` in a child process and returns what it returned (0 for success); 100 means
// the child could not drop its privileges, 200 that it died.
inline int InChild(bool asNobody, const std::function<int()>& body) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (asNobody && ::geteuid() == 0 && (::setgid(NobodyId) != 0 || ::setuid(NobodyId) != 0)) {
            ::_exit(100);
        }
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 200;
}

} // namespace orvane::testing
