// The run against a file system that someone else changes under it: at a chosen message
// point a file, a hard link, a link to a decoy or a FIFO is put where the test file was.
// The user's file must keep every byte, the run must end with an error naming the test
// file and add no row for what it did not create, and nothing may hang. Also what tells a
// leftover from a live run's file: across pid namespaces, and where no marks can be set.
#include "bench/BenchmarkRun.h"
#include "bench/Leftovers.h"
#include "platform/OsCalls.h"
#include "platform/TestFileGuard.h"
#include "tests/support/PlatformTestSupport.h"
#include "tests/support/RecordingHost.h"

#include <algorithm>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>

namespace orvane {
namespace {

using testing::Exists;
using testing::InChild;
using testing::ReadWholeFile;
using testing::TTempDir;
using testing::WriteWholeFile;

const std::string UserData = "the user's own data, which no run may change";

bool HasEvent(const TRecordingHost& host, const std::string& prefix) {
    return std::any_of(host.Events.begin(), host.Events.end(),
                       [&](const std::string& e) { return e.rfind(prefix, 0) == 0; });
}

// What stands at the test file's name when the plant strikes.
enum class TPlant { NewFile, HardLink, SymbolicLink, Fifo };

void Plant(TPlant what, const std::string& name, const std::string& decoy) {
    ::unlink(name.c_str());
    switch (what) {
    case TPlant::NewFile:
        WriteWholeFile(name, "a file of someone else's");
        break;
    case TPlant::HardLink:
        ASSERT_EQ(::link(decoy.c_str(), name.c_str()), 0);
        break;
    case TPlant::SymbolicLink:
        ASSERT_EQ(::symlink(decoy.c_str(), name.c_str()), 0);
        break;
    case TPlant::Fifo:
        ASSERT_EQ(::mkfifo(name.c_str(), 0600), 0);
        break;
    }
}

TEST(HostileFileSystem, WhatStandsAtTheNameIsNeverTouchedAndNoRowReportsIt) {
    struct Case {
        const char* what;
        TPlant plant;
        const char* moment;  // the event at which it is planted (first occurrence)
        const char* failure; // the start of the error's text after the file name
        std::size_t writeRows, readRows;
    };
    const Case cases[] = {
        // After the first iteration's clean-up, before the second creates its file.
        {"a new file between iterations", TPlant::NewFile, "bar chunks 2K", "\" already exists.", 1,
         1},
        {"a hard link to the user's file between iterations", TPlant::HardLink, "bar chunks 2K",
         "\" already exists.", 1, 1},
        // After the extension, before the reopen that empties the file.
        {"a hard link before the reopen for writing", TPlant::HardLink, "gauge 0",
         "\" is no longer the test file", 0, 0},
        // After the write pass, before the read pass opens the file.
        {"a link to a decoy before the read pass", TPlant::SymbolicLink, "row W: 1K",
         "\" is no longer the test file", 1, 0},
        {"a FIFO before the read pass", TPlant::Fifo, "row W: 1K", "\" is no longer the test file",
         1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TTempDir dir;
        const std::string decoy = dir.Path("decoy");
        WriteWholeFile(decoy, UserData);
        // In a child with a deadline: an open that waits on the FIFO fails the case.
        const int result = InChild(false, [&] {
            ::alarm(10);
            TRecordingHost host;
            host.Answer = dir.Path("test.tmp");
            bool planted = false;
            host.Hook = [&](const std::string& e) {
                if (!planted && e == c.moment) {
                    planted = true;
                    Plant(c.plant, host.Answer, decoy);
                }
            };
            TBenchmarkRun run;
            if (run.Execute(host) != TRunOutcome::Failed || !planted) {
                return 1;
            }
            const std::string expected = "failure \"" + host.Answer + c.failure;
            if (!HasEvent(host, expected)) {
                return 2;
            }
            if (host.WriteRows.size() != c.writeRows || host.ReadRows.size() != c.readRows) {
                return 3;
            }
            return host.Events.back() == "unlock" ? 0 : 4;
        });
        EXPECT_EQ(result, 0);
        EXPECT_EQ(ReadWholeFile(decoy), UserData);
        EXPECT_TRUE(Exists(dir.Path("test.tmp"))) << "what was planted stays where it was put";
    }
}

TEST(HostileFileSystem, TheAbortPathRemovesOnlyTheFileTheRunCreated) {
    TTempDir dir;
    const std::string mine = dir.Path("mine.tmp");
    WriteWholeFile(mine, UserData);

    // The user's file chosen as the test file: a second Ctrl-C at any point removes nothing.
    TRecordingHost refused;
    refused.Answer = mine;
    refused.Hook = [](const std::string&) { platform::RemoveArmedFileNow(); };
    TBenchmarkRun run;
    EXPECT_EQ(run.Execute(refused), TRunOutcome::FileExists);
    EXPECT_EQ(ReadWholeFile(mine), UserData);

    // During a run the armed file is the run's own: removed while it is, and not once
    // the name leads to someone else's file.
    struct Case {
        const char* what;
        bool swapped;
    };
    for (const Case& c : {Case{"the run's own file", false}, Case{"swapped for a link", true}}) {
        SCOPED_TRACE(c.what);
        TRecordingHost host;
        host.Answer = dir.Path("abort.tmp");
        bool struck = false;
        bool existedAfter = true;
        host.Hook = [&](const std::string& e) {
            if (!struck && e == "colour write") {
                struck = true;
                if (c.swapped) {
                    ::unlink(host.Answer.c_str());
                    ASSERT_EQ(::link(mine.c_str(), host.Answer.c_str()), 0);
                }
                platform::RemoveArmedFileNow();
                existedAfter = Exists(host.Answer);
                host.Stop = true;
            }
        };
        run.Execute(host);
        EXPECT_TRUE(struck);
        EXPECT_EQ(existedAfter, c.swapped);
        EXPECT_EQ(ReadWholeFile(mine), UserData);
        ::unlink(host.Answer.c_str());
    }
    // After the clean-up nothing is armed.
    const std::string after = dir.Path("after.tmp");
    WriteWholeFile(after, UserData);
    platform::RemoveArmedFileNow();
    EXPECT_EQ(ReadWholeFile(after), UserData);
}

TEST(HostileFileSystem, ATestFileThatCanNotBeDeletedIsNamedInTheError) {
    TTempDir dir;
    const std::string name = dir.Path("stays.tmp");
    // The file made read-only: Windows' rule refuses to delete it, also for root.
    TRecordingHost host;
    host.Answer = name;
    host.Hook = [&](const std::string& e) {
        if (e == "colour idle") {
            ::chmod(name.c_str(), 0444);
        }
    };
    TBenchmarkRun run;
    EXPECT_EQ(run.Execute(host), TRunOutcome::Failed);
    EXPECT_TRUE(HasEvent(host, "failure The test file \"" + name +
                                   "\" could not be deleted and is left behind: Zugriff "
                                   "verweigert"));
    EXPECT_EQ(host.WriteRows.size(), 1u); // the first iteration's rows stand
    EXPECT_EQ(host.Events.back(), "unlock");
    EXPECT_TRUE(Exists(name));

    // The directory made read-only during the run (for an ordinary user).
    const std::string sub = dir.Path("sub");
    ::mkdir(sub.c_str(), 0777);
    ::chmod(sub.c_str(), 0777); // past the umask
    [[maybe_unused]] const int owned = ::chown(sub.c_str(), testing::NobodyId, testing::NobodyId);
    const int result = InChild(true, [&] {
        TRecordingHost child;
        child.Answer = sub + "/stays.tmp";
        child.Hook = [&](const std::string& e) {
            if (e == "colour idle") {
                ::chmod(sub.c_str(), 0555);
            }
        };
        TBenchmarkRun childRun;
        if (childRun.Execute(child) != TRunOutcome::Failed) {
            return 1;
        }
        return HasEvent(child, "failure The test file \"" + child.Answer +
                                   "\" could not be deleted and is left behind: ")
                   ? 0
                   : 2;
    });
    EXPECT_EQ(result, 0);
}

TEST(HostileFileSystem, TheTestFileIsMarkedAndALeftoverIsRecognised) {
    TTempDir dir;
    const std::string probe = dir.Path("probe");
    WriteWholeFile(probe, "");
    if (::setxattr(probe.c_str(), "user.orvane.probe", "1", 1, 0) != 0) {
        GTEST_SKIP() << "this file system keeps no extended attributes";
    }
    // While the run holds it: marked, and in use by this process.
    TRecordingHost host;
    host.Answer = dir.Path("marked.tmp");
    std::vector<platform::TMarkedFile> during;
    host.Hook = [&](const std::string& e) {
        if (during.empty() && e == "colour prepare") {
            during = platform::FindMarkedTestFiles(dir.Dir()).Files;
        }
    };
    TBenchmarkRun run;
    ASSERT_EQ(run.Execute(host), TRunOutcome::Completed);
    ASSERT_EQ(during.size(), 1u);
    EXPECT_EQ(during[0].Path, host.Answer);
    EXPECT_TRUE(during[0].InUse);

    // A run killed without its clean-up leaves a marked file that no live process holds.
    const std::string killed = dir.Path("killed.tmp");
    EXPECT_EQ(InChild(false,
                      [&] {
                          TRecordingHost child;
                          child.Answer = killed;
                          child.Hook = [&](const std::string& e) {
                              if (e == "colour write") {
                                  ::_exit(0); // as SIGKILL would end it
                              }
                          };
                          TBenchmarkRun childRun;
                          childRun.Execute(child);
                          return 1;
                      }),
              0);
    ASSERT_TRUE(Exists(killed));
    WriteWholeFile(dir.Path("users.tmp"), UserData); // unmarked: never a leftover
    ASSERT_EQ(::symlink(killed.c_str(), dir.Path("link.tmp").c_str()), 0);
    const std::vector<platform::TMarkedFile> left = platform::FindMarkedTestFiles(dir.Dir()).Files;
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].Path, killed);
    EXPECT_FALSE(left[0].InUse);

    EXPECT_EQ(platform::RemoveMarkedTestFile(dir.Path("users.tmp")),
              "not marked as an Orvane test file");
    EXPECT_EQ(platform::RemoveMarkedTestFile(dir.Path("link.tmp")), "not a regular file");
    EXPECT_EQ(platform::RemoveMarkedTestFile(killed), "");
    EXPECT_FALSE(Exists(killed));
    EXPECT_EQ(ReadWholeFile(dir.Path("users.tmp")), UserData);
}

} // namespace
} // namespace orvane

namespace orvane {
namespace {

std::string SizeText(std::uint64_t bytes) {
    return std::to_string(bytes);
}

// A container sharing the directory runs Orvane as pid 1 of its own pid namespace, with its
// own /proc (as `unshare --pid --fork --mount-proc` makes it): the numbers in its mark mean
// nothing outside, and only its lock shows that it is alive.
TEST(HostileFileSystem, ALiveRunInAnotherPidNamespaceKeepsItsFile) {
    TTempDir dir;
    const std::string name = dir.Path("contained.tmp");
    int toParent[2], toChild[2];
    ASSERT_EQ(::pipe(toParent), 0);
    ASSERT_EQ(::pipe(toChild), 0);
    std::fflush(nullptr);
    const pid_t outer = ::fork();
    if (outer == 0) {
        if (::unshare(CLONE_NEWPID | CLONE_NEWNS) != 0) {
            [[maybe_unused]] const auto said = ::write(toParent[1], "u", 1);
            ::_exit(0);
        }
        const pid_t inner = ::fork();
        if (inner == 0) {
            if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                ::mount("proc", "/proc", "proc", 0, nullptr) != 0) {
                [[maybe_unused]] const auto said = ::write(toParent[1], "u", 1);
                ::_exit(0);
            }
            TRecordingHost host;
            host.Answer = name;
            bool held = false;
            host.Hook = [&](const std::string& e) {
                if (!held && e == "colour write") {
                    held = true; // the file is made, locked and marked: the parent looks now
                    char go = 0;
                    [[maybe_unused]] const auto said = ::write(toParent[1], "h", 1);
                    [[maybe_unused]] const auto heard = ::read(toChild[0], &go, 1);
                }
            };
            TBenchmarkRun run;
            ::_exit(run.Execute(host) == TRunOutcome::Completed && ::getpid() == 1 ? 0 : 1);
        }
        int status = 0;
        ::waitpid(inner, &status, 0);
        ::_exit(WIFEXITED(status) ? WEXITSTATUS(status) : 2);
    }
    char state = 0;
    ASSERT_EQ(::read(toParent[0], &state, 1), 1);
    if (state == 'u') {
        ::waitpid(outer, nullptr, 0);
        GTEST_SKIP() << "no pid namespace with its own /proc can be made here (needs "
                        "CAP_SYS_ADMIN, as unshare --pid --fork --mount-proc does)";
    }
    const std::vector<platform::TMarkedFile> found = platform::FindMarkedTestFiles(dir.Dir()).Files;
    const std::string removal = platform::RemoveMarkedTestFile(name);
    const bool listed = NoticeOfLeftovers(dir.Dir(), SizeText).has_value();
    ASSERT_EQ(::write(toChild[1], "g", 1), 1);
    int status = 0;
    ::waitpid(outer, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].Pid, 1); // what the mark says, seen from outside its namespace
    EXPECT_TRUE(found[0].InUse);
    EXPECT_EQ(removal, "in use by a running Orvane (process 1, as its mark says)");
    EXPECT_FALSE(listed);
    EXPECT_FALSE(Exists(name)) << "the run removed its own file at its end";
    for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]}) {
        ::close(fd);
    }
}

// Where the file system keeps no marks (vfat, exfat, some network file systems) a run says
// so once, and a test file is recognised only by a name the program proposes and a lock that
// can be taken.
TEST(HostileFileSystem, WithoutMarksARunSaysSoOnceAndOnlyProposedNamesAreRecognised) {
    TTempDir dir;
    struct Case {
        int err;
        std::string warning;
    };
    const std::string head =
        "warning The test file in \"" + dir.Dir() + "\" can't be marked as Orvane's (";
    const Case cases[] = {
        {EOPNOTSUPP, head + "Operation not supported): this file system keeps no marks, so a "
                            "test file left behind by a killed run is recognised here only by "
                            "a name Orvane proposes (yy-mm-dd_hh-nn-ss-zzz.tmp), never by a "
                            "name chosen for it."},
        {EPERM, head + "Operation not permitted), so a test file left behind if this run is "
                       "killed won't be recognised."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.err);
        TRecordingHost host;
        host.Answer = dir.Path("unmarked.tmp");
        TBenchmarkRun run;
        platform::TFaultInjector seam;
        seam.FailNth(platform::TOsCall::Fsetxattr, 1, c.err, true);
        ASSERT_EQ(run.Execute(host), TRunOutcome::Completed);
        EXPECT_EQ(std::count_if(host.Events.begin(), host.Events.end(),
                                [](const std::string& e) { return e.rfind("warning", 0) == 0; }),
                  1);
        EXPECT_TRUE(HasEvent(host, c.warning));
        EXPECT_EQ(host.ReadRows.size(), 11u);
    }

    const std::string left = dir.Path("26-01-02_03-04-05-678.tmp");
    const std::string held = dir.Path("26-01-02_03-04-05-679.tmp");
    const std::string chosen = dir.Path("chosen.tmp");
    for (const std::string& path : {left, held, chosen}) {
        WriteWholeFile(path, UserData);
    }
    ASSERT_EQ(::symlink(left.c_str(), dir.Path("26-01-02_03-04-05-680.tmp").c_str()), 0);
    // The file system's answer to every look for a mark; with `noLocks`, to every lock too.
    const auto withoutMarks = [](bool noLocks, const std::function<void()>& body) {
        platform::TFaultInjector seam;
        seam.FailNth(platform::TOsCall::Lgetxattr, 1, EOPNOTSUPP, true);
        if (noLocks) {
            seam.FailNth(platform::TOsCall::FcntlLock, 1, ENOLCK, true);
        }
        body();
    };
    // Held as a live run holds its file.
    HANDLE handle = testing::Open(held, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  OPEN_EXISTING);
    ASSERT_TRUE(platform::MarkAsTestFile(handle).Locked);
    withoutMarks(false, [&] {
        std::vector<platform::TMarkedFile> found = platform::FindMarkedTestFiles(dir.Dir()).Files;
        std::sort(found.begin(), found.end(),
                  [](const auto& a, const auto& b) { return a.Path < b.Path; });
        ASSERT_EQ(found.size(), 2u);
        EXPECT_EQ(found[0].Path, left);
        EXPECT_FALSE(found[0].InUse);
        EXPECT_EQ(found[0].Pid, 0);
        EXPECT_EQ(found[1].Path, held);
        EXPECT_TRUE(found[1].InUse);
        EXPECT_EQ(platform::RemoveMarkedTestFile(held), "in use by a running Orvane");
        EXPECT_EQ(platform::RemoveMarkedTestFile(chosen), "not marked as an Orvane test file");
        EXPECT_EQ(NoticeOfLeftovers(dir.Dir(), SizeText)->Files,
                  std::vector<std::string>{left + " (" + std::to_string(UserData.size()) +
                                           ", known by its name)"});
    });
    // Without locks nothing tells that the run of a file known by its name is over.
    withoutMarks(true, [&] {
        EXPECT_EQ(platform::RemoveMarkedTestFile(left),
                  "it can't be told whether a running Orvane holds it (the file system takes no "
                  "locks)");
    });
    withoutMarks(false, [&] {
        EXPECT_EQ(platform::RemoveMarkedTestFile(left), "");
        CloseHandle(handle); // its run ends without its clean-up: now a leftover too
        EXPECT_EQ(platform::RemoveMarkedTestFile(held), "");
    });
    EXPECT_FALSE(Exists(left));
    EXPECT_FALSE(Exists(held));
    EXPECT_EQ(ReadWholeFile(chosen), UserData);
}

// The check before every open of the name opens it itself: when that fails for a reason of
// its own (too many open files, no memory) the run says so, and calls only a name that
// leads elsewhere (or nowhere) replaced.
TEST(HostileFileSystem, ACheckThatCanNotOpenGivesItsReason) {
    TTempDir dir;
    const std::string name = dir.Path("checked.tmp");
    struct Case {
        int err;
        std::string failure;
    };
    const std::string ownReason = "failure The test file \"" + name +
                                  "\" could not be opened again to check that it is still the "
                                  "run's own: ";
    const Case cases[] = {
        {EMFILE, ownReason + "Das System kann die Datei nicht öffnen (4)"},
        {ENFILE, ownReason + "Das System kann die Datei nicht öffnen (4)"},
        {ENOMEM,
         ownReason + "Nicht genügend Speicher verfügbar, um diesen Befehl zu verarbeiten (8)"},
        {ENOENT, "failure \"" + name + "\" is no longer the test file this run created"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.err);
        TRecordingHost host;
        host.Answer = name;
        std::optional<platform::TFaultInjector> seam;
        host.Hook = [&](const std::string& e) {
            if (!seam && e == "gauge 0") { // just before the check ahead of the reopen
                seam.emplace();
                seam->FailNth(platform::TOsCall::Open, 1, c.err);
            }
        };
        TBenchmarkRun run;
        EXPECT_EQ(run.Execute(host), TRunOutcome::Failed);
        seam.reset();
        EXPECT_TRUE(HasEvent(host, c.failure));
        EXPECT_FALSE(Exists(name));
    }
}

} // namespace
} // namespace orvane
