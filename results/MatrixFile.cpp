// Reading a matrix back.
#include "results/MatrixFile.h"

#include "bench/MatrixPlan.h"
#include "bench/Scales.h"
#include "results/Cells.h"
#include "results/Columns.h"
#include "results/JsonCells.h"
#include "results/ReadBack.h"

#include <algorithm>
#include <set>
#include <tuple>

namespace orvane::results {

namespace {

using nlohmann::json;

std::string Quoted(const std::string& text) {
    return "\"" + text.substr(0, 40) + "\"";
}

// Configurations by name: known, none twice, kept in the table's order.
std::vector<std::string> CheckedConfigurations(const std::vector<std::string>& names,
                                               const std::string& name) {
    if (names.empty() || names.size() > MatrixConfigurations().size()) {
        FailField(name, "configurations", "is not a list of 1 to 5 configurations");
    }
    std::vector<std::size_t> indices;
    for (const std::string& configuration : names) {
        const auto index = MatrixConfigurationOf(configuration);
        if (!index) {
            FailField(name, "configurations",
                      "names " + Quoted(configuration) + ", which is not a configuration");
        }
        if (std::find(indices.begin(), indices.end(), *index) != indices.end()) {
            FailField(name, "configurations", "names " + Quoted(configuration) + " twice");
        }
        indices.push_back(*index);
    }
    std::sort(indices.begin(), indices.end());
    std::vector<std::string> ordered;
    ordered.reserve(indices.size());
    for (const std::size_t index : indices) {
        ordered.emplace_back(MatrixConfigurations()[index].Name);
    }
    return ordered;
}

std::vector<std::uint32_t> CheckedBlocks(const std::vector<std::uint64_t>& blocks,
                                         const std::string& name) {
    if (blocks.empty() || blocks.size() > BlockSizes.size()) {
        FailField(name, "block_sizes", "is not a list of 1 to 9 block sizes");
    }
    std::vector<std::uint32_t> checked;
    for (const std::uint64_t block : blocks) {
        if (std::find(BlockSizes.begin(), BlockSizes.end(), static_cast<std::int64_t>(block)) ==
                BlockSizes.end() ||
            block > 256) {
            FailField(name, "block_sizes",
                      "holds " + std::to_string(block) + ", which is not a block size (1 to 256)");
        }
        if (std::find(checked.begin(), checked.end(), block) != checked.end()) {
            FailField(name, "block_sizes", "holds " + std::to_string(block) + " twice");
        }
        checked.push_back(static_cast<std::uint32_t>(block));
    }
    std::sort(checked.begin(), checked.end());
    return checked;
}

std::uint64_t CheckedSeed(const TCell& cell, const std::string& name) {
    const auto* seed = std::get_if<std::uint64_t>(&cell);
    if (seed == nullptr || *seed > MaxMatrixSeed) {
        FailField(name, "seed", "is not a whole number from 0 to " + std::to_string(MaxMatrixSeed));
    }
    return *seed;
}

// The cell's configuration and place checked against the matrix, and against the cells so far.
void AddCell(TSavedMatrix& matrix, TMatrixCell cell, std::optional<bool> independent,
             std::set<std::tuple<std::string, std::uint32_t, std::uint32_t, int>>& seen,
             const std::string& name, const std::string& where) {
    const auto& names = matrix.Configurations;
    if (std::find(names.begin(), names.end(), cell.Configuration) == names.end()) {
        FailField(name, where + "configuration",
                  "is " + Quoted(cell.Configuration) + ", not one of the matrix's configurations");
    }
    cell.ChunkIndependent =
        MatrixConfigurations()[*MatrixConfigurationOf(cell.Configuration)].ChunkIndependent();
    if (independent && *independent != cell.ChunkIndependent) {
        FailField(name, where + "chunk_independent",
                  std::string("is ") + (*independent ? "true" : "false") + " for " +
                      Quoted(cell.Configuration));
    }
    const TResultRow& row = cell.Row;
    if (std::find(matrix.BlockSizes.begin(), matrix.BlockSizes.end(), row.BlockBytes) ==
        matrix.BlockSizes.end()) {
        FailField(name, where + "block_bytes", "is not one of the matrix's block sizes");
    }
    const auto file = ScalePositionOfLabel(FileSizeLabels, matrix.Info.FileSize);
    if (!file ||
        row.FileBytes != static_cast<std::uint32_t>(FileSizes[static_cast<std::size_t>(*file)])) {
        FailField(name, where + "file_bytes", "is not the matrix's file size");
    }
    if (!seen.insert({cell.Configuration, row.BlockBytes, row.ChunkBytes,
                      row.Pass == TResultList::Write ? 0 : 1})
             .second) {
        FailField(name, where.substr(0, where.size() - 1), "repeats a cell");
    }
    matrix.Cells.push_back(std::move(cell));
}

std::vector<std::string> Split(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(';', start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos) {
            return parts;
        }
        start = end + 1;
    }
}

} // namespace

TSavedMatrix ParseMatrixJson(const json& document, const std::string& name) {
    const json* schema = FindDotted(document, "schema");
    if (schema == nullptr || !schema->is_number_unsigned() ||
        schema->get<std::uint64_t>() > MatrixSchema) {
        FailField(name, "schema",
                  "is not one this version reads (up to " + std::to_string(MatrixSchema) + ")");
    }
    TSavedMatrix matrix;
    matrix.File = name;
    matrix.Info.Version.clear();
    for (const char* required :
         {"program", "file_size", "seed", "configurations", "block_sizes", "cells"}) {
        if (FindDotted(document, required) == nullptr) {
            FailField(name, required, "is missing");
        }
    }
    ReadInfoJson(document, matrix.Info, name, true);
    try {
        matrix.Seed = CheckedSeed(CellOfJson(document["seed"], TCellKind::Count), name);
    } catch (const EBadCell&) {
        CheckedSeed(std::monostate{}, name);
    }
    if (const json* stopped = FindDotted(document, "stopped"); stopped != nullptr) {
        if (!stopped->is_boolean()) {
            FailField(name, "stopped", "is not true or false");
        }
        matrix.Stopped = stopped->get<bool>();
    } else {
        matrix.Stopped = matrix.Info.Outcome != "completed";
    }
    const json& configurations = document["configurations"];
    std::vector<std::string> names;
    if (!configurations.is_array() || configurations.size() > MatrixConfigurations().size()) {
        FailField(name, "configurations", "is not a list of 1 to 5 configurations");
    }
    for (const json& item : configurations) {
        if (!item.is_string()) {
            FailField(name, "configurations", "holds something other than a name");
        }
        names.push_back(item.get<std::string>());
    }
    matrix.Configurations = CheckedConfigurations(names, name);
    const json& blocks = document["block_sizes"];
    std::vector<std::uint64_t> bytes;
    if (!blocks.is_array() || blocks.size() > BlockSizes.size()) {
        FailField(name, "block_sizes", "is not a list of 1 to 9 block sizes");
    }
    for (const json& item : blocks) {
        if (!item.is_number_unsigned()) {
            FailField(name, "block_sizes", "holds something other than a whole number");
        }
        bytes.push_back(item.get<std::uint64_t>());
    }
    matrix.BlockSizes = CheckedBlocks(bytes, name);
    const json& cells = document["cells"];
    if (!cells.is_array()) {
        FailField(name, "cells", "is not a list");
    }
    if (cells.size() > MaxMatrixCells) {
        FailField(name, "cells", "holds more cells than any matrix has");
    }
    std::set<std::tuple<std::string, std::uint32_t, std::uint32_t, int>> seen;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const std::string where = "cells[" + std::to_string(i) + "].";
        const json& object = cells[i];
        if (!object.is_object()) {
            FailField(name, where.substr(0, where.size() - 1), "is not a cell");
        }
        const auto configuration = object.find("configuration");
        if (configuration == object.end() || !configuration->is_string()) {
            FailField(name, where + "configuration", "is missing");
        }
        std::optional<bool> independent;
        if (const auto flag = object.find("chunk_independent"); flag != object.end()) {
            if (!flag->is_boolean()) {
                FailField(name, where + "chunk_independent", "is not true or false");
            }
            independent = flag->get<bool>();
        }
        TMatrixCell cell{configuration->get<std::string>(), false,
                         ReadRowJson(object, matrix.Info, name, where)};
        AddCell(matrix, std::move(cell), independent, seen, name, where);
    }
    return matrix;
}

TSavedMatrix ParseMatrixCsv(const std::vector<std::vector<std::string>>& records,
                            const std::string& name) {
    if (records.size() - 1 > MaxMatrixCells) {
        Fail(name, "it holds more cells than any matrix has");
    }
    const TCsvColumns at = CsvColumns(records[0]);
    if (records.size() == 1) {
        Fail(name, "it holds no cells, and so not the matrix's description either");
    }
    for (const char* required :
         {"chunk_independent", "seed", "stopped", "file_size", "configurations", "block_sizes"}) {
        if (at.count(required) == 0) {
            FailField(name, required, "is missing");
        }
    }
    TSavedMatrix matrix;
    matrix.File = name;
    matrix.Info.Version.clear();
    std::set<std::tuple<std::string, std::uint32_t, std::uint32_t, int>> seen;
    EachCsvRecord(
        records, name, [&](const std::vector<std::string>& record, const std::string& where) {
            if (&record == &records[1]) {
                ReadInfoCsv(record, at, matrix.Info, name, where, true);
                for (const TInfoField& field : InfoFields()) {
                    if (std::string_view(field.Json) != "file_size") {
                        continue;
                    }
                    try {
                        field.Read(matrix.Info,
                                   CellFromText(record[at.at("file_size")], field.Kind));
                    } catch (const EBadCell& error) {
                        FailField(name, where + "file_size",
                                  std::string("is wrong: ") + error.what());
                    }
                }
                try {
                    matrix.Seed =
                        CheckedSeed(CellFromText(record[at.at("seed")], TCellKind::Count), name);
                } catch (const EBadCell&) {
                    CheckedSeed(std::monostate{}, name);
                }
                matrix.Stopped = record[at.at("stopped")] == "true";
                matrix.Configurations =
                    CheckedConfigurations(Split(record[at.at("configurations")]), name);
                std::vector<std::uint64_t> blocks;
                for (const std::string& block : Split(record[at.at("block_sizes")])) {
                    try {
                        blocks.push_back(
                            std::get<std::uint64_t>(CellFromText(block, TCellKind::Count)));
                    } catch (const std::exception&) {
                        FailField(name, "block_sizes", "holds something other than a whole number");
                    }
                }
                matrix.BlockSizes = CheckedBlocks(blocks, name);
            }
            const std::string& flag = record[at.at("chunk_independent")];
            if (flag != "true" && flag != "false") {
                FailField(name, where + "chunk_independent", "is not true or false");
            }
            TResultRow row = ReadRowCsv(record, at, name, where);
            AddCell(matrix, {record[0], false, std::move(row)}, flag == "true", seen, name, where);
        });
    return matrix;
}

} // namespace orvane::results
