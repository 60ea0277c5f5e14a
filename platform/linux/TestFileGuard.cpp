// The test file's mark (an extended attribute holding the creating process and its start
// time) and its removal from a signal handler.
#include "platform/TestFileGuard.h"

#include "platform/OsCalls.h"
#include "platform/linux/FileObject.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace orvane::platform {

namespace {

// The process's start time in clock ticks since boot, which tells a live process from a
// later one that got the same number.
std::string StartTimeOf(int pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(in, line);
    const auto close = line.rfind(')');
    if (close == std::string::npos) {
        return {};
    }
    std::istringstream fields(line.substr(close + 2));
    std::string field;
    for (int n = 3; n <= 22 && fields >> field; ++n) {
        if (n == 22) {
            return field;
        }
    }
    return {};
}

std::string MarkValue() {
    const int pid = static_cast<int>(::getpid());
    return "pid=" + std::to_string(pid) + " start=" + StartTimeOf(pid);
}

// The mark of the file at `path` without following a link; empty when there is none.
std::string MarkOf(const std::string& path) {
    char value[128];
    const ssize_t length =
        OsCalls().lgetxattr(path.c_str(), TestFileMarkName, value, sizeof value - 1);
    return length > 0 ? std::string(value, static_cast<std::size_t>(length)) : std::string();
}

bool MarkedProcessRuns(const std::string& mark, int& pid) {
    char start[64] = {};
    if (std::sscanf(mark.c_str(), "pid=%d start=%63s", &pid, start) < 1 || pid <= 0) {
        return false;
    }
    const std::string now = StartTimeOf(pid);
    return !now.empty() && now == start;
}

DWORD VolumeOf(dev_t device) {
    const auto value = static_cast<std::uint64_t>(device);
    return static_cast<DWORD>(value ^ (value >> 32));
}

// What a signal handler may read: written only while disarmed.
char armedPath[4096] = {};
DWORD armedVolume = 0;
std::uint64_t armedIndex = 0;
volatile std::sig_atomic_t armed = 0;

} // namespace

bool MarkAsTestFile(HANDLE file) {
    const auto* object = Lookup<TFileObject>(file);
    if (object == nullptr) {
        return false;
    }
    const std::string value = MarkValue();
    return OsCalls().fsetxattr(object->fd, TestFileMarkName, value.data(), value.size(), 0) == 0;
}

std::vector<TMarkedFile> FindMarkedTestFiles(const std::string& directory) {
    std::vector<TMarkedFile> found;
    DIR* dir = OsCalls().opendir(directory.c_str());
    if (dir == nullptr) {
        return found;
    }
    while (const dirent* entry = OsCalls().readdir(dir)) {
        const std::string path = directory + "/" + entry->d_name;
        struct stat info {};
        if (OsCalls().lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
            continue;
        }
        const std::string mark = MarkOf(path);
        if (mark.empty()) {
            continue;
        }
        TMarkedFile file;
        file.Path = path;
        file.Size = static_cast<std::uint64_t>(info.st_size);
        file.InUse = MarkedProcessRuns(mark, file.Pid);
        found.push_back(file);
    }
    OsCalls().closedir(dir);
    return found;
}

std::string RemoveMarkedTestFile(const std::string& path) {
    struct stat info {};
    if (OsCalls().lstat(path.c_str(), &info) != 0) {
        return std::strerror(errno);
    }
    if (!S_ISREG(info.st_mode)) {
        return "not a regular file";
    }
    const std::string mark = MarkOf(path);
    if (mark.empty()) {
        return "not marked as an Orvane test file";
    }
    int pid = 0;
    if (MarkedProcessRuns(mark, pid)) {
        return "in use by a running Orvane (process " + std::to_string(pid) + ")";
    }
    if (OsCalls().unlink(path.c_str()) != 0) {
        return std::strerror(errno);
    }
    return {};
}

void ArmAbortRemoval(const std::string& path, DWORD volume, std::uint64_t index) {
    armed = 0;
    if (path.size() >= sizeof armedPath) {
        return; // too long to keep: the clean-up still removes it
    }
    std::memcpy(armedPath, path.c_str(), path.size() + 1);
    armedVolume = volume;
    armedIndex = index;
    armed = 1;
}

void DisarmAbortRemoval() {
    armed = 0;
}

// The seam is not used here: its fault injector takes a lock, which a handler must not.
void RemoveArmedFileNow() {
    if (armed == 0) {
        return;
    }
    struct stat info {};
    if (::lstat(armedPath, &info) == 0 && S_ISREG(info.st_mode) &&
        VolumeOf(info.st_dev) == armedVolume &&
        static_cast<std::uint64_t>(info.st_ino) == armedIndex) {
        ::unlink(armedPath);
    }
}

} // namespace orvane::platform
