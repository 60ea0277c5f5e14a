// The row columns.
#include "cli/Columns.h"

#include <cstdio>

namespace orvane::cli {

namespace {

std::string Caption(const TResultRow& row) {
    return RowCaption(row);
}
std::string ShownDuration(const TResultRow& row) {
    return ShownRow(row, ".").Duration;
}
std::string ShownThroughput(const TResultRow& row) {
    return ShownRow(row, ".").Throughput;
}

const TColumn Columns[] = {
    {"pass",
     [](const TResultRow& r) -> TCell {
         return std::string(r.Pass == TResultList::Write ? "write" : "read");
     },
     0, nullptr, 0, nullptr},
    {"chunk", [](const TResultRow& r) -> TCell { return r.ChunkLabel; }, 0, "Blocksize", -10,
     Caption},
    {"chunk_bytes", [](const TResultRow& r) -> TCell { return std::uint64_t{r.ChunkBytes}; }, 0,
     nullptr, 0, nullptr},
    {"block_bytes", [](const TResultRow& r) -> TCell { return std::uint64_t{r.BlockBytes}; }, 0,
     nullptr, 0, nullptr},
    {"file_bytes", [](const TResultRow& r) -> TCell { return std::uint64_t{r.FileBytes}; }, 0,
     nullptr, 0, nullptr},
    {"duration_s", [](const TResultRow& r) -> TCell { return r.ElapsedSeconds(); }, 9,
     "Duration (s)", 12, ShownDuration},
    {"throughput_kib_per_s", [](const TResultRow& r) -> TCell { return r.KiBPerSecond(); }, 2,
     "Throughput (KB/s)", 17, ShownThroughput},
};

} // namespace

std::span<const TColumn> RowColumns() {
    return Columns;
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

std::string CsvText(const TCell& cell, int decimals) {
    if (const auto* text = std::get_if<std::string>(&cell)) {
        return CsvField(*text);
    }
    if (const auto* count = std::get_if<std::uint64_t>(&cell)) {
        return std::to_string(*count);
    }
    char number[64];
    std::snprintf(number, sizeof number, "%.*f", decimals, std::get<double>(cell));
    return number;
}

} // namespace orvane::cli
