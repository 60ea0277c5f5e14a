// Keeping runs in the history folder.
#include "results/History.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace orvane::results {

namespace {

// Makes each missing folder of `path`, private to the user.
std::string MakeFolders(const std::string& path) {
    std::string partial;
    std::size_t start = 0;
    while (start < path.size()) {
        const std::size_t slash = path.find('/', start + 1);
        partial = path.substr(0, slash);
        if (!partial.empty() && ::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
            return partial + ": " + std::strerror(errno);
        }
        if (slash == std::string::npos) {
            break;
        }
        start = slash;
    }
    return {};
}

} // namespace

std::string HistoryDirectory() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data != nullptr && data[0] == '/') {
        return std::string(data) + "/orvane/runs";
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') {
        return std::string(home) + "/.local/share/orvane/runs";
    }
    return {};
}

std::string HistoryFileName(const TRunInfo& info) {
    std::string name = info.StartTime;
    for (char& c : name) {
        if (c == ':') {
            c = '-';
        }
    }
    name += "_" + info.Method + "_" + info.FileSize + "_b" + info.BlockSize;
    name += info.WriteBuffered ? "_wb" : "";
    name += info.ReadBuffered ? "_rb" : "";
    name += info.Mode.Durable ? "_durable" : "";
    name += info.Mode.Cold ? "_cold" : "";
    name += info.Mode.Repeats > 1 ? "_x" + std::to_string(info.Mode.Repeats) : "";
    return name;
}

THistoryResult SaveToHistory(const TRunInfo& info, const std::vector<TResultRow>& writeRows,
                             const std::vector<TResultRow>& readRows) {
    const std::string folder = HistoryDirectory();
    if (folder.empty()) {
        return {{}, "neither XDG_DATA_HOME nor HOME names a folder for it"};
    }
    if (std::string problem = MakeFolders(folder); !problem.empty()) {
        return {{}, problem};
    }
    std::ostringstream text;
    WriteJson(text, info, writeRows, readRows);
    const std::string report = text.str();
    // Two runs that started in the same second each keep a file of their own.
    const std::string base = folder + "/" + HistoryFileName(info);
    for (int n = 1; n < 100; ++n) {
        const std::string path = base + (n == 1 ? "" : "-" + std::to_string(n)) + ".json";
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST) {
            continue;
        }
        if (fd < 0) {
            return {{}, path + ": " + std::strerror(errno)};
        }
        const ssize_t written = ::write(fd, report.data(), report.size());
        const int err =
            written == static_cast<ssize_t>(report.size()) ? 0 : (written < 0 ? errno : ENOSPC);
        if (::close(fd) != 0 || err != 0) {
            std::string why = path;
            why += ": ";
            why += std::strerror(err != 0 ? err : errno);
            ::unlink(path.c_str());
            return {{}, why};
        }
        return {path, {}};
    }
    return {{}, base + ": too many runs with this start time"};
}

} // namespace orvane::results
