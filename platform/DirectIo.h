// Direct I/O past the page cache, for the device's ceiling: a file opened with O_DIRECT, the
// alignment its transfers need (as statx tells it, else the device's logical block size),
// positioned transfers, the flush, and a buffer aligned as the transfers need it.
#pragma once

#include "platform/Measuring.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace orvane::platform {

// Where an alignment came from.
enum class TAlignmentSource {
    Statx,            // the file system's own answer (STATX_DIOALIGN)
    LogicalBlockSize, // the logical block size of the block device under the file system
};

// What direct transfers need: the buffer's address a multiple of Memory, every file offset
// and transfer size a multiple of Offset. Zeros from statx say that the file system does not
// do direct I/O for this file (it would go through the page cache after all).
struct TDirectAlignment {
    std::uint32_t Memory = 0;
    std::uint32_t Offset = 0;
    TAlignmentSource Source = TAlignmentSource::Statx;
};

// The file system under a file, as far as it matters to direct I/O.
struct TFileSystemKind {
    std::string Name;      // "tmpfs", "ext4", "NFS"; empty when it is not one we know
    bool InMemory = false; // tmpfs, ramfs: no device under it
};

// A file opened for direct I/O, reading and writing. It is opened never through a link and
// never waiting on a special file, and created when missing, as the file layers create
// theirs; closed when it goes.
class TDirectFile {
public:
    TDirectFile() = default;
    ~TDirectFile();
    TDirectFile(const TDirectFile&) = delete;
    TDirectFile& operator=(const TDirectFile&) = delete;

    // Opens the file, still through the page cache, so that whatever follows has it open.
    TStepResult Open(const std::string& path);
    // From now on its transfers bypass the page cache (O_DIRECT). A file system that refuses
    // direct I/O fails this with EINVAL, as it would fail an open asking for it.
    TStepResult BypassCache();
    // Closes it now, so that a failing close can be reported; closing nothing succeeds.
    TStepResult Close();

    TFileSystemKind FileSystem() const;
    // The alignment the file's transfers need: statx's answer where the file system gives
    // one, else the logical block size of the block device under it, read from
    // `sysRoot`/dev/block. None when neither tells.
    std::optional<TDirectAlignment> Alignment(const std::string& sysRoot = "/sys") const;

    // One transfer of `count` bytes at `offset`: the count moved, or -1 with errno. An
    // interrupted call is made again.
    std::int64_t Write(const void* buffer, std::size_t count, std::int64_t offset);
    std::int64_t Read(void* buffer, std::size_t count, std::int64_t offset);
    // Puts the file's data on the device (fdatasync).
    TStepResult Flush();

private:
    int FFd = -1;
};

// Zero-filled memory whose start is a multiple of `alignment` (a power of two), returned to
// the system when it goes.
class TAlignedBuffer {
public:
    TAlignedBuffer() = default;
    ~TAlignedBuffer();
    TAlignedBuffer(const TAlignedBuffer&) = delete;
    TAlignedBuffer& operator=(const TAlignedBuffer&) = delete;

    TStepResult Allocate(std::size_t size, std::size_t alignment);
    // Returns the memory now, so that a refusal can be reported; freeing nothing succeeds.
    TStepResult Free();
    std::uint8_t* Data() const { return FData; }

private:
    void* FMapping = nullptr;
    std::size_t FLength = 0;
    std::uint8_t* FData = nullptr;
};

} // namespace orvane::platform

#ifdef _WIN32
// The Windows build keeps no ceiling: its files refuse direct I/O here as a file system
// without it does, before anything is opened.
#include <cerrno>
namespace orvane::platform {
inline TDirectFile::~TDirectFile() = default;
inline TStepResult TDirectFile::Open(const std::string&) {
    return {};
}
inline TStepResult TDirectFile::BypassCache() {
    return {"fcntl", EINVAL};
}
inline TStepResult TDirectFile::Close() {
    return {};
}
inline std::optional<TDirectAlignment> TDirectFile::Alignment(const std::string&) const {
    return std::nullopt;
}
inline TFileSystemKind TDirectFile::FileSystem() const {
    return {};
}
inline std::int64_t TDirectFile::Write(const void*, std::size_t, std::int64_t) {
    errno = EINVAL;
    return -1;
}
inline std::int64_t TDirectFile::Read(void*, std::size_t, std::int64_t) {
    errno = EINVAL;
    return -1;
}
inline TStepResult TDirectFile::Flush() {
    return {"fdatasync", EINVAL};
}
inline TAlignedBuffer::~TAlignedBuffer() = default;
inline TStepResult TAlignedBuffer::Allocate(std::size_t, std::size_t) {
    return {"mmap", ENOMEM};
}
inline TStepResult TAlignedBuffer::Free() {
    return {};
}
} // namespace orvane::platform
#endif
