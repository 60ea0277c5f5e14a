// The matrix's cells and its label.
#include "results/Matrix.h"

#include "bench/MatrixPlan.h"
#include "bench/Scales.h"

#include <algorithm>

namespace orvane::results {

void AddMatrixCells(TSavedMatrix& matrix, const std::string& configuration, const TResultRow& row) {
    const auto index = MatrixConfigurationOf(configuration);
    const bool independent = index && MatrixConfigurations()[*index].ChunkIndependent();
    if (!independent) {
        matrix.Cells.push_back({configuration, false, row});
        return;
    }
    for (std::size_t p = 0; p < ChunkSizes.size(); ++p) {
        TMatrixCell& cell = matrix.Cells.emplace_back(TMatrixCell{configuration, true, row});
        cell.Row.ChunkBytes = static_cast<std::uint32_t>(ChunkSizes[p]);
        cell.Row.ChunkLabel = ChunkSizeLabels[p];
    }
}

const TMatrixCell* FindMatrixCell(const TSavedMatrix& matrix, std::string_view configuration,
                                  std::uint32_t blockBytes, std::uint32_t chunkBytes,
                                  TResultList pass) {
    const auto it =
        std::find_if(matrix.Cells.begin(), matrix.Cells.end(), [&](const TMatrixCell& cell) {
            return cell.Row.Pass == pass && cell.Row.BlockBytes == blockBytes &&
                   cell.Row.ChunkBytes == chunkBytes && cell.Configuration == configuration;
        });
    return it == matrix.Cells.end() ? nullptr : &*it;
}

std::string MatrixLabel(const TSavedMatrix& matrix) {
    const TRunInfo& info = matrix.Info;
    std::string label = "matrix of " + std::to_string(matrix.Configurations.size()) +
                        (matrix.Configurations.size() == 1 ? " configuration" : " configurations");
    if (!matrix.BlockSizes.empty()) {
        label += matrix.BlockSizes.size() == 1
                     ? ", block " + std::to_string(matrix.BlockSizes.front())
                     : ", blocks " + std::to_string(matrix.BlockSizes.front()) + " to " +
                           std::to_string(matrix.BlockSizes.back());
    }
    label += ", file " + info.FileSize + ModeWords(info);
    label += ", seed " + std::to_string(matrix.Seed);
    return label + PlaceAndStart(info, matrix.Stopped);
}

} // namespace orvane::results
