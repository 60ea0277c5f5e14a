// What guards the benchmark's test file beyond the Win32 calls: a mark that tells a test
// file left by a killed run from anybody's own file, and the removal of the run's file
// when a second stop signal ends the process at once.
#pragma once

#include "platform/Win32.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvane::platform {

// The name of the extended attribute that marks a file as an Orvane test file.
inline constexpr const char* TestFileMarkName = "user.orvane.test-file";

// Marks the open file as a test file of this process. False where the file system keeps no
// extended attributes (the file then can't be recognised after a crash).
bool MarkAsTestFile(HANDLE file);

struct TMarkedFile {
    std::string Path;
    std::uint64_t Size = 0;
    bool InUse = false; // the process that created it is still running
    int Pid = 0;
};

// The marked regular files directly inside `directory`; links are never followed.
std::vector<TMarkedFile> FindMarkedTestFiles(const std::string& directory);

// Deletes `path` only if it is a marked regular file (not a link) whose run has ended;
// returns an empty text on success, else why it was left.
std::string RemoveMarkedTestFile(const std::string& path);

// The file (volume and file index as GetFileInformationByHandle gives them) that a process
// ended by a second stop signal removes first. Armed from its creation to its clean-up.
void ArmAbortRemoval(const std::string& path, DWORD volume, std::uint64_t index);
void DisarmAbortRemoval();
// Async-signal-safe: removes the armed file if the name still names that very file.
void RemoveArmedFileNow();

} // namespace orvane::platform

#ifdef _WIN32
// The Windows build has no signals to guard against and no attributes to mark with.
namespace orvane::platform {
inline bool MarkAsTestFile(HANDLE) {
    return false;
}
inline std::vector<TMarkedFile> FindMarkedTestFiles(const std::string&) {
    return {};
}
inline std::string RemoveMarkedTestFile(const std::string&) {
    return "not supported";
}
inline void ArmAbortRemoval(const std::string&, DWORD, std::uint64_t) {}
inline void DisarmAbortRemoval() {}
inline void RemoveArmedFileNow() {}
} // namespace orvane::platform
#endif
