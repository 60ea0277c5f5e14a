// Comparing saved runs row by row.
#include "results/Compare.h"

#include "bench/ShownText.h"
#include "results/Cells.h"

#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <tuple>
#include <utility>

namespace orvane::results {

namespace {

using nlohmann::json;

// A row's place: for a matrix its configuration and block size (none for a run), its pass and
// its chunk size (0 for a matrix's configuration that ignores it).
struct TKey {
    std::string Configuration;
    std::uint32_t BlockBytes = 0;
    TResultList Pass = TResultList::Write;
    std::uint32_t ChunkBytes = 0;

    auto Tuple() const { return std::tie(Configuration, BlockBytes, Pass, ChunkBytes); }
    bool operator<(const TKey& other) const { return Tuple() < other.Tuple(); }
};

// What is compared: a run's rows, or a matrix's cells with their configurations.
struct TCompared {
    std::string File;
    std::string Label; // what the table names it by
    const TRunInfo* Info;
    std::vector<std::pair<TKey, const TResultRow*>> Rows;
    bool Matrix = false;
};

std::string RunName(std::size_t index) {
    return "run " + std::to_string(index + 1);
}

std::string EntryName(const std::vector<TCompared>& runs, std::size_t index) {
    return runs.front().Matrix ? "matrix " + std::to_string(index + 1) : RunName(index);
}

struct TTable {
    std::vector<TKey> Keys; // in the order first seen
    // Per run, the row of each key (the first one where a file repeats a key).
    std::vector<std::map<TKey, const TResultRow*>> Rows;

    const TResultRow* Find(std::size_t run, const TKey& key) const {
        const auto it = Rows[run].find(key);
        return it == Rows[run].end() ? nullptr : it->second;
    }
};

TTable Tabulate(const std::vector<TCompared>& runs) {
    TTable table;
    std::map<TKey, bool> seen;
    for (const TCompared& run : runs) {
        auto& rows = table.Rows.emplace_back();
        for (const auto& [key, row] : run.Rows) {
            rows.emplace(key, row);
            if (seen.emplace(key, true).second) {
                table.Keys.push_back(key);
            }
        }
    }
    return table;
}

std::vector<TCompared> ComparedRuns(const std::vector<TSavedRun>& runs) {
    std::vector<TCompared> compared;
    for (const TSavedRun& run : runs) {
        TCompared& entry = compared.emplace_back(TCompared{
            run.File,
            RunLabel(run.Info) + (run.Info.Host.Label.empty() ? "" : ", on " + run.Info.Host.Label),
            &run.Info,
            {},
            false});
        for (const TResultRow& row : run.Rows) {
            entry.Rows.push_back({TKey{{}, 0, row.Pass, row.ChunkBytes}, &row});
        }
    }
    return compared;
}

// A chunk-independent configuration's figure once, not once per chunk size it stands in.
std::vector<TCompared> ComparedMatrices(const std::vector<TSavedMatrix>& matrices) {
    std::vector<TCompared> compared;
    for (const TSavedMatrix& matrix : matrices) {
        TCompared& entry = compared.emplace_back(
            TCompared{matrix.File,
                      MatrixLabel(matrix) +
                          (matrix.Info.Host.Label.empty() ? "" : ", on " + matrix.Info.Host.Label),
                      &matrix.Info,
                      {},
                      true});
        for (const TMatrixCell& cell : matrix.Cells) {
            entry.Rows.push_back({TKey{cell.Configuration, cell.Row.BlockBytes, cell.Row.Pass,
                                       cell.ChunkIndependent ? 0 : cell.Row.ChunkBytes},
                                  &cell.Row});
        }
    }
    return compared;
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

std::vector<std::string> Summaries(const TTable& table, const TVerdicts& verdicts, bool matrix) {
    std::vector<std::string> lines;
    for (std::size_t r = 1; r < table.Rows.size(); ++r) {
        std::vector<TRowVerdict> write, read;
        for (std::size_t k = 0; k < table.Keys.size(); ++k) {
            if (verdicts[k][r]) {
                (table.Keys[k].Pass == TResultList::Write ? write : read)
                    .push_back(*verdicts[k][r]);
            }
        }
        std::string line = SummarySentence(SummarizeRun(static_cast<int>(r + 1), 1, write, read));
        if (const std::size_t colon = line.find(": "); matrix && colon != std::string::npos) {
            line = "matrix " + std::to_string(r + 1) + " vs matrix 1" + line.substr(colon);
        }
        lines.push_back(std::move(line));
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
    if (!key.Configuration.empty() && key.ChunkBytes == 0) {
        return "any";
    }
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

std::string JsonText(const std::vector<TCompared>& runs, const TTable& table,
                     const std::vector<std::string>& notes, double threshold) {
    const TVerdicts verdicts = Judge(table, threshold);
    json document = {
        {"program", "orvane-cli"}, {"schema", ReportSchema}, {"threshold_percent", threshold}};
    json list = json::array();
    for (const TCompared& run : runs) {
        json entry = {{"file", run.File},
                      {"file_size", run.Info->FileSize},
                      {"start_time", run.Info->StartTime},
                      {"host", run.Info->Host.Label}};
        if (run.Matrix) {
            entry["kind"] = MatrixKind;
            entry["label"] = run.Label;
        } else {
            entry["method"] = run.Info->Method;
            entry["block_size"] = run.Info->BlockSize;
        }
        list.push_back(std::move(entry));
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
        json row = {{"pass", PassName(key.Pass)},
                    {"chunk", ChunkOf(table, key)},
                    {"chunk_bytes", key.ChunkBytes == 0 ? json(nullptr) : json(key.ChunkBytes)},
                    {"throughput_kib_per_s", values},
                    {"ratio_to_first", ratios},
                    {"verdict", judged}};
        if (!key.Configuration.empty()) {
            row["configuration"] = key.Configuration;
            row["block_bytes"] = key.BlockBytes;
        }
        rows.push_back(std::move(row));
    }
    document[runs.front().Matrix ? "matrices" : "runs"] = list;
    document["rows"] = rows;
    document["notes"] = notes;
    document["summaries"] = Summaries(table, verdicts, runs.front().Matrix);
    return document.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

std::string CsvText(const std::vector<TCompared>& runs, const TTable& table, double threshold) {
    const TVerdicts verdicts = Judge(table, threshold);
    const bool matrix = runs.front().Matrix;
    std::string out = matrix ? "configuration,block_bytes,pass,chunk" : "pass,chunk";
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
        if (matrix) {
            out += CsvField(key.Configuration) + "," + std::to_string(key.BlockBytes) + ",";
        }
        out += std::string(PassName(key.Pass)) + "," + CsvField(ChunkOf(table, key));
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

std::string TableText(const std::vector<TCompared>& runs, const TTable& table,
                      const std::vector<std::string>& notes, double threshold) {
    const TVerdicts verdicts = Judge(table, threshold);
    constexpr std::size_t Width = 32;
    // A matrix's rows are named by configuration and block size too.
    const std::size_t placeWidth = runs.front().Matrix ? 30 : 10;
    std::string out;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        out += EntryName(runs, i) + ": " +
               EscapeControls(runs[i].Label + " (" + runs[i].File + ")") + "\n";
    }
    for (const std::string& note : notes) {
        out += "note: " + EscapeControls(note) + "\n";
    }
    out += "\n" + Padded("KB/s", placeWidth, true);
    for (std::size_t i = 0; i < runs.size(); ++i) {
        out += " " + Padded(EntryName(runs, i), i == 0 ? 12 : Width);
    }
    out += "\n";
    for (std::size_t k = 0; k < table.Keys.size(); ++k) {
        const TKey& key = table.Keys[k];
        const std::string place =
            key.Configuration.empty()
                ? std::string()
                : key.Configuration + " b" + std::to_string(key.BlockBytes) + " ";
        out += Padded(place + (key.Pass == TResultList::Write ? "W: " : "R: ") +
                          EscapeControls(ChunkOf(table, key)),
                      placeWidth, true);
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
        for (const std::string& line : Summaries(table, verdicts, runs.front().Matrix)) {
            out += line + "\n";
        }
        out += "Faster or slower only where the medians differ by more than " +
               DecimalText(threshold, 1) +
               " % and their confidence intervals do not overlap; no verdict for rows of fewer "
               "than 3 repeats.\n";
    }
    return out;
}

std::string Comparison(const std::vector<TCompared>& runs, const std::vector<std::string>& notes,
                       TFormat format, double thresholdPercent) {
    const TTable table = Tabulate(runs);
    switch (format) {
    case TFormat::Json:
        return JsonText(runs, table, notes, thresholdPercent);
    case TFormat::Csv:
        return CsvText(runs, table, thresholdPercent);
    case TFormat::Table:
        break;
    }
    return TableText(runs, table, notes, thresholdPercent);
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

std::vector<std::string> MatrixMismatchNotes(const std::vector<TSavedMatrix>& matrices) {
    const auto mode = [](const TRunInfo& info) {
        return std::string(info.Mode.Durable ? "durable" : "page-cache") + " writes and " +
               (info.Mode.Cold ? "cold" : "page-cache") + " reads";
    };
    std::vector<std::string> notes;
    for (std::size_t i = 1; i < matrices.size(); ++i) {
        const TSavedMatrix& a = matrices[0];
        const TSavedMatrix& b = matrices[i];
        const auto differs = [&](const char* what, const std::string& x, const std::string& y) {
            if (x != y) {
                std::string note = "matrix " + std::to_string(i + 1);
                note.append(" has ").append(what).append(y);
                note.append(" where matrix 1 has ").append(x);
                note.append("; compared cell by cell all the same");
                notes.push_back(std::move(note));
            }
        };
        differs("file size ", a.Info.FileSize, b.Info.FileSize);
        differs("", mode(a.Info), mode(b.Info));
        if (a.Configurations != b.Configurations || a.BlockSizes != b.BlockSizes) {
            notes.push_back("matrix " + std::to_string(i + 1) +
                            " has other configurations or block sizes than matrix 1; only the "
                            "cells of both are judged");
        }
        if (b.Stopped) {
            notes.push_back("matrix " + std::to_string(i + 1) +
                            " ended before its last cell; the cells it lacks are not judged");
        }
    }
    if (!matrices.empty() && matrices[0].Stopped) {
        notes.push_back("matrix 1 ended before its last cell; the cells it lacks are not judged");
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
    return Comparison(ComparedRuns(runs), MismatchNotes(runs), format, thresholdPercent);
}

std::string MatrixComparisonText(const std::vector<TSavedMatrix>& matrices, TFormat format,
                                 double thresholdPercent) {
    return Comparison(ComparedMatrices(matrices), MatrixMismatchNotes(matrices), format,
                      thresholdPercent);
}

} // namespace orvane::results
