// What guards the benchmark's test file beyond the Win32 calls: a lock that the run holds on
// its file for as long as it lives, a mark that tells a test file from anybody's own file,
// and the removal of the run's file when a second stop signal ends the process at once.
#pragma once

#include "platform/Win32.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::platform {

// The name of the extended attribute that marks a file as an Orvane test file. Its value
// names the creating process and its start time, as information only: a process in another
// pid namespace (a container sharing the directory) has numbers that mean nothing here.
inline constexpr const char* TestFileMarkName = "user.orvane.test-file";

// What marking the open test file came to.
struct TTestFileMark {
    // The run's lock is held: an open file description lock, so it lives until the handle
    // closes (or the process ends, however it ends) and is seen from every pid namespace.
    bool Locked = false;
    // 0 when the mark is set; else the errno that refused it (EOPNOTSUPP where the file
    // system keeps no user extended attributes).
    int MarkError = 0;
};

// Locks the open file as a live run's test file, then marks it as Orvane's.
TTestFileMark MarkAsTestFile(HANDLE file);

// Whether `name` has the form of the names the program proposes, "yy-mm-dd_hh-nn-ss-zzz.tmp".
// Where a file system keeps no marks, that form is how a leftover is recognised.
bool HasProposedNameForm(std::string_view name);

struct TMarkedFile {
    std::string Path;
    std::uint64_t Size = 0;
    bool InUse = false; // a live run holds it, or it can't be told that none does
    int Pid = 0;        // the process its mark names; 0 when unmarked (recognised by name)
};

struct TMarkedFiles {
    std::vector<TMarkedFile> Files;
    int Error = 0; // the errno of a directory that could not be read, or not to its end
};

// The test files directly inside `directory`: regular files (never through a link) that
// carry the mark, or, where the file system keeps no marks, have a proposed name.
TMarkedFiles FindMarkedTestFiles(const std::string& directory);

// Deletes `path` only if it is such a test file (not a link) and no live run holds it;
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
// The Windows build has no signals to guard against and no attributes to mark with (and so
// nothing to warn about).
namespace orvane::platform {
inline TTestFileMark MarkAsTestFile(HANDLE) {
    return {};
}
inline bool HasProposedNameForm(std::string_view) {
    return false;
}
inline TMarkedFiles FindMarkedTestFiles(const std::string&) {
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
