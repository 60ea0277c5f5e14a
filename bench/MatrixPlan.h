// The plan of a matrix: which configurations (an access method with or without its buffer)
// meet which block and chunk sizes, which of those cells are measured (a configuration that
// ignores the chunk size once per block size), and in which order: every round shuffled by a
// seeded generator whose output the C++ standard fixes, so that a drift of the machine favours
// no configuration and a seed repeats the order. Pure: told each pass's duration, it answers
// what to run next and when a cell is steady, as a run's repeat plan does for chunk sizes.
#pragma once

#include "bench/AccessMethod.h"
#include "bench/RepeatPlan.h"
#include "bench/ResultRow.h"
#include "bench/RunHost.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

struct TMatrixConfiguration {
    const char* Name; // "win32-buffered", as the command line and the files name it
    const char* Mark; // "WB": the winner map's initial
    TAccessMethod Method;
    // Both boxes ticked: the layer's buffer is the chunk size. Without it no configuration
    // looks at the chunk size (Win32 keeps its 64 KiB buffer), so its cells are measured once
    // per block size and stand for every chunk size.
    bool Buffered;

    bool ChunkIndependent() const { return !Buffered; }
};

// file, mmio, mmio-buffered, win32, win32-buffered: the order of every table and picture.
std::span<const TMatrixConfiguration> MatrixConfigurations();
std::optional<std::size_t> MatrixConfigurationOf(std::string_view name);

// The chunk size a chunk-independent cell is run with: any would do; Win32's own buffer size.
inline constexpr std::size_t IndependentChunkPosition = 6; // 64K

// One measured cell: an iteration of a configuration at a block size and, unless the
// configuration ignores it, a chunk size (positions on the scales).
struct TMatrixUnit {
    std::size_t Configuration; // in MatrixConfigurations()
    std::size_t BlockPosition;
    std::optional<std::size_t> ChunkPosition; // none: chunk-independent

    std::size_t RunChunkPosition() const {
        return ChunkPosition.value_or(IndependentChunkPosition);
    }
};

// "win32-buffered, 16-byte blocks, chunk 64K"; "file, 16-byte blocks, any chunk size".
std::string MatrixUnitName(const TMatrixUnit& unit);

// The largest seed: a JSON number that every reader takes exactly.
inline constexpr std::uint64_t MaxMatrixSeed = (std::uint64_t{1} << 53) - 1;

// The most times a cell runs until steady where the user names no other: a matrix has over a
// hundred cells, and with a run's nine the default matrix takes more than ten minutes on two
// cores, most of it in the pauses around the passes.
inline constexpr int MatrixMaxRepeats = 5;
// A fresh seed from the system's entropy, at most MaxMatrixSeed.
std::uint64_t NewMatrixSeed();

// A number below `bound` (above 0) from the generator's raw output, without modulo bias:
// std::uniform_int_distribution's algorithm is the library's own, this one is fixed.
std::uint64_t DrawBelow(std::uint64_t bound, std::mt19937_64& generator);
// 0..count-1 shuffled by Fisher-Yates with DrawBelow.
std::vector<std::size_t> ShuffledOrder(std::size_t count, std::mt19937_64& generator);

class TMatrixPlan {
public:
    // `configurations` (indices into MatrixConfigurations()) and `blockPositions` in the order
    // the tables show them. The mode's repeats (fixed or until steady) go round all cells.
    TMatrixPlan(std::vector<std::size_t> configurations, std::vector<std::size_t> blockPositions,
                const TMeasuringMode& mode, std::uint64_t seed);
    // The repeat plan asks this object for each round's order.
    TMatrixPlan(const TMatrixPlan&) = delete;
    TMatrixPlan& operator=(const TMatrixPlan&) = delete;

    // Configuration by configuration, block size by block size, chunk size by chunk size.
    const std::vector<TMatrixUnit>& Units() const { return FUnits; }
    const std::vector<std::size_t>& Configurations() const { return FConfigurations; }
    const std::vector<std::size_t>& BlockPositions() const { return FBlockPositions; }
    const TMeasuringMode& Mode() const { return FMode; }
    std::uint64_t Seed() const { return FSeed; }

    // The unit to run next, starting its next run; none when the plan is done.
    std::optional<std::size_t> Next();
    // Iterations started so far, and the most the plan can start (every unit at its most
    // repeats; until steady, fewer may do).
    std::size_t Started() const { return FStarted; }
    std::size_t MostIterations() const;

    void Record(std::size_t unit, TResultList list, double seconds) {
        FRepeats.Record(unit, list, seconds);
    }
    const std::vector<double>& Samples(std::size_t unit, TResultList list) const {
        return FRepeats.Samples(unit, list);
    }
    std::optional<bool> Steady(std::size_t unit, TResultList list) const {
        return FRepeats.Steady(unit, list);
    }

private:
    std::vector<std::size_t> FConfigurations;
    std::vector<std::size_t> FBlockPositions;
    TMeasuringMode FMode;
    std::uint64_t FSeed;
    std::vector<TMatrixUnit> FUnits;
    std::mt19937_64 FGenerator;
    TRepeatPlan FRepeats;
    std::size_t FStarted = 0;
};

} // namespace orvane
