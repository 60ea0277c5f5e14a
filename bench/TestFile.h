// The test file's name, place and identity.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace orvane {

// "yy-mm-dd_hh-nn-ss-zzz.tmp" for a day-count time as Now gives it.
std::string DefaultTestFileName(double now);

// The name as a full path against the current directory; empty when it can't be expanded.
std::string FullPathName(const std::string& name);

// Everything before the last "/", the root staying "/".
std::string DirectoryOf(const std::string& path);

// True when anything stands at `path`, a dangling link included.
bool PathExists(const std::string& path);

// The device and file number of the file at `path`, following no link; none when there
// is no regular file there.
struct TFileIdentity {
    std::uint32_t volume;
    std::uint64_t index;
    bool operator==(const TFileIdentity&) const = default;
};
std::optional<TFileIdentity> IdentityOf(const std::string& path);

// The file an iteration creates: its identity is taken right after each open that created
// or emptied it, and the clean-up deletes the name only while it still names that file.
// Where the identity can't be read (an I/O error), the file counts as ours unchecked,
// so that a failing look-up never leaves a test file behind.
class TCreatedFile {
public:
    explicit TCreatedFile(const std::string& name) : FName(name) {}
    void Capture();
    void DeleteIfStillOurs() noexcept;

private:
    const std::string& FName;
    bool FCreated = false;
    std::optional<TFileIdentity> FIdentity;
};

} // namespace orvane
