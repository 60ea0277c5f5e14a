// The test file's name, place and identity.
#pragma once

#include "fileio/Exception.h"
#include "platform/TestFileGuard.h"
#include "platform/Win32.h"

#include <cstdint>
#include <optional>
#include <string>

namespace orvane {

// "yy-mm-dd_hh-nn-ss-zzz.tmp" for a day-count time as Now gives it.
std::string DefaultTestFileName(double now);

// The default name for `now`, counted on by milliseconds past any name that is taken in
// `directory`, so that two runs started in the same millisecond propose different names.
std::string UniqueDefaultTestFileName(double now, const std::string& directory);

// The name as a full path against the current directory; empty when it can't be expanded.
std::string FullPathName(const std::string& name);

// Everything before the last "/", the root staying "/".
std::string DirectoryOf(const std::string& path);

// Whether a name is free for a new test file. Only "not found" counts as free; anything
// standing there (a dangling link included) is taken; a look-up that fails otherwise (a
// name too long, a directory that can't be searched) leaves the name unusable.
enum class TNameState { Free, Taken, Unusable };
struct TNameCheck {
    TNameState State;
    DWORD Error; // the system's code where the name is unusable
};
TNameCheck CheckTestFileName(const std::string& path);

// The texts for a chosen name that is taken or can't be used.
std::string ExistingFileText(const std::string& fileName);
std::string UnusableNameText(const std::string& fileName, DWORD error);

// The once-a-run warning that the test file in `directory` could not be marked as Orvane's,
// `error` being the errno that refused it.
std::string UnmarkedTestFileText(const std::string& directory, int error);

// The device and file number of the file at `path`, following no link and never waiting
// on a special file; none when nothing can be opened there.
struct TFileIdentity {
    std::uint32_t volume;
    std::uint64_t index;
    bool operator==(const TFileIdentity&) const = default;
};
std::optional<TFileIdentity> IdentityOf(const std::string& path);

// The name no longer names the file the iteration created.
class ETestFileReplaced : public Exception {
public:
    using Exception::Exception;
};

// The name was taken when the file was to be created new.
class ETestFileTaken : public Exception {
public:
    using Exception::Exception;
};

// The file of one iteration. It is created new (never an existing file, never through a
// link), locked and marked as a live run's test file, and held open without access until
// the clean-up, so that its identity and its lock stay its own. Every later open of the
// name is checked against it, and the clean-up deletes the name only while it names that
// file. A second stop signal may remove it from its creation to its clean-up.
class TCreatedFile {
public:
    explicit TCreatedFile(const std::string& name) : FName(name) {}
    ~TCreatedFile();
    TCreatedFile(const TCreatedFile&) = delete;
    TCreatedFile& operator=(const TCreatedFile&) = delete;

    // Creates the file. A name that is taken raises ETestFileTaken with the "already exists"
    // text; any other failure is left for the layer's own open to report in its words.
    void Create();
    // Raises ETestFileReplaced unless the name still names the file Create made, and an
    // Exception with the system's reason when the name can't be opened to check it for a
    // reason of its own (too many open files, no memory).
    void Verify();
    // The errno that refused the mark; 0 when the file is marked or not held yet.
    int MarkError() const { return FMark.MarkError; }
    // Deletes the file if the name still names it and lets it go; empty on success (or
    // when there is nothing of ours to delete), else a text naming the file left and why.
    std::string Release() noexcept;

private:
    // Takes the identity of the file behind FHandle, marks it and arms its removal.
    void Hold();

    const std::string& FName;
    HANDLE FHandle = INVALID_HANDLE_VALUE;
    TFileIdentity FIdentity{};
    platform::TTestFileMark FMark;
};

} // namespace orvane
