// Comparing saved runs row by row.
#include "results/Compare.h"

#include "bench/ShownText.h"
#include "results/Cells.h"

#include <map>
#include <nlohmann/json.hpp>
#include <optional>

namespace orvane::results {

namespace {

using nlohmann::json;

std::string RunName(std::size_t index) {
    return "run " + std::to_string(index + 1);
}

// A row's place: its pass and chunk size.
using TKey = std::pair<TResultList, std::uint32_t>;

struct TTable {
    std::vector<TKey> Keys; // in the order first seen
    // Per run, the row of each key (the first one where a file repeats a key).
    std::vector<std::map<TKey, const TResultRow*>> Rows;

    const TResultRow* Find(std::size_t run, const TKey& key) const {
        const auto it = Rows[run].find(key);
        return it == Rows[run].end() ? nullptr : it->second;
    }
};

TTable Tabulate(const std::vector<TSavedRun>& runs) {
    TTable table;
    std::map<TKey, bool> seen;
    for (const TSavedRun& run : runs) {
        auto& rows = table.Rows.emplace_back();
        for (const TResultRow& row : run.Rows) {
            const TKey key{row.Pass, row.ChunkBytes};
            rows.emplace(key, &row);
            if (seen.emplace(key, true).second) {
                table.Keys.push_back(key);
            }
        }
    }
    return table;
}

std::optional<double> Ratio(const TResultRow* row, const TResultRow* first) {
    if (row == nullptr || first == nullptr || first->KiBPerSecond() <= 0) {
        return std::nullopt;
    }
    return row->KiBPerSecond() / first->KiBPerSecond();
}

const char* PassName(TResultList pass) {
    return pass == TResultList::Write ? "write" : "read";
}

std::string ChunkOf(const TTable& table, const TKey& key) {
    for (std::size_t r = 0; r < table.Rows.size(); ++r) {
        if (const TResultRow* row = table.Find(r, key)) {
            return row->ChunkLabel;
        }
    }
    return {};
}

std::string Padded(const std::string& text, std::size_t width, bool left = false) {
    const std::string pad(text.size() < width ? width - text.size() : 0, ' ');
    return left ? text + pad : pad + text;
}

std::string JsonText(const std::vector<TSavedRun>& runs, const TTable& table,
                     const std::vector<std::string>& notes) {
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
    for (const TKey& key : table.Keys) {
        json values = json::array(), ratios = json::array();
        for (std::size_t r = 0; r < runs.size(); ++r) {
            const TResultRow* row = table.Find(r, key);
            values.push_back(row != nullptr ? json(row->KiBPerSecond()) : json(nullptr));
            const auto ratio = Ratio(row, table.Find(0, key));
            ratios.push_back(ratio ? json(*ratio) : json(nullptr));
        }
        rows.push_back({{"pass", PassName(key.first)},
                        {"chunk", ChunkOf(table, key)},
                        {"chunk_bytes", key.second},
                        {"throughput_kib_per_s", values},
                        {"ratio_to_first", ratios}});
    }
    document["runs"] = list;
    document["rows"] = rows;
    document["notes"] = notes;
    return document.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

std::string CsvText(const std::vector<TSavedRun>& runs, const TTable& table) {
    std::string out = "pass,chunk";
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        out += ",run" + n + "_kib_per_s,run" + n + "_ratio";
    }
    out += "\n";
    for (const TKey& key : table.Keys) {
        out += std::string(PassName(key.first)) + "," + CsvField(ChunkOf(table, key));
        for (std::size_t r = 0; r < runs.size(); ++r) {
            const TResultRow* row = table.Find(r, key);
            const auto ratio = Ratio(row, table.Find(0, key));
            out += "," + (row != nullptr ? DecimalText(row->KiBPerSecond(), 2) : "") + "," +
                   (ratio ? DecimalText(*ratio, 4) : "");
        }
        out += "\n";
    }
    return out;
}

std::string TableText(const std::vector<TSavedRun>& runs, const TTable& table,
                      const std::vector<std::string>& notes) {
    std::string out;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const TRunInfo& info = runs[i].Info;
        out += RunName(i) + ": " +
               EscapeControls(info.Method + ", " + info.FileSize + ", block " + info.BlockSize +
                              ", " + info.StartTime + " (" + runs[i].File + ")") +
               "\n";
    }
    for (const std::string& note : notes) {
        out += "note: " + EscapeControls(note) + "\n";
    }
    out += "\n" + Padded("KB/s", 10, true);
    for (std::size_t i = 0; i < runs.size(); ++i) {
        out += " " + Padded(RunName(i), 20);
    }
    out += "\n";
    for (const TKey& key : table.Keys) {
        out += Padded((key.first == TResultList::Write ? "W: " : "R: ") +
                          EscapeControls(ChunkOf(table, key)),
                      10, true);
        for (std::size_t r = 0; r < runs.size(); ++r) {
            const TResultRow* row = table.Find(r, key);
            const auto ratio = Ratio(row, table.Find(0, key));
            std::string cell = row != nullptr ? DecimalText(row->KiBPerSecond(), 2) : "-";
            if (r != 0 && ratio) {
                cell += " (x" + DecimalText(*ratio, 2) + ")";
            }
            out += " " + Padded(cell, 20);
        }
        out += "\n";
    }
    return out;
}

} // namespace

std::vector<std::string> MismatchNotes(const std::vector<TSavedRun>& runs) {
    std::vector<std::string> notes;
    for (std::size_t i = 1; i < runs.size(); ++i) {
        const TRunInfo& a = runs[0].Info;
        const TRunInfo& b = runs[i].Info;
        const auto differs = [&](const char* what, const std::string& x, const std::string& y) {
            if (x != y) {
                notes.push_back(RunName(i) + " has " + what + " " + y + " where run 1 has " + x +
                                "; compared row by row all the same");
            }
        };
        differs("file size", a.FileSize, b.FileSize);
        differs("block size", a.BlockSize, b.BlockSize);
    }
    return notes;
}

std::string ComparisonText(const std::vector<TSavedRun>& runs, TFormat format) {
    const TTable table = Tabulate(runs);
    switch (format) {
    case TFormat::Json:
        return JsonText(runs, table, MismatchNotes(runs));
    case TFormat::Csv:
        return CsvText(runs, table);
    case TFormat::Table:
        break;
    }
    return TableText(runs, table, MismatchNotes(runs));
}

} // namespace orvane::results
