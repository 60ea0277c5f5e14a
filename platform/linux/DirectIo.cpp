// Direct I/O on Linux, every call through the seam.
#include "platform/DirectIo.h"

#include "platform/OsCalls.h"
#include "platform/linux/StatxDio.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/mman.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <utility>

namespace orvane::platform {

namespace {

// No sysfs number of ours is longer; a longer file is not one.
constexpr std::size_t SysNumberLength = 32;
// statfs magic numbers that <linux/magic.h> leaves out.
constexpr unsigned long Ntfs3Magic = 0x7366746e;
constexpr unsigned long ZfsMagic = 0x2fc12fc1;
constexpr unsigned long ExfatMagic = 0x2011bab0;

struct TKnownFileSystem {
    unsigned long Magic;
    const char* Name;
    bool InMemory;
};
// ext2, ext3 and ext4 share one number; ext4 is the one met today.
constexpr std::array<TKnownFileSystem, 16> KnownFileSystems = {{
    {TMPFS_MAGIC, "tmpfs", true},
    {RAMFS_MAGIC, "ramfs", true},
    {EXT4_SUPER_MAGIC, "ext4", false},
    {XFS_SUPER_MAGIC, "XFS", false},
    {BTRFS_SUPER_MAGIC, "Btrfs", false},
    {F2FS_SUPER_MAGIC, "F2FS", false},
    {MSDOS_SUPER_MAGIC, "FAT", false},
    {ExfatMagic, "exFAT", false},
    {Ntfs3Magic, "NTFS", false},
    {ZfsMagic, "ZFS", false},
    {OVERLAYFS_SUPER_MAGIC, "overlay", false},
    {FUSE_SUPER_MAGIC, "FUSE", false},
    {NFS_SUPER_MAGIC, "NFS", false},
    {SMB2_SUPER_MAGIC, "SMB", false},
    {CIFS_SUPER_MAGIC, "CIFS", false},
    {V9FS_MAGIC, "9p", false},
}};

// A positive decimal number alone on its line in a sysfs file, never a link followed at the
// last step; none otherwise.
std::optional<std::uint32_t> ReadSysNumber(const std::string& path) {
    const int fd = OsCalls().open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0);
    if (fd < 0) {
        return std::nullopt;
    }
    char text[SysNumberLength + 1];
    ssize_t length;
    do {
        length = OsCalls().read(fd, text, sizeof text);
    } while (length < 0 && errno == EINTR);
    OsCalls().close(fd);
    if (length <= 0 || static_cast<std::size_t>(length) > SysNumberLength) {
        return std::nullopt;
    }
    const char* end = text + length;
    if (end[-1] == '\n') {
        --end;
    }
    std::uint32_t value = 0;
    const auto [stop, error] = std::from_chars(text, end, value);
    if (error != std::errc() || stop != end || value == 0) {
        return std::nullopt;
    }
    return value;
}

// The logical block size of the device `major`:`minor`; a partition has its disk's.
std::optional<std::uint32_t> LogicalBlockSize(const std::string& sysRoot, unsigned major,
                                              unsigned minor) {
    const std::string device =
        sysRoot + "/dev/block/" + std::to_string(major) + ":" + std::to_string(minor);
    if (auto size = ReadSysNumber(device + "/queue/logical_block_size")) {
        return size;
    }
    return ReadSysNumber(device + "/../queue/logical_block_size");
}

} // namespace

TDirectFile::~TDirectFile() {
    Close();
}

TStepResult TDirectFile::Open(const std::string& path) {
    Close();
    // Read and write, so that one open serves both passes; no O_TRUNC: the file is new.
    FFd =
        OsCalls().open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
    if (FFd < 0) {
        return {"open", errno};
    }
    return {};
}

TStepResult TDirectFile::BypassCache() {
    // The open's O_NONBLOCK goes with it: it means nothing to a regular file.
    if (OsCalls().fcntl(FFd, F_SETFL, O_DIRECT) != 0) {
        return {"fcntl", errno};
    }
    return {};
}

TStepResult TDirectFile::Close() {
    if (FFd < 0) {
        return {};
    }
    const int fd = FFd;
    FFd = -1;
    // Linux releases the descriptor even when close reports an error: it is not retried.
    if (OsCalls().close(fd) != 0) {
        return {"close", errno};
    }
    return {};
}

std::optional<TDirectAlignment> TDirectFile::Alignment(const std::string& sysRoot) const {
    struct statx info {};
    if (OsCalls().statx(FFd, "", AT_EMPTY_PATH, STATX_DIOALIGN, &info) == 0 &&
        (info.stx_mask & STATX_DIOALIGN) != 0) {
        return TDirectAlignment{StatxField(info, StatxDioMemoryOffset),
                                StatxField(info, StatxDioOffsetOffset), TAlignmentSource::Statx};
    }
    // An older kernel, or a file system that does not say: the device's sector must do.
    struct stat file {};
    if (OsCalls().fstat(FFd, &file) != 0) {
        return std::nullopt;
    }
    const auto size = LogicalBlockSize(sysRoot, major(file.st_dev), minor(file.st_dev));
    if (!size) {
        return std::nullopt;
    }
    return TDirectAlignment{*size, *size, TAlignmentSource::LogicalBlockSize};
}

TFileSystemKind TDirectFile::FileSystem() const {
    struct statfs info {};
    if (FFd < 0 || OsCalls().fstatfs(FFd, &info) != 0) {
        return {};
    }
    const auto magic = static_cast<unsigned long>(info.f_type);
    for (const TKnownFileSystem& known : KnownFileSystems) {
        if (known.Magic == magic) {
            return {known.Name, known.InMemory};
        }
    }
    return {};
}

std::int64_t TDirectFile::Write(const void* buffer, std::size_t count, std::int64_t offset) {
    ssize_t moved;
    do {
        moved = OsCalls().pwrite(FFd, buffer, count, offset);
    } while (moved < 0 && errno == EINTR);
    return moved;
}

std::int64_t TDirectFile::Read(void* buffer, std::size_t count, std::int64_t offset) {
    ssize_t moved;
    do {
        moved = OsCalls().pread(FFd, buffer, count, offset);
    } while (moved < 0 && errno == EINTR);
    return moved;
}

TStepResult TDirectFile::Flush() {
    int result;
    do {
        result = OsCalls().fdatasync(FFd);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        return {"fdatasync", errno};
    }
    return {};
}

TAlignedBuffer::~TAlignedBuffer() {
    Free();
}

TStepResult TAlignedBuffer::Free() {
    if (FMapping == nullptr) {
        return {};
    }
    void* const mapping = std::exchange(FMapping, nullptr);
    FData = nullptr;
    if (OsCalls().munmap(mapping, FLength) != 0) {
        return {"munmap", errno};
    }
    return {};
}

TStepResult TAlignedBuffer::Allocate(std::size_t size, std::size_t alignment) {
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    alignment = alignment == 0 ? 1 : alignment;
    // A mapping starts on a page; a larger alignment is found inside a larger one.
    const std::size_t length = size + (alignment > page ? alignment : 0);
    void* mapping =
        OsCalls().mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED || mapping == nullptr) {
        return {"mmap", errno};
    }
    Free();
    FMapping = mapping;
    FLength = length;
    const auto start = reinterpret_cast<std::uintptr_t>(mapping);
    const std::uintptr_t aligned =
        (start + alignment - 1) & ~(static_cast<std::uintptr_t>(alignment) - 1);
    FData = static_cast<std::uint8_t*>(mapping) + (aligned - start);
    return {};
}

} // namespace orvane::platform
