// The proof of one pass: the block device's counters, the thread's CPU time and switches,
// the time the process was stopped, and for a read pass the file's bytes in the page cache,
// read just before the pass's start clock and just after its end clock, never inside the
// interval.
#pragma once

#include "bench/ResultRow.h"
#include "platform/Measuring.h"

#include <cstdint>
#include <optional>
#include <string>

namespace orvane {

class TPassProbe {
public:
    // `device` as platform::BlockDeviceOf gives it; empty: no device counters.
    TPassProbe(const std::string& device, TResultList pass, const std::string& fileName)
        : FDevice(device), FPass(pass), FFileName(fileName) {}

    void Before();
    void After();
    const TPassProof& Proof() const { return FProof; }

private:
    const std::string& FDevice;
    const TResultList FPass;
    const std::string& FFileName;
    std::optional<platform::TDeviceCounters> FDeviceBefore;
    std::optional<platform::TThreadUsage> FUsageBefore;
    std::optional<std::int64_t> FStoppedBefore;
    TPassProof FProof;
};

} // namespace orvane
