// Page cache, device counters and thread usage on Linux, every call through the seam.
#include "platform/Measuring.h"

#include "platform/OsCalls.h"
#include "platform/linux/SmallFiles.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

namespace orvane::platform {

namespace {

constexpr std::uint64_t SectorBytes = 512; // diskstats counts in 512-byte units on every device

template <typename Call> int Retried(Call&& call) {
    int result;
    do {
        result = call();
    } while (result != 0 && errno == EINTR);
    return result;
}

} // namespace

std::string ErrnoText(int error) {
    return std::strerror(error);
}

TStepResult SettleFileSystem(const std::string& path) {
    const TDescriptor file(path, O_RDONLY);
    if (file.Fd() < 0) {
        return {"open", errno};
    }
    if (OsCalls().syncfs(file.Fd()) != 0) {
        return {"syncfs", errno};
    }
    return {};
}

TStepResult DropFromPageCache(const std::string& path) {
    const TDescriptor file(path, O_RDONLY);
    if (file.Fd() < 0) {
        return {"open", errno};
    }
    // Dirty pages are not dropped: they must be written out first.
    if (Retried([&] { return OsCalls().fdatasync(file.Fd()); }) != 0) {
        return {"fdatasync", errno};
    }
    if (OsCalls().posix_fadvise(file.Fd(), 0, 0, POSIX_FADV_DONTNEED) != 0) {
        return {"posix_fadvise", errno};
    }
    return {};
}

std::optional<std::uint64_t> CachedBytes(const std::string& path) {
    const TDescriptor file(path, O_RDONLY);
    struct stat info {};
    if (file.Fd() < 0 || OsCalls().fstat(file.Fd(), &info) != 0) {
        return std::nullopt;
    }
    const auto size = static_cast<std::size_t>(info.st_size);
    if (size == 0) {
        return 0;
    }
    void* mapping = OsCalls().mmap(nullptr, size, PROT_READ, MAP_SHARED, file.Fd(), 0);
    if (mapping == MAP_FAILED || mapping == nullptr) {
        return std::nullopt;
    }
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    std::vector<unsigned char> resident((size + page - 1) / page);
    std::optional<std::uint64_t> bytes;
    if (OsCalls().mincore(mapping, size, resident.data()) == 0) {
        std::uint64_t pages = 0;
        for (unsigned char state : resident) {
            pages += state & 1u;
        }
        // The last page counts only with the part of it that is file.
        bytes = std::min<std::uint64_t>(pages * page, size);
    }
    OsCalls().munmap(mapping, size);
    return bytes;
}

std::string BlockDeviceOf(const std::string& path, const std::string& root) {
    struct stat info {};
    if (OsCalls().stat(path.c_str(), &info) != 0) {
        return {};
    }
    std::string device = std::to_string(major(info.st_dev));
    device += ":";
    device += std::to_string(minor(info.st_dev));
    // Anonymous devices (tmpfs, overlay, btrfs subvolumes, NFS) have no entry here; a
    // partition or a device-mapper volume has one, and its own counters in diskstats.
    struct stat block {};
    if (OsCalls().stat(UnderRoot(root, "/sys/dev/block/" + device).c_str(), &block) != 0) {
        return {};
    }
    return device;
}

std::optional<TDeviceCounters> ReadDeviceCounters(const std::string& device) {
    if (device.empty()) {
        return std::nullopt;
    }
    std::ifstream stats("/proc/diskstats");
    std::string line;
    while (std::getline(stats, line)) {
        std::istringstream fields(line);
        std::string majorNumber, minorNumber, name;
        std::uint64_t reads = 0, readsMerged = 0, sectorsRead = 0, readMs = 0, writes = 0,
                      writesMerged = 0, sectorsWritten = 0;
        fields >> majorNumber >> minorNumber >> name >> reads >> readsMerged >> sectorsRead >>
            readMs >> writes >> writesMerged >> sectorsWritten;
        majorNumber += ":";
        majorNumber += minorNumber;
        if (fields && majorNumber == device) {
            return TDeviceCounters{sectorsRead * SectorBytes, sectorsWritten * SectorBytes};
        }
    }
    return std::nullopt;
}

std::optional<TThreadUsage> ReadThreadUsage() {
    struct rusage usage {};
    if (OsCalls().getrusage(RUSAGE_THREAD, &usage) != 0) {
        return std::nullopt;
    }
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return TThreadUsage{seconds(usage.ru_utime), seconds(usage.ru_stime),
                        static_cast<std::uint64_t>(usage.ru_nvcsw),
                        static_cast<std::uint64_t>(usage.ru_nivcsw)};
}

} // namespace orvane::platform
