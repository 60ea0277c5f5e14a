// Saved runs read back from JSON, or taken from a run just made.
#include "results/SavedRun.h"

#include "bench/Methods.h"
#include "bench/Scales.h"
#include "results/Columns.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>

namespace orvane::results {

namespace {

using nlohmann::json;

// The field `key` of `object`, of the kind `check` accepts, or the error naming it.
const json& Field(const json& object, const std::string& key, const std::string& where,
                  bool (json::*check)() const noexcept, const std::string& file) {
    const auto it = object.find(key);
    if (it == object.end() || !((*it).*check)()) {
        throw EResultsFile(file + ": the field \"" + where + key +
                           "\" is missing or of the wrong kind");
    }
    return *it;
}

std::string Text(const json& object, const std::string& key, const std::string& where,
                 const std::string& file) {
    return Field(object, key, where, &json::is_string, file).get<std::string>();
}

bool Flag(const json& object, const std::string& key) {
    const auto it = object.find(key);
    return it != object.end() && it->is_boolean() && it->get<bool>();
}

std::optional<double> Number(const json& object, const std::string& key) {
    const auto it = object.find(key);
    if (it == object.end() || !it->is_number()) {
        return std::nullopt;
    }
    return it->get<double>();
}

std::optional<std::uint64_t> Count(const json& object, const std::string& key) {
    const auto it = object.find(key);
    if (it == object.end() || !it->is_number_unsigned()) {
        return std::nullopt;
    }
    return it->get<std::uint64_t>();
}

// Older files name the chunk only by its label.
std::optional<std::uint64_t> ChunkBytesOfLabel(const std::string& label) {
    const auto position = ScalePositionOfLabel(ChunkSizeLabels, label);
    if (!position) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(ChunkSizes[static_cast<std::size_t>(*position)]);
}

std::optional<double> KiBPerSecondIn(std::uint64_t fileBytes, std::optional<double> seconds) {
    if (fileBytes == 0 || !seconds || *seconds <= 0) {
        return std::nullopt;
    }
    return static_cast<double>(fileBytes) / 1024.0 / *seconds;
}

} // namespace

TSavedRun LoadSavedRun(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw EResultsFile(path + ": the file can't be read");
    }
    json document;
    try {
        document = json::parse(in);
    } catch (const json::parse_error& error) {
        throw EResultsFile(path + ": not JSON (" + error.what() + ")");
    }
    if (!document.is_object()) {
        throw EResultsFile(path + ": not a saved run (no object at the top)");
    }
    const std::string program = Text(document, "program", "", path);
    if (program != "orvane-cli" && program != "orvane") {
        throw EResultsFile(path + ": the field \"program\" names \"" + program +
                           "\", not this program");
    }
    // Files from before the schema field have this layout too.
    const auto schema = document.find("schema");
    if (schema != document.end() &&
        (!schema->is_number_integer() || schema->get<int>() > ReportSchema)) {
        throw EResultsFile(path + ": the field \"schema\" is not one this version reads (up to " +
                           std::to_string(ReportSchema) + ")");
    }
    TSavedRun run;
    run.File = path;
    run.Info.Program = program;
    run.Info.Version = Text(document, "version", "", path);
    run.Info.Method = Text(document, "method", "", path);
    run.Info.FileSize = Text(document, "file_size", "", path);
    run.Info.BlockSize = Text(document, "block_size", "", path);
    run.Info.StartTime = Text(document, "start_time", "", path);
    run.Info.WriteBuffered = Flag(document, "write_buffered");
    run.Info.ReadBuffered = Flag(document, "read_buffered");
    run.Info.Mode.Durable = Flag(document, "durable");
    run.Info.Mode.Cold = Flag(document, "cold");
    if (const auto repeat = document.find("repeat");
        repeat != document.end() && repeat->is_number_integer()) {
        run.Info.Mode.Repeats = repeat->get<int>();
    }
    const json& rows = Field(document, "rows", "", &json::is_array, path);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::string where = "rows[" + std::to_string(i) + "].";
        if (!rows[i].is_object()) {
            throw EResultsFile(path + ": the field \"rows[" + std::to_string(i) +
                               "]\" is not a row");
        }
        TSavedRow row;
        row.Pass = Text(rows[i], "pass", where, path);
        row.Chunk = Text(rows[i], "chunk", where, path);
        row.KiBPerSecond =
            Field(rows[i], "throughput_kib_per_s", where, &json::is_number, path).get<double>();
        if (const auto bytes = Count(rows[i], "chunk_bytes")) {
            row.ChunkBytes = *bytes;
        } else if (const auto ofLabel = ChunkBytesOfLabel(row.Chunk)) {
            row.ChunkBytes = *ofLabel;
        } else {
            std::string message = path;
            message += ": the field \"";
            message += where;
            message += "chunk_bytes\" is missing and the chunk \"";
            message += row.Chunk;
            message += "\" is not a chunk size";
            throw EResultsFile(message);
        }
        row.FileBytes = Count(rows[i], "file_bytes").value_or(0);
        row.Seconds = Number(rows[i], "duration_s");
        const auto samples = rows[i].find("duration_samples_s");
        if (samples != rows[i].end() && samples->is_array() && samples->size() > 1) {
            // The slowest repeat gives the lowest throughput.
            row.MinKiBPerSecond = KiBPerSecondIn(row.FileBytes, Number(rows[i], "duration_max_s"));
            row.MaxKiBPerSecond = KiBPerSecondIn(row.FileBytes, Number(rows[i], "duration_min_s"));
        }
        row.DeviceBytes = Count(rows[i], "device_bytes");
        row.CachedBytesAtStart = Count(rows[i], "cached_bytes_at_start");
        run.Rows.push_back(row);
    }
    return run;
}

TSavedRun SavedRunOf(const TRunInfo& info, const std::vector<TResultRow>& writeRows,
                     const std::vector<TResultRow>& readRows) {
    TSavedRun run;
    run.Info = info;
    for (const auto* rows : {&writeRows, &readRows}) {
        for (const TResultRow& made : *rows) {
            TSavedRow row;
            row.Pass = made.Pass == TResultList::Write ? "write" : "read";
            row.Chunk = made.ChunkLabel;
            row.ChunkBytes = made.ChunkBytes;
            row.FileBytes = made.FileBytes;
            row.KiBPerSecond = made.KiBPerSecond();
            row.Seconds = made.ElapsedSeconds();
            if (made.DurationSamples.size() > 1) {
                const auto [fastest, slowest] =
                    std::minmax_element(made.DurationSamples.begin(), made.DurationSamples.end());
                row.MinKiBPerSecond = KiBPerSecondIn(made.FileBytes, *slowest);
                row.MaxKiBPerSecond = KiBPerSecondIn(made.FileBytes, *fastest);
            }
            row.DeviceBytes = made.Proof.DeviceBytes;
            row.CachedBytesAtStart = made.Proof.CachedBytesAtStart;
            run.Rows.push_back(row);
        }
    }
    return run;
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
    // "2026-12-08T10:20:31+01:00" as "2026-12-08 10:20:31".
    std::string start = info.StartTime.substr(0, 19);
    std::replace(start.begin(), start.end(), 'T', ' ');
    if (!start.empty()) {
        label += ", ";
        label += start;
    }
    return label;
}

std::string RowSummary(const TSavedRow& row) {
    char text[160];
    std::string summary = row.Pass + " " + row.Chunk + ": ";
    if (row.KiBPerSecond > 0) {
        std::snprintf(text, sizeof text, "%.1f MiB/s", row.KiBPerSecond / 1024);
        summary += text;
    } else {
        summary += "too fast to measure";
    }
    if (row.Seconds) {
        std::snprintf(text, sizeof text, " in %.6f s", *row.Seconds);
        summary += text;
    }
    if (row.MinKiBPerSecond && row.MaxKiBPerSecond) {
        std::snprintf(text, sizeof text, " (repeats %.1f to %.1f MiB/s)",
                      *row.MinKiBPerSecond / 1024, *row.MaxKiBPerSecond / 1024);
        summary += text;
    }
    if (row.DeviceBytes) {
        summary += "; device " + FormatBytes(*row.DeviceBytes);
    }
    if (row.CachedBytesAtStart) {
        summary += "; cached at start " + FormatBytes(*row.CachedBytesAtStart);
    }
    return summary;
}

} // namespace orvane::results
