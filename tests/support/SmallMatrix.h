// Small matrices of known figures for the tests of what reads, writes, judges and draws them:
// a cell is a 1 MiB pass whose samples give the throughput asked for.
#pragma once

#include "bench/Scales.h"
#include "results/Matrix.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <vector>

namespace orvane::testing {

// A row of a 1 MiB pass of `mibPerSecond` at its median; with `spread`, three samples that far
// (a share) apart either way, else one.
inline TResultRow MatrixRow(TResultList pass, std::uint32_t block, std::uint32_t chunk,
                            double mibPerSecond, double spread = -1) {
    TResultRow row;
    row.Pass = pass;
    row.BlockBytes = block;
    row.ChunkBytes = chunk;
    const auto at =
        std::find(ChunkSizes.begin(), ChunkSizes.end(), static_cast<std::int32_t>(chunk));
    row.ChunkLabel = ChunkSizeLabels[static_cast<std::size_t>(at - ChunkSizes.begin())];
    row.FileBytes = 1048576;
    const double seconds = 1.0 / mibPerSecond;
    row.End = row.Start + std::chrono::nanoseconds(std::llround(seconds * 1e9));
    row.DurationSamples =
        spread < 0 ? std::vector<double>{seconds}
                   : std::vector<double>{seconds * (1 - spread), seconds, seconds * (1 + spread)};
    return row;
}

// file and win32-buffered at 16 and 256-byte blocks, 1M file, seed 42: file runs at `file`
// MiB/s everywhere; win32-buffered at `buffered` times the chunk size in KiB (so it loses at
// 1K and wins from 2K), reads twice as fast as writes. Three samples, 1 % apart.
inline results::TSavedMatrix SmallMatrix(double file = 3, double buffered = 2) {
    results::TSavedMatrix matrix;
    matrix.Info.Program = "orvane-cli";
    matrix.Info.FileSize = "1M";
    matrix.Info.StartTime = "2026-12-08T10:00:00.000+00:00";
    matrix.Info.Outcome = "completed";
    matrix.Info.Mode.Repeats = 3;
    matrix.Seed = 42;
    matrix.Configurations = {"file", "win32-buffered"};
    matrix.BlockSizes = {16, 256};
    for (const TResultList pass : {TResultList::Write, TResultList::Read}) {
        const double factor = pass == TResultList::Write ? 1 : 2;
        for (const std::uint32_t block : matrix.BlockSizes) {
            results::AddMatrixCells(matrix, "file",
                                    MatrixRow(pass, block, 65536, file * factor, 0.01));
            for (std::uint32_t chunk = 1024; chunk <= 1048576; chunk *= 2) {
                results::AddMatrixCells(
                    matrix, "win32-buffered",
                    MatrixRow(pass, block, chunk, buffered * factor * chunk / 1024, 0.01));
            }
        }
    }
    return matrix;
}

} // namespace orvane::testing
