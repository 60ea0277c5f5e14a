// The block devices under a file system, from /sys/dev/block: what each one is, its disk's
// queue and model, and what it is built on, down to the disks.
#include "platform/SystemFacts.h"

#include "platform/linux/SmallFiles.h"

#include <charconv>
#include <deque>
#include <set>
#include <string_view>

namespace orvane::platform {

namespace {

// Deeper or wider stacks are cut here: a loop in a scratch tree must end too.
constexpr std::size_t DeviceLimit = 32;
constexpr std::size_t SlavesPerDevice = 64;
constexpr std::size_t NameLimit = 255;
constexpr std::size_t UeventLimit = 4096;
// brd's ram disks: the kernel's RAMDISK_MAJOR.
constexpr std::string_view RamDiskMajor = "1:";

constexpr std::string_view DeletedSuffix = " (deleted)";

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

bool IsDigits(std::string_view text) {
    return !text.empty() && text.size() <= 10 &&
           text.find_first_not_of("0123456789") == std::string_view::npos;
}

bool IsDeviceNumber(std::string_view text) {
    const std::size_t colon = text.find(':');
    return colon != std::string_view::npos && IsDigits(text.substr(0, colon)) &&
           IsDigits(text.substr(colon + 1));
}

// A name that can stand as one path component.
bool IsPlainName(std::string_view name) {
    return !name.empty() && name.size() <= NameLimit && name != "." && name != ".." &&
           name.find('/') == std::string_view::npos;
}

std::string UeventValue(const std::string& directory, std::string_view key) {
    const std::optional<std::string> text = ReadSmallFile(directory + "/uevent", UeventLimit);
    if (!text) {
        return {};
    }
    std::string_view lines = *text;
    std::size_t start = 0;
    while (start < lines.size()) {
        const std::size_t end = std::min(lines.find('\n', start), lines.size());
        const std::string_view line = lines.substr(start, end - start);
        if (line.size() > key.size() && StartsWith(line, key) && line[key.size()] == '=') {
            return std::string(line.substr(key.size() + 1));
        }
        start = end + 1;
    }
    return {};
}

std::optional<std::uint32_t> Number(const std::string& text) {
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

std::optional<bool> Flag(const std::string& text) {
    if (text == "0" || text == "1") {
        return text == "1";
    }
    return std::nullopt;
}

// "none [mq-deadline] kyber": the one in brackets; a lone name where there is no choice.
std::string ActiveScheduler(const std::string& text) {
    const std::size_t open = text.find('[');
    const std::size_t close = text.find(']', open);
    if (open != std::string::npos && close != std::string::npos) {
        return text.substr(open + 1, close - open - 1);
    }
    return text.find(' ') == std::string::npos ? text : std::string();
}

// Device-mapper keeps no target type in sysfs, but the tools that make a mapping write
// their name first in its uuid ("CRYPT-LUKS2-...", "LVM-...").
std::string MapperKind(std::string_view uuid) {
    if (StartsWith(uuid, "CRYPT-VERITY-")) {
        return "dm-verity";
    }
    if (StartsWith(uuid, "CRYPT-INTEGRITY-")) {
        return "dm-integrity";
    }
    if (StartsWith(uuid, "CRYPT-")) {
        return "dm-crypt";
    }
    if (StartsWith(uuid, "LVM-")) {
        // LVM names the pool under a VDO volume by a suffix.
        return EndsWith(uuid, "-vpool") ? "vdo" : "lvm";
    }
    if (StartsWith(uuid, "VDO-")) {
        return "vdo";
    }
    if (StartsWith(uuid, "mpath-")) {
        return "multipath";
    }
    if (StartsWith(uuid, "stratis-")) {
        return "stratis";
    }
    return "device-mapper";
}

std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == 0 ? "/" : path.substr(0, slash);
}

void ReadLayer(const std::string& root, const std::string& base, TBlockDeviceFacts& device) {
    if (PathExists(base + "/partition")) {
        device.Layer = TBlockLayer::Partition;
    } else if (PathExists(base + "/dm")) {
        device.Layer = TBlockLayer::Mapper;
        device.Kind = MapperKind(ReadAttribute(base + "/dm/uuid"));
        device.MapperName = ReadAttribute(base + "/dm/name");
    } else if (PathExists(base + "/md")) {
        device.Layer = TBlockLayer::Raid;
        device.Kind = ReadAttribute(base + "/md/level");
    } else if (PathExists(base + "/loop")) {
        device.Layer = TBlockLayer::Loop;
        device.BackingFile = ReadAttribute(base + "/loop/backing_file");
        std::string file = device.BackingFile;
        if (EndsWith(file, DeletedSuffix)) {
            file.resize(file.size() - DeletedSuffix.size());
        }
        if (StartsWith(file, "/")) {
            device.BackingFileSystem = ReadMountFacts(root, DirectoryOf(file)).FileSystem;
        }
    } else if (PathExists(base + "/comp_algorithm")) {
        device.Layer = TBlockLayer::Memory;
        device.Kind = "zram";
    } else if (StartsWith(device.Device, RamDiskMajor)) {
        device.Layer = TBlockLayer::Memory;
        device.Kind = "brd";
    }
}

// The queue and the model are the disk's: a partition's parent directory is its disk.
void ReadDisk(const std::string& disk, TBlockDeviceFacts& device) {
    device.Model = ReadAttribute(disk + "/device/model");
    if (device.Model.empty()) {
        device.Model = ReadAttribute(disk + "/device/name"); // mmc cards
    }
    device.Serial = ReadAttribute(disk + "/device/serial");
    if (device.Serial.empty()) {
        device.Serial = ReadAttribute(disk + "/serial"); // virtio
    }
    device.Rotational = Flag(ReadAttribute(disk + "/queue/rotational"));
    device.LogicalBlockBytes = Number(ReadAttribute(disk + "/queue/logical_block_size"));
    device.PhysicalBlockBytes = Number(ReadAttribute(disk + "/queue/physical_block_size"));
    device.Scheduler = ActiveScheduler(ReadAttribute(disk + "/queue/scheduler"));
}

std::vector<std::string> DevicesBelow(const std::string& base) {
    std::vector<std::string> below;
    for (const std::string& name : DirectoryNames(base + "/slaves", SlavesPerDevice)) {
        if (!IsPlainName(name)) {
            continue;
        }
        std::string path = base;
        path += "/slaves/";
        path += name;
        path += "/dev";
        const std::string number = ReadAttribute(path);
        if (IsDeviceNumber(number)) {
            below.push_back(number);
        }
    }
    return below;
}

std::optional<TBlockDeviceFacts> ReadDevice(const std::string& root, const std::string& number) {
    const std::string base = UnderRoot(root, "/sys/dev/block/" + number);
    if (!PathExists(base)) {
        return std::nullopt;
    }
    TBlockDeviceFacts device;
    device.Device = number;
    device.Name = UeventValue(base, "DEVNAME");
    if (!IsPlainName(device.Name)) {
        device.Name.clear();
    }
    ReadLayer(root, base, device);
    const std::string disk = device.Layer == TBlockLayer::Partition ? base + "/.." : base;
    device.Disk =
        device.Layer == TBlockLayer::Partition ? UeventValue(disk, "DEVNAME") : device.Name;
    if (!IsPlainName(device.Disk)) {
        device.Disk.clear();
    }
    ReadDisk(disk, device);
    device.Below = DevicesBelow(base);
    return device;
}

} // namespace

std::vector<TBlockDeviceFacts> ReadBlockDevices(const std::string& root,
                                                const std::string& device) {
    std::vector<TBlockDeviceFacts> devices;
    if (!IsDeviceNumber(device)) {
        return devices;
    }
    std::deque<std::string> next{device};
    std::set<std::string> seen{device};
    while (!next.empty() && devices.size() < DeviceLimit) {
        std::optional<TBlockDeviceFacts> one = ReadDevice(root, next.front());
        next.pop_front();
        if (!one) {
            continue;
        }
        for (const std::string& below : one->Below) {
            if (seen.insert(below).second) {
                next.push_back(below);
            }
        }
        devices.push_back(std::move(*one));
    }
    return devices;
}

} // namespace orvane::platform
