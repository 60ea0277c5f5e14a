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

// Per key, per run: the verdict against the first run, where both rows exist (run 1: none).
using TVerdicts = std::vector<std::vector<std::optional<TRowVerdict>>>;

TVerdicts Judge(const TTable& table, double threshold) {
    TVerdicts verdicts;
    for (const TKey& key : table.Keys) {
        auto& row = verdicts.emplace_back(table.Rows.size());
        const TResultRow* first = table.Find(0, key);
        for (std::size_t r = 1; r < table.Rows.size(); ++r) {
            if (const TResultRow* other = table.Find(r, key);
                other != nullptr && first != nullptr) {
                row[r] = VerdictOf(*other, *first, threshold);
            }
        }
    }
    return verdicts;
}

std::vector<std::string> Summaries(const TTable& table, const TVerdicts& verdicts) {
    std::vector<std::string> lines;
    for (std::size_t r = 1; r < table.Rows.size(); ++r) {
        std::vector<TRowVerdict> write, read;
        for (std::size_t k = 0; k < table.Keys.size(); ++k) {
            if (verdicts[k][r]) {
                (table.Keys[k].first == TResultList::Write ? write : read)
                    .push_back(*verdicts[k][r]);
            }
        }
        lines.push_back(SummarySentence(SummarizeRun(static_cast<int>(r + 1), 1, write, read)));
    }
    return lines;
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
                     const std::vector<std::string>& notes, double threshold) {
    const TVerdicts verdicts = Judge(table, threshold);
    json document = {
        {"program", "orvane-cli"}, {"schema", ReportSchema}, {"threshold_percent", threshold}};
    json list = json::array();
    for (const TSavedRun& run : runs) {
        list.push_back({{"file", run.File},
                        {"method", run.Info.Method},
                        {"file_size", run.Info.FileSize},
                        {"block_size", run.Info.BlockSize},
                        {"start_time", run.Info.StartTime},
                        {"host", run.Info.Host.Label}});
    }
    json rows = json::array();
    for (std::size_t k = 0; k < table.Keys.size(); ++k) {
        const TKey& key = table.Keys[k];
        json values = json::array(), ratios = json::array(), judged = json::array();
        for (std::size_t r = 0; r < runs.size(); ++r) {
            const TResultRow* row = table.Find(r, key);
            values.push_back(row != nullptr ? json(row->KiBPerSecond()) : json(nullptr));
            const auto ratio = Ratio(row, table.Find(0, key));
            ratios.push_back(ratio ? json(*ratio) : json(nullptr));
            if (const auto& verdict = verdicts[k][r]) {
                judged.push_back(
                    {{"verdict", VerdictText(verdict->Verdict)},
                     {"rule", RuleText(verdict->Rule, threshold)},
                     {"change", verdict->Change ? json(*verdict->Change) : json(nullptr)}});
            } else {
                judged.push_back(nullptr);
            }
        }
        rows.push_back({{"pass", PassName(key.first)},
                        {"chunk", ChunkOf(table, key)},
                        {"chunk_bytes", key.second},
                        {"throughput_kib_per_s", values},
                        {"ratio_to_first", ratios},
                        {"verdict", judged}});
    }
    document["runs"] = list;
    document["rows"] = rows;
    document["notes"] = notes;
    document["summaries"] = Summaries(table, verdicts);
    return document.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

std::string CsvText(const std::vector<TSavedRun>& runs, const TTable& table, double threshold) {
    const TVerdicts verdicts = Judge(table, threshold);
    std::string out = "pass,chunk";
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const std::string run = ",run" + std::to_string(i + 1);
        out.append(run).append("_kib_per_s").append(run).append("_ratio");
        if (i > 0) {
            out.append(run).append("_verdict").append(run).append("_rule");
        }
    }
    out += "\n";
    for (std::size_t k = 0; k < table.Keys.size(); ++k) {
        const TKey& key = table.Keys[k];
        out += std::string(PassName(key.first)) + "," + CsvField(ChunkOf(table, key));
        for (std::size_t r = 0; r < runs.size(); ++r) {
            const TResultRow* row = table.Find(r, key);
            const auto ratio = Ratio(row, table.Find(0, key));
            out += "," + (row != nullptr ? DecimalText(row->KiBPerSecond(), 2) : "") + "," +
                   (ratio ? DecimalText(*ratio, 4) : "");
            if (r > 0) {
                const auto& verdict = verdicts[k][r];
                out += "," + (verdict ? VerdictText(verdict->Verdict) : "") + "," +
                       (verdict ? CsvField(RuleText(verdict->Rule, threshold)) : "");
            }
        }
        out += "\n";
    }
    return out;
}

std::string TableText(const std::vector<TSavedRun>& runs, const TTable& table,
                      const std::vector<std::string>& notes, double threshold) {
    const TVerdicts verdicts = Judge(table, threshold);
    constexpr std::size_t Width = 32;
    std::string out;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const TRunInfo& info = runs[i].Info;
        out += RunName(i) + ": " +
               EscapeControls(RunLabel(info) +
                              (info.Host.Label.empty() ? "" : ", on " + info.Host.Label) + " (" +
                              runs[i].File + ")") +
               "\n";
    }
    for (const std::string& note : notes) {
        out += "note: " + EscapeControls(note) + "\n";
    }
    out += "\n" + Padded("KB/s", 10, true);
    for (std::size_t i = 0; i < runs.size(); ++i) {
        out += " " + Padded(RunName(i), i == 0 ? 12 : Width);
    }
    out += "\n";
    for (std::size_t k = 0; k < table.Keys.size(); ++k) {
        const TKey& key = table.Keys[k];
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
            if (const auto& verdict = verdicts[k][r]) {
                cell += " " + VerdictText(verdict->Verdict);
            }
            out += " " + Padded(cell, r == 0 ? 12 : Width);
        }
        out += "\n";
    }
    if (runs.size() > 1) {
        out += "\n";
        for (const std::string& line : Summaries(table, verdicts)) {
            out += line + "\n";
        }
        out += "Faster or slower only where the medians differ by more than " +
               DecimalText(threshold, 1) +
               " % and their confidence intervals do not overlap; no verdict for rows of fewer "
               "than 3 repeats.\n";
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
                std::string note = RunName(i);
                note.append(" has ").append(what).append(" ").append(y);
                note.append(" where run 1 has ").append(x);
                note.append("; compared row by row all the same");
                notes.push_back(std::move(note));
            }
        };
        differs("file size", a.FileSize, b.FileSize);
        differs("block size", a.BlockSize, b.BlockSize);
    }
    return notes;
}

TRowVerdict VerdictOf(const TResultRow& row, const TResultRow& first, double thresholdPercent) {
    const auto samples = [](const TResultRow& r) {
        return r.DurationSamples.empty() ? std::vector<double>{r.ElapsedSeconds()}
                                         : r.DurationSamples;
    };
    const std::vector<double> mine = samples(row), theirs = samples(first);
    return JudgeRow({mine, static_cast<double>(row.FileBytes)},
                    {theirs, static_cast<double>(first.FileBytes)}, thresholdPercent);
}

std::string ComparisonText(const std::vector<TSavedRun>& runs, TFormat format,
                           double thresholdPercent) {
    const TTable table = Tabulate(runs);
    switch (format) {
    case TFormat::Json:
        return JsonText(runs, table, MismatchNotes(runs), thresholdPercent);
    case TFormat::Csv:
        return CsvText(runs, table, thresholdPercent);
    case TFormat::Table:
        break;
    }
    return TableText(runs, table, MismatchNotes(runs), thresholdPercent);
}

} // namespace orvane::results
