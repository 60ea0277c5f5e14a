// Judging a measuring mode's promise from the storage facts and the passes, and saying so.
#include "bench/ModePromise.h"

#include "bench/ShownText.h"

#include <algorithm>
#include <initializer_list>
#include <string_view>

namespace orvane {

namespace {

using platform::TBlockLayer;
using platform::TStorageFacts;

constexpr std::string_view MemoryFileSystems[] = {"tmpfs", "ramfs", "devtmpfs"};
constexpr std::string_view NetworkFileSystems[] = {
    "nfs",      "nfs4", "cifs",      "smb3",       "smbfs",          "9p",
    "virtiofs", "ceph", "fuse.ceph", "glusterfs",  "fuse.glusterfs", "fuse.sshfs",
    "lustre",   "afs",  "fuse.s3fs", "fuse.rclone"};

// The texts, with {1}, {2}, {3} for what is filled in.
constexpr std::string_view DurableNeverLeftMemory = "durable writes never left memory: {1}";
constexpr std::string_view DurableNotTheDevicesSpeed =
    "durable writes were not the device's speed: {1}";
constexpr std::string_view DurableNotAllOnTheDevice =
    "durable writes did not all reach the device: {1} of {2} write passes moved less than 90 % "
    "of the file to it";
constexpr std::string_view DurableCannotBeChecked = "durable writes can't be checked: {1}";
constexpr std::string_view ColdNotCold = "cold reads were not cold: {1}";
constexpr std::string_view ColdNotTheDevicesSpeed = "cold reads were not the device's speed: {1}";
constexpr std::string_view ColdFromTheCache =
    "cold reads were not cold: {1} of {2} read passes were served from the page cache";
constexpr std::string_view ColdPartlyFromTheCache = "cold reads were not cold: {1} of {2} read "
                                                    "passes were served wholly or partly from "
                                                    "the page cache";
constexpr std::string_view ColdCannotBeChecked = "cold reads can't be checked: {1}";

constexpr std::string_view InMemoryFileSystem = "{1} is {2}, which keeps files in memory";
constexpr std::string_view InMemoryDevice = "{1} is on {2}, a block device in memory";
constexpr std::string_view LoopOnAFileInMemory =
    "{1} is on {2}, a file on {3}, which keeps files in memory";
constexpr std::string_view OverTheNetwork = "{1} is {2}, a network file system";
constexpr std::string_view CompressedByItsMount = "{1} is {2} with {3}, which compresses what it "
                                                  "writes";
constexpr std::string_view MayBeCompressed = "{1} is {2}, which can compress what it writes";
constexpr std::string_view CompressedBelow = "{1} is on {2}, which compresses what it writes";
constexpr std::string_view CompressedFile = "{1} is {2}, which compresses this file";
constexpr std::string_view Encrypted = "{1} is on {2}, which encrypts what it stores";
constexpr std::string_view CachedOnItsOwn = "{1} is {2}, which keeps file data in its own cache "
                                            "(ARC)";
constexpr std::string_view NoCounters = "no device counters cover {1}";
constexpr std::string_view NoCountersOfType = "no device counters cover {1} ({2})";
constexpr std::string_view TheTestDirectory = "the test directory";
constexpr std::string_view LoopDevice = "a loop device";

constexpr std::string_view CaptionNotHonoured = "{1} not honoured: {2}";
constexpr std::string_view CaptionUnverified = "{1} unverified: no device counters";
constexpr std::string_view ShortCompression = "{1} compression";
constexpr std::string_view ShortOwnCache = "{1} cache";
constexpr std::string_view ShortLoop = "loop on {1}";
constexpr std::string_view ShortPasses = "{1} of {2} passes";
constexpr std::string_view DurableShort = "durable";
constexpr std::string_view ColdShort = "cold";

// The pattern with {1}, {2}, {3} replaced in one pass, so that a brace in a filled-in name
// stays as it is.
std::string Filled(std::string_view pattern, std::initializer_list<std::string_view> values) {
    std::string text;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const std::size_t slot =
            i + 2 < pattern.size() && pattern[i] == '{' && pattern[i + 2] == '}'
                ? static_cast<std::size_t>(pattern[i + 1] - '1')
                : values.size();
        if (slot < values.size()) {
            text += *(values.begin() + slot);
            i += 2;
        } else {
            text += pattern[i];
        }
    }
    return text;
}

bool OneOf(std::string_view value, const auto& list) {
    return std::find(std::begin(list), std::end(list), value) != std::end(list);
}

TPromise Because(TPromiseReason reason, std::string subject, std::string detail = {}) {
    TPromise promise;
    promise.Honoured = false;
    promise.Reason = reason;
    promise.Subject = std::move(subject);
    promise.Detail = std::move(detail);
    return promise;
}

// The option that turns compression on for the whole file system ("compress=zstd:3",
// "compress-force", bcachefs's "compression=lz4"); empty where none does.
std::string CompressionOption(const TStorageFacts& facts) {
    const std::string& type = facts.Mount.FileSystem;
    std::string found;
    for (const std::string* options : {&facts.Mount.SuperOptions, &facts.Mount.Options}) {
        std::size_t start = 0;
        while (start <= options->size()) {
            const std::size_t end = std::min(options->find(',', start), options->size());
            const std::string option = options->substr(start, end - start);
            const std::string value = option.substr(std::min(option.find('='), option.size()));
            const bool btrfs =
                type == "btrfs" && (option == "compress" || option.rfind("compress=", 0) == 0 ||
                                    option.rfind("compress-force", 0) == 0);
            const bool bcachefs = type == "bcachefs" && option.rfind("compression=", 0) == 0;
            if ((btrfs || bcachefs) && value != "=no" && value != "=none") {
                found = option;
            }
            start = end + 1;
        }
    }
    return found;
}

// What the system tells against the promise; Reason None where it tells nothing.
TPromise FromFacts(TPromisedMode mode, const TStorageFacts& facts) {
    const std::string& type = facts.Mount.FileSystem;
    if (OneOf(type, MemoryFileSystems)) {
        return Because(TPromiseReason::MemoryFileSystem, type);
    }
    for (const platform::TBlockDeviceFacts& device : facts.Devices) {
        if (device.Layer == TBlockLayer::Memory) {
            return Because(TPromiseReason::MemoryDevice, device.Kind);
        }
        if (device.Layer == TBlockLayer::Loop &&
            OneOf(device.BackingFileSystem, MemoryFileSystems)) {
            return Because(TPromiseReason::LoopInMemory,
                           device.Name.empty() ? std::string(LoopDevice) : device.Name,
                           device.BackingFileSystem);
        }
    }
    if (OneOf(type, NetworkFileSystems)) {
        return Because(TPromiseReason::NetworkFileSystem, type);
    }
    for (const platform::TBlockDeviceFacts& device : facts.Devices) {
        if (device.Layer == TBlockLayer::Mapper && device.Kind == "dm-crypt") {
            return Because(TPromiseReason::Encryption, device.Kind);
        }
    }
    if (type == "ecryptfs") {
        return Because(TPromiseReason::Encryption, type);
    }
    if (facts.Flags && facts.Flags->Encrypted) {
        return Because(TPromiseReason::Encryption, "fscrypt");
    }
    if (type == "zfs") {
        return mode == TPromisedMode::Cold ? Because(TPromiseReason::OwnCache, type)
                                           : Because(TPromiseReason::Compression, type);
    }
    const std::string option = CompressionOption(facts);
    // btrfs leaves out a file marked not to be compressed, or not copied on write, unless
    // the mount forces compression.
    const bool excluded = type == "btrfs" && facts.Flags &&
                          (facts.Flags->NoCompression || facts.Flags->NoCopyOnWrite) &&
                          option.rfind("compress-force", 0) != 0;
    if (!option.empty() && !excluded) {
        return Because(TPromiseReason::Compression, type, option);
    }
    if (facts.Flags && facts.Flags->Compressed && !excluded) {
        return Because(TPromiseReason::Compression, type);
    }
    for (const platform::TBlockDeviceFacts& device : facts.Devices) {
        if (device.Layer == TBlockLayer::Mapper && device.Kind == "vdo") {
            return Because(TPromiseReason::Compression, device.Kind);
        }
    }
    return {};
}

TPromise FromPasses(const TStorageFacts& facts, const std::vector<TPassSource>& sources) {
    TPromise promise;
    for (const TPassSource source : sources) {
        promise.Passes += source != TPassSource::Unknown ? 1 : 0;
        promise.FromCache += source == TPassSource::PageCache ? 1 : 0;
        promise.Mixed += source == TPassSource::Mixed ? 1 : 0;
    }
    if (sources.empty()) {
        return promise;
    }
    if (promise.Passes == 0) {
        promise.Reason = TPromiseReason::NoDeviceCounters;
        promise.Subject = facts.Mount.FileSystem;
        return promise;
    }
    const bool missed = promise.FromCache + promise.Mixed > 0;
    promise.Honoured = !missed;
    promise.Reason = missed ? TPromiseReason::Passes : TPromiseReason::None;
    return promise;
}

TPromise Judge(TPromisedMode mode, bool asked, const TStorageFacts& facts,
               const std::vector<TPassSource>& sources) {
    if (!asked) {
        return {};
    }
    TPromise promise = FromFacts(mode, facts);
    if (promise.Reason == TPromiseReason::None) {
        promise = FromPasses(facts, sources);
    }
    promise.Where = facts.Mount.MountPoint;
    return promise;
}

// "/tmp is tmpfs, which keeps files in memory": why, with the system's names escaped.
std::string Clause(const TPromise& promise) {
    const std::string where =
        promise.Where.empty() ? std::string(TheTestDirectory) : EscapeControls(promise.Where);
    const std::string subject = EscapeControls(promise.Subject);
    const std::string detail = EscapeControls(promise.Detail);
    switch (promise.Reason) {
    case TPromiseReason::MemoryFileSystem:
        return Filled(InMemoryFileSystem, {where, subject});
    case TPromiseReason::MemoryDevice:
        return Filled(InMemoryDevice, {where, subject});
    case TPromiseReason::LoopInMemory:
        return Filled(LoopOnAFileInMemory, {where, subject, detail});
    case TPromiseReason::NetworkFileSystem:
        return Filled(OverTheNetwork, {where, subject});
    case TPromiseReason::Compression:
        if (!detail.empty()) {
            return Filled(CompressedByItsMount, {where, subject, detail});
        }
        if (promise.Subject == "zfs") {
            return Filled(MayBeCompressed, {where, subject});
        }
        if (promise.Subject == "vdo") {
            return Filled(CompressedBelow, {where, subject});
        }
        return Filled(CompressedFile, {where, subject});
    case TPromiseReason::Encryption:
        return Filled(Encrypted, {where, subject});
    case TPromiseReason::OwnCache:
        return Filled(CachedOnItsOwn, {where, subject});
    case TPromiseReason::NoDeviceCounters:
        return subject.empty() ? Filled(NoCounters, {where})
                               : Filled(NoCountersOfType, {where, subject});
    case TPromiseReason::Passes:
    case TPromiseReason::None:
        break;
    }
    return {};
}

} // namespace

TModePromises JudgeModePromises(const TMeasuringMode& mode, const TStorageFacts& facts,
                                const std::vector<TPassSource>& writes,
                                const std::vector<TPassSource>& reads) {
    return {Judge(TPromisedMode::Durable, mode.Durable, facts, writes),
            Judge(TPromisedMode::Cold, mode.Cold, facts, reads)};
}

std::string PromiseWarning(TPromisedMode mode, const TPromise& promise) {
    const bool durable = mode == TPromisedMode::Durable;
    switch (promise.Reason) {
    case TPromiseReason::None:
        return {};
    case TPromiseReason::MemoryFileSystem:
    case TPromiseReason::MemoryDevice:
    case TPromiseReason::LoopInMemory:
        return Filled(durable ? DurableNeverLeftMemory : ColdNotCold, {Clause(promise)});
    case TPromiseReason::OwnCache:
        return Filled(ColdNotCold, {Clause(promise)});
    case TPromiseReason::NetworkFileSystem:
    case TPromiseReason::Compression:
    case TPromiseReason::Encryption:
        return Filled(durable ? DurableNotTheDevicesSpeed : ColdNotTheDevicesSpeed,
                      {Clause(promise)});
    case TPromiseReason::Passes: {
        const std::string_view pattern = durable              ? DurableNotAllOnTheDevice
                                         : promise.Mixed == 0 ? ColdFromTheCache
                                                              : ColdPartlyFromTheCache;
        return Filled(pattern, {std::to_string(promise.FromCache + promise.Mixed),
                                std::to_string(promise.Passes)});
    }
    case TPromiseReason::NoDeviceCounters:
        return Filled(durable ? DurableCannotBeChecked : ColdCannotBeChecked, {Clause(promise)});
    }
    return {};
}

std::string PromiseCaption(TPromisedMode mode, const TPromise& promise) {
    const std::string_view name = mode == TPromisedMode::Durable ? DurableShort : ColdShort;
    const std::string subject = EscapeControls(promise.Subject);
    switch (promise.Reason) {
    case TPromiseReason::None:
        return {};
    case TPromiseReason::NoDeviceCounters:
        return Filled(CaptionUnverified, {name});
    case TPromiseReason::LoopInMemory:
        return Filled(CaptionNotHonoured,
                      {name, Filled(ShortLoop, {EscapeControls(promise.Detail)})});
    case TPromiseReason::Compression:
        return Filled(CaptionNotHonoured, {name, Filled(ShortCompression, {subject})});
    case TPromiseReason::OwnCache:
        return Filled(CaptionNotHonoured, {name, Filled(ShortOwnCache, {subject})});
    case TPromiseReason::Passes:
        return Filled(CaptionNotHonoured,
                      {name, Filled(ShortPasses, {std::to_string(promise.FromCache + promise.Mixed),
                                                  std::to_string(promise.Passes)})});
    case TPromiseReason::MemoryFileSystem:
    case TPromiseReason::MemoryDevice:
    case TPromiseReason::NetworkFileSystem:
    case TPromiseReason::Encryption:
        break;
    }
    return Filled(CaptionNotHonoured, {name, subject});
}

} // namespace orvane
