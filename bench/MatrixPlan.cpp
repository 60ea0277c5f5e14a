// The matrix's cells and their order.
#include "bench/MatrixPlan.h"

#include "bench/Scales.h"

#include <algorithm>
#include <iterator>
#include <limits>
#include <numeric>
#include <utility>

namespace orvane {

namespace {

const TMatrixConfiguration Configurations[] = {
    {"file", "F", TAccessMethod::amFile, false},
    {"mmio", "M", TAccessMethod::amMmio, false},
    {"mmio-buffered", "MB", TAccessMethod::amMmio, true},
    {"win32", "W", TAccessMethod::amWin32, false},
    {"win32-buffered", "WB", TAccessMethod::amWin32, true},
};

std::vector<TMatrixUnit> UnitsOf(const std::vector<std::size_t>& configurations,
                                 const std::vector<std::size_t>& blockPositions) {
    std::vector<TMatrixUnit> units;
    for (const std::size_t c : configurations) {
        for (const std::size_t b : blockPositions) {
            if (Configurations[c].ChunkIndependent()) {
                units.push_back({c, b, std::nullopt});
                continue;
            }
            for (std::size_t chunk = 0; chunk < ChunkSizes.size(); ++chunk) {
                units.push_back({c, b, chunk});
            }
        }
    }
    return units;
}

} // namespace

std::span<const TMatrixConfiguration> MatrixConfigurations() {
    return Configurations;
}

std::optional<std::size_t> MatrixConfigurationOf(std::string_view name) {
    for (std::size_t i = 0; i < std::size(Configurations); ++i) {
        if (name == Configurations[i].Name) {
            return i;
        }
    }
    return std::nullopt;
}

std::string MatrixUnitName(const TMatrixUnit& unit) {
    std::string name = std::string(Configurations[unit.Configuration].Name) + ", " +
                       std::string(BlockSizeLabels[unit.BlockPosition]) + "-byte blocks";
    if (unit.ChunkPosition) {
        return name + ", chunk " + std::string(ChunkSizeLabels[*unit.ChunkPosition]);
    }
    return name + ", any chunk size";
}

std::uint64_t NewMatrixSeed() {
    std::random_device entropy;
    const std::uint64_t high = entropy();
    return ((high << 32) ^ entropy()) & MaxMatrixSeed;
}

std::uint64_t DrawBelow(std::uint64_t bound, std::mt19937_64& generator) {
    // The largest multiple of `bound` the generator can reach; a draw above it is drawn again.
    const std::uint64_t limit = std::numeric_limits<std::uint64_t>::max() -
                                std::numeric_limits<std::uint64_t>::max() % bound;
    for (;;) {
        if (const std::uint64_t draw = generator(); draw < limit) {
            return draw % bound;
        }
    }
}

std::vector<std::size_t> ShuffledOrder(std::size_t count, std::mt19937_64& generator) {
    std::vector<std::size_t> order(count);
    std::iota(order.begin(), order.end(), std::size_t{0});
    for (std::size_t i = count; i > 1; --i) {
        std::swap(order[i - 1], order[DrawBelow(i, generator)]);
    }
    return order;
}

TMatrixPlan::TMatrixPlan(std::vector<std::size_t> configurations,
                         std::vector<std::size_t> blockPositions, const TMeasuringMode& mode,
                         std::uint64_t seed)
    : FConfigurations(std::move(configurations)), FBlockPositions(std::move(blockPositions)),
      FMode(mode), FSeed(seed), FUnits(UnitsOf(FConfigurations, FBlockPositions)), FGenerator(seed),
      // Each round is shuffled afresh, so that no cell keeps its place in the rounds.
      FRepeats(FUnits.size(), mode,
               [this](int) { return ShuffledOrder(FUnits.size(), FGenerator); }) {}

std::optional<std::size_t> TMatrixPlan::Next() {
    const std::optional<std::size_t> unit = FRepeats.Next();
    if (unit) {
        ++FStarted;
    }
    return unit;
}

std::size_t TMatrixPlan::MostIterations() const {
    return FUnits.size() * static_cast<std::size_t>(std::max(FRepeats.MaxRounds(), 1));
}

} // namespace orvane
