// Saved results read back: the file, the run's fields, a row.
#include "results/ReadBack.h"

#include "bench/Scales.h"
#include "platform/OsCalls.h"
#include "results/Cells.h"
#include "results/Columns.h"
#include "results/JsonCells.h"
#include "results/SavedRun.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace orvane::results {

namespace {

using nlohmann::json;
using platform::OsCalls;

// What a row holds before its own fields are read: the run's file and block sizes, which
// rows of older layouts leave out.
TResultRow RowOfRun(const TRunInfo& info) {
    TResultRow row;
    if (const auto p = ScalePositionOfLabel(FileSizeLabels, info.FileSize)) {
        row.FileBytes = static_cast<std::uint32_t>(FileSizes[static_cast<std::size_t>(*p)]);
    }
    if (const auto p = ScalePositionOfLabel(BlockSizeLabels, info.BlockSize)) {
        row.BlockBytes = static_cast<std::uint32_t>(BlockSizes[static_cast<std::size_t>(*p)]);
    }
    return row;
}

// Rows of the layout before the duration was saved give their throughput instead.
void DurationFromThroughput(TResultRow& row, std::optional<double> kibPerSecond,
                            const std::string& name, const std::string& where) {
    if (!kibPerSecond) {
        FailField(name, where + "duration_s", "is missing, and no throughput stands for it");
    }
    if (*kibPerSecond > 0 && row.FileBytes > 0) {
        const double seconds = static_cast<double>(row.FileBytes) / 1024.0 / *kibPerSecond;
        row.End = row.Start + std::chrono::nanoseconds(std::llround(seconds * 1e9));
    }
}

void CheckRow(const TResultRow& row, bool hasPass, const std::string& name,
              const std::string& where) {
    if (!hasPass) {
        FailField(name, where + "pass", "is missing");
    }
    if (row.ChunkBytes == 0) {
        FailField(name, where + "chunk", "is missing");
    }
    if (row.FileBytes == 0) {
        FailField(name, where + "file_bytes", "is missing, and the run names no file size");
    }
}

// Every column found by `cellOf` read into `row`, which it checks; `cellOf` gives none for a
// column the row lacks.
template <typename CellOf>
TResultRow ReadRow(TResultRow row, bool hasPass, CellOf&& cellOf, const std::string& name,
                   const std::string& where) {
    bool hasDuration = false;
    std::optional<double> throughput;
    for (const TColumn& column : RowColumns()) {
        try {
            const std::optional<TCell> cell = cellOf(column);
            if (!cell) {
                continue;
            }
            if (column.Read != nullptr) {
                column.Read(row, *cell);
                hasDuration = hasDuration || std::strcmp(column.Name, "duration_s") == 0;
            } else if (std::strcmp(column.Name, "throughput_kib_per_s") == 0) {
                if (const auto* value = std::get_if<double>(&*cell)) {
                    throughput = *value;
                }
            }
        } catch (const EBadCell& error) {
            FailField(name, where + column.Name, std::string("is wrong: ") + error.what());
        }
    }
    if (!hasDuration) {
        DurationFromThroughput(row, throughput, name, where);
    }
    CheckRow(row, hasPass, name, where);
    return row;
}

} // namespace

void Fail(const std::string& name, const std::string& what) {
    throw EResultsFile(name + ": " + what);
}

void FailField(const std::string& name, const std::string& field, const std::string& why) {
    Fail(name, "the field \"" + field + "\" " + why);
}

std::string ReadResultsFile(const std::string& path) {
    const int fd = OsCalls().open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0);
    if (fd < 0) {
        Fail(path, std::string("the file can't be read: ") + std::strerror(errno));
    }
    struct TCloser {
        int fd;
        ~TCloser() { OsCalls().close(fd); }
    } closer{fd};
    struct stat info {};
    if (OsCalls().fstat(fd, &info) != 0) {
        Fail(path, std::string("the file can't be read: ") + std::strerror(errno));
    }
    if (!S_ISREG(info.st_mode)) {
        Fail(path, S_ISDIR(info.st_mode) ? "it is a folder, not a saved run"
                                         : "it is not a regular file, so not a saved run");
    }
    if (static_cast<std::uint64_t>(info.st_size) > MaxSavedRunBytes) {
        Fail(path, "at " + DecimalText(static_cast<double>(info.st_size) / 1048576, 1) +
                       " MiB it is larger than any saved run (" +
                       std::to_string(MaxSavedRunBytes >> 20) + " MiB at most)");
    }
    std::string bytes;
    char buffer[65536];
    while (bytes.size() <= MaxSavedRunBytes) {
        const ssize_t n = OsCalls().read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            Fail(path, std::string("the file can't be read: ") + std::strerror(errno));
        }
        if (n == 0) {
            return bytes;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    Fail(path, "it grew past the size of any saved run while it was read");
}

void ReadInfoJson(const json& document, TRunInfo& info, const std::string& name, bool matrix) {
    for (const TInfoField& field : InfoFields()) {
        if (matrix && field.RunOnly) {
            continue;
        }
        if (const json* value = FindDotted(document, field.Json)) {
            try {
                field.Read(info, CellOfJson(*value, field.Kind));
            } catch (const EBadCell& error) {
                FailField(name, field.Json, std::string("is wrong: ") + error.what());
            }
        }
    }
}

TCsvColumns CsvColumns(const std::vector<std::string>& header) {
    TCsvColumns at;
    for (std::size_t i = 0; i < header.size(); ++i) {
        at.emplace(header[i], i);
    }
    return at;
}

void ReadInfoCsv(const std::vector<std::string>& record, const TCsvColumns& at, TRunInfo& info,
                 const std::string& name, const std::string& where, bool matrix) {
    for (const TInfoField& field : InfoFields()) {
        const auto it = field.Csv != nullptr ? at.find(field.Csv) : at.end();
        if (it == at.end() || (matrix && field.RunOnly)) {
            continue;
        }
        try {
            field.Read(info, CellFromText(record[it->second], field.Kind));
        } catch (const EBadCell& error) {
            FailField(name, where + field.Csv, std::string("is wrong: ") + error.what());
        }
    }
}

TResultRow ReadRowJson(const json& object, const TRunInfo& info, const std::string& name,
                       const std::string& where) {
    return ReadRow(
        RowOfRun(info), object.contains("pass"),
        [&](const TColumn& column) -> std::optional<TCell> {
            const auto it = object.find(column.Name);
            if (it == object.end()) {
                return std::nullopt;
            }
            return CellOfJson(*it, column.Kind);
        },
        name, where);
}

TResultRow ReadRowCsv(const std::vector<std::string>& record, const TCsvColumns& at,
                      const std::string& name, const std::string& where) {
    return ReadRow(
        TResultRow{}, true,
        [&](const TColumn& column) -> std::optional<TCell> {
            const auto it = at.find(column.Name);
            if (it == at.end()) {
                return std::nullopt;
            }
            return CellFromText(record[it->second], column.Kind);
        },
        name, where);
}

} // namespace orvane::results
