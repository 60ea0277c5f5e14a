// Describing a run: the machine, the file system and the settings.
#include "results/RunInfo.h"

#include "bench/Methods.h"
#include "results/Cells.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace orvane::results {

namespace {

const char* const ClockName = "std::chrono::steady_clock (CLOCK_MONOTONIC)";

// With milliseconds, so that two runs of one window a moment apart are told apart.
std::string LocalIsoTime() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    std::tm fields{};
    ::localtime_r(&seconds, &fields);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &fields);
    char zone[8];
    std::strftime(zone, sizeof zone, "%z", &fields); // +0100
    char iso[64];
    std::snprintf(iso, sizeof iso, "%s.%03d%.3s:%s", text, static_cast<int>(milliseconds), zone,
                  zone + 3);
    return iso;
}

} // namespace

TRunInfo DescribeRun(const TRunSettings& settings, const std::string& directory) {
    return DescribeRun(settings, platform::ReadHostFacts("/"),
                       platform::ReadStorageFacts("/", directory));
}

TRunInfo DescribeRun(const TRunSettings& settings, const platform::THostFacts& host,
                     const platform::TStorageFacts& storage) {
    TRunInfo info;
    info.Method = MethodOps(settings.Method).CliName;
    info.FileSize =
        std::string(FileSizeLabels[static_cast<std::size_t>(settings.FileSizePosition)]);
    info.BlockSize =
        std::string(BlockSizeLabels[static_cast<std::size_t>(settings.BlockSizePosition)]);
    info.WriteBuffered = settings.WriteBuffered;
    info.ReadBuffered = settings.ReadBuffered;
    info.Mode = settings.Mode;
    info.StartTime = LocalIsoTime();
    info.KernelRelease = host.Kernel;
    info.FileSystem = storage.Mount.FileSystem;
    info.MountPoint = storage.Mount.MountPoint;
    info.BlockDevice =
        storage.Mount.Source.rfind("/dev/", 0) == 0 ? storage.Mount.Source : std::string();
    info.Clock = ClockName;

    THostInfo& facts = info.Host;
    facts.Label = settings.HostLabel.empty() ? host.Hostname : settings.HostLabel;
    facts.Hostname = host.Hostname;
    facts.Kernel = host.Kernel;
    facts.CpuModel = host.CpuModel;
    if (host.Cpus) {
        facts.Cpus = *host.Cpus;
    }
    facts.MemoryBytes = host.MemoryBytes;
    if (!storage.Devices.empty()) {
        const platform::TBlockDeviceFacts& device = storage.Devices.front();
        facts.DeviceModel = device.Model;
        facts.DeviceSerial = device.Serial;
        facts.Rotational = device.Rotational;
        facts.LogicalBlockBytes = device.LogicalBlockBytes;
        facts.PhysicalBlockBytes = device.PhysicalBlockBytes;
        facts.Scheduler = device.Scheduler;
    }
    facts.MountOptions = storage.Mount.Options;
    if (!storage.Mount.SuperOptions.empty()) {
        facts.MountOptions += (facts.MountOptions.empty() ? "" : ",") + storage.Mount.SuperOptions;
    }
    return info;
}

std::string ConfigHash(const TRunInfo& info) {
    // The boxes count only for a method that has a buffer to apply them to.
    const auto methods = Methods();
    const bool buffered = std::any_of(methods.begin(), methods.end(), [&](const auto* method) {
        return method->Buffered && info.Method == method->CliName;
    });
    const std::string settings =
        info.Method + "|" + (buffered && info.WriteBuffered ? "wb" : "") + "|" +
        (buffered && info.ReadBuffered ? "rb" : "") + "|" + info.FileSize + "|" + info.BlockSize +
        "|" + (info.Mode.Durable ? "durable" : "") + "|" + (info.Mode.Cold ? "cold" : "");
    std::uint64_t hash = 14695981039346656037ull; // FNV-1a, 64 bits
    for (const char c : settings) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

std::string HostLabelProblem(const std::string& label) {
    if (label.empty() || label.size() > 64) {
        return "a host label is 1 to 64 characters";
    }
    for (const char c : label) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            return "a host label holds no control characters";
        }
    }
    return {};
}

bool SameRun(const TRunInfo& a, const TRunInfo& b) {
    return !a.StartTime.empty() && a.StartTime == b.StartTime && a.Program == b.Program &&
           a.Method == b.Method && a.FileSize == b.FileSize && a.BlockSize == b.BlockSize &&
           a.WriteBuffered == b.WriteBuffered && a.ReadBuffered == b.ReadBuffered &&
           a.Mode.Durable == b.Mode.Durable && a.Mode.Cold == b.Mode.Cold &&
           a.Mode.Repeats == b.Mode.Repeats && a.Mode.UntilSteady == b.Mode.UntilSteady &&
           a.Host.Label == b.Host.Label;
}

std::string CeilingLine(const TRunInfo& info) {
    if (info.Ceiling) {
        const platform::TDirectAlignment& alignment = info.Ceiling->Alignment;
        std::string aligned = std::to_string(alignment.Memory) + " bytes";
        if (alignment.Offset != alignment.Memory) {
            aligned += " in memory and " + std::to_string(alignment.Offset) + " in the file";
        }
        aligned += alignment.Source == platform::TAlignmentSource::Statx
                       ? " as statx tells"
                       : " by the device's logical block size";
        return "Ceiling (direct I/O in 1 MiB transfers, aligned to " + aligned + "): write " +
               DecimalText(info.Ceiling->WriteKiBPerSecond / 1024, 1) + " MiB/s, read " +
               DecimalText(info.Ceiling->ReadKiBPerSecond / 1024, 1) + " MiB/s";
    }
    if (!info.CeilingNote.empty()) {
        return "Ceiling: not measured: " + info.CeilingNote;
    }
    return {};
}

const char* OutcomeName(TRunOutcome outcome) {
    switch (outcome) {
    case TRunOutcome::Completed:
        return "completed";
    case TRunOutcome::Stopped:
        return "stopped";
    default:
        return "failed";
    }
}

std::string RunLabel(const TRunInfo& info) {
    std::string label = info.Method;
    // The boxes are saved as ticked even where the method has no buffer to apply them to.
    const auto methods = Methods();
    const bool buffered = std::any_of(methods.begin(), methods.end(), [&](const auto* method) {
        return method->Buffered && info.Method == method->CliName;
    });
    if (buffered && (info.WriteBuffered || info.ReadBuffered)) {
        label += info.WriteBuffered && info.ReadBuffered ? " buffered W+R"
                 : info.WriteBuffered                    ? " buffered W"
                                                         : " buffered R";
    }
    label += ", block ";
    label += info.BlockSize;
    label += ", file ";
    label += info.FileSize;
    return label + ModeWords(info) + PlaceAndStart(info, info.Outcome == "stopped");
}

std::string ModeWords(const TRunInfo& info) {
    std::string words;
    // A mode whose promise was not kept is named once, by what its summary says of it.
    const auto summarised = [&](const char* mode) {
        return info.ModeSummary.find(mode) != std::string::npos;
    };
    if (info.Mode.Durable && !summarised("durable")) {
        words += ", durable";
    }
    if (info.Mode.Cold && !summarised("cold")) {
        words += ", cold";
    }
    if (info.Mode.UntilSteady) {
        words += ", median until steady";
    } else if (info.Mode.Repeats > 1) {
        words += ", median of " + std::to_string(info.Mode.Repeats);
    }
    if (!info.ModeSummary.empty()) {
        words += ", " + info.ModeSummary;
    }
    return words;
}

std::string PlaceAndStart(const TRunInfo& info, bool stopped) {
    std::string words;
    // "ext4 on vda": which file system and device the figures are of.
    if (!info.FileSystem.empty()) {
        words += ", " + info.FileSystem;
        if (!info.BlockDevice.empty()) {
            words += " on " + info.BlockDevice.substr(info.BlockDevice.rfind('/') + 1);
        }
    }
    if (stopped) {
        words += ", stopped";
    }
    // "2026-12-08T10:20:31+01:00" as "2026-12-08 10:20:31".
    std::string start = info.StartTime.substr(0, 19);
    std::replace(start.begin(), start.end(), 'T', ' ');
    if (!start.empty()) {
        words += ", " + start;
    }
    return words;
}

} // namespace orvane::results
