// Reading the small text files of /proc and /sys, or of a scratch tree standing in for them:
// bounded in size, never through a link in the last component, never waiting on a special
// file, every call through the seam.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::platform {

// A descriptor opened through the seam, closed when it goes. Never through a link in the
// last component, never waiting on a special file put in a file's place.
class TDescriptor {
public:
    TDescriptor(const std::string& path, int flags);
    ~TDescriptor();
    TDescriptor(const TDescriptor&) = delete;
    TDescriptor& operator=(const TDescriptor&) = delete;
    int Fd() const { return FFd; }

private:
    int FFd;
};

// `path` ("/proc/meminfo") below `root` ("/" or a scratch tree).
std::string UnderRoot(const std::string& root, std::string_view path);

// At most `limit` bytes of a regular file; none when it is missing, something else than a
// regular file, or unreadable. `cut` tells whether there was more.
std::optional<std::string> ReadSmallFile(const std::string& path, std::size_t limit,
                                         bool* cut = nullptr);

// A one-line attribute (sysfs, /proc/sys): its first line without surrounding blanks; empty
// when it can't be read.
std::string ReadAttribute(const std::string& path);

// Whether something is at `path`, links followed.
bool PathExists(const std::string& path);

// The names in a directory without "." and "..", at most `limit` of them.
std::vector<std::string> DirectoryNames(const std::string& path, std::size_t limit);

} // namespace orvane::platform
