// Safe delivery of the report.
#include "cli/Output.h"

#include "bench/TestFile.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <ostream>
#include <sys/stat.h>
#include <unistd.h>

namespace orvane::cli {

namespace {

std::string SystemText(int err) {
    return std::strerror(err);
}

// Writes all of `text` to `fd`; 0 or the errno of the failure.
int WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

// The file a name finally stands for: a link to a file is followed, so that the file it
// points to gets the report and the link stays.
std::string FinalPath(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            std::string result = real;
            std::free(real);
            return result;
        }
    }
    return path;
}

mode_t NewFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

std::string OutputProblem(const std::string& path) {
    const std::string target = FinalPath(path);
    struct stat info {};
    if (::stat(target.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            return "it is a directory";
        }
        if (!S_ISREG(info.st_mode)) {
            return ::access(target.c_str(), W_OK) == 0 ? "" : SystemText(errno);
        }
    }
    const std::string directory = DirectoryOf(target);
    if (::access(directory.c_str(), W_OK | X_OK) != 0) {
        return SystemText(errno) + " (" + directory + ")";
    }
    return {};
}

bool SameFile(const std::string& a, const std::string& b) {
    if (FullPathName(a) == FullPathName(b)) {
        return true;
    }
    struct stat first {
    }, second{};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

std::string WriteOutputFile(const std::string& path, const std::string& text) {
    const std::string target = FinalPath(path);
    struct stat info {};
    const bool exists = ::stat(target.c_str(), &info) == 0;
    if (exists && !S_ISREG(info.st_mode)) {
        // /dev/stdout, a pipe, a terminal: written in place, never replaced.
        const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (fd < 0) {
            return SystemText(errno);
        }
        const int err = WriteAll(fd, text);
        const int closed = ::close(fd) == 0 ? 0 : errno;
        return err != 0 ? SystemText(err) : closed != 0 ? SystemText(closed) : "";
    }
    std::string temporary = target + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        return SystemText(errno) + " (" + DirectoryOf(target) + ")";
    }
    int err = ::fchmod(fd, exists ? (info.st_mode & 07777) : NewFileMode()) == 0 ? 0 : errno;
    if (err == 0) {
        err = WriteAll(fd, text);
    }
    if (err == 0 && ::fsync(fd) != 0) {
        err = errno;
    }
    if (::close(fd) != 0 && err == 0) {
        err = errno;
    }
    if (err == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) {
        err = errno;
    }
    if (err != 0) {
        ::unlink(temporary.c_str());
        return SystemText(err);
    }
    return {};
}

std::string WriteOutputStream(std::ostream& out, const std::string& text) {
    out << text;
    out.flush();
    return out ? "" : "standard output can't be written (closed, or its disk is full)";
}

} // namespace orvane::cli
