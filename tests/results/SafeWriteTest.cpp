// The one writer of result files: whole or nothing, the mode kept, no temporary file left on
// any failure of any call, and links in a shared sticky directory followed only when the
// user or the directory's owner made them.
#include "results/SafeWrite.h"

#include "tests/support/FaultSweep.h"
#include "tests/support/PlatformTestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvane::results {
namespace {

using testing::Exists;
using testing::InChild;
using testing::NobodyId;
using testing::ReadWholeFile;
using testing::TOutcome;
using testing::TTempDir;

// The names in `dir` besides `keep`: a temporary file left behind shows here.
std::vector<std::string> Strays(const TTempDir& dir, const std::string& keep) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Dir())) {
        if (entry.path().filename() != keep) {
            names.push_back(entry.path().filename());
        }
    }
    return names;
}

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_mode & 07777;
}

TEST(SafeWrite, AWholeFileInPlaceWithItsModeAndNothingElse) {
    TTempDir dir;
    const std::string path = dir.Path("results.json");
    const mode_t mask = ::umask(022);
    ::umask(mask);

    ASSERT_TRUE(WriteWholeFile(path, "first")) << "a new file";
    EXPECT_EQ(ReadWholeFile(path), "first");
    EXPECT_EQ(ModeOf(path), 0666 & ~mask);

    ::chmod(path.c_str(), 0640);
    ASSERT_TRUE(WriteWholeFile(path, "second"));
    EXPECT_EQ(ReadWholeFile(path), "second");
    EXPECT_EQ(ModeOf(path), 0640u) << "a replaced file keeps its mode";

    const TWriteOutcome taken = WriteWholeFile(path, "third", TPlacement::CreateNew);
    EXPECT_TRUE(taken.NameTaken);
    EXPECT_EQ(ReadWholeFile(path), "second") << "CreateNew never replaces";
    EXPECT_TRUE(Strays(dir, "results.json").empty());

    EXPECT_EQ(WriteWholeFile(dir.Dir(), "x").Problem, "it is a directory");
    EXPECT_NE(WriteWholeFile(dir.Path("missing/results.json"), "x").Problem, "");
    EXPECT_TRUE(WriteWholeFile("/dev/null", "into a device, in place"));
}

TEST(SafeWrite, AnyFailedCallLeavesTheOldFileAndNoTemporary) {
    // The full disk of a --output, a saved result or a chart, at every call the writer makes.
    TTempDir dir;
    const std::string path = dir.Path("report.csv");
    const unsigned runs = testing::SweepEveryCall(
        [&] {
            testing::WriteWholeFile(path, "old");
            const TWriteOutcome written = WriteWholeFile(path, "new");
            const std::string now = ReadWholeFile(path);
            if (!Strays(dir, "report.csv").empty()) {
                return TOutcome::Wrong;
            }
            if (written) {
                return now == "new" ? TOutcome::Correct : TOutcome::Wrong;
            }
            // Only the directory's flush comes after the file is in place, and says so.
            const bool inPlace = written.Problem.rfind("written, but", 0) == 0;
            return now == (inPlace ? "new" : "old") ? TOutcome::Reported : TOutcome::Wrong;
        },
        ENOSPC); // a disk that fills up at any step
    EXPECT_GE(runs, 8u);
}

TEST(SafeWrite, LinksInASharedStickyDirectoryAreFollowedOnlyWhenTheUserOrItsOwnerMadeThem) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "links of other users can only be made as root";
    }
    TTempDir dir;
    const std::string shared = dir.Path("shared");
    const std::string plain = dir.Path("plain");
    const std::string victim = dir.Path("plain/victim"); // in a folder nobody may write to
    ::mkdir(shared.c_str(), 0777);
    ::chmod(shared.c_str(), 01777);
    ::mkdir(plain.c_str(), 0777);
    ::chmod(plain.c_str(), 0777);
    constexpr uid_t Other = NobodyId - 1;
    const struct {
        const char* where;
        uid_t linkOwner;
        bool asNobody;
        bool followed;
    } cases[] = {
        {"shared", NobodyId, false, false}, // planted for root by another user
        {"shared", Other, true, false},     // planted for nobody by a third user
        {"shared", NobodyId, true, true},   // nobody's own link
        {"shared", 0, true, true},          // the directory owner's link
        {"plain", Other, true, true},       // not a sticky shared directory: as the kernel does
    };
    for (const auto& c : cases) {
        const std::string link = dir.Path(std::string(c.where) + "/results.json");
        testing::WriteWholeFile(victim, "victim");
        ::chmod(victim.c_str(), 0666);
        ::unlink(link.c_str());
        ASSERT_EQ(::symlink(victim.c_str(), link.c_str()), 0);
        ASSERT_EQ(::lchown(link.c_str(), c.linkOwner, c.linkOwner), 0);
        const int code = InChild(c.asNobody, [&] {
            const TWriteOutcome written = WriteWholeFile(link, "report");
            if (static_cast<bool>(written) != c.followed) {
                return 1;
            }
            return c.followed || written.Problem.find("is not followed") != std::string::npos ? 0
                                                                                              : 2;
        });
        const auto trace = ::testing::Message() << c.where << ", link of " << c.linkOwner << ", as "
                                                << (c.asNobody ? "nobody" : "root");
        EXPECT_EQ(code, 0) << trace;
        EXPECT_EQ(ReadWholeFile(victim), c.followed ? "report" : "victim") << trace;
        struct stat info {};
        EXPECT_TRUE(::lstat(link.c_str(), &info) == 0 && S_ISLNK(info.st_mode))
            << trace << ": the link stays a link";
    }
}

TEST(SafeWrite, SameFileByNameByLinkAndByInode) {
    TTempDir dir;
    const std::string file = dir.Path("a.json");
    testing::WriteWholeFile(file, "{}");
    ::symlink(file.c_str(), dir.Path("link.json").c_str());
    ::link(file.c_str(), dir.Path("hard.json").c_str());
    testing::WriteWholeFile(dir.Path("b.json"), "{}");
    const struct {
        std::string other;
        bool same;
    } cases[] = {
        {file, true},
        {dir.Dir() + "/./a.json", true},
        {dir.Path("link.json"), true},
        {dir.Path("hard.json"), true},
        {dir.Path("b.json"), false},
        {dir.Path("new.json"), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SameFile(file, c.other), c.same) << c.other;
    }
}

} // namespace
} // namespace orvane::results
