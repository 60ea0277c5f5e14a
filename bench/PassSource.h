// Where a pass's bytes came from or went to, judged from its proof: the device, the page
// cache, some of each, or unknown where the device moved nothing that could be counted.
#pragma once

#include "bench/ResultRow.h"

#include <cstdint>
#include <string_view>

namespace orvane {

enum class TPassSource {
    Unknown,   // no device counters
    Device,    // the device moved at least 90 % of the file (a read: at most 1 % cached)
    PageCache, // the device moved under 10 % of it
    Mixed,     // anything between
};

// A read whose cached bytes at its start are unknown is judged by the device alone.
TPassSource SourceOfPass(TResultList pass, const TPassProof& proof, std::uint64_t fileBytes);

inline TPassSource SourceOfPass(const TResultRow& row) {
    return SourceOfPass(row.Pass, row.Proof, row.FileBytes);
}

// "device", "page cache", "mixed", "unknown": as reports and captions write it.
std::string_view PassSourceName(TPassSource source);

} // namespace orvane
