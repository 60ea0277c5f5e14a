// Look-ups on the size scales.
#include "bench/Scales.h"

#include <algorithm>

namespace orvane {

static_assert(FileSizes.size() == FileSizeLabels.size());
static_assert(BlockSizes.size() == BlockSizeLabels.size());
static_assert(ChunkSizes.size() == ChunkSizeLabels.size());

std::optional<int> ScalePositionOfLabel(std::span<const std::string_view> labels,
                                        std::string_view label) {
    const auto it = std::find(labels.begin(), labels.end(), label);
    if (it == labels.end()) {
        return std::nullopt;
    }
    return static_cast<int>(it - labels.begin());
}

std::optional<int> LargestFileSizeWithin(std::int64_t freeBytes) {
    for (int p = static_cast<int>(FileSizes.size()) - 1; p >= 0; --p) {
        if (FileSizes[static_cast<std::size_t>(p)] <= freeBytes) {
            return p;
        }
    }
    return std::nullopt;
}

} // namespace orvane
