// A matrix as data: its description (the fields of a run that apply to many configurations),
// the configurations and block sizes it was asked for, its seed, whether it ran to its end,
// and its cells, each a row as a run makes it with the configuration that measured it.
#pragma once

#include "bench/ResultRow.h"
#include "results/RunInfo.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::results {

// The version of the matrix file's layout; a reader takes this one and the ones before.
inline constexpr int MatrixSchema = 1;
// The "kind" of a results file in JSON: a matrix, or a run (files from before it have none).
inline constexpr const char* MatrixKind = "matrix";
inline constexpr const char* RunKind = "run";

struct TMatrixCell {
    std::string Configuration; // a name of MatrixConfigurations()
    bool ChunkIndependent = false;
    TResultRow Row; // its pass, block and chunk size, duration and samples
};

struct TSavedMatrix {
    std::string File; // where it was read from; empty for a matrix just made
    TRunInfo Info;    // the run-only fields (method, buffers, block size) say nothing here
    std::uint64_t Seed = 0;
    // Ended before its last cell (stopped, or failed): cells may be missing.
    bool Stopped = false;
    std::vector<std::string> Configurations; // in the order of MatrixConfigurations()
    std::vector<std::uint32_t> BlockSizes;   // bytes, ascending
    // A chunk-independent configuration's figure stands in every chunk size's cell.
    std::vector<TMatrixCell> Cells;
};

// The cells a measured row stands for: itself, or for a configuration that ignores the chunk
// size one per chunk size, each under that chunk size.
void AddMatrixCells(TSavedMatrix& matrix, const std::string& configuration, const TResultRow& row);

// The cell of a configuration, block size, chunk size and pass; nullptr where there is none.
const TMatrixCell* FindMatrixCell(const TSavedMatrix& matrix, std::string_view configuration,
                                  std::uint32_t blockBytes, std::uint32_t chunkBytes,
                                  TResultList pass);

// "matrix of 5 configurations, blocks 1 to 256, file 16M, median until steady, ext4 on vda,
// seed 42, 2026-12-08 10:20:31"; a stopped matrix says so.
std::string MatrixLabel(const TSavedMatrix& matrix);

} // namespace orvane::results
