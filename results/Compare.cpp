// Reading saved runs and comparing them row by row.
#include "results/Compare.h"

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <sstream>

namespace orvane::results {

namespace {

using nlohmann::json;

std::string RunName(std::size_t index) {
    return "run " + std::to_string(index + 1);
}

// The rows of all runs, by pass and chunk, in the first-seen order.
struct TKey {
    std::string Pass, Chunk;
    bool operator==(const TKey&) const = default;
};

std::vector<TKey> Keys(const std::vector<TSavedRun>& runs) {
    std::vector<TKey> keys;
    for (const TSavedRun& run : runs) {
        for (const TSavedRow& row : run.Rows) {
            const TKey key{row.Pass, row.Chunk};
            if (std::find(keys.begin(), keys.end(), key) == keys.end()) {
                keys.push_back(key);
            }
        }
    }
    return keys;
}

const TSavedRow* Find(const TSavedRun& run, const TKey& key) {
    for (const TSavedRow& row : run.Rows) {
        if (row.Pass == key.Pass && row.Chunk == key.Chunk) {
            return &row;
        }
    }
    return nullptr;
}

std::string Number(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

} // namespace

std::vector<std::string> MismatchNotes(const std::vector<TSavedRun>& runs) {
    std::vector<std::string> notes;
    for (std::size_t i = 1; i < runs.size(); ++i) {
        const TRunInfo& a = runs[0].Info;
        const TRunInfo& b = runs[i].Info;
        const auto differs = [&](const char* what, const std::string& x, const std::string& y) {
            if (x != y) {
                std::string note = RunName(i);
                note += " has ";
                note += what;
                note += " ";
                note += y;
                note += " where run 1 has ";
                note += x;
                note += "; compared row by row all the same";
                notes.push_back(note);
            }
        };
        differs("file size", a.FileSize, b.FileSize);
        differs("block size", a.BlockSize, b.BlockSize);
    }
    return notes;
}

void WriteComparison(std::ostream& out, const std::vector<TSavedRun>& runs, TCompareFormat format) {
    const std::vector<TKey> keys = Keys(runs);
    const std::vector<std::string> notes = MismatchNotes(runs);
    const auto ratio = [&](const TSavedRow* row, const TSavedRow* first) -> std::optional<double> {
        if (row == nullptr || first == nullptr || first->KiBPerSecond <= 0) {
            return std::nullopt;
        }
        return row->KiBPerSecond / first->KiBPerSecond;
    };
    if (format == TCompareFormat::Json) {
        json document = {{"program", "orvane-cli"}, {"schema", ReportSchema}};
        json list = json::array();
        for (const TSavedRun& run : runs) {
            list.push_back({{"file", run.File},
                            {"method", run.Info.Method},
                            {"file_size", run.Info.FileSize},
                            {"block_size", run.Info.BlockSize},
                            {"start_time", run.Info.StartTime}});
        }
        json rows = json::array();
        for (const TKey& key : keys) {
            json values = json::array(), ratios = json::array();
            for (const TSavedRun& run : runs) {
                const TSavedRow* row = Find(run, key);
                values.push_back(row != nullptr ? json(row->KiBPerSecond) : json(nullptr));
                const auto r = ratio(row, Find(runs[0], key));
                ratios.push_back(r ? json(*r) : json(nullptr));
            }
            rows.push_back({{"pass", key.Pass},
                            {"chunk", key.Chunk},
                            {"throughput_kib_per_s", values},
                            {"ratio_to_first", ratios}});
        }
        document["runs"] = list;
        document["rows"] = rows;
        document["notes"] = notes;
        out << document.dump(2, ' ', false, json::error_handler_t::replace) << "\n";
        return;
    }
    if (format == TCompareFormat::Csv) {
        out << "pass,chunk";
        for (std::size_t i = 0; i < runs.size(); ++i) {
            out << ",run" << i + 1 << "_kib_per_s,run" << i + 1 << "_ratio";
        }
        out << "\n";
        for (const TKey& key : keys) {
            out << key.Pass << "," << key.Chunk;
            for (const TSavedRun& run : runs) {
                const TSavedRow* row = Find(run, key);
                const auto r = ratio(row, Find(runs[0], key));
                out << "," << (row != nullptr ? Number(row->KiBPerSecond, 2) : "") << ","
                    << (r ? Number(*r, 4) : "");
            }
            out << "\n";
        }
        return;
    }
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const TRunInfo& info = runs[i].Info;
        out << RunName(i) << ": " << info.Method << ", " << info.FileSize << ", block "
            << info.BlockSize << ", " << info.StartTime << " (" << runs[i].File << ")\n";
    }
    for (const std::string& note : notes) {
        out << "note: " << note << "\n";
    }
    char line[64];
    out << "\nKB/s      ";
    for (std::size_t i = 0; i < runs.size(); ++i) {
        std::snprintf(line, sizeof line, " %20s", RunName(i).c_str());
        out << line;
    }
    out << "\n";
    for (const TKey& key : keys) {
        std::snprintf(line, sizeof line, "%-10s",
                      ((key.Pass == "write" ? "W: " : "R: ") + key.Chunk).c_str());
        out << line;
        for (const TSavedRun& run : runs) {
            const TSavedRow* row = Find(run, key);
            const auto r = ratio(row, Find(runs[0], key));
            std::string cell = row != nullptr ? Number(row->KiBPerSecond, 2) : "-";
            if (&run != &runs[0] && r) {
                cell += " (x" + Number(*r, 2) + ")";
            }
            std::snprintf(line, sizeof line, " %20s", cell.c_str());
            out << line;
        }
        out << "\n";
    }
}

} // namespace orvane::results
