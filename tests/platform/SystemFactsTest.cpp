// The host and storage facts from scratch /proc and /sys trees (a disk, a partition, dm-crypt
// over a partition, tmpfs, btrfs with compression, nfs, missing files, a FIFO in a file's
// place), under failing calls, and once from the real machine.
#include "platform/SystemFacts.h"
#include "platform/Measuring.h"
#include "platform/OsCalls.h"
#include "tests/support/PlatformTestSupport.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <iostream>
#include <linux/fs.h>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysinfo.h>
#include <sys/sysmacros.h>
#include <sys/utsname.h>

namespace orvane::platform {
namespace {

using testing::TTempDir;

// A scratch tree standing in for / : files, links and FIFOs, their folders made on the way.
class TTree {
public:
    explicit TTree(std::string root) : FRoot(std::move(root)) {}
    const std::string& Root() const { return FRoot; }
    void File(const std::string& path, const std::string& text) const {
        testing::WriteWholeFile(Made(path), text);
    }
    void Link(const std::string& path, const std::string& target) const {
        std::filesystem::create_symlink(target, Made(path));
    }
    void Fifo(const std::string& path) const { ASSERT_EQ(::mkfifo(Made(path).c_str(), 0644), 0); }
    // A disk's folder under /sys/devices with its queue and its model.
    void Disk(const std::string& dir, const std::string& name, const std::string& model,
              const std::string& serial, const std::string& rotational,
              const std::string& scheduler) const {
        File(dir + "/uevent", "MAJOR=8\nDEVNAME=" + name + "\nDEVTYPE=disk\n");
        File(dir + "/device/model", model + "    \n");
        if (!serial.empty()) {
            File(dir + "/device/serial", serial + "\n");
        }
        File(dir + "/queue/rotational", rotational + "\n");
        File(dir + "/queue/logical_block_size", "512\n");
        File(dir + "/queue/physical_block_size", "4096\n");
        File(dir + "/queue/scheduler", scheduler + "\n");
    }
    void Partition(const std::string& dir, const std::string& name,
                   const std::string& number) const {
        File(dir + "/uevent", "DEVNAME=" + name + "\nDEVTYPE=partition\n");
        File(dir + "/partition", "1\n");
        File(dir + "/dev", number + "\n");
    }
    // /sys/dev/block/MAJ:MIN, linked to its folder as the kernel links it.
    void Number(const std::string& number, const std::string& dir) const {
        Link("/sys/dev/block/" + number, "../../.." + dir);
    }

private:
    std::string Made(const std::string& path) const {
        const std::string full = FRoot + path;
        std::filesystem::create_directories(std::filesystem::path(full).parent_path());
        return full;
    }
    std::string FRoot;
};

std::string DeviceNumberOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0);
    return std::to_string(major(info.st_dev)) + ":" + std::to_string(minor(info.st_dev));
}

std::string Optional(const auto& value) {
    if (!value) {
        return "-";
    }
    std::ostringstream text;
    text << *value;
    return text.str();
}

const char* LayerName(TBlockLayer layer) {
    switch (layer) {
    case TBlockLayer::Disk:
        return "disk";
    case TBlockLayer::Partition:
        return "partition";
    case TBlockLayer::Mapper:
        return "mapper";
    case TBlockLayer::Raid:
        return "raid";
    case TBlockLayer::Loop:
        return "loop";
    case TBlockLayer::Memory:
        return "memory";
    }
    return "?";
}

// One line for the mount, one per device; the scratch paths and the directory's device
// written by name.
std::string Described(const TStorageFacts& facts,
                      const std::vector<std::pair<std::string, std::string>>& names) {
    const auto named = [&](std::string text) {
        for (const auto& [real, name] : names) {
            for (std::size_t at = text.find(real); at != std::string::npos;
                 at = text.find(real, at)) {
                text.replace(at, real.size(), name);
            }
        }
        return text;
    };
    const TMountFacts& m = facts.Mount;
    std::string text = m.FileSystem + " " + m.Source + " at " + m.MountPoint + " [" + m.Options +
                       "|" + m.SuperOptions + "] " + m.Device;
    for (const TBlockDeviceFacts& d : facts.Devices) {
        text += "\n" + d.Device + " " + d.Name + " " + LayerName(d.Layer) + " " + d.Kind + " " +
                d.MapperName + " disk=" + d.Disk + " '" + d.Model + "' '" + d.Serial +
                "' rot=" + Optional(d.Rotational) + " " + Optional(d.LogicalBlockBytes) + "/" +
                Optional(d.PhysicalBlockBytes) + " " + d.Scheduler + " below:";
        for (const std::string& number : d.Below) {
            text += " " + number;
        }
        if (!d.BackingFile.empty()) {
            text += " file=" + d.BackingFile + " on " + d.BackingFileSystem;
        }
    }
    return named(text);
}

const char* const RootMount = "1 0 0:1 / / rw - ext4 /dev/root rw\n";

TEST(SystemFacts, StorageFromAScratchTree) {
    TTempDir scratch;
    const std::string base = std::filesystem::canonical(scratch.Dir()).string();
    const std::string dir = base + "/the data";
    std::filesystem::create_directory(dir);
    const std::string dev = DeviceNumberOf(dir);
    // Mount points as mountinfo writes them: the blank as an octal escape.
    const std::string at = base + "/the\\040data";
    const std::string sata = "/sys/devices/pci0000:00/ata1/block/sda";
    const std::string nvme = "/sys/devices/pci0000:00/nvme/nvme0/nvme0n1";

    struct Case {
        const char* name;
        std::function<void(const TTree&)> build;
        std::string expected;
    };
    const Case cases[] = {
        {"a disk, the later of two mounts on one point",
         [&](const TTree& t) {
             t.File("/proc/self/mountinfo", std::string(RootMount) + "30 1 " + dev + " / " + at +
                                                " rw - ext2 /dev/old rw\n31 1 " + dev + " / " + at +
                                                " rw,relatime - ext4 /dev/sda rw,discard\n");
             t.Disk(sata, "sda", "WDC WD40EFRX", "WD-123", "1", "none [mq-deadline] kyber");
             t.Number(dev, sata);
         },
         "ext4 /dev/sda at <dir> [rw,relatime|rw,discard] <dev>\n"
         "<dev> sda disk   disk=sda 'WDC WD40EFRX' 'WD-123' rot=1 512/4096 mq-deadline below:"},
        {"a partition: its disk's queue and model",
         [&](const TTree& t) {
             t.File("/proc/self/mountinfo", std::string(RootMount) + "30 1 " + dev + " / " + at +
                                                " rw shared:1 - xfs /dev/nvme0n1p1 rw\n");
             t.Disk(nvme, "nvme0n1", "Samsung SSD 980", "S64", "0", "none");
             t.Partition(nvme + "/nvme0n1p1", "nvme0n1p1", dev);
             t.Number(dev, nvme + "/nvme0n1p1");
         },
         "xfs /dev/nvme0n1p1 at <dir> [rw|rw] <dev>\n"
         "<dev> nvme0n1p1 partition   disk=nvme0n1 'Samsung SSD 980' 'S64' rot=0 512/4096 none "
         "below:"},
        {"dm-crypt over a partition, walked down to the disk",
         [&](const TTree& t) {
             const std::string dm = "/sys/devices/virtual/block/dm-0";
             t.File("/proc/self/mountinfo",
                    "30 1 " + dev + " / " + at + " rw - ext4 /dev/mapper/home rw\n");
             t.File(dm + "/uevent", "DEVNAME=dm-0\n");
             t.File(dm + "/dm/uuid", "CRYPT-LUKS2-0a1b2c-home\n");
             t.File(dm + "/dm/name", "home\n");
             t.File(dm + "/queue/rotational", "0\n");
             t.Link(dm + "/slaves/sda2", "../../../../pci0000:00/ata1/block/sda/sda2");
             t.Disk(sata, "sda", "ST2000DM008", "", "1", "[bfq] none");
             t.Partition(sata + "/sda2", "sda2", "8:2");
             t.Number(dev, dm);
             t.Number("8:2", sata + "/sda2");
         },
         "ext4 /dev/mapper/home at <dir> [rw|rw] <dev>\n"
         "<dev> dm-0 mapper dm-crypt home disk=dm-0 '' '' rot=0 -/-  below: 8:2\n"
         "8:2 sda2 partition   disk=sda 'ST2000DM008' '' rot=1 512/4096 bfq below:"},
        {"tmpfs: no block device",
         [&](const TTree& t) {
             t.File("/proc/self/mountinfo", std::string(RootMount) + "30 1 " + dev + " / " + at +
                                                " rw - tmpfs tmpfs rw,size=1024k\n");
         },
         "tmpfs tmpfs at <dir> [rw|rw,size=1024k] <dev>"},
        {"btrfs with compression: the device of the mount's source",
         [&](const TTree& t) {
             // A subvolume's own device number is not the one mountinfo gives.
             t.File("/proc/self/mountinfo",
                    std::string(RootMount) + "30 1 0:45 / " + at +
                        " rw - btrfs /dev/sdb1 rw,compress=zstd:3,ssd,subvol=/data\n");
             t.Disk("/sys/devices/usb/sdb", "sdb", "Extreme", "", "0", "none");
             t.Partition("/sys/devices/usb/sdb/sdb1", "sdb1", "8:17");
             t.Link("/sys/class/block/sdb1", "../../devices/usb/sdb/sdb1");
             t.Number("8:17", "/sys/devices/usb/sdb/sdb1");
         },
         "btrfs /dev/sdb1 at <dir> [rw|rw,compress=zstd:3,ssd,subvol=/data] 0:45\n"
         "8:17 sdb1 partition   disk=sdb 'Extreme' '' rot=0 512/4096 none below:"},
        {"nfs",
         [&](const TTree& t) {
             t.File("/proc/self/mountinfo", std::string(RootMount) + "30 1 " + dev + " / " + at +
                                                " rw - nfs4 server:/export rw,vers=4.2\n");
         },
         "nfs4 server:/export at <dir> [rw|rw,vers=4.2] <dev>"},
        {"a loop device over a file on tmpfs",
         [&](const TTree& t) {
             const std::string loop = "/sys/devices/virtual/block/loop0";
             t.File("/proc/self/mountinfo", "29 1 " + dev + " / " + base +
                                                " rw - tmpfs tmpfs rw\n30 1 " + dev + " / " + at +
                                                " rw - ext4 /dev/loop0 rw\n");
             t.File(loop + "/uevent", "DEVNAME=loop0\n");
             t.File(loop + "/loop/backing_file", base + "/disk.img (deleted)\n");
             t.File(loop + "/queue/rotational", "0\n");
             t.Number(dev, loop);
         },
         "ext4 /dev/loop0 at <dir> [rw|rw] <dev>\n"
         "<dev> loop0 loop   disk=loop0 '' '' rot=0 -/-  below: file=<base>/disk.img (deleted) on "
         "tmpfs"},
        {"nothing to read", [](const TTree&) {}, "  at  [|] "},
        {"FIFOs where files should be",
         [&](const TTree& t) {
             t.Fifo("/proc/self/mountinfo");
             t.Fifo(sata + "/uevent");
             t.Fifo(sata + "/queue/rotational");
             t.File(sata + "/queue/scheduler", "mq-deadline\n");
             t.Number(dev, sata);
         },
         "  at  [|] \n<dev>  disk   disk= '' '' rot=- -/- mq-deadline below:"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir root;
        const TTree tree(root.Dir());
        c.build(tree);
        EXPECT_EQ(Described(ReadStorageFacts(tree.Root(), dir),
                            {{dir, "<dir>"}, {base, "<base>"}, {dev, "<dev>"}}),
                  c.expected);
    }
}

TEST(SystemFacts, HostFromAScratchTree) {
    struct Case {
        const char* name;
        std::function<void(const TTree&)> build;
        const char* expected;
    };
    const Case cases[] = {
        {"a PC",
         [](const TTree& t) {
             t.File("/proc/sys/kernel/hostname", "bench-01\n");
             t.File("/proc/sys/kernel/osrelease", "6.1.0-18-amd64\n");
             t.File("/proc/cpuinfo", "processor\t: 0\nmodel name\t: Intel(R) Core(TM) i7-8700\n\n"
                                     "processor\t: 1\nmodel name\t: another\n");
             t.File("/sys/devices/system/cpu/online", "0-3,6,8-9\n");
             t.File("/proc/meminfo", "MemFree:  1 kB\nMemTotal:       16318480 kB\n");
         },
         "bench-01|6.1.0-18-amd64|Intel(R) Core(TM) i7-8700|7|16710123520"},
        {"an old ARM board, its meminfo without a unit, its hostname a FIFO",
         [](const TTree& t) {
             t.Fifo("/proc/sys/kernel/hostname");
             t.File("/proc/cpuinfo", "Processor\t: ARMv7 Processor rev 4 (v7l)\nprocessor\t: 0\n");
             t.File("/sys/devices/system/cpu/online", "0\n");
             t.File("/proc/meminfo", "MemTotal: 1024\n");
         },
         "||ARMv7 Processor rev 4 (v7l)|1|-"},
        {"numbers out of bounds",
         [](const TTree& t) {
             t.File("/proc/cpuinfo", "CPU implementer\t: 0x41\n");
             t.File("/sys/devices/system/cpu/online", "0-99999999\n");
             t.File("/proc/meminfo", "MemTotal: 99999999999999999999 kB\n");
         },
         "|||-|-"},
        {"a range backwards",
         [](const TTree& t) { t.File("/sys/devices/system/cpu/online", "3-1"); }, "|||-|-"},
        {"nothing to read", [](const TTree&) {}, "|||-|-"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir root;
        const TTree tree(root.Dir());
        c.build(tree);
        const THostFacts host = ReadHostFacts(tree.Root());
        EXPECT_EQ(host.Hostname + "|" + host.Kernel + "|" + host.CpuModel + "|" +
                      Optional(host.Cpus) + "|" + Optional(host.MemoryBytes),
                  c.expected);
    }
}

TEST(SystemFacts, FlagsOfFilesAndFoldersOnly) {
    TTempDir dir;
    const int folder = ::open(dir.Dir().c_str(), O_RDONLY | O_DIRECTORY);
    int flags = 0;
    const bool kept = ::ioctl(folder, FS_IOC_GETFLAGS, &flags) == 0;
    ::close(folder);
    if (!kept) {
        GTEST_SKIP() << "this file system keeps no inode flags";
    }
    testing::WriteWholeFile(dir.Path("file"), "x");
    std::filesystem::create_symlink(dir.Path("file"), dir.Path("link"));
    ASSERT_EQ(::mkfifo(dir.Path("fifo").c_str(), 0644), 0);
    const std::pair<const char*, bool> cases[] = {
        {"", true}, {"file", true}, {"link", false}, {"fifo", false}, {"missing", false}};
    for (const auto& [name, read] : cases) {
        EXPECT_EQ(ReadFileFlags(dir.Path(name)).has_value(), read) << name;
    }
}

TEST(SystemFacts, FailingCallsLeaveNothingOpen) {
    TTempDir scratch;
    const std::string dir = scratch.Dir();
    const std::string dev = DeviceNumberOf(dir);
    TTempDir root;
    const TTree tree(root.Dir());
    const std::string dm = "/sys/devices/virtual/block/dm-0";
    tree.File("/proc/self/mountinfo", "30 1 " + dev + " / / rw - ext4 /dev/mapper/x rw\n");
    tree.File(dm + "/uevent", "DEVNAME=dm-0\n");
    tree.File(dm + "/dm/uuid", "LVM-abc\n");
    tree.Link(dm + "/slaves/sda2", "../../../../pci/sda/sda2");
    tree.Disk("/sys/devices/pci/sda", "sda", "M", "S", "1", "none");
    tree.Partition("/sys/devices/pci/sda/sda2", "sda2", "8:2");
    tree.Number(dev, dm);
    tree.Number("8:2", "/sys/devices/pci/sda/sda2");

    const TOsCall kinds[] = {TOsCall::Open,    TOsCall::Read,    TOsCall::Fstat,    TOsCall::Stat,
                             TOsCall::Opendir, TOsCall::Readdir, TOsCall::Realpath, TOsCall::Ioctl};
    TFaultInjector seam;
    const TStorageFacts whole = ReadStorageFacts(tree.Root(), dir);
    ASSERT_EQ(whole.Devices.size(), 2u);
    for (const TOsCall kind : kinds) {
        seam.Clear();
        ReadStorageFacts(tree.Root(), dir);
        const unsigned calls = seam.Count(kind);
        for (unsigned n = 1; n <= calls; ++n) {
            seam.Clear();
            seam.FailNth(kind, n, EIO);
            const TStorageFacts facts = ReadStorageFacts(tree.Root(), dir);
            EXPECT_EQ(seam.OpenDescriptors(), 0) << OsCallName(kind) << " #" << n;
            EXPECT_LE(facts.Devices.size(), whole.Devices.size());
        }
    }
}

TEST(SystemFacts, OfThisMachine) {
    const THostFacts host = ReadHostFacts("/");
    utsname system{};
    ASSERT_EQ(::uname(&system), 0);
    EXPECT_EQ(host.Kernel, system.release);
    struct sysinfo memory {};
    ASSERT_EQ(::sysinfo(&memory), 0);
    if (host.MemoryBytes) {
        EXPECT_EQ(*host.MemoryBytes, std::uint64_t{memory.totalram} * memory.mem_unit);
    }
    if (host.Cpus) {
        EXPECT_EQ(*host.Cpus, static_cast<unsigned>(::sysconf(_SC_NPROCESSORS_ONLN)));
    }
    TTempDir dir;
    const TStorageFacts facts = ReadStorageFacts("/", dir.Dir());
    const std::string device = BlockDeviceOf(dir.Dir());
    if (!device.empty()) {
        ASSERT_FALSE(facts.Devices.empty());
        EXPECT_EQ(facts.Devices.front().Device, device);
    }
    const std::string real = std::filesystem::canonical(dir.Dir()).string();
    EXPECT_EQ(real.rfind(facts.Mount.MountPoint == "/" ? "" : facts.Mount.MountPoint, 0), 0u);
    std::cout << "host: " << host.Hostname << ", " << host.Kernel << ", " << host.CpuModel << ", "
              << Optional(host.Cpus) << " CPUs, " << Optional(host.MemoryBytes) << " bytes\n"
              << "storage of " << real << ":\n"
              << Described(facts, {}) << "\n";
}

} // namespace
} // namespace orvane::platform
