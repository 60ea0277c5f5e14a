// The alignment direct I/O needs: statx's answer where there is one, else the logical block
// size of the device from a sysfs tree (here a scratch one), a disk's or a partition's disk's;
// nothing from a tree that does not give a clean number.
#include "platform/DirectIo.h"
#include "platform/OsCalls.h"
#include "tests/support/PlatformTestSupport.h"

#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

using orvane::platform::TAlignmentSource;
using orvane::platform::TDirectAlignment;
using orvane::platform::TDirectFile;
using orvane::platform::TFaultInjector;
using orvane::platform::TOsCall;
using orvane::testing::TTempDir;
using orvane::testing::WriteWholeFile;

// Where the scratch tree keeps the logical block size of the file's device.
enum class TTree { None, Disk, Partition };

void MakeTree(const std::string& root, TTree tree, dev_t device, const std::string& size) {
    const std::string name = std::to_string(major(device)) + ":" + std::to_string(minor(device));
    std::filesystem::create_directories(root + "/dev/block");
    if (tree == TTree::Disk) {
        std::filesystem::create_directories(root + "/dev/block/" + name + "/queue");
        WriteWholeFile(root + "/dev/block/" + name + "/queue/logical_block_size", size);
    } else if (tree == TTree::Partition) {
        // As sysfs has it: the device's entry links to the partition, inside its disk.
        std::filesystem::create_directories(root + "/devices/disk/part");
        std::filesystem::create_directories(root + "/devices/disk/queue");
        WriteWholeFile(root + "/devices/disk/queue/logical_block_size", size);
        std::filesystem::create_directory_symlink("../../devices/disk/part",
                                                  root + "/dev/block/" + name);
    }
}

TEST(DirectIo, TheAlignmentComesFromStatxElseTheLogicalBlockSize) {
    struct Case {
        const char* what;
        int statx;                    // the statx fault; 0: it answers
        std::uint32_t memory, offset; // what statx answers
        TTree tree;
        std::string size; // the sysfs file's contents
        std::optional<TDirectAlignment> expected;
    };
    const auto fromStatx = [](std::uint32_t memory, std::uint32_t offset) {
        return TDirectAlignment{memory, offset, TAlignmentSource::Statx};
    };
    const auto fromDevice = [](std::uint32_t size) {
        return TDirectAlignment{size, size, TAlignmentSource::LogicalBlockSize};
    };
    const Case cases[] = {
        {"statx tells", 0, 4, 512, TTree::Disk, "4096\n", fromStatx(4, 512)},
        {"statx says no direct I/O", 0, 0, 0, TTree::Disk, "4096\n", fromStatx(0, 0)},
        {"a disk", ENOSYS, 0, 0, TTree::Disk, "4096\n", fromDevice(4096)},
        {"a partition", EIO, 0, 0, TTree::Partition, "512\n", fromDevice(512)},
        {"no newline", ENOSYS, 0, 0, TTree::Disk, "2048", fromDevice(2048)},
        {"no device", ENOSYS, 0, 0, TTree::None, "", std::nullopt},
        {"not a number", ENOSYS, 0, 0, TTree::Disk, "4k\n", std::nullopt},
        {"zero", ENOSYS, 0, 0, TTree::Disk, "0\n", std::nullopt},
        {"too long", ENOSYS, 0, 0, TTree::Disk, std::string(40, '5'), std::nullopt},
        {"out of range", ENOSYS, 0, 0, TTree::Disk, "99999999999\n", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TTempDir dir;
        const std::string path = dir.Path("f.tmp");
        TDirectFile file;
        ASSERT_TRUE(file.Open(path));
        struct stat info {};
        ASSERT_EQ(::stat(path.c_str(), &info), 0);
        MakeTree(dir.Path("sys"), c.tree, info.st_dev, c.size);

        TFaultInjector seam;
        if (c.statx != 0) {
            seam.FailNth(TOsCall::Statx, 1, c.statx);
        } else {
            seam.FakeDirectAlignment(c.memory, c.offset);
        }
        const std::optional<TDirectAlignment> got = file.Alignment(dir.Path("sys"));
        ASSERT_EQ(got.has_value(), c.expected.has_value());
        if (got) {
            EXPECT_EQ(got->Memory, c.expected->Memory);
            EXPECT_EQ(got->Offset, c.expected->Offset);
            EXPECT_EQ(got->Source, c.expected->Source);
        }
        EXPECT_EQ(seam.OpenDescriptors(), 0) << "the sysfs file stays open";
    }
}

} // namespace
