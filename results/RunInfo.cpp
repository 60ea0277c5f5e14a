// Describing a run: the machine, the file system and the settings.
#include "results/RunInfo.h"

#include "bench/Methods.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/utsname.h>

namespace orvane::results {

namespace {

const char* const ClockName = "std::chrono::steady_clock (CLOCK_MONOTONIC)";

// With milliseconds, so that two runs of one window a moment apart are told apart.
std::string LocalIsoTime() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    std::tm fields{};
    ::localtime_r(&seconds, &fields);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &fields);
    char zone[8];
    std::strftime(zone, sizeof zone, "%z", &fields); // +0100
    char iso[64];
    std::snprintf(iso, sizeof iso, "%s.%03d%.3s:%s", text, static_cast<int>(milliseconds), zone,
                  zone + 3);
    return iso;
}

// mountinfo writes a blank, a tab, a line feed and a backslash in a path as octal escapes.
std::string DecodeMountField(const std::string& field) {
    std::string decoded;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() &&
            std::isdigit(static_cast<unsigned char>(field[i + 1])) != 0) {
            decoded += static_cast<char>(std::stoi(field.substr(i + 1, 3), nullptr, 8));
            i += 3;
        } else {
            decoded += field[i];
        }
    }
    return decoded;
}

// The mount that holds `directory`, from /proc/self/mountinfo, matched by device number
// and by the directory's real path (links resolved).
void DescribeFileSystem(const std::string& directory, TRunInfo& info) {
    struct stat where {};
    char* real = ::realpath(directory.c_str(), nullptr);
    if (real == nullptr) {
        return;
    }
    const std::string path = real;
    std::free(real);
    if (::stat(path.c_str(), &where) != 0) {
        return;
    }
    const std::string device =
        std::to_string(major(where.st_dev)) + ":" + std::to_string(minor(where.st_dev));
    std::ifstream mounts("/proc/self/mountinfo");
    std::string line;
    std::size_t best = 0;
    bool found = false;
    while (std::getline(mounts, line)) {
        std::istringstream fields(line);
        std::string id, parent, majorMinor, root, mountPoint;
        fields >> id >> parent >> majorMinor >> root >> mountPoint;
        if (majorMinor != device) {
            continue;
        }
        mountPoint = DecodeMountField(mountPoint);
        std::string field;
        while (fields >> field && field != "-") {
        }
        std::string type, source;
        fields >> type >> source;
        source = DecodeMountField(source);
        const bool under =
            path == mountPoint || mountPoint == "/" || path.rfind(mountPoint + "/", 0) == 0;
        // The longest mount point that the directory lies under is the one in force.
        if (under && (!found || mountPoint.size() >= best)) {
            found = true;
            best = mountPoint.size();
            info.MountPoint = mountPoint;
            info.FileSystem = type;
            info.BlockDevice = source.rfind("/dev/", 0) == 0 ? source : "";
        }
    }
}

} // namespace

TRunInfo DescribeRun(const TRunSettings& settings, const std::string& directory) {
    TRunInfo info;
    info.Method = MethodOps(settings.Method).CliName;
    info.FileSize =
        std::string(FileSizeLabels[static_cast<std::size_t>(settings.FileSizePosition)]);
    info.BlockSize =
        std::string(BlockSizeLabels[static_cast<std::size_t>(settings.BlockSizePosition)]);
    info.WriteBuffered = settings.WriteBuffered;
    info.ReadBuffered = settings.ReadBuffered;
    info.Mode = settings.Mode;
    info.StartTime = LocalIsoTime();
    utsname system{};
    if (::uname(&system) == 0) {
        info.KernelRelease = system.release;
    }
    DescribeFileSystem(directory, info);
    info.Clock = ClockName;
    return info;
}

bool SameRun(const TRunInfo& a, const TRunInfo& b) {
    return !a.StartTime.empty() && a.StartTime == b.StartTime && a.Program == b.Program &&
           a.Method == b.Method && a.FileSize == b.FileSize && a.BlockSize == b.BlockSize &&
           a.WriteBuffered == b.WriteBuffered && a.ReadBuffered == b.ReadBuffered &&
           a.Mode.Durable == b.Mode.Durable && a.Mode.Cold == b.Mode.Cold &&
           a.Mode.Repeats == b.Mode.Repeats;
}

const char* OutcomeName(TRunOutcome outcome) {
    switch (outcome) {
    case TRunOutcome::Completed:
        return "completed";
    case TRunOutcome::Stopped:
        return "stopped";
    default:
        return "failed";
    }
}

std::string RunLabel(const TRunInfo& info) {
    std::string label = info.Method;
    // The boxes are saved as ticked even where the method has no buffer to apply them to.
    const auto methods = Methods();
    const bool buffered = std::any_of(methods.begin(), methods.end(), [&](const auto* method) {
        return method->Buffered && info.Method == method->CliName;
    });
    if (buffered && (info.WriteBuffered || info.ReadBuffered)) {
        label += info.WriteBuffered && info.ReadBuffered ? " buffered W+R"
                 : info.WriteBuffered                    ? " buffered W"
                                                         : " buffered R";
    }
    label += ", block ";
    label += info.BlockSize;
    label += ", file ";
    label += info.FileSize;
    if (info.Mode.Durable) {
        label += ", durable";
    }
    if (info.Mode.Cold) {
        label += ", cold";
    }
    if (info.Mode.Repeats > 1) {
        label += ", median of " + std::to_string(info.Mode.Repeats);
    }
    if (info.Outcome == "stopped") {
        label += ", stopped";
    }
    // "2026-12-08T10:20:31+01:00" as "2026-12-08 10:20:31".
    std::string start = info.StartTime.substr(0, 19);
    std::replace(start.begin(), start.end(), 'T', ' ');
    if (!start.empty()) {
        label += ", ";
        label += start;
    }
    return label;
}

} // namespace orvane::results
