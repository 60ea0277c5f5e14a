// The matrix's writers.
#include "results/MatrixReport.h"

#include "bench/MatrixPlan.h"
#include "bench/Scales.h"
#include "bench/ShownText.h"
#include "results/Columns.h"
#include "results/JsonCells.h"
#include "results/Winners.h"

#include <algorithm>
#include <map>
#include <tuple>

namespace orvane::results {

namespace {

const char* const TableKey =
    "MiB/s; * wins the cell, = ties with the fastest, ~ one figure for every chunk size";

const char* PassName(TResultList pass) {
    return pass == TResultList::Write ? "write" : "read";
}

std::size_t Rank(const std::string& configuration) {
    return MatrixConfigurationOf(configuration).value_or(MatrixConfigurations().size());
}

// Pass, block size, chunk size, configuration: the order every output lists the cells in.
std::vector<const TMatrixCell*> Ordered(const TSavedMatrix& matrix) {
    std::vector<const TMatrixCell*> cells;
    for (const TMatrixCell& cell : matrix.Cells) {
        cells.push_back(&cell);
    }
    const auto key = [](const TMatrixCell* c) {
        return std::tuple(c->Row.Pass == TResultList::Write ? 0 : 1, c->Row.BlockBytes,
                          c->Row.ChunkBytes, Rank(c->Configuration));
    };
    std::stable_sort(cells.begin(), cells.end(),
                     [&](const auto* a, const auto* b) { return key(a) < key(b); });
    return cells;
}

using TPlace = std::tuple<TResultList, std::uint32_t, std::uint32_t>;

std::map<TPlace, TWinner> WinnersByPlace(const std::vector<TWinner>& winners) {
    std::map<TPlace, TWinner> byPlace;
    for (const TWinner& winner : winners) {
        byPlace.emplace(TPlace{winner.Pass, winner.BlockBytes, winner.ChunkBytes}, winner);
    }
    return byPlace;
}

const TWinner* WinnerOf(const std::map<TPlace, TWinner>& winners, const TResultRow& row) {
    const auto it = winners.find({row.Pass, row.BlockBytes, row.ChunkBytes});
    return it == winners.end() ? nullptr : &it->second;
}

TCell MarginCell(const TWinner* winner) {
    if (winner == nullptr || !winner->Margin) {
        return std::monostate{};
    }
    return *winner->Margin;
}

std::string Padded(const std::string& text, std::size_t width) {
    return std::string(text.size() < width ? width - text.size() : 0, ' ') + text;
}

// A line of the grid without the room its last mark left.
std::string Line(std::string text) {
    text.erase(text.find_last_not_of(' ') + 1);
    return text + "\n";
}

std::string Table(const TSavedMatrix& matrix, const std::vector<TWinner>& winners) {
    const auto byPlace = WinnersByPlace(winners);
    std::string out = "Matrix: " + EscapeControls(MatrixLabel(matrix)) + "\n";
    if (const std::string ceiling = CeilingLine(matrix.Info); !ceiling.empty()) {
        out += EscapeControls(ceiling) + "\n";
    }
    std::vector<std::size_t> widths;
    for (const std::string& name : matrix.Configurations) {
        widths.push_back(std::max<std::size_t>(name.size() + 2, 11));
    }
    for (const TResultList pass : {TResultList::Write, TResultList::Read}) {
        for (const std::uint32_t block : matrix.BlockSizes) {
            out += "\n" + std::string(pass == TResultList::Write ? "Write" : "Read") + ", " +
                   std::to_string(block) + "-byte blocks (" + TableKey + ")\n";
            std::string header = "chunk ";
            for (std::size_t c = 0; c < matrix.Configurations.size(); ++c) {
                const auto index = MatrixConfigurationOf(matrix.Configurations[c]);
                const bool independent = index && MatrixConfigurations()[*index].ChunkIndependent();
                header += Padded(matrix.Configurations[c] + (independent ? "~ " : "  "), widths[c]);
            }
            out += Line(header);
            for (std::size_t p = 0; p < ChunkSizes.size(); ++p) {
                const auto chunk = static_cast<std::uint32_t>(ChunkSizes[p]);
                std::string line = std::string(ChunkSizeLabels[p]);
                line.resize(6, ' ');
                bool any = false;
                for (std::size_t c = 0; c < matrix.Configurations.size(); ++c) {
                    const TMatrixCell* cell =
                        FindMatrixCell(matrix, matrix.Configurations[c], block, chunk, pass);
                    std::string text = "-  ";
                    if (cell != nullptr) {
                        any = true;
                        const double mib = cell->Row.KiBPerSecond() / 1024;
                        const TWinner* winner = WinnerOf(byPlace, cell->Row);
                        const bool fastest =
                            winner != nullptr && winner->Fastest == cell->Configuration;
                        const bool tied = winner != nullptr && winner->Tie &&
                                          (fastest || winner->RunnerUp == cell->Configuration);
                        text = (mib > 0 ? DecimalText(mib, 2) : std::string("n/a")) + (tied ? "= "
                                                                                       : fastest
                                                                                           ? "* "
                                                                                           : "  ");
                    }
                    line += Padded(text, widths[c]);
                }
                if (any) {
                    out += Line(line);
                }
            }
        }
    }
    out += "\n";
    for (const TResultList pass : {TResultList::Write, TResultList::Read}) {
        out += WinnerSentence(winners, pass) + "\n";
    }
    if (matrix.Stopped) {
        out += "The matrix ended before its last cell: the cells shown are those it measured.\n";
    }
    return out;
}

std::string ListText(const TSavedMatrix& matrix) {
    std::string text;
    for (const std::string& name : matrix.Configurations) {
        text += (text.empty() ? "" : ";") + name;
    }
    return text;
}

std::string BlocksText(const TSavedMatrix& matrix) {
    std::string text;
    for (const std::uint32_t block : matrix.BlockSizes) {
        text += (text.empty() ? "" : ";") + std::to_string(block);
    }
    return text;
}

std::string Csv(const TSavedMatrix& matrix, const std::vector<TWinner>& winners) {
    const auto byPlace = WinnersByPlace(winners);
    std::string out = "configuration,chunk_independent,";
    for (const TColumn& column : RowColumns()) {
        out += std::string(column.Name) + ",";
    }
    // A run's CSV takes its file size from the rows; a matrix names it with its other lists.
    out += "winner,margin,seed,stopped,file_size,configurations,block_sizes";
    std::string values = CsvField(std::to_string(matrix.Seed)) + "," +
                         (matrix.Stopped ? "true" : "false") + "," +
                         CsvField(matrix.Info.FileSize) + "," + CsvField(ListText(matrix)) + "," +
                         CsvField(BlocksText(matrix));
    for (const TInfoField& field : InfoFields()) {
        if (field.Csv != nullptr && !field.RunOnly) {
            out += "," + std::string(field.Csv);
            values += "," + CsvText(field.Value(matrix.Info), 0);
        }
    }
    out += "\n";
    for (const TMatrixCell* cell : Ordered(matrix)) {
        out += CsvField(cell->Configuration) + (cell->ChunkIndependent ? ",true," : ",false,");
        for (const TColumn& column : RowColumns()) {
            out += CsvText(column.Value(cell->Row), column.Decimals) + ",";
        }
        const TWinner* winner = WinnerOf(byPlace, cell->Row);
        out += CsvField(winner != nullptr ? winner->Text() : "") + "," +
               CsvText(MarginCell(winner), 4) + "," + values + "\n";
    }
    return out;
}

std::string Json(const TSavedMatrix& matrix, const std::vector<TWinner>& winners) {
    nlohmann::json document = nlohmann::json::object();
    document["kind"] = MatrixKind;
    document["schema"] = MatrixSchema;
    for (const TInfoField& field : InfoFields()) {
        if (!field.RunOnly) {
            PutDotted(document, field.Json, JsonOfCell(field.Value(matrix.Info)));
        }
    }
    document["seed"] = matrix.Seed;
    document["stopped"] = matrix.Stopped;
    document["configurations"] = matrix.Configurations;
    document["block_sizes"] = matrix.BlockSizes;
    nlohmann::json cells = nlohmann::json::array();
    for (const TMatrixCell* cell : Ordered(matrix)) {
        nlohmann::json object = {{"configuration", cell->Configuration},
                                 {"chunk_independent", cell->ChunkIndependent}};
        for (const TColumn& column : RowColumns()) {
            object[column.Name] = JsonOfCell(column.Value(cell->Row));
        }
        cells.push_back(std::move(object));
    }
    document["cells"] = std::move(cells);
    nlohmann::json list = nlohmann::json::array();
    for (const TWinner& winner : winners) {
        list.push_back({{"block_bytes", winner.BlockBytes},
                        {"chunk_bytes", winner.ChunkBytes},
                        {"pass", PassName(winner.Pass)},
                        {"winner", winner.Text()},
                        {"margin", JsonOfCell(MarginCell(&winner))},
                        {"fastest", winner.Fastest},
                        {"runner_up", winner.RunnerUp}});
    }
    document["winners"] = std::move(list);
    return document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

} // namespace

std::string MatrixReportText(const TSavedMatrix& matrix, TFormat format) {
    const std::vector<TWinner> winners = MatrixWinners(matrix);
    switch (format) {
    case TFormat::Csv:
        return Csv(matrix, winners);
    case TFormat::Json:
        return Json(matrix, winners);
    case TFormat::Table:
        break;
    }
    return Table(matrix, winners);
}

} // namespace orvane::results
