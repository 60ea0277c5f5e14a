// The size scales: every entry follows its power-of-two rule and its label says the same.
#include "bench/Scales.h"

#include <gtest/gtest.h>

#include <string>

namespace orvane {
namespace {

// Reads a label back into bytes: a decimal count with an optional K, M or G suffix.
std::int64_t LabelBytes(std::string_view label) {
    std::int64_t unit = 1;
    switch (label.back()) {
    case 'K':
        unit = std::int64_t{1} << 10;
        break;
    case 'M':
        unit = std::int64_t{1} << 20;
        break;
    case 'G':
        unit = std::int64_t{1} << 30;
        break;
    default:
        break;
    }
    if (unit != 1) {
        label.remove_suffix(1);
    }
    return std::stoll(std::string(label)) * unit;
}

template <std::size_t N>
void ExpectScale(const std::array<std::int32_t, N>& sizes,
                 const std::array<std::string_view, N>& labels, int firstExponent) {
    for (std::size_t p = 0; p < N; ++p) {
        SCOPED_TRACE(std::string(labels[p]));
        EXPECT_EQ(sizes[p], std::int64_t{1} << (firstExponent + static_cast<int>(p)));
        EXPECT_EQ(LabelBytes(labels[p]), sizes[p]);
        EXPECT_LE(labels[p].size(), 4u);
    }
}

TEST(Scales, EveryEntryFollowsItsRuleAndItsLabel) {
    ExpectScale(FileSizes, FileSizeLabels, 20);
    ExpectScale(BlockSizes, BlockSizeLabels, 0);
    ExpectScale(ChunkSizes, ChunkSizeLabels, 10);
}

TEST(Scales, EndsAndStartPositions) {
    EXPECT_EQ(FileSizeLabels.front(), "1M");
    EXPECT_EQ(FileSizeLabels.back(), "1G");
    EXPECT_EQ(BlockSizeLabels.back(), "256");
    EXPECT_EQ(ChunkSizeLabels.back(), "1M");
    EXPECT_EQ(FileSizes[FileSizeStartPosition], 268435456);
    EXPECT_EQ(BlockSizes[BlockSizeStartPosition], 256);
    EXPECT_EQ(ChunkSizes[ChunkSizeStartPosition], 1024);
}

TEST(Scales, PositionOfLabel) {
    EXPECT_EQ(ScalePositionOfLabel(FileSizeLabels, "1M"), 0);
    EXPECT_EQ(ScalePositionOfLabel(FileSizeLabels, "1G"), 10);
    EXPECT_EQ(ScalePositionOfLabel(ChunkSizeLabels, "1M"), 10);
    EXPECT_EQ(ScalePositionOfLabel(BlockSizeLabels, "3"), std::nullopt);
    EXPECT_EQ(ScalePositionOfLabel(FileSizeLabels, "1m"), std::nullopt);
}

} // namespace
} // namespace orvane
