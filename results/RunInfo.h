// What a run was: the program and its version, the settings, the machine and the file system
// it measured, its start and how it ended. The same for both front ends.
#pragma once

#include "bench/AccessMethod.h"
#include "bench/BenchmarkRun.h"
#include "bench/Ceiling.h"
#include "bench/RunHost.h"
#include "bench/Scales.h"
#include "orvane/Version.h"
#include "platform/SystemFacts.h"

#include <cstdint>
#include <optional>
#include <string>

namespace orvane::results {

inline constexpr const char* ProgramVersion = OrvaneVersion;

// The version of the JSON report's layout; a reader takes this one and the ones before.
inline constexpr int ReportSchema = 1;

// The machine and the device a run measured, so that results from many machines say which
// one each came from. A fact that can't be read is empty or none.
struct THostInfo {
    std::string Label; // --host-label, by default the host name
    std::string Hostname;
    std::string Kernel;
    std::string CpuModel;
    std::optional<std::uint64_t> Cpus;
    std::optional<std::uint64_t> MemoryBytes;
    // The block device under the test directory (a partition's are its disk's).
    std::string DeviceModel;
    std::string DeviceSerial;
    std::optional<bool> Rotational;
    std::optional<std::uint64_t> LogicalBlockBytes;
    std::optional<std::uint64_t> PhysicalBlockBytes;
    std::string Scheduler;
    std::string MountOptions; // the mount's and the file system's, as mountinfo gives them
};

struct TRunInfo {
    std::string Program = "orvane-cli"; // or "orvane", the window
    std::string Version = ProgramVersion;
    std::string Method;
    std::string FileSize;  // label
    std::string BlockSize; // label
    bool WriteBuffered = false;
    bool ReadBuffered = false;
    TMeasuringMode Mode;
    std::string StartTime; // ISO 8601, local time with its offset
    std::string KernelRelease;
    std::string FileSystem;
    std::string MountPoint;
    std::string BlockDevice; // empty when none can be found
    std::string Clock;
    std::string TestFile;
    std::string Outcome; // "completed", "stopped" or "failed"
    THostInfo Host;
    // Whether a durable or cold run's figures are the device's; none for the standard mode
    // or where nothing could tell. The note says why not, the summary says it short.
    std::optional<bool> ModeHonoured;
    std::string ModeNote;
    std::string ModeSummary;
    // The device's ceiling where the run measured it, or why it could not.
    std::optional<TCeiling> Ceiling;
    std::string CeilingNote;
};

// A run's settings, as the window's controls or the command line's options give them.
struct TRunSettings {
    TAccessMethod Method = TAccessMethod::amFile;
    int FileSizePosition = FileSizeStartPosition;
    int BlockSizePosition = BlockSizeStartPosition;
    bool WriteBuffered = false;
    bool ReadBuffered = false;
    TMeasuringMode Mode;
    std::string HostLabel; // empty: the host name
};

// What the machine and the file system of `directory` are, with the run's settings.
TRunInfo DescribeRun(const TRunSettings& settings, const std::string& directory);
TRunInfo DescribeRun(const TRunSettings& settings, const platform::THostFacts& host,
                     const platform::TStorageFacts& storage);

// A hash of the settings that make two runs comparable (method, buffers, file and block
// size, durable and cold), as 16 hex digits: runs of a fleet with equal hashes measured alike.
std::string ConfigHash(const TRunInfo& info);

// A label a user gives a host: printable, at most 64 bytes; empty when it is one, else why
// not.
std::string HostLabelProblem(const std::string& label);

// The same run: started at the same moment with the same settings by the same program.
bool SameRun(const TRunInfo& a, const TRunInfo& b);

// "completed", "stopped" or "failed": how a run that measured ended.
const char* OutcomeName(TRunOutcome outcome);

// The ceiling in a line, as the table shows it above the rows: what direct I/O moved and how
// its transfers were aligned, or why no ceiling was measured; empty where none was asked.
std::string CeilingLine(const TRunInfo& info);

// One line naming the run: "win32 buffered W+R, block 256, file 1M, durable, median of 3,
// ext4 on vda, 2026-12-08 10:20:31"; a stopped run and a mode that did not keep its promise
// say so.
std::string RunLabel(const TRunInfo& info);
// The parts of a label after the settings: ", durable, median of 3" as the mode measured, and
// ", ext4 on vda, stopped, 2026-12-08 10:20:31".
std::string ModeWords(const TRunInfo& info);
std::string PlaceAndStart(const TRunInfo& info, bool stopped);

} // namespace orvane::results
