// The host's facts from /proc and /sys, and the storage facts of a directory put together:
// its mount, its block devices and its inode flags.
#include "platform/SystemFacts.h"

#include "platform/Measuring.h"
#include "platform/OsCalls.h"
#include "platform/linux/SmallFiles.h"

#include <charconv>
#include <fcntl.h>
#include <linux/fs.h>
#include <map>
#include <string_view>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace orvane::platform {

namespace {

// The first processor's lines are all that is needed, wherever a machine has hundreds.
constexpr std::size_t CpuInfoLimit = std::size_t{256} << 10;
constexpr std::size_t MemInfoLimit = std::size_t{64} << 10;
// More ranges or a higher number than this in cpu/online is not a list of CPUs.
constexpr std::size_t CpuRangesLimit = 4096;
constexpr unsigned CpuNumberLimit = 1u << 22;
constexpr std::uint64_t KiB = 1024;

// Where each architecture names its processor in /proc/cpuinfo, the best first.
constexpr std::string_view CpuModelKeys[] = {"model name", "cpu model", "Processor", "cpu",
                                             "uarch"};

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

template <typename Each> void ForEachLine(std::string_view text, Each&& each) {
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        each(text.substr(start, end - start));
        start = end + 1;
    }
}

template <typename Number> std::optional<Number> Parsed(std::string_view text) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::string CpuModel(const std::string& root) {
    const std::optional<std::string> text =
        ReadSmallFile(UnderRoot(root, "/proc/cpuinfo"), CpuInfoLimit);
    if (!text) {
        return {};
    }
    std::map<std::string_view, std::string_view> firsts;
    ForEachLine(*text, [&](std::string_view line) {
        const std::size_t colon = line.find(':');
        if (colon != std::string_view::npos) {
            firsts.emplace(Trimmed(line.substr(0, colon)), Trimmed(line.substr(colon + 1)));
        }
    });
    for (const std::string_view key : CpuModelKeys) {
        const auto found = firsts.find(key);
        if (found != firsts.end() && !found->second.empty()) {
            return std::string(found->second);
        }
    }
    return {};
}

// "0-3,6,8-9": seven.
std::optional<unsigned> OnlineCpus(const std::string& root) {
    const std::string list = ReadAttribute(UnderRoot(root, "/sys/devices/system/cpu/online"));
    unsigned count = 0;
    std::size_t start = 0, ranges = 0;
    while (start < list.size()) {
        if (++ranges > CpuRangesLimit) {
            return std::nullopt;
        }
        const std::size_t end = std::min(list.find(',', start), list.size());
        const std::string_view range = std::string_view(list).substr(start, end - start);
        const std::size_t dash = range.find('-');
        const std::optional<unsigned> first = Parsed<unsigned>(range.substr(0, dash));
        const std::optional<unsigned> last =
            dash == std::string_view::npos ? first : Parsed<unsigned>(range.substr(dash + 1));
        if (!first || !last || *last < *first || *last >= CpuNumberLimit) {
            return std::nullopt;
        }
        count += *last - *first + 1;
        if (count > CpuNumberLimit) {
            return std::nullopt;
        }
        start = end + 1;
    }
    return count > 0 ? std::optional<unsigned>(count) : std::nullopt;
}

std::optional<std::uint64_t> MemoryBytes(const std::string& root) {
    const std::optional<std::string> text =
        ReadSmallFile(UnderRoot(root, "/proc/meminfo"), MemInfoLimit);
    if (!text) {
        return std::nullopt;
    }
    std::optional<std::uint64_t> bytes;
    ForEachLine(*text, [&](std::string_view line) {
        constexpr std::string_view key = "MemTotal:";
        if (bytes || line.substr(0, key.size()) != key) {
            return;
        }
        std::string_view value = Trimmed(line.substr(key.size()));
        if (value.size() < 3 || value.substr(value.size() - 3) != " kB") {
            return;
        }
        const std::optional<std::uint64_t> kib =
            Parsed<std::uint64_t>(Trimmed(value.substr(0, value.size() - 3)));
        if (kib && *kib <= UINT64_MAX / KiB) {
            bytes = *kib * KiB;
        }
    });
    return bytes;
}

// The device a mount's source names ("/dev/sda2", "/dev/mapper/root"): the node's own number,
// or where the node can't be seen, its name's entry under /sys/class/block.
std::string DeviceOfSource(const std::string& root, const std::string& source) {
    if (source.rfind("/dev/", 0) != 0) {
        return {};
    }
    struct stat node {};
    if (OsCalls().stat(UnderRoot(root, source).c_str(), &node) == 0) {
        return S_ISBLK(node.st_mode)
                   ? std::to_string(major(node.st_rdev)) + ":" + std::to_string(minor(node.st_rdev))
                   : std::string();
    }
    const std::string name = source.substr(source.rfind('/') + 1);
    if (name.empty() || name == "." || name == "..") {
        return {};
    }
    return ReadAttribute(UnderRoot(root, "/sys/class/block/" + name + "/dev"));
}

} // namespace

THostFacts ReadHostFacts(const std::string& root) {
    THostFacts host;
    host.Hostname = ReadAttribute(UnderRoot(root, "/proc/sys/kernel/hostname"));
    host.Kernel = ReadAttribute(UnderRoot(root, "/proc/sys/kernel/osrelease"));
    host.CpuModel = CpuModel(root);
    host.Cpus = OnlineCpus(root);
    host.MemoryBytes = MemoryBytes(root);
    return host;
}

std::optional<TFileFlags> ReadFileFlags(const std::string& path) {
    const TDescriptor file(path, O_RDONLY);
    struct stat info {};
    if (file.Fd() < 0 || OsCalls().fstat(file.Fd(), &info) != 0 ||
        !(S_ISREG(info.st_mode) || S_ISDIR(info.st_mode))) {
        return std::nullopt;
    }
    int flags = 0;
    if (OsCalls().ioctl(file.Fd(), FS_IOC_GETFLAGS, &flags) != 0) {
        return std::nullopt;
    }
    const auto has = [flags](unsigned flag) { return (static_cast<unsigned>(flags) & flag) != 0; };
    TFileFlags result;
    result.Compressed = has(FS_COMPR_FL);
    result.NoCompression = has(FS_NOCOMP_FL);
    result.NoCopyOnWrite = has(FS_NOCOW_FL);
    result.Encrypted = has(FS_ENCRYPT_FL);
    return result;
}

TStorageFacts ReadStorageFacts(const std::string& root, const std::string& directory) {
    TStorageFacts facts;
    facts.Mount = ReadMountFacts(root, directory);
    std::string device = BlockDeviceOf(directory, root);
    if (device.empty()) {
        device = DeviceOfSource(root, facts.Mount.Source);
    }
    facts.Devices = ReadBlockDevices(root, device);
    facts.Flags = ReadFileFlags(directory);
    return facts;
}

} // namespace orvane::platform
