// Saved runs read back from JSON or CSV.
#include "results/SavedRun.h"

#include "bench/Scales.h"
#include "platform/OsCalls.h"
#include "results/Cells.h"
#include "results/Columns.h"
#include "results/JsonCells.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace orvane::results {

namespace {

using nlohmann::json;
using platform::OsCalls;

const char* const RequiredInfo[] = {"program", "method", "file_size", "block_size"};

[[noreturn]] void Fail(const std::string& name, const std::string& what) {
    throw EResultsFile(name + ": " + what);
}

[[noreturn]] void FailField(const std::string& name, const std::string& field,
                            const std::string& why) {
    Fail(name, "the field \"" + field + "\" " + why);
}

// The file's bytes: a regular file only (a FIFO, a device or a folder is refused without
// waiting on it), and no more than a saved run can be.
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

TSavedRun ParseJson(std::string_view text, const std::string& name) {
    json document;
    try {
        document = json::parse(text);
    } catch (const json::parse_error& error) {
        Fail(name, "not JSON: it is damaged near byte " + std::to_string(error.byte));
    } catch (const json::exception&) {
        Fail(name, "not JSON that a run writes: it holds a number too large to read");
    }
    if (!document.is_object()) {
        Fail(name, "not a saved run (no object at the top)");
    }
    // Files from before the schema field have this layout too.
    if (const json* schema = FindDotted(document, "schema");
        schema != nullptr &&
        (!schema->is_number_unsigned() || schema->get<std::uint64_t>() > ReportSchema)) {
        FailField(name, "schema",
                  "is not one this version reads (up to " + std::to_string(ReportSchema) + ")");
    }
    TSavedRun run;
    run.File = name;
    run.Info = TRunInfo{};
    run.Info.Version.clear();
    for (const char* required : RequiredInfo) {
        if (FindDotted(document, required) == nullptr) {
            FailField(name, required, "is missing");
        }
    }
    for (const TInfoField& field : InfoFields()) {
        if (const json* value = FindDotted(document, field.Json)) {
            try {
                field.Read(run.Info, CellOfJson(*value, field.Kind));
            } catch (const EBadCell& error) {
                FailField(name, field.Json, std::string("is wrong: ") + error.what());
            }
        }
    }
    const json* rows = FindDotted(document, "rows");
    if (rows == nullptr || !rows->is_array()) {
        FailField(name, "rows", "is missing or not a list");
    }
    if (rows->size() > MaxSavedRows) {
        FailField(name, "rows", "holds more rows than any run makes");
    }
    for (std::size_t i = 0; i < rows->size(); ++i) {
        const std::string where = "rows[" + std::to_string(i) + "].";
        const json& object = (*rows)[i];
        if (!object.is_object()) {
            FailField(name, "rows[" + std::to_string(i) + "]", "is not a row");
        }
        TResultRow row = RowOfRun(run.Info);
        bool hasDuration = false;
        std::optional<double> throughput;
        for (const TColumn& column : RowColumns()) {
            const auto it = object.find(column.Name);
            if (it == object.end()) {
                continue;
            }
            try {
                const TCell cell = CellOfJson(*it, column.Kind);
                if (column.Read != nullptr) {
                    column.Read(row, cell);
                    hasDuration = hasDuration || std::strcmp(column.Name, "duration_s") == 0;
                } else if (std::strcmp(column.Name, "throughput_kib_per_s") == 0) {
                    if (const auto* value = std::get_if<double>(&cell)) {
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
        CheckRow(row, object.contains("pass"), name, where);
        run.Rows.push_back(std::move(row));
    }
    return run;
}

TSavedRun ParseCsv(std::string_view text, const std::string& name) {
    std::vector<std::vector<std::string>> records;
    try {
        records = results::ParseCsv(text);
    } catch (const EBadCell& error) {
        Fail(name, std::string("not CSV that a run writes: ") + error.what());
    }
    if (records.empty() || records[0].empty() || records[0][0] != "pass") {
        Fail(name, "not a saved run: neither JSON nor the CSV this program writes");
    }
    if (records.size() - 1 > MaxSavedRows) {
        Fail(name, "it holds more rows than any run makes");
    }
    const std::vector<std::string>& header = records[0];
    std::map<std::string, std::size_t> at;
    for (std::size_t i = 0; i < header.size(); ++i) {
        at.emplace(header[i], i);
    }
    TSavedRun run;
    run.File = name;
    run.Info.Version.clear();
    for (std::size_t r = 1; r < records.size(); ++r) {
        const std::vector<std::string>& record = records[r];
        const std::string where = "record " + std::to_string(r + 1) + ", ";
        if (record.size() != header.size()) {
            Fail(name, where.substr(0, where.size() - 2) + " has " + std::to_string(record.size()) +
                           " fields where the header has " + std::to_string(header.size()));
        }
        if (r == 1) {
            for (const TInfoField& field : InfoFields()) {
                const auto it = field.Csv != nullptr ? at.find(field.Csv) : at.end();
                if (it == at.end()) {
                    continue;
                }
                try {
                    field.Read(run.Info, CellFromText(record[it->second], field.Kind));
                } catch (const EBadCell& error) {
                    FailField(name, where + field.Csv, std::string("is wrong: ") + error.what());
                }
            }
        }
        TResultRow row;
        bool hasDuration = false;
        std::optional<double> throughput;
        for (const TColumn& column : RowColumns()) {
            const auto it = at.find(column.Name);
            if (it == at.end()) {
                continue;
            }
            try {
                const TCell cell = CellFromText(record[it->second], column.Kind);
                if (column.Read != nullptr) {
                    column.Read(row, cell);
                    hasDuration = hasDuration || std::strcmp(column.Name, "duration_s") == 0;
                } else if (std::strcmp(column.Name, "throughput_kib_per_s") == 0) {
                    if (const auto* value = std::get_if<double>(&cell)) {
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
        CheckRow(row, true, name, where);
        if (run.Info.FileSize.empty()) {
            const auto p = std::find(FileSizes.begin(), FileSizes.end(), row.FileBytes);
            const auto b = std::find(BlockSizes.begin(), BlockSizes.end(), row.BlockBytes);
            run.Info.FileSize = FileSizeLabels[static_cast<std::size_t>(p - FileSizes.begin())];
            if (b != BlockSizes.end()) {
                run.Info.BlockSize =
                    BlockSizeLabels[static_cast<std::size_t>(b - BlockSizes.begin())];
            }
        }
        run.Rows.push_back(std::move(row));
    }
    if (run.Info.Method.empty()) {
        FailField(name, "method", "is missing");
    }
    return run;
}

} // namespace

TSavedRun ParseSavedRun(std::string_view text, const std::string& name) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first != std::string_view::npos && (text[first] == '{' || text[first] == '[')) {
        return ParseJson(text, name);
    }
    return ParseCsv(text, name);
}

TSavedRun LoadSavedRun(const std::string& path) {
    return ParseSavedRun(ReadResultsFile(path), path);
}

std::vector<TResultRow> RowsOf(const TSavedRun& run, TResultList pass) {
    std::vector<TResultRow> rows;
    std::copy_if(run.Rows.begin(), run.Rows.end(), std::back_inserter(rows),
                 [&](const TResultRow& row) { return row.Pass == pass; });
    return rows;
}

std::optional<TRepeatRange> RepeatRange(const TResultRow& row) {
    if (row.DurationSamples.size() < 2 || row.FileBytes == 0) {
        return std::nullopt;
    }
    const auto [fastest, slowest] =
        std::minmax_element(row.DurationSamples.begin(), row.DurationSamples.end());
    if (*fastest <= 0) {
        return std::nullopt;
    }
    const double kib = static_cast<double>(row.FileBytes) / 1024.0;
    return TRepeatRange{kib / *slowest, kib / *fastest};
}

} // namespace orvane::results
