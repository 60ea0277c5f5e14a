// Output formats and the description of the machine and file system.
#include "cli/Report.h"

#include "bench/Methods.h"
#include "bench/Scales.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <nlohmann/json.hpp>
#include <ostream>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/utsname.h>

namespace orvane::cli {

namespace {

const char* const ClockName = "std::chrono::steady_clock (CLOCK_MONOTONIC)";

std::string LocalIsoTime() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm fields{};
    ::localtime_r(&seconds, &fields);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &fields);
    std::string iso = text;
    iso.insert(iso.size() - 2, ":"); // +0100 -> +01:00
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

nlohmann::json RowJson(const char* pass, const TResultRow& row, const TRunInfo& info) {
    const std::string chunk = row.Caption.substr(3);
    return {
        {"pass", pass},
        {"chunk", chunk},
        {"chunk_bytes",
         ChunkSizes[static_cast<std::size_t>(*ScalePositionOfLabel(ChunkSizeLabels, chunk))]},
        {"block_bytes", BlockSizes[static_cast<std::size_t>(
                            *ScalePositionOfLabel(BlockSizeLabels, info.BlockSize))]},
        {"file_bytes",
         FileSizes[static_cast<std::size_t>(*ScalePositionOfLabel(FileSizeLabels, info.FileSize))]},
        {"duration_s", row.ElapsedSeconds},
        {"throughput_kib_per_s", row.KiBPerSecond}};
}

bool IsValidUtf8(const std::string& text) {
    try {
        (void)nlohmann::json(text).dump();
        return true;
    } catch (const nlohmann::json::type_error&) {
        return false;
    }
}

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char byte : bytes) {
        hex += digits[byte >> 4];
        hex += digits[byte & 15];
    }
    return hex;
}

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\n\r") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (char c : text) {
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    }
    return quoted + "\"";
}

} // namespace

TRunInfo DescribeRun(const TCliOptions& options, const std::string& directory) {
    TRunInfo info;
    info.Method = MethodOps(options.Method).CliName;
    info.FileSize = std::string(FileSizeLabels[static_cast<std::size_t>(options.FileSizePosition)]);
    info.BlockSize =
        std::string(BlockSizeLabels[static_cast<std::size_t>(options.BlockSizePosition)]);
    info.WriteBuffered = options.WriteBuffered;
    info.ReadBuffered = options.ReadBuffered;
    info.StartTime = LocalIsoTime();
    utsname system{};
    if (::uname(&system) == 0) {
        info.KernelRelease = system.release;
    }
    DescribeFileSystem(directory, info);
    info.Clock = ClockName;
    return info;
}

void WriteTable(std::ostream& out, const std::vector<TResultRow>& writeRows,
                const std::vector<TResultRow>& readRows) {
    const auto list = [&out](const char* title, const std::vector<TResultRow>& rows) {
        char line[128];
        out << title << "\n";
        std::snprintf(line, sizeof line, "%-10s %12s %17s\n", "Blocksize", "Duration (s)",
                      "Throughput (KB/s)");
        out << line;
        for (const TResultRow& row : rows) {
            std::snprintf(line, sizeof line, "%-10s %12s %17s\n", row.Caption.c_str(),
                          row.Duration.c_str(), row.Throughput.c_str());
            out << line;
        }
    };
    list("Write", writeRows);
    out << "\n";
    list("Read", readRows);
}

void WriteCsv(std::ostream& out, const TRunInfo& info, const std::vector<TResultRow>& writeRows,
              const std::vector<TResultRow>& readRows) {
    out << "pass,chunk,chunk_bytes,block_bytes,file_bytes,duration_s,throughput_kib_per_s,method,"
           "write_buffered,"
           "read_buffered,version,start_time,kernel_release,file_system,mount_point,block_device,"
           "clock\n";
    const auto rows = [&](const char* pass, const std::vector<TResultRow>& list) {
        for (const TResultRow& row : list) {
            const nlohmann::json r = RowJson(pass, row, info);
            char numbers[128];
            std::snprintf(numbers, sizeof numbers, "%.9f,%.2f", row.ElapsedSeconds,
                          static_cast<double>(row.KiBPerSecond));
            out << pass << "," << r["chunk"].get<std::string>() << "," << r["chunk_bytes"] << ","
                << r["block_bytes"] << "," << r["file_bytes"] << "," << numbers << ","
                << info.Method << "," << (info.WriteBuffered ? "true" : "false") << ","
                << (info.ReadBuffered ? "true" : "false") << "," << info.Version << ","
                << info.StartTime << "," << CsvField(info.KernelRelease) << ","
                << CsvField(info.FileSystem) << "," << CsvField(info.MountPoint) << ","
                << CsvField(info.BlockDevice) << "," << CsvField(info.Clock) << "\n";
        }
    };
    rows("write", writeRows);
    rows("read", readRows);
}

void WriteJson(std::ostream& out, const TRunInfo& info, const std::vector<TResultRow>& writeRows,
               const std::vector<TResultRow>& readRows) {
    nlohmann::json rows = nlohmann::json::array();
    for (const TResultRow& row : writeRows) {
        rows.push_back(RowJson("write", row, info));
    }
    for (const TResultRow& row : readRows) {
        rows.push_back(RowJson("read", row, info));
    }
    const nlohmann::json document = {
        {"program", "orvane-cli"},
        {"version", info.Version},
        {"method", info.Method},
        {"file_size", info.FileSize},
        {"block_size", info.BlockSize},
        {"write_buffered", info.WriteBuffered},
        {"read_buffered", info.ReadBuffered},
        {"start_time", info.StartTime},
        {"kernel_release", info.KernelRelease},
        {"file_system",
         {{"type", info.FileSystem},
          {"mount_point", info.MountPoint},
          {"block_device", info.BlockDevice}}},
        {"clock", info.Clock},
        {"test_file", info.TestFile},
        {"outcome", info.Outcome},
        {"rows", rows},
    };
    nlohmann::json complete = document;
    if (!IsValidUtf8(info.TestFile)) {
        // The name is shown with replacement characters; its bytes stay recoverable.
        complete["test_file_bytes_hex"] = Hex(info.TestFile);
    }
    out << complete.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
}

} // namespace orvane::cli
