// Whether a durable or cold run kept its promise, from storage facts and pass sources, and
// the warning and caption each front end shows for it.
#include "bench/ModePromise.h"

#include <gtest/gtest.h>

namespace orvane {
namespace {

using platform::TBlockDeviceFacts;
using platform::TBlockLayer;
using platform::TFileFlags;
using platform::TStorageFacts;

constexpr TPassSource D = TPassSource::Device;
constexpr TPassSource C = TPassSource::PageCache;
constexpr TPassSource M = TPassSource::Mixed;
constexpr TPassSource U = TPassSource::Unknown;

TStorageFacts Mounted(const char* type, const char* point, const char* options = "rw") {
    TStorageFacts facts;
    facts.Mount.FileSystem = type;
    facts.Mount.MountPoint = point;
    facts.Mount.SuperOptions = options;
    return facts;
}

TStorageFacts On(TStorageFacts facts, TBlockLayer layer, const char* kind = "",
                 const char* backing = "") {
    TBlockDeviceFacts device;
    device.Name = layer == TBlockLayer::Loop ? "loop0" : "sda";
    device.Layer = layer;
    device.Kind = kind;
    device.BackingFileSystem = backing;
    facts.Devices.push_back(device);
    return facts;
}

TStorageFacts Flagged(TStorageFacts facts, TFileFlags flags) {
    facts.Flags = flags;
    return facts;
}

const char* Honoured(const TPromise& promise) {
    return !promise.Honoured ? "-" : *promise.Honoured ? "yes" : "no";
}

TEST(ModePromise, FromTheFactsAndThePasses) {
    const TMeasuringMode both{true, true, 1};
    const TStorageFacts disk = On(Mounted("ext4", "/"), TBlockLayer::Disk);
    struct Case {
        const char* name;
        TMeasuringMode mode;
        TStorageFacts facts;
        std::vector<TPassSource> writes, reads;
        // Honoured, warning and caption: the durable writes', then the cold reads'.
        const char* durable[3];
        const char* cold[3];
    };
    const Case cases[] = {
        {"the standard mode promises nothing",
         {},
         Mounted("tmpfs", "/tmp"),
         {C},
         {C},
         {"-", "", ""},
         {"-", "", ""}},
        {"tmpfs",
         both,
         Mounted("tmpfs", "/dev/shm"),
         {U},
         {U},
         {"no", "durable writes never left memory: /dev/shm is tmpfs, which keeps files in memory",
          "durable not honoured: tmpfs"},
         {"no", "cold reads were not cold: /dev/shm is tmpfs, which keeps files in memory",
          "cold not honoured: tmpfs"}},
        {"only the mode asked for",
         {false, true, 1},
         Mounted("ramfs", "/r"),
         {},
         {D},
         {"-", "", ""},
         {"no", "cold reads were not cold: /r is ramfs, which keeps files in memory",
          "cold not honoured: ramfs"}},
        {"a disk, every pass the device's; a pass without counters is not judged",
         both,
         disk,
         {D, U, D},
         {D},
         {"yes", "", ""},
         {"yes", "", ""}},
        {"a disk with passes from the page cache",
         both,
         disk,
         {D, M},
         {C, D, C},
         {"no",
          "durable writes did not all reach the device: 1 of 2 write passes moved less than 90 % "
          "of the file to it",
          "durable not honoured: 1 of 2 passes"},
         {"no", "cold reads were not cold: 2 of 3 read passes were served from the page cache",
          "cold not honoured: 2 of 3 passes"}},
        {"partly from the page cache",
         {false, true, 1},
         disk,
         {},
         {M, C, D},
         {"-", "", ""},
         {"no",
          "cold reads were not cold: 2 of 3 read passes were served wholly or partly from the "
          "page cache",
          "cold not honoured: 2 of 3 passes"}},
        {"dm-crypt below, though the counters saw the device",
         both,
         On(On(Mounted("ext4", "/home"), TBlockLayer::Mapper, "dm-crypt"), TBlockLayer::Partition),
         {D},
         {D},
         {"no",
          "durable writes were not the device's speed: /home is on dm-crypt, which encrypts what "
          "it stores",
          "durable not honoured: dm-crypt"},
         {"no",
          "cold reads were not the device's speed: /home is on dm-crypt, which encrypts what it "
          "stores",
          "cold not honoured: dm-crypt"}},
        {"an LVM volume passes its bytes through",
         both,
         On(On(Mounted("xfs", "/srv"), TBlockLayer::Mapper, "lvm"), TBlockLayer::Disk),
         {D},
         {D},
         {"yes", "", ""},
         {"yes", "", ""}},
        {"fscrypt",
         both,
         Flagged(disk, {false, false, false, true}),
         {D},
         {D},
         {"no",
          "durable writes were not the device's speed: / is on fscrypt, which encrypts what it "
          "stores",
          "durable not honoured: fscrypt"},
         {"no",
          "cold reads were not the device's speed: / is on fscrypt, which encrypts what it stores",
          "cold not honoured: fscrypt"}},
        {"btrfs compressing by its mount",
         both,
         Mounted("btrfs", "/data", "rw,compress=zstd:3,ssd"),
         {U},
         {U},
         {"no",
          "durable writes were not the device's speed: /data is btrfs with compress=zstd:3, which "
          "compresses what it writes",
          "durable not honoured: btrfs compression"},
         {"no",
          "cold reads were not the device's speed: /data is btrfs with compress=zstd:3, which "
          "compresses what it writes",
          "cold not honoured: btrfs compression"}},
        {"btrfs leaves a no-copy-on-write folder uncompressed",
         {true, false, 1},
         Flagged(Mounted("btrfs", "/data", "rw,compress"), {false, false, true, false}),
         {U},
         {},
         {"-", "durable writes can't be checked: no device counters cover /data (btrfs)",
          "durable unverified: no device counters"},
         {"-", "", ""}},
        {"... unless the mount forces it",
         {true, false, 1},
         Flagged(Mounted("btrfs", "/data", "rw,compress-force=zlib"), {false, true, true, false}),
         {U},
         {},
         {"no",
          "durable writes were not the device's speed: /data is btrfs with compress-force=zlib, "
          "which compresses what it writes",
          "durable not honoured: btrfs compression"},
         {"-", "", ""}},
        {"btrfs with compress=no",
         {true, false, 1},
         Mounted("btrfs", "/data", "rw,compress=no"),
         {D},
         {},
         {"yes", "", ""},
         {"-", "", ""}},
        {"a folder marked for compression",
         {true, false, 1},
         Flagged(Mounted("btrfs", "/data"), {true, false, false, false}),
         {U},
         {},
         {"no",
          "durable writes were not the device's speed: /data is btrfs, which compresses this file",
          "durable not honoured: btrfs compression"},
         {"-", "", ""}},
        {"zfs",
         both,
         Mounted("zfs", "/tank"),
         {U},
         {U},
         {"no",
          "durable writes were not the device's speed: /tank is zfs, which can compress what it "
          "writes",
          "durable not honoured: zfs compression"},
         {"no",
          "cold reads were not cold: /tank is zfs, which keeps file data in its own cache "
          "(ARC)",
          "cold not honoured: zfs cache"}},
        {"nfs",
         both,
         Mounted("nfs4", "/mnt/share"),
         {U},
         {U},
         {"no",
          "durable writes were not the device's speed: /mnt/share is nfs4, a network file system",
          "durable not honoured: nfs4"},
         {"no", "cold reads were not the device's speed: /mnt/share is nfs4, a network file system",
          "cold not honoured: nfs4"}},
        {"overlay: nothing counts the device",
         both,
         Mounted("overlay", "/"),
         {U, U},
         {U},
         {"-", "durable writes can't be checked: no device counters cover / (overlay)",
          "durable unverified: no device counters"},
         {"-", "cold reads can't be checked: no device counters cover / (overlay)",
          "cold unverified: no device counters"}},
        {"a loop device over a file on tmpfs, whose counters look like a device's",
         both,
         On(Mounted("ext4", "/mnt/img"), TBlockLayer::Loop, "", "tmpfs"),
         {D},
         {D},
         {"no",
          "durable writes never left memory: /mnt/img is on loop0, a file on tmpfs, which keeps "
          "files in memory",
          "durable not honoured: loop on tmpfs"},
         {"no",
          "cold reads were not cold: /mnt/img is on loop0, a file on tmpfs, which keeps files in "
          "memory",
          "cold not honoured: loop on tmpfs"}},
        {"zram",
         {false, true, 1},
         On(Mounted("ext4", "/z"), TBlockLayer::Memory, "zram"),
         {},
         {D},
         {"-", "", ""},
         {"no", "cold reads were not cold: /z is on zram, a block device in memory",
          "cold not honoured: zram"}},
        {"a stopped run: no passes, nothing known",
         both,
         TStorageFacts{},
         {},
         {},
         {"-", "", ""},
         {"-", "", ""}},
        {"names from the system are escaped and filled in once",
         {false, true, 1},
         Mounted("tmpfs", "/mnt/{2}\x1b[2J"),
         {},
         {U},
         {"-", "", ""},
         {"no", "cold reads were not cold: /mnt/{2}\\x1b[2J is tmpfs, which keeps files in memory",
          "cold not honoured: tmpfs"}},
        {"no mount found",
         {false, true, 1},
         TStorageFacts{},
         {},
         {U},
         {"-", "", ""},
         {"-", "cold reads can't be checked: no device counters cover the test directory",
          "cold unverified: no device counters"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TModePromises promises = JudgeModePromises(c.mode, c.facts, c.writes, c.reads);
        const std::pair<TPromisedMode, const TPromise*> judged[] = {
            {TPromisedMode::Durable, &promises.Durable}, {TPromisedMode::Cold, &promises.Cold}};
        for (const auto& [mode, promise] : judged) {
            const char* const* expected = mode == TPromisedMode::Durable ? c.durable : c.cold;
            EXPECT_STREQ(Honoured(*promise), expected[0]);
            EXPECT_EQ(PromiseWarning(mode, *promise), expected[1]);
            EXPECT_EQ(PromiseCaption(mode, *promise), expected[2]);
        }
    }
}

} // namespace
} // namespace orvane
