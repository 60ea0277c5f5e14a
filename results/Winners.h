// Which configuration wins each cell of a matrix (a block size, a chunk size and a pass), or
// whether its lead is within the noise; and a matrix's winners summed up per pass in a
// sentence. Pure: it takes the cells' duration samples, nothing measured or saved.
#pragma once

#include "results/Matrix.h"
#include "results/Verdict.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace orvane::results {

struct TWinner {
    std::uint32_t BlockBytes = 0;
    std::uint32_t ChunkBytes = 0;
    TResultList Pass = TResultList::Write;
    std::string Fastest;  // the highest median throughput; empty where no cell has a figure
    std::string RunnerUp; // the next; empty where only one cell has a figure
    // The runner-up's median interval (throughput) overlaps or touches the fastest's; with a
    // single sample on either side, the medians are within the noise threshold instead.
    bool Tie = false;
    // The fastest's median throughput over the runner-up's, less one (0.25: 25 % ahead).
    std::optional<double> Margin;

    // The configuration's name, "tie", or "" where nothing was measured.
    std::string Text() const { return Tie ? "tie" : Fastest; }
};

// The winner among the cells of one place in the matrix (any order).
TWinner JudgeCells(std::span<const TMatrixCell* const> cells,
                   double thresholdPercent = NoiseThresholdPercent);

// Every place of the matrix that has a cell: the write pass, then the read pass, each block
// size by block size, chunk size by chunk size.
std::vector<TWinner> MatrixWinners(const TSavedMatrix& matrix,
                                   double thresholdPercent = NoiseThresholdPercent);

// "writes: win32-buffered wins 38 of 55 cells; file wins 11 (256-byte blocks); ties: file and
// win32 in 6 (256-byte blocks)".
std::string WinnerSentence(std::span<const TWinner> winners, TResultList pass);

} // namespace orvane::results
