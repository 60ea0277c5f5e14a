// The row columns.
#include "results/Columns.h"

#include <algorithm>
#include <cstdio>

namespace orvane::results {

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

template <typename T> TCell Optional(const std::optional<T>& value) {
    if (value) {
        return *value;
    }
    return std::monostate{};
}

std::vector<double> Samples(const TResultRow& r) {
    return r.DurationSamples.empty() ? std::vector<double>{r.ElapsedSeconds()} : r.DurationSamples;
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
    {"duration_min_s",
     [](const TResultRow& r) -> TCell {
         const std::vector<double> all = Samples(r);
         return *std::min_element(all.begin(), all.end());
     },
     9, nullptr, 0, nullptr},
    {"duration_max_s",
     [](const TResultRow& r) -> TCell {
         const std::vector<double> all = Samples(r);
         return *std::max_element(all.begin(), all.end());
     },
     9, nullptr, 0, nullptr},
    {"duration_samples_s", [](const TResultRow& r) -> TCell { return Samples(r); }, 9, nullptr, 0,
     nullptr},
    {"device_bytes", [](const TResultRow& r) -> TCell { return Optional(r.Proof.DeviceBytes); }, 0,
     "Device", 20, DeviceText},
    {"cached_bytes_at_start",
     [](const TResultRow& r) -> TCell { return Optional(r.Proof.CachedBytesAtStart); }, 0, nullptr,
     0, nullptr},
    {"cpu_user_s", [](const TResultRow& r) -> TCell { return Optional(r.Proof.CpuUserSeconds); }, 6,
     nullptr, 0, nullptr},
    {"cpu_sys_s", [](const TResultRow& r) -> TCell { return Optional(r.Proof.CpuSystemSeconds); },
     6, nullptr, 0, nullptr},
    {"voluntary_switches",
     [](const TResultRow& r) -> TCell { return Optional(r.Proof.VoluntarySwitches); }, 0, nullptr,
     0, nullptr},
    {"involuntary_switches",
     [](const TResultRow& r) -> TCell { return Optional(r.Proof.InvoluntarySwitches); }, 0, nullptr,
     0, nullptr},
};

} // namespace

std::string FormatBytes(std::uint64_t bytes) {
    char text[64];
    if (bytes < 1024) {
        std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
    } else if (bytes < 1024ull * 1024) {
        std::snprintf(text, sizeof text, "%.0f KiB", static_cast<double>(bytes) / 1024);
    } else if (bytes < 1024ull * 1024 * 1024) {
        std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / 1048576);
    } else {
        std::snprintf(text, sizeof text, "%.1f GiB", static_cast<double>(bytes) / 1073741824);
    }
    return text;
}

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

std::string DeviceText(const TResultRow& row) {
    if (!row.Proof.DeviceBytes) {
        return "n/a";
    }
    const std::uint64_t bytes = *row.Proof.DeviceBytes;
    return FormatBytes(bytes) + (bytes * 2 < row.FileBytes ? " (cache)" : "");
}

std::string CsvText(const TCell& cell, int decimals) {
    if (const auto* text = std::get_if<std::string>(&cell)) {
        return CsvField(*text);
    }
    if (std::holds_alternative<std::monostate>(cell)) {
        return {};
    }
    if (const auto* list = std::get_if<std::vector<double>>(&cell)) {
        std::string joined;
        for (double value : *list) {
            joined += (joined.empty() ? "" : ";") + CsvText(value, decimals);
        }
        return joined;
    }
    if (const auto* count = std::get_if<std::uint64_t>(&cell)) {
        return std::to_string(*count);
    }
    char number[64];
    std::snprintf(number, sizeof number, "%.*f", decimals, std::get<double>(cell));
    return number;
}

} // namespace orvane::results
