// The test file's lock (an open file description lock over the whole file), its mark (an
// extended attribute holding the creating process and its start time), the leftovers found
// and removed by them, and the removal of the armed file from a signal handler.
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

// "d" stands for a digit; everything else must be there as it is.
constexpr std::string_view ProposedNameForm = "dd-dd-dd_dd-dd-dd-ddd.tmp";

const char* const NotRegularText = "not a regular file";
const char* const NotMarkedText = "not marked as an Orvane test file";
const char* const InUseText = "in use by a running Orvane";
const char* const UnknownHolderText =
    "it can't be told whether a running Orvane holds it (the file system takes no locks)";
const char* const ReplacedText = "something else was put in its place while it was checked";

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

struct flock WholeFile(short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0; // to the end, however far the file grows
    return lock;
}

// What a file found in a directory turned out to be.
struct TRecognition {
    bool Recognised = false;
    std::string Mark; // empty where it was recognised by its name
};

// By its mark, or where the file system keeps no marks at all, by a proposed name. Never
// follows a link.
TRecognition Recognise(const std::string& path, std::string_view name) {
    char value[128];
    const ssize_t length =
        OsCalls().lgetxattr(path.c_str(), TestFileMarkName, value, sizeof value - 1);
    if (length > 0) {
        return {true, std::string(value, static_cast<std::size_t>(length))};
    }
    const bool noMarks = length < 0 && (errno == EOPNOTSUPP || errno == ENOTSUP);
    return {noMarks && HasProposedNameForm(name), {}};
}

int PidOfMark(const std::string& mark) {
    int pid = 0;
    return std::sscanf(mark.c_str(), "pid=%d", &pid) == 1 && pid > 0 ? pid : 0;
}

// The mark's process runs in this pid namespace: the same number with the same start time.
bool MarkedProcessRuns(const std::string& mark) {
    int pid = 0;
    char start[64] = {};
    if (std::sscanf(mark.c_str(), "pid=%d start=%63s", &pid, start) < 2 || pid <= 0) {
        return false;
    }
    const std::string now = StartTimeOf(pid);
    return !now.empty() && now == start;
}

// The file `seen` describes, opened to ask for its lock: never through a link, never waiting
// on a special file put at the name since. -1 with errno when it can't be.
int OpenSeenFile(const std::string& path, const struct stat& seen) {
    const int fd =
        OsCalls().open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    struct stat now {};
    if (OsCalls().fstat(fd, &now) != 0 || now.st_dev != seen.st_dev || now.st_ino != seen.st_ino) {
        OsCalls().close(fd);
        errno = ESTALE;
        return -1;
    }
    return fd;
}

// Why the recognised file open at `fd` is not a leftover; empty when it is one. A live run
// holds its lock; a run of a version without the lock, or on a file system without locks,
// is told by its mark's process, which only counts within this pid namespace.
std::string WhyNotLeftover(int fd, const std::string& mark) {
    struct flock lock = WholeFile(F_WRLCK); // placeable only where no run holds its lock
    const bool asked = OsCalls().fcntl_lock(fd, F_OFD_GETLK, &lock) == 0;
    const int pid = PidOfMark(mark);
    const std::string process =
        pid > 0 ? " (process " + std::to_string(pid) + ", as its mark says)" : std::string();
    if ((asked && lock.l_type != F_UNLCK) || MarkedProcessRuns(mark)) {
        return InUseText + process;
    }
    if (!asked && mark.empty()) {
        return UnknownHolderText; // recognised by its name alone: nothing tells it is over
    }
    return {};
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

TTestFileMark MarkAsTestFile(HANDLE file) {
    TTestFileMark result;
    const auto* object = Lookup<TFileObject>(file);
    if (object == nullptr) {
        result.MarkError = EBADF;
        return result;
    }
    // The handle moves no data, so it is open for reading: a read lock is what it can take.
    struct flock lock = WholeFile(F_RDLCK);
    result.Locked = OsCalls().fcntl_lock(object->fd, F_OFD_SETLK, &lock) == 0;
    const std::string value = MarkValue();
    if (OsCalls().fsetxattr(object->fd, TestFileMarkName, value.data(), value.size(), 0) != 0) {
        result.MarkError = errno != 0 ? errno : EIO;
    }
    return result;
}

bool HasProposedNameForm(std::string_view name) {
    if (name.size() != ProposedNameForm.size()) {
        return false;
    }
    for (std::size_t i = 0; i < name.size(); ++i) {
        const bool digit = name[i] >= '0' && name[i] <= '9';
        if (ProposedNameForm[i] == 'd' ? !digit : name[i] != ProposedNameForm[i]) {
            return false;
        }
    }
    return true;
}

TMarkedFiles FindMarkedTestFiles(const std::string& directory) {
    TMarkedFiles found;
    DIR* dir = OsCalls().opendir(directory.c_str());
    if (dir == nullptr) {
        found.Error = errno;
        return found;
    }
    for (;;) {
        errno = 0;
        const dirent* entry = OsCalls().readdir(dir);
        if (entry == nullptr) {
            found.Error = errno; // 0 at the end of the listing
            break;
        }
        const std::string path = directory + "/" + entry->d_name;
        struct stat info {};
        if (OsCalls().lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
            continue;
        }
        const TRecognition recognition = Recognise(path, entry->d_name);
        if (!recognition.Recognised) {
            continue;
        }
        TMarkedFile file;
        file.Path = path;
        file.Size = static_cast<std::uint64_t>(info.st_size);
        file.Pid = PidOfMark(recognition.Mark);
        const int fd = OpenSeenFile(path, info);
        // What can't be looked at is not called a leftover.
        file.InUse = fd < 0 || !WhyNotLeftover(fd, recognition.Mark).empty();
        if (fd >= 0) {
            OsCalls().close(fd);
        }
        found.Files.push_back(file);
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
        return NotRegularText;
    }
    const auto slash = path.find_last_of('/');
    const TRecognition recognition =
        Recognise(path, slash == std::string::npos ? path : path.substr(slash + 1));
    if (!recognition.Recognised) {
        return NotMarkedText;
    }
    const int fd = OpenSeenFile(path, info);
    if (fd < 0) {
        return std::string("it can't be checked: ") + std::strerror(errno);
    }
    std::string problem = WhyNotLeftover(fd, recognition.Mark);
    if (problem.empty()) {
        // Removed by its name only while the name still leads to the file checked.
        struct stat now {};
        if (OsCalls().lstat(path.c_str(), &now) != 0 || now.st_dev != info.st_dev ||
            now.st_ino != info.st_ino) {
            problem = ReplacedText;
        } else if (OsCalls().unlink(path.c_str()) != 0) {
            problem = std::strerror(errno);
        }
    }
    OsCalls().close(fd);
    return problem;
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
