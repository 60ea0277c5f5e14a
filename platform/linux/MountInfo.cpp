// The mount that holds a directory, from /proc/self/mountinfo.
#include "platform/SystemFacts.h"

#include "platform/OsCalls.h"
#include "platform/linux/SmallFiles.h"

#include <cstdlib>
#include <string_view>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace orvane::platform {

namespace {

// Room for thousands of mounts, as a container host has; a cut last line is dropped.
constexpr std::size_t MountInfoLimit = std::size_t{4} << 20;
// More fields than a mount line has (with its optional fields): not a mount line.
constexpr std::size_t FieldsPerLine = 64;

bool IsOctal(char c) {
    return c >= '0' && c <= '7';
}

// mountinfo writes a blank, a tab, a line feed and a backslash in a field as "\" and three
// octal digits.
std::string DecodeMountField(std::string_view field) {
    std::string decoded;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' &&
            field[i + 1] <= '3' && IsOctal(field[i + 2]) && IsOctal(field[i + 3])) {
            decoded += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                         (field[i + 3] - '0'));
            i += 3;
        } else {
            decoded += field[i];
        }
    }
    return decoded;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (start < line.size() && fields.size() < FieldsPerLine) {
        const std::size_t end = std::min(line.find(' ', start), line.size());
        if (end > start) {
            fields.push_back(line.substr(start, end - start));
        }
        start = end + 1;
    }
    return fields;
}

// One mountinfo line: id, parent, MAJ:MIN, root, mount point, options, optional fields,
// "-", type, source, super options. False for a line of another shape.
bool ParseMountLine(std::string_view line, TMountFacts& mount) {
    const std::vector<std::string_view> fields = SplitFields(line);
    std::size_t dash = 6;
    while (dash < fields.size() && fields[dash] != "-") {
        ++dash;
    }
    if (dash + 2 >= fields.size()) {
        return false;
    }
    mount.Device = std::string(fields[2]);
    mount.MountPoint = DecodeMountField(fields[4]);
    mount.Options = DecodeMountField(fields[5]);
    mount.FileSystem = DecodeMountField(fields[dash + 1]);
    mount.Source = DecodeMountField(fields[dash + 2]);
    mount.SuperOptions = dash + 3 < fields.size() ? DecodeMountField(fields[dash + 3]) : "";
    return !mount.MountPoint.empty() && mount.MountPoint.front() == '/';
}

bool LiesUnder(const std::string& path, const std::string& mountPoint) {
    return mountPoint == "/" || path == mountPoint ||
           (path.size() > mountPoint.size() &&
            path.compare(0, mountPoint.size(), mountPoint) == 0 && path[mountPoint.size()] == '/');
}

// The directory's real path, links resolved, as mount points are written.
std::string RealPath(const std::string& directory) {
    char* real = OsCalls().realpath(directory.c_str(), nullptr);
    if (real == nullptr) {
        return {};
    }
    std::string path = real;
    std::free(real);
    return path;
}

} // namespace

TMountFacts ReadMountFacts(const std::string& root, const std::string& directory) {
    const std::string path = RealPath(directory);
    struct stat where {};
    if (path.empty() || OsCalls().stat(path.c_str(), &where) != 0) {
        return {};
    }
    const std::string device =
        std::to_string(major(where.st_dev)) + ":" + std::to_string(minor(where.st_dev));
    bool cut = false;
    const std::optional<std::string> text =
        ReadSmallFile(UnderRoot(root, "/proc/self/mountinfo"), MountInfoLimit, &cut);
    if (!text) {
        return {};
    }
    std::string_view lines = *text;
    if (cut) {
        lines = lines.substr(0, lines.rfind('\n') + 1);
    }
    std::optional<TMountFacts> ofDevice, ofAny;
    std::size_t start = 0;
    while (start < lines.size()) {
        const std::size_t end = std::min(lines.find('\n', start), lines.size());
        TMountFacts mount;
        if (ParseMountLine(lines.substr(start, end - start), mount) &&
            LiesUnder(path, mount.MountPoint)) {
            // The longest mount point wins; of two on one point the later one, which is on top.
            std::optional<TMountFacts>& best = mount.Device == device ? ofDevice : ofAny;
            if (!best || mount.MountPoint.size() >= best->MountPoint.size()) {
                best = mount;
            }
        }
        start = end + 1;
    }
    return ofDevice ? *ofDevice : ofAny.value_or(TMountFacts{});
}

} // namespace orvane::platform
