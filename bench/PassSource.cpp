// The source of a pass from its device bytes and its cached bytes, in whole-byte arithmetic
// so that the bounds are exact.
#include "bench/PassSource.h"

namespace orvane {

namespace {

// part >= 90 % of whole, without overflow: whole - floor(whole / 10) is ceil(0.9 whole).
bool AtLeastNineTenths(std::uint64_t part, std::uint64_t whole) {
    return part >= whole - whole / 10;
}

// part < 10 % of whole: under ceil(whole / 10).
bool UnderOneTenth(std::uint64_t part, std::uint64_t whole) {
    return part < whole / 10 + (whole % 10 != 0 ? 1 : 0);
}

// part <= 1 % of whole.
bool AtMostOneHundredth(std::uint64_t part, std::uint64_t whole) {
    return part <= whole / 100;
}

} // namespace

TPassSource SourceOfPass(TResultList pass, const TPassProof& proof, std::uint64_t fileBytes) {
    if (!proof.DeviceBytes || fileBytes == 0) {
        return TPassSource::Unknown;
    }
    const std::uint64_t device = *proof.DeviceBytes;
    if (UnderOneTenth(device, fileBytes)) {
        return TPassSource::PageCache;
    }
    const bool uncached = pass == TResultList::Write || !proof.CachedBytesAtStart ||
                          AtMostOneHundredth(*proof.CachedBytesAtStart, fileBytes);
    return AtLeastNineTenths(device, fileBytes) && uncached ? TPassSource::Device
                                                            : TPassSource::Mixed;
}

std::string_view PassSourceName(TPassSource source) {
    switch (source) {
    case TPassSource::Device:
        return "device";
    case TPassSource::PageCache:
        return "page cache";
    case TPassSource::Mixed:
        return "mixed";
    case TPassSource::Unknown:
        break;
    }
    return "unknown";
}

} // namespace orvane
