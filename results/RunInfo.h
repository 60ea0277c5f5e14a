// What a run was: the program and its version, the settings, the machine and the file system
// it measured, its start and how it ended. The same for both front ends.
#pragma once

#include "bench/AccessMethod.h"
#include "bench/BenchmarkRun.h"
#include "bench/RunHost.h"
#include "bench/Scales.h"
#include "orvane/Version.h"

#include <string>

namespace orvane::results {

inline constexpr const char* ProgramVersion = OrvaneVersion;

// The version of the JSON report's layout; a reader takes this one and the ones before.
inline constexpr int ReportSchema = 1;

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
    std::string Outcome; // The same run: started at the same moment with the same settings by the
                         // same program.
    bool SameRun(const TRunInfo& a, const TRunInfo& b);

    // "completed", "stopped" or "failed"
};

// A run's settings, as the window's controls or the command line's options give them.
struct TRunSettings {
    TAccessMethod Method = TAccessMethod::amFile;
    int FileSizePosition = FileSizeStartPosition;
    int BlockSizePosition = BlockSizeStartPosition;
    bool WriteBuffered = false;
    bool ReadBuffered = false;
    TMeasuringMode Mode;
};

// What the machine and the file system of `directory` are, with the run's settings.
TRunInfo DescribeRun(const TRunSettings& settings, const std::string& directory);

// The same run: started at the same moment with the same settings by the same program.
bool SameRun(const TRunInfo& a, const TRunInfo& b);

// "completed", "stopped" or "failed": how a run that measured ended.
const char* OutcomeName(TRunOutcome outcome);

// One line naming the run: "win32 buffered W+R, block 256, file 1M, durable, median of 3,
// 2026-12-08 10:20:31".
std::string RunLabel(const TRunInfo& info);

} // namespace orvane::results
