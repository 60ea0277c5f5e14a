// Reading the proof around a pass.
#include "bench/PassProbe.h"

namespace orvane {

void TPassProbe::Before() {
    if (FPass == TResultList::Read) {
        FProof.CachedBytesAtStart = platform::CachedBytes(FFileName);
    }
    // The counters last, nearest to the start clock.
    FUsageBefore = platform::ReadThreadUsage();
    FDeviceBefore = platform::ReadDeviceCounters(FDevice);
    // A stop that ended before this point is no part of the pass.
    platform::NoteRunning();
    FStoppedBefore = platform::StoppedNanoseconds();
}

void TPassProbe::After() {
    const std::optional<platform::TDeviceCounters> device = platform::ReadDeviceCounters(FDevice);
    const std::optional<platform::TThreadUsage> usage = platform::ReadThreadUsage();
    if (const std::optional<std::int64_t> stopped = platform::StoppedNanoseconds();
        stopped && FStoppedBefore) {
        FProof.StoppedSeconds = static_cast<double>(*stopped - *FStoppedBefore) / 1e9;
    }
    if (device && FDeviceBefore) {
        FProof.DeviceBytes = FPass == TResultList::Write
                                 ? device->WrittenBytes - FDeviceBefore->WrittenBytes
                                 : device->ReadBytes - FDeviceBefore->ReadBytes;
    }
    if (usage && FUsageBefore) {
        FProof.CpuUserSeconds = usage->UserSeconds - FUsageBefore->UserSeconds;
        FProof.CpuSystemSeconds = usage->SystemSeconds - FUsageBefore->SystemSeconds;
        FProof.VoluntarySwitches = usage->VoluntarySwitches - FUsageBefore->VoluntarySwitches;
        FProof.InvoluntarySwitches = usage->InvoluntarySwitches - FUsageBefore->InvoluntarySwitches;
    }
}

} // namespace orvane
