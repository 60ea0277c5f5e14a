// The results of a run as a table, CSV or JSON, with what was measured where: the same
// for the command line, the window and the run history.
#pragma once

#include "bench/AccessMethod.h"
#include "bench/ResultRow.h"
#include "bench/RunHost.h"
#include "bench/Scales.h"
#include "orvane/Version.h"

#include <iosfwd>
#include <string>
#include <vector>

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
    std::string Outcome; // "completed", "stopped" or "failed"
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

void WriteTable(std::ostream& out, const std::vector<TResultRow>& writeRows,
                const std::vector<TResultRow>& readRows);
void WriteCsv(std::ostream& out, const TRunInfo& info, const std::vector<TResultRow>& writeRows,
              const std::vector<TResultRow>& readRows);
void WriteJson(std::ostream& out, const TRunInfo& info, const std::vector<TResultRow>& writeRows,
               const std::vector<TResultRow>& readRows);

} // namespace orvane::results
