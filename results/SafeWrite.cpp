// Whole-file writes through the system-call seam, with the link rules of a shared directory.
#include "results/SafeWrite.h"

#include "bench/TestFile.h"
#include "platform/OsCalls.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvane::results {

namespace {

using platform::OsCalls;

constexpr int MaxLinks = 40; // as the kernel's own limit on a path's links
constexpr int TemporaryNameTries = 100;

const char* const NotFollowedText =
    " is a link that another user put in a shared directory (sticky and writable by everyone); "
    "it is not followed";

std::string SystemText(int err) {
    return std::strerror(err);
}

std::string Where(int err, const std::string& path) {
    return SystemText(err) + " (" + path + ")";
}

std::deque<std::string> Components(const std::string& path) {
    std::deque<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t slash = path.find('/', start);
        const std::size_t end = slash == std::string::npos ? path.size() : slash;
        if (end > start) {
            parts.push_back(path.substr(start, end - start));
        }
        if (slash == std::string::npos) {
            break;
        }
        start = slash + 1;
    }
    return parts;
}

int WriteAll(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = OsCalls().write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (n == 0) {
            return ENOSPC;
        }
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

mode_t Umask() {
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

// A name no other writer picks at the same time; the exclusive create makes sure of it.
std::string TemporaryName(const std::string& directory, const std::string& base) {
    static std::atomic<unsigned> counter{0};
    const auto now = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, "%x-%llx-%x", static_cast<unsigned>(::getpid()),
                  now & 0xFFFFFFFFFFull, counter.fetch_add(1));
    return directory + (directory == "/" ? "" : "/") + ".orvane-" + base.substr(0, 100) + "-" +
           suffix;
}

// Removes the temporary file only while its name still stands for the file made here.
void RemoveOurs(const std::string& path, const struct stat& made) {
    struct stat now {};
    if (OsCalls().lstat(path.c_str(), &now) == 0 && now.st_dev == made.st_dev &&
        now.st_ino == made.st_ino) {
        OsCalls().unlink(path.c_str());
    }
}

std::string BaseName(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

std::string WriteInPlace(const TWriteTarget& target, std::string_view bytes) {
    const int fd = OsCalls().open(target.Path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY, 0);
    if (fd < 0) {
        return SystemText(errno);
    }
    const int err = WriteAll(fd, bytes);
    const int closed = OsCalls().close(fd) == 0 ? 0 : errno;
    return err != 0 ? SystemText(err) : closed != 0 ? SystemText(closed) : "";
}

// Puts the finished temporary file at its name, never replacing anything with CreateNew.
int Place(const std::string& temporary, const std::string& path, TPlacement placement) {
    if (placement == TPlacement::Replace) {
        return OsCalls().rename(temporary.c_str(), path.c_str()) == 0 ? 0 : errno;
    }
    if (OsCalls().renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, path.c_str(),
                            RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
    // File systems without the flag: a hard link fails on a taken name as well.
    if (OsCalls().link(temporary.c_str(), path.c_str()) != 0) {
        return errno;
    }
    OsCalls().unlink(temporary.c_str());
    return 0;
}

// The directory's entry is on the device too, so that the new name survives a power cut.
int FlushDirectory(const std::string& directory) {
    const int fd = OsCalls().open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd < 0) {
        return errno;
    }
    int err = OsCalls().fsync(fd) == 0 ? 0 : errno;
    if (err == EINVAL) {
        err = 0; // a file system that has nothing to flush for a directory
    }
    OsCalls().close(fd);
    return err;
}

} // namespace

std::string CurrentDirectory() {
    char buffer[PATH_MAX];
    if (OsCalls().getcwd(buffer, sizeof buffer) == nullptr) {
        return {};
    }
    return buffer;
}

std::string AbsoluteAgainst(const std::string& path, const std::string& directory) {
    if (path.empty() || path[0] == '/' || directory.empty()) {
        return path;
    }
    return directory + (directory.back() == '/' ? "" : "/") + path;
}

TWriteTarget ResolveWriteTarget(const std::string& path) {
    TWriteTarget target;
    if (path.empty()) {
        target.Problem = "no file name";
        return target;
    }
    std::deque<std::string> rest = Components(AbsoluteAgainst(path, CurrentDirectory()));
    std::string resolved; // empty: the root
    int links = 0;
    while (!rest.empty()) {
        const std::string part = rest.front();
        rest.pop_front();
        if (part == ".") {
            continue;
        }
        if (part == "..") {
            resolved.erase(resolved.empty() ? 0 : resolved.rfind('/'));
            continue;
        }
        std::string candidate = resolved;
        candidate.append("/").append(part);
        struct stat info {};
        if (OsCalls().lstat(candidate.c_str(), &info) != 0) {
            if (errno == ENOENT && rest.empty()) {
                target.Path = candidate; // a new file
                return target;
            }
            target.Problem = Where(errno, candidate);
            return target;
        }
        if (S_ISLNK(info.st_mode)) {
            const std::string directory = resolved.empty() ? "/" : resolved;
            struct stat home {};
            if (++links > MaxLinks || OsCalls().stat(directory.c_str(), &home) != 0) {
                target.Problem = Where(links > MaxLinks ? ELOOP : errno, candidate);
                return target;
            }
            if ((home.st_mode & S_ISVTX) != 0 && (home.st_mode & S_IWOTH) != 0 &&
                info.st_uid != ::geteuid() && info.st_uid != home.st_uid) {
                target.Problem = candidate + NotFollowedText;
                return target;
            }
            char link[PATH_MAX];
            const ssize_t length = OsCalls().readlink(candidate.c_str(), link, sizeof link);
            if (length < 0 || static_cast<std::size_t>(length) >= sizeof link) {
                target.Problem = Where(length < 0 ? errno : ENAMETOOLONG, candidate);
                return target;
            }
            const std::string to(link, static_cast<std::size_t>(length));
            if (to.empty() || (to[0] != '/' && resolved.rfind("/proc/", 0) == 0)) {
                // /dev/stdout and its kin: a pipe or a terminal that only the kernel can name.
                struct stat special {};
                if (!rest.empty() || OsCalls().stat(candidate.c_str(), &special) != 0) {
                    target.Problem = Where(rest.empty() ? errno : ENOTDIR, candidate);
                    return target;
                }
                target.Path = candidate;
                target.Exists = true;
                target.Regular = S_ISREG(special.st_mode);
                target.Mode = special.st_mode;
                target.Device = special.st_dev;
                target.Inode = special.st_ino;
                if (target.Regular) {
                    target.Problem = candidate + ": a file without a name can't be replaced whole";
                }
                return target;
            }
            if (to[0] == '/') {
                resolved.clear();
            }
            const std::deque<std::string> inserted = Components(to);
            rest.insert(rest.begin(), inserted.begin(), inserted.end());
            continue;
        }
        if (!rest.empty() && !S_ISDIR(info.st_mode)) {
            target.Problem = Where(ENOTDIR, candidate);
            return target;
        }
        resolved = candidate;
        if (rest.empty()) {
            target.Exists = true;
            target.Regular = S_ISREG(info.st_mode);
            target.Mode = info.st_mode;
            target.Device = info.st_dev;
            target.Inode = info.st_ino;
        }
    }
    target.Path = resolved.empty() ? "/" : resolved;
    if (!target.Exists || S_ISDIR(target.Mode)) {
        target.Problem = "it is a directory";
    }
    return target;
}

std::string WriteTargetProblem(const std::string& path) {
    const TWriteTarget target = ResolveWriteTarget(path);
    if (!target.Problem.empty()) {
        return target.Problem;
    }
    if (target.Exists && OsCalls().access(target.Path.c_str(), W_OK) != 0) {
        return SystemText(errno);
    }
    if (target.Exists && !target.Regular) {
        return {};
    }
    const std::string directory = DirectoryOf(target.Path);
    if (OsCalls().access(directory.c_str(), W_OK | X_OK) != 0) {
        return Where(errno, directory);
    }
    return {};
}

bool SameFile(const std::string& a, const std::string& b) {
    const TWriteTarget first = ResolveWriteTarget(a);
    const TWriteTarget second = ResolveWriteTarget(b);
    if (!first.Path.empty() && first.Path == second.Path) {
        return true;
    }
    return first.Exists && second.Exists && first.Device == second.Device &&
           first.Inode == second.Inode;
}

TWriteOutcome WriteWholeFile(const std::string& path, std::string_view bytes, TPlacement placement,
                             mode_t newMode) {
    struct stat there {};
    if (placement == TPlacement::CreateNew && OsCalls().lstat(path.c_str(), &there) == 0) {
        return {SystemText(EEXIST), true}; // a link at the name takes it too, even dangling
    }
    const TWriteTarget target = ResolveWriteTarget(path);
    if (!target.Problem.empty()) {
        return {target.Problem};
    }
    if (target.Exists && placement == TPlacement::CreateNew) {
        return {SystemText(EEXIST), true};
    }
    if (target.Exists && !target.Regular) {
        return {WriteInPlace(target, bytes)};
    }
    if (target.Exists && OsCalls().access(target.Path.c_str(), W_OK) != 0) {
        return {SystemText(errno)}; // a file the user keeps from writing is not replaced
    }
    const std::string directory = DirectoryOf(target.Path);
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < TemporaryNameTries && fd < 0; ++attempt) {
        temporary = TemporaryName(directory, BaseName(target.Path));
        fd = OsCalls().open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                            0600);
        if (fd < 0 && errno != EEXIST) {
            return {Where(errno, directory)};
        }
    }
    if (fd < 0) {
        return {Where(EEXIST, directory)};
    }
    struct stat made {};
    if (OsCalls().fstat(fd, &made) != 0) {
        // Made exclusively a moment ago: the name is still ours to remove.
        const int err = errno;
        OsCalls().close(fd);
        OsCalls().unlink(temporary.c_str());
        return {SystemText(err)};
    }
    int err = 0;
    const mode_t mode = target.Exists ? (target.Mode & 07777) : (newMode & ~Umask() & 07777);
    if (err == 0 && OsCalls().fchmod(fd, mode) != 0) {
        err = errno;
    }
    if (err == 0) {
        err = WriteAll(fd, bytes);
    }
    if (err == 0 && OsCalls().fsync(fd) != 0) {
        err = errno;
    }
    if (OsCalls().close(fd) != 0 && err == 0) {
        err = errno;
    }
    if (err == 0) {
        err = Place(temporary, target.Path, placement);
    }
    if (err != 0) {
        RemoveOurs(temporary, made);
        return {SystemText(err), err == EEXIST && placement == TPlacement::CreateNew};
    }
    if (const int flushed = FlushDirectory(directory); flushed != 0) {
        return {"written, but its directory could not be flushed to the device: " +
                SystemText(flushed)};
    }
    return {};
}

std::string MakeFolders(const std::string& path, mode_t mode) {
    std::string partial;
    for (const std::string& part : Components(path)) {
        partial += "/" + part;
        if (OsCalls().mkdir(partial.c_str(), mode) != 0 && errno != EEXIST) {
            return Where(errno, partial);
        }
    }
    return {};
}

} // namespace orvane::results
