// Whether a durable or cold run kept its promise that its figures are the device's: judged
// from what holds the test directory and from the sources of the passes, with the texts the
// front ends show (one warning line, a short caption).
#pragma once

#include "bench/PassSource.h"
#include "bench/RunHost.h"
#include "platform/SystemFacts.h"

#include <optional>
#include <string>
#include <vector>

namespace orvane {

enum class TPromisedMode { Durable, Cold };

enum class TPromiseReason {
    None,
    MemoryFileSystem,  // tmpfs, ramfs: Subject is the type
    MemoryDevice,      // zram, brd: Subject is the kind
    LoopInMemory,      // Subject the loop device, Detail the type its file is on
    NetworkFileSystem, // Subject is the type
    Compression,       // Subject the type or "vdo"; Detail the mount option, if one says so
    Encryption,        // Subject: "dm-crypt", "fscrypt", "ecryptfs"
    OwnCache,          // zfs keeps its own cache, which a cold read's drop does not empty
    Passes,            // the passes' proof: some were not the device's
    NoDeviceCounters,  // nothing counted what the device did
};

struct TPromise {
    // None for a mode that was not asked for, or where nothing can be told.
    std::optional<bool> Honoured;
    TPromiseReason Reason = TPromiseReason::None;
    std::string Subject;
    std::string Detail;
    std::string Where; // the mount point; the system's text, not yet escaped
    // Passes: how many were judged, and of those how many came wholly or partly from the
    // page cache.
    unsigned Passes = 0;
    unsigned FromCache = 0;
    unsigned Mixed = 0;
};

struct TModePromises {
    TPromise Durable;
    TPromise Cold;
};

// What the system tells (a file system in memory or over a network, compression, encryption,
// a cache of the file system's own) comes before the passes' proof: device counters see
// compressed or encrypted bytes as the device's. Other mappings (LVM, multipath, RAID) keep
// the promise when the passes show it. `writes` and `reads` are the run's passes in order.
TModePromises JudgeModePromises(const TMeasuringMode& mode, const platform::TStorageFacts& facts,
                                const std::vector<TPassSource>& writes,
                                const std::vector<TPassSource>& reads);

// One line for a promise not kept or that could not be checked, made safe for a terminal;
// empty otherwise. "cold reads were not cold: /tmp is tmpfs, which keeps files in memory".
std::string PromiseWarning(TPromisedMode mode, const TPromise& promise);

// The short form for a caption or a legend: "cold not honoured: tmpfs", "durable unverified:
// no device counters"; empty where the warning is.
std::string PromiseCaption(TPromisedMode mode, const TPromise& promise);

} // namespace orvane
