// Saved runs read back from JSON or CSV.
#include "results/SavedRun.h"

#include "bench/Scales.h"
#include "results/Cells.h"
#include "results/JsonCells.h"
#include "results/MatrixFile.h"
#include "results/ReadBack.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace orvane::results {

namespace {

using nlohmann::json;

const char* const RequiredInfo[] = {"program", "method", "file_size", "block_size"};

TSavedRun ParseJson(const json& document, const std::string& name) {
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
    ReadInfoJson(document, run.Info, name, false);
    const json* rows = FindDotted(document, "rows");
    if (rows == nullptr || !rows->is_array()) {
        FailField(name, "rows", "is missing or not a list");
    }
    if (rows->size() > MaxSavedRows) {
        FailField(name, "rows", "holds more rows than any run makes");
    }
    for (std::size_t i = 0; i < rows->size(); ++i) {
        const json& object = (*rows)[i];
        if (!object.is_object()) {
            FailField(name, "rows[" + std::to_string(i) + "]", "is not a row");
        }
        run.Rows.push_back(ReadRowJson(object, run.Info, name, "rows[" + std::to_string(i) + "]."));
    }
    return run;
}

TSavedRun ParseCsv(const std::vector<std::vector<std::string>>& records, const std::string& name) {
    if (records.size() - 1 > MaxSavedRows) {
        Fail(name, "it holds more rows than any run makes");
    }
    const TCsvColumns at = CsvColumns(records[0]);
    TSavedRun run;
    run.File = name;
    run.Info.Version.clear();
    EachCsvRecord(
        records, name, [&](const std::vector<std::string>& record, const std::string& where) {
            if (&record == &records[1]) {
                ReadInfoCsv(record, at, run.Info, name, where, false);
            }
            TResultRow row = ReadRowCsv(record, at, name, where);
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
        });
    if (run.Info.Method.empty()) {
        FailField(name, "method", "is missing");
    }
    return run;
}

} // namespace

TSavedResults ParseSavedResults(std::string_view text, const std::string& name) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first != std::string_view::npos && (text[first] == '{' || text[first] == '[')) {
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
        const json* kind = FindDotted(document, "kind");
        if (kind != nullptr && *kind == MatrixKind) {
            return ParseMatrixJson(document, name);
        }
        if (kind != nullptr && *kind != RunKind) {
            FailField(name, "kind", "is neither \"run\" nor \"matrix\"");
        }
        return ParseJson(document, name);
    }
    std::vector<std::vector<std::string>> records;
    try {
        records = results::ParseCsv(text);
    } catch (const EBadCell& error) {
        Fail(name, std::string("not CSV that a run writes: ") + error.what());
    }
    if (!records.empty() && !records[0].empty() && records[0][0] == "configuration") {
        return ParseMatrixCsv(records, name);
    }
    if (records.empty() || records[0].empty() || records[0][0] != "pass") {
        Fail(name, "not a saved run: neither JSON nor the CSV this program writes");
    }
    return ParseCsv(records, name);
}

TSavedResults LoadSavedResults(const std::string& path) {
    return ParseSavedResults(ReadResultsFile(path), path);
}

TSavedRun ParseSavedRun(std::string_view text, const std::string& name) {
    TSavedResults results = ParseSavedResults(text, name);
    if (auto* run = std::get_if<TSavedRun>(&results)) {
        return std::move(*run);
    }
    Fail(name, "it holds a matrix (orvane-cli matrix), not a run");
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
