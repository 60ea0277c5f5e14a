// Output formats and the description of the machine and file system.
#include "results/Report.h"

#include "bench/Methods.h"
#include "bench/Scales.h"
#include "results/Columns.h"

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
#include <utility>
#include <variant>

namespace orvane::results {

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

nlohmann::json RowJson(const TResultRow& row) {
    nlohmann::json object = nlohmann::json::object();
    for (const TColumn& column : RowColumns()) {
        std::visit(
            [&](const auto& value) {
                if constexpr (std::is_same_v<std::decay_t<decltype(value)>, std::monostate>) {
                    object[column.Name] = nullptr;
                } else {
                    object[column.Name] = value;
                }
            },
            column.Value(row));
    }
    return object;
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
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        hex += digits[byte >> 4];
        hex += digits[byte & 15];
    }
    return hex;
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

void WriteTable(std::ostream& out, const std::vector<TResultRow>& writeRows,
                const std::vector<TResultRow>& readRows) {
    const auto cell = [&out](const TColumn& column, const std::string& text, bool first) {
        char line[128];
        std::snprintf(line, sizeof line, "%s%*s", first ? "" : " ", column.Width, text.c_str());
        out << line;
    };
    const auto list = [&](const char* title, const std::vector<TResultRow>& rows) {
        out << title << "\n";
        bool first = true;
        for (const TColumn& column : RowColumns()) {
            if (column.Header != nullptr) {
                cell(column, column.Header, std::exchange(first, false));
            }
        }
        out << "\n";
        for (const TResultRow& row : rows) {
            first = true;
            for (const TColumn& column : RowColumns()) {
                if (column.Header != nullptr) {
                    cell(column, column.Text(row), std::exchange(first, false));
                }
            }
            out << "\n";
            if (const std::string note = InterruptionNote(row); !note.empty()) {
                out << "  " << note << "\n"; // under the row whose time it explains
            }
        }
    };
    list("Write", writeRows);
    out << "\n";
    list("Read", readRows);
}

void WriteCsv(std::ostream& out, const TRunInfo& info, const std::vector<TResultRow>& writeRows,
              const std::vector<TResultRow>& readRows) {
    for (const TColumn& column : RowColumns()) {
        out << column.Name << ",";
    }
    // The header record's fields are columns of every row, so that one line stands alone.
    out << "method,write_buffered,read_buffered,durable,cold,repeat,version,start_time,kernel_"
           "release,file_system,"
           "mount_point,block_device,clock\n";
    const std::string run =
        info.Method + "," + (info.WriteBuffered ? "true" : "false") + "," +
        (info.ReadBuffered ? "true" : "false") + "," + (info.Mode.Durable ? "true" : "false") +
        "," + (info.Mode.Cold ? "true" : "false") + "," + std::to_string(info.Mode.Repeats) + "," +
        info.Version + "," + info.StartTime + "," + CsvField(info.KernelRelease) + "," +
        CsvField(info.FileSystem) + "," + CsvField(info.MountPoint) + "," +
        CsvField(info.BlockDevice) + "," + CsvField(info.Clock);
    for (const std::vector<TResultRow>* list : {&writeRows, &readRows}) {
        for (const TResultRow& row : *list) {
            for (const TColumn& column : RowColumns()) {
                out << CsvText(column.Value(row), column.Decimals) << ",";
            }
            out << run << "\n";
        }
    }
}

void WriteJson(std::ostream& out, const TRunInfo& info, const std::vector<TResultRow>& writeRows,
               const std::vector<TResultRow>& readRows) {
    nlohmann::json rows = nlohmann::json::array();
    for (const std::vector<TResultRow>* list : {&writeRows, &readRows}) {
        for (const TResultRow& row : *list) {
            rows.push_back(RowJson(row));
        }
    }
    const nlohmann::json document = {
        {"program", info.Program},
        {"schema", ReportSchema},
        {"version", info.Version},
        {"method", info.Method},
        {"file_size", info.FileSize},
        {"block_size", info.BlockSize},
        {"write_buffered", info.WriteBuffered},
        {"read_buffered", info.ReadBuffered},
        {"durable", info.Mode.Durable},
        {"cold", info.Mode.Cold},
        {"repeat", info.Mode.Repeats},
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

} // namespace orvane::results
