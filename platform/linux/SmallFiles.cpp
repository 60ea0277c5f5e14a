// Bounded reads of /proc and /sys files through the seam.
#include "platform/linux/SmallFiles.h"

#include "platform/OsCalls.h"

#include <cerrno>
#include <fcntl.h>

namespace orvane::platform {

namespace {

// A sysfs attribute is one page at most.
constexpr std::size_t AttributeLimit = 4096;
constexpr std::size_t ReadStep = 16384;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

} // namespace

TDescriptor::TDescriptor(const std::string& path, int flags)
    : FFd(OsCalls().open(path.c_str(), flags | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0)) {
}

TDescriptor::~TDescriptor() {
    if (FFd >= 0) {
        OsCalls().close(FFd);
    }
}

std::string UnderRoot(const std::string& root, std::string_view path) {
    std::string joined = root;
    while (!joined.empty() && joined.back() == '/') {
        joined.pop_back();
    }
    if (path.empty() || path.front() != '/') {
        joined += '/';
    }
    joined += path;
    return joined;
}

std::optional<std::string> ReadSmallFile(const std::string& path, std::size_t limit, bool* cut) {
    if (cut != nullptr) {
        *cut = false;
    }
    const TDescriptor file(path, O_RDONLY);
    struct stat info {};
    // A FIFO or a device opens at once without blocking but is never read.
    if (file.Fd() < 0 || OsCalls().fstat(file.Fd(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    std::string text;
    // One byte past the limit tells whether there was more.
    while (text.size() <= limit) {
        const std::size_t start = text.size();
        text.resize(start + std::min(ReadStep, limit + 1 - start));
        const ssize_t got = OsCalls().read(file.Fd(), text.data() + start, text.size() - start);
        if (got < 0 && errno == EINTR) {
            text.resize(start);
            continue;
        }
        if (got < 0) {
            return std::nullopt;
        }
        text.resize(start + static_cast<std::size_t>(got));
        if (got == 0) {
            break;
        }
    }
    if (text.size() > limit) {
        text.resize(limit);
        if (cut != nullptr) {
            *cut = true;
        }
    }
    return text;
}

std::string ReadAttribute(const std::string& path) {
    const std::optional<std::string> text = ReadSmallFile(path, AttributeLimit);
    if (!text) {
        return {};
    }
    std::string line = text->substr(0, text->find('\n'));
    while (!line.empty() && IsBlank(line.back())) {
        line.pop_back();
    }
    std::size_t first = 0;
    while (first < line.size() && IsBlank(line[first])) {
        ++first;
    }
    return line.substr(first);
}

bool PathExists(const std::string& path) {
    struct stat info {};
    return OsCalls().stat(path.c_str(), &info) == 0;
}

std::vector<std::string> DirectoryNames(const std::string& path, std::size_t limit) {
    std::vector<std::string> names;
    DIR* dir = OsCalls().opendir(path.c_str());
    if (dir == nullptr) {
        return names;
    }
    while (names.size() < limit) {
        const dirent* entry = OsCalls().readdir(dir);
        if (entry == nullptr) {
            break;
        }
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    OsCalls().closedir(dir);
    return names;
}

} // namespace orvane::platform
