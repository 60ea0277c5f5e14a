// What the machine is and what holds a directory (the mount, the block devices under it down
// to the disks, the directory's inode flags), read from /proc and /sys under a root path: "/"
// in the program, a scratch tree in tests. A fact that can't be read is empty or none; no
// reader fails, blocks or follows a link it does not need.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvane::platform {

struct THostFacts {
    std::string Hostname;
    std::string Kernel; // the release, as uname -r gives it
    std::string CpuModel;
    std::optional<unsigned> Cpus;             // online
    std::optional<std::uint64_t> MemoryBytes; // MemTotal
};

// The mount in force for a directory, from /proc/self/mountinfo with its escapes decoded.
struct TMountFacts {
    std::string FileSystem;   // "ext4", "tmpfs", "nfs4", "fuse.sshfs"; empty: no mount found
    std::string MountPoint;   // "/home"
    std::string Source;       // "/dev/nvme0n1p2", "server:/export", "tmpfs"
    std::string Options;      // the mount's own: "rw,relatime"
    std::string SuperOptions; // the file system's: "rw,compress=zstd:3,ssd"
    std::string Device;       // "MAJ:MIN" as mountinfo gives it
};

enum class TBlockLayer {
    Disk,      // a whole device with its own queue (also a virtual one: virtio, nvme, mmc)
    Partition, // part of a disk; the queue and model facts are its disk's
    Mapper,    // device-mapper: Kind names what it does
    Raid,      // md: Kind is its level
    Loop,      // a file used as a device: BackingFile
    Memory,    // zram or brd: the "device" is memory
};

// One block device under a file system.
struct TBlockDeviceFacts {
    std::string Device; // "8:1"
    std::string Name;   // "sda1", "dm-0", "nvme0n1"
    TBlockLayer Layer = TBlockLayer::Disk;
    // Mapper: "dm-crypt", "dm-verity", "dm-integrity", "lvm", "vdo", "multipath" or
    // "device-mapper" where its creator can't be told; Raid: "raid1", ...; Memory: "zram",
    // "brd"; empty otherwise.
    std::string Kind;
    std::string MapperName;        // Mapper: the name under /dev/mapper
    std::string BackingFile;       // Loop: as the kernel gives it, maybe with " (deleted)"
    std::string BackingFileSystem; // Loop: the type of the file system holding BackingFile
    std::string Disk;              // Partition: its disk's name; otherwise Name
    std::string Model;
    std::string Serial; // where readable without privileges
    std::optional<bool> Rotational;
    std::optional<std::uint32_t> LogicalBlockBytes;
    std::optional<std::uint32_t> PhysicalBlockBytes;
    std::string Scheduler;          // the one in force ("mq-deadline", "none")
    std::vector<std::string> Below; // the devices this one is built on, as "MAJ:MIN"
};

// The inode flags (lsattr) that change what reaches the device.
struct TFileFlags {
    bool Compressed = false;    // c: the file system compresses this file
    bool NoCompression = false; // m: ... and never this one
    bool NoCopyOnWrite = false; // C: which on btrfs also means no compression
    bool Encrypted = false;     // E: fscrypt
};

struct TStorageFacts {
    TMountFacts Mount;
    // The device holding the file system first, then what it is built on, each once, down to
    // the disks; empty where there is none (tmpfs, overlay, network file systems).
    std::vector<TBlockDeviceFacts> Devices;
    // The directory's flags, which a new file in it inherits; a caller that has the file
    // itself may put ReadFileFlags of it here.
    std::optional<TFileFlags> Flags;
};

THostFacts ReadHostFacts(const std::string& root);

// The mount holding `directory`, a path of this system: the longest mount point that its
// real path lies under among the mounts of its device, or among all mounts where none is of
// its device (a btrfs subvolume has a device number of its own).
TMountFacts ReadMountFacts(const std::string& root, const std::string& directory);

// `device` ("MAJ:MIN") and the devices below it, breadth first, at most a few dozen.
std::vector<TBlockDeviceFacts> ReadBlockDevices(const std::string& root, const std::string& device);

// The flags of a regular file or a directory, never through a link; none where the file
// system keeps none.
std::optional<TFileFlags> ReadFileFlags(const std::string& path);

// The mount, the devices and the flags of `directory`. The device is the one that
// BlockDeviceOf gives or, where the directory's device number names none (btrfs), the
// mount's source.
TStorageFacts ReadStorageFacts(const std::string& root, const std::string& directory);

} // namespace orvane::platform

#ifdef _WIN32
// Windows has neither /proc nor /sys: every fact is missing there.
namespace orvane::platform {
inline THostFacts ReadHostFacts(const std::string&) {
    return {};
}
inline TMountFacts ReadMountFacts(const std::string&, const std::string&) {
    return {};
}
inline std::vector<TBlockDeviceFacts> ReadBlockDevices(const std::string&, const std::string&) {
    return {};
}
inline std::optional<TFileFlags> ReadFileFlags(const std::string&) {
    return std::nullopt;
}
inline TStorageFacts ReadStorageFacts(const std::string&, const std::string&) {
    return {};
}
} // namespace orvane::platform
#endif
