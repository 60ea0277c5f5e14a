// TMMIOFile: what its modes make of an opening, the defaults of SetFileName, its English
// messages, and closing, buffering and destruction.
#include "fileio/MMIOFile.h"
#include "fileio/SecondaryErrors.h"
#include "platform/OsCalls.h"
#include "tests/support/PlatformTestSupport.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <ostream>

namespace orvane {
namespace {

using platform::TFaultInjector;
using platform::TOsCall;
using testing::InChild;
using testing::ReadWholeFile;
using testing::TTempDir;
using testing::WriteWholeFile;

std::string OpenMessage(TMMIOFile& file, bool create) {
    try {
        create ? file.CreateNew() : file.OpenExisting();
    } catch (const EMMIOError& error) {
        return error.what();
    }
    return "";
}

// What an opening turned out to be, seen from outside: through the file's contents, the
// system calls its transfers make, and what a second opening gets.
struct TSeen {
    bool emptied;        // the old contents were gone at the open
    bool othersShutOut;  // a second opening for reading, sharing everything, is refused
    bool writes;         // a 3-byte write reached the file by the close
    unsigned writeCalls; // write(2) calls that write made before the close
    bool reads;          // a 1-byte read is answered (0 at the end counts)
    bool operator==(const TSeen&) const = default;
};

std::ostream& operator<<(std::ostream& out, const TSeen& s) {
    return out << "{emptied " << s.emptied << ", shut out " << s.othersShutOut << ", writes "
               << s.writes << " in " << s.writeCalls << " calls, reads " << s.reads << "}";
}

TSeen Observe(TMMIOFile& file, const std::string& path, bool create) {
    WriteWholeFile(path, "old!");
    TSeen seen{};
    EXPECT_EQ(OpenMessage(file, create), "");
    EXPECT_TRUE(file.Opened());
    seen.emptied = ReadWholeFile(path).empty();
    TMMIOFile second;
    second.SetFileName(path);
    second.SetMode(false, maRead, msDenyNone);
    const std::string refused = OpenMessage(second, false);
    seen.othersShutOut = refused == "Sharing violation - file is in use.";
    second.Close();
    char byte = 0;
    seen.reads = file.Read(&byte, 1) >= 0;
    file.Seek(0);
    {
        TFaultInjector calls;
        file.Write("abc", 3);
        seen.writeCalls = calls.Count(TOsCall::Write);
    }
    try {
        file.Close();
    } catch (const EMMIOError&) {
        // a write the opening could not take shows in the file below
    }
    seen.writes = ReadWholeFile(path).rfind("abc", 0) == 0;
    return seen;
}

TEST(MMIOFile, TheModesReachTheSystem) {
    TTempDir dir;
    const std::string path = dir.Path("flags.tmp");
    struct Case {
        const char* what;
        bool buffered;
        TMmioAccess access;
        TMmioShare share;
        bool create;
        TSeen seen;
    };
    const Case cases[] = {
        // The run's four openings.
        {"run, buffered write", true, maWrite, msExclusive, true, {true, true, true, 0, false}},
        {"run, unbuffered write", false, maWrite, msExclusive, true, {true, true, true, 1, false}},
        {"run, buffered read", true, maRead, msExclusive, false, {false, true, false, 0, true}},
        {"run, unbuffered read", false, maRead, msExclusive, false, {false, true, false, 0, true}},
        // Others a caller may choose.
        {"read-write, deny none",
         false,
         maReadWrite,
         msDenyNone,
         false,
         {false, false, true, 1, true}},
        {"read, deny write", true, maRead, msDenyWrite, false, {false, false, false, 0, true}},
        {"write, deny read", false, maWrite, msDenyRead, true, {true, true, true, 1, false}},
        {"access 3 and share 5: read, compatible",
         false,
         static_cast<TMmioAccess>(3),
         static_cast<TMmioShare>(5),
         false,
         {false, false, false, 0, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TMMIOFile file;
        file.SetFileName(path);
        file.SetMode(c.buffered, c.access, c.share);
        EXPECT_EQ(Observe(file, path, c.create), c.seen);
    }
}

TEST(MMIOFile, SetFileNameDefaultsAndOddModes) {
    TTempDir dir;
    TMMIOFile file;
    file.SetFileName(dir.Path("a.tmp"));
    EXPECT_EQ(file.AccessMode(), maReadWrite);
    EXPECT_EQ(file.ShareMode(), msExclusive);
    EXPECT_TRUE(file.Buffered());
    const MMIOINFO* info = file.Info();
    ASSERT_NE(info, nullptr);
    // The defaults: buffered, read-write, exclusive.
    EXPECT_EQ(Observe(file, dir.Path("a.tmp"), true), (TSeen{true, true, true, 0, true}));
    // A second name: the same record, zeroed again, and the defaults once more.
    file.SetMode(false, maRead, msDenyNone);
    file.SetFileName(dir.Path("b.tmp"));
    EXPECT_EQ(file.Info(), info);
    EXPECT_EQ(file.Info()->hmmio, nullptr);
    EXPECT_EQ(OpenMessage(file, false), "File not found - could not be opened (mmio error 257).");
    EXPECT_EQ(Observe(file, dir.Path("b.tmp"), true), (TSeen{true, true, true, 0, true}));
}

TEST(MMIOFile, OpenMessagesForEveryKnownCode) {
    TTempDir dir;
    const std::string path = dir.Path("busy.tmp");
    WriteWholeFile(path, "x");
    struct Case {
        const char* what;
        std::function<std::string()> open;
        const char* message;
    };
    TMMIOFile holder;
    const Case cases[] = {
        {"267",
         [&] {
             TMMIOFile f;
             f.SetFileName(dir.Path("no/dir"));
             return OpenMessage(f, true);
         },
         "Path not found - invalid location."},
        {"269",
         [&] {
             holder.SetFileName(path);
             holder.OpenExisting();
             TMMIOFile f;
             f.SetFileName(path);
             const std::string message = OpenMessage(f, false);
             holder.Close();
             return message;
         },
         "Sharing violation - file is in use."},
        {"271",
         [&] {
             TFaultInjector faults;
             faults.FailNth(TOsCall::Open, 1, EMFILE);
             TMMIOFile f;
             f.SetFileName(path);
             return OpenMessage(f, false);
         },
         "Too many open files - no more handles."},
        {"272",
         [&] {
             TFaultInjector faults;
             faults.FailNth(TOsCall::Open, 1, EIO);
             TMMIOFile f;
             f.SetFileName(path);
             return OpenMessage(f, false);
         },
         "Invalid file - could not be opened."},
        {"no name",
         [&] {
             TMMIOFile f;
             return OpenMessage(f, true);
         },
         "No file name was given before the file was opened."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.open(), c.message) << c.what;
    }
    // 268, for an ordinary user in a directory it may not write.
    const std::string locked = dir.Path("locked");
    ::mkdir(locked.c_str(), 0555);
    EXPECT_EQ(InChild(true,
                      [&] {
                          TMMIOFile f;
                          f.SetFileName(locked + "/x.tmp");
                          return OpenMessage(f, true) == "Access denied - this file is protected."
                                     ? 0
                                     : 1;
                      }),
              0);
    // 270 has no cause on a local disk; its text is in the table with the others.
}

TEST(MMIOFile, ClosingAndBufferSizes) {
    TTempDir dir;
    const std::string path = dir.Path("c.tmp");
    TMMIOFile file;
    file.SetBufferSize(4096); // not open: nothing happens
    EXPECT_EQ(file.Write("x", 1), -1);
    EXPECT_EQ(file.Seek(0), -1);
    file.SetFileName(path);
    file.SetMode(true, maWrite, msExclusive);
    file.CreateNew();
    file.SetBufferSize(65536);
    EXPECT_EQ(file.Seek(1048576), 1048576);
    EXPECT_EQ(file.Write("z", 1), 1);
    file.Close();
    file.Close(); // twice: nothing
    EXPECT_EQ(ReadWholeFile(path).size(), 1048577u);

    // A buffer that can't be had, and a write-out that fails at the close.
    file.SetMode(true, maWrite, msExclusive);
    file.CreateNew();
    {
        TFaultInjector faults;
        faults.FailNth(TOsCall::Mmap, 1, ENOMEM);
        EXPECT_THROW(file.SetBufferSize(1 << 20), EMMIOError);
        EXPECT_TRUE(file.Opened());
        EXPECT_EQ(file.Write("data", 4), 4);
        faults.FailNth(TOsCall::Write, 1, ENOSPC);
        try {
            file.Close();
            ADD_FAILURE() << "no error";
        } catch (const EMMIOError& error) {
            EXPECT_STREQ(error.what(), "Could not write buffer to disk.");
        }
    }
    EXPECT_FALSE(file.Opened());
}

TEST(MMIOFile, DestructionClosesAndNeverThrows) {
    TTempDir dir;
    const std::string path = dir.Path("d.tmp");
    TakeSecondaryErrors();
    {
        TMMIOFile file;
        file.SetFileName(path);
        file.CreateNew();
        file.Write("kept", 4);
    } // the destructor closes, writing the buffer out
    EXPECT_EQ(ReadWholeFile(path), "kept");
    EXPECT_TRUE(TakeSecondaryErrors().empty());

    // A failing close during the unwinding of another error: noted, not thrown, not lost.
    try {
        TFaultInjector faults;
        TMMIOFile file;
        file.SetFileName(path);
        file.CreateNew();
        file.Write("lost", 4);
        faults.FailNth(TOsCall::Write, 1, ENOSPC);
        throw std::runtime_error("the first error");
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "the first error");
    }
    EXPECT_EQ(TakeSecondaryErrors(), std::vector<std::string>{"Could not write buffer to disk."});
}

} // namespace
} // namespace orvane

namespace orvane {
namespace {

TEST(MMIOFile, FlushToDeviceWritesTheBufferAndFlushesTheFile) {
    TTempDir dir;
    for (const int failure : {0, EIO}) {
        SCOPED_TRACE(failure);
        const std::string path = dir.Path("flush.tmp");
        TMMIOFile file;
        file.SetFileName(path);
        file.SetMode(true, maWrite, msExclusive);
        file.CreateNew();
        file.SetBufferSize(65536);
        const std::string data(1000, 'm');
        ASSERT_EQ(file.Write(data.data(), 1000), 1000);
        EXPECT_EQ(ReadWholeFile(path), ""); // still in mmio's buffer
        TFaultInjector seam;
        if (failure != 0) {
            seam.FailNth(TOsCall::Fdatasync, 1, failure);
            try {
                file.FlushToDevice();
                ADD_FAILURE() << "no error";
            } catch (const EMMIOError& error) {
                EXPECT_NE(std::string(error.what()).find("Could not flush"), std::string::npos);
            }
        } else {
            file.FlushToDevice();
            EXPECT_EQ(seam.Count(TOsCall::Fdatasync), 1u);
        }
        EXPECT_EQ(ReadWholeFile(path), data); // the buffer went out either way
        file.Close();
    }
}

} // namespace
} // namespace orvane
