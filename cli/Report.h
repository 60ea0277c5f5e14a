// The results of a command-line run as a table, CSV or JSON, with what was measured where.
#pragma once

#include "bench/ResultRow.h"
#include "bench/RunHost.h"
#include "cli/CliOptions.h"
#include "orvane/Version.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace orvane::cli {

inline constexpr const char* ProgramVersion = OrvaneVersion;

struct TRunInfo {
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

// What the machine and the file system of `directory` are, with the options' settings.
TRunInfo DescribeRun(const TCliOptions& options, const std::string& directory);

void WriteTable(std::ostream& out, const std::vector<TResultRow>& writeRows,
                const std::vector<TResultRow>& readRows);
void WriteCsv(std::ostream& out, const TRunInfo& info, const std::vector<TResultRow>& writeRows,
              const std::vector<TResultRow>& readRows);
void WriteJson(std::ostream& out, const TRunInfo& info, const std::vector<TResultRow>& writeRows,
               const std::vector<TResultRow>& readRows);

} // namespace orvane::cli
