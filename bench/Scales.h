// The three size scales: each track-bar position pairs a byte count with the short label
// shown beside the bar and in the result rows. Shared by the window and the command line.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace orvane {

// File size at position p is 2^(20+p) bytes.
inline constexpr std::array<std::int32_t, 11> FileSizes = {
    1048576,  2097152,   4194304,   8388608,   16777216,  33554432,
    67108864, 134217728, 268435456, 536870912, 1073741824};
inline constexpr std::array<std::string_view, 11> FileSizeLabels = {
    "1M", "2M", "4M", "8M", "16M", "32M", "64M", "128M", "256M", "512M", "1G"};

// Block size at position p is 2^p bytes; the label is the count in decimal.
inline constexpr std::array<std::int32_t, 9> BlockSizes = {1, 2, 4, 8, 16, 32, 64, 128, 256};
inline constexpr std::array<std::string_view, 9> BlockSizeLabels = {"1",  "2",  "4",   "8",  "16",
                                                                    "32", "64", "128", "256"};

// Chunk size at position p is 2^(10+p) bytes.
inline constexpr std::array<std::int32_t, 11> ChunkSizes = {
    1024, 2048, 4096, 8192, 16384, 32768, 65536, 131072, 262144, 524288, 1048576};
inline constexpr std::array<std::string_view, 11> ChunkSizeLabels = {
    "1K", "2K", "4K", "8K", "16K", "32K", "64K", "128K", "256K", "512K", "1M"};

// Positions every start begins at.
inline constexpr int FileSizeStartPosition = 8;  // 256M
inline constexpr int BlockSizeStartPosition = 8; // 256
inline constexpr int ChunkSizeStartPosition = 0; // 1K

// The largest file size that `freeBytes` holds, as its position; none when not even the
// smallest does.
std::optional<int> LargestFileSizeWithin(std::int64_t freeBytes);

// The position whose label is `label`, if the scale has one.
std::optional<int> ScalePositionOfLabel(std::span<const std::string_view> labels,
                                        std::string_view label);

} // namespace orvane
