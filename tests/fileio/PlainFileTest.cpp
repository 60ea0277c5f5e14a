// The plain untyped file: states, FileMode, transfers as single calls, LastIoError and
// CheckIO with its German messages.
#include "fileio/PlainFile.h"
#include "platform/OsCalls.h"
#include "tests/support/PlatformTestSupport.h"

#include <cerrno>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

namespace orvane {
namespace {

using platform::TFaultInjector;
using platform::TOsCall;
using testing::Exists;
using testing::ReadWholeFile;
using testing::TTempDir;
using testing::WriteWholeFile;

class PlainFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        FileMode = 2;
        TakeLastIoError();
    }
    void TearDown() override {
        if (File.State == psReadOnly || File.State == psWriteOnly || File.State == psReadWrite) {
            Close(File);
        }
        TakeLastIoError();
        FileMode = 2;
    }
    // The message CheckIO raises now, or "" when it raises nothing.
    static std::string Raised() {
        try {
            CheckIO();
        } catch (const EInOutError& error) {
            return error.what();
        }
        return "";
    }

    TTempDir Dir;
    TPlainFileRec File{};
};

TEST_F(PlainFileTest, WhatEachStateOfARecordAllows) {
    const std::string path = Dir.Path("a");
    WriteWholeFile(path, "abcd");
    TPlainFileRec never{}; // never assigned
    char buffer[4] = {};
    struct Step {
        const char* what;
        std::function<void()> action;
        std::int32_t code;
    };
    const Step steps[] = {
        {"Reset of a record never assigned", [&] { Reset(never, 1); }, ioNotAssigned},
        {"Close of a record never assigned", [&] { Close(never); }, ioNotOpen},
        {"Assign", [&] { Assign(File, path); }, 0},
        {"read while closed", [&] { BlockRead(File, buffer, 1); }, ioNotOpen},
        {"Close while closed", [&] { Close(File); }, ioNotOpen},
        {"Reset with FileMode 2, read-write", [&] { Reset(File, 1); }, 0},
        {"read", [&] { BlockRead(File, buffer, 4); }, 0},
        {"write", [&] { BlockWrite(File, "wxyz", 4); }, 0},
        {"Close", [&] { Close(File); }, 0},
        {"FileMode 0, read-only: Reset", [&] { FileMode = 0, Reset(File, 1); }, 0},
        {"write on a read-only opening", [&] { BlockWrite(File, "x", 1); }, ioNotOpen},
        {"FileMode 1, write-only: Reset", [&] { FileMode = 1, Reset(File, 1); }, 0},
        {"read on a write-only opening", [&] { BlockRead(File, buffer, 1); }, ioNotOpen},
        {"Close at last", [&] { Close(File); }, 0},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        s.action();
        EXPECT_EQ(TakeLastIoError(), s.code);
    }
    EXPECT_EQ(std::string(buffer, 4), "abcd");
    EXPECT_EQ(ReadWholeFile(path), "abcdwxyz");

    // The name is kept whole or not at all: 259 bytes name a file, 260 name none.
    const std::string base = Dir.Path("");
    for (std::size_t length : {259u, 260u}) {
        SCOPED_TRACE(length);
        const std::string name = base + std::string(length - base.size(), 'n');
        Assign(File, name);
        Rewrite(File, 1);
        EXPECT_EQ(TakeLastIoError(),
                  length == 259 ? 0 : static_cast<std::int32_t>(ERROR_PATH_NOT_FOUND));
        EXPECT_EQ(Exists(name), length == 259);
        if (length == 259) {
            Close(File);
        }
    }
}

TEST_F(PlainFileTest, RewriteSeekAndWriteExtendTheFile) {
    const std::string path = Dir.Path("grow");
    WriteWholeFile(path, "previous contents");
    Assign(File, path);
    FileMode = 17;
    Rewrite(File, 1);
    EXPECT_EQ(Raised(), "");
    EXPECT_EQ(File.State, psReadWrite); // write-only FileMode, but Rewrite opens read-write
    EXPECT_EQ(ReadWholeFile(path), "");
    Seek(File, 1048576);
    std::int32_t written = -1;
    BlockWrite(File, "\0", 1, written);
    EXPECT_EQ(written, 1);
    Close(File);
    EXPECT_EQ(Raised(), "");
    EXPECT_EQ(ReadWholeFile(path).size(), 1048577u);
}

TEST_F(PlainFileTest, ExclusiveRewriteRefusesASecondOpen) {
    const std::string path = Dir.Path("busy");
    Assign(File, path);
    FileMode = 17;
    Rewrite(File, 1);
    ASSERT_EQ(Raised(), "");
    TPlainFileRec second{};
    Assign(second, path);
    FileMode = 16;
    Reset(second, 1);
    EXPECT_EQ(second.State, psClosed);
    try {
        CheckIO();
        ADD_FAILURE() << "no error";
    } catch (const EInOutError& error) {
        EXPECT_STREQ(error.what(), "E/A-Fehler 32");
        EXPECT_EQ(error.IoCode, 32);
    }
}

TEST_F(PlainFileTest, ReadsAtTheEndAndPartialRecords) {
    const std::string path = Dir.Path("ten");
    WriteWholeFile(path, "0123456789");
    Assign(File, path);
    FileMode = 16;
    Reset(File, 1);
    ASSERT_EQ(File.State, psReadOnly);
    char buffer[16];
    std::int32_t read = -1;
    BlockRead(File, buffer, 10, read);
    EXPECT_EQ(read, 10);
    read = -1;
    BlockRead(File, buffer, 5, read); // at the end, with a count: 0 and no error
    EXPECT_EQ(read, 0);
    EXPECT_EQ(Raised(), "");
    BlockRead(File, buffer, 5); // without one: 100
    EXPECT_EQ(Raised(), "Versuch hinter dem Dateiende zu lesen");

    // Record size 4 with 10 bytes left: two whole records.
    Reset(File, 4);
    read = -1;
    BlockRead(File, buffer, 3, read);
    EXPECT_EQ(read, 2);
    EXPECT_EQ(Raised(), "");
    // A write on a read-only record stores 103 and moves nothing.
    std::int32_t written = 77;
    BlockWrite(File, "x", 1, written);
    EXPECT_EQ(written, 77);
    EXPECT_EQ(Raised(), "E/A-Fehler 103");
    EXPECT_EQ(ReadWholeFile(path), "0123456789");
}

TEST_F(PlainFileTest, FileModeAccessBits) {
    const std::string path = Dir.Path("modes");
    WriteWholeFile(path, "abc");
    struct Case {
        std::uint8_t mode;
        std::uint16_t state;
    };
    for (const Case& c : {Case{0x10, psReadOnly}, Case{0x11, psWriteOnly}, Case{0x12, psReadWrite},
                          Case{0x13, psReadWrite}, Case{0x4C, psReadOnly}}) {
        Assign(File, path);
        FileMode = c.mode;
        Reset(File, 1);
        EXPECT_EQ(File.State, c.state) << int(c.mode);
        EXPECT_EQ(Raised(), "");
        Close(File);
    }
}

TEST_F(PlainFileTest, ErrorCodesAndTheirMessages) {
    struct Case {
        const char* what;
        std::function<void()> action;
        const char* message;
    };
    const Case cases[] = {
        {"missing file",
         [&] {
             Assign(File, Dir.Path("none"));
             Reset(File, 1);
         },
         "Datei nicht gefunden"},
        {"missing directory",
         [&] {
             Assign(File, Dir.Path("no/file"));
             Reset(File, 1);
         },
         "Ungültiger Dateiname"},
        {"never assigned",
         [&] {
             std::memset(&File, 0, sizeof File);
             Rewrite(File, 1);
         },
         "E/A-Fehler 102"},
        {"close when closed",
         [&] {
             Assign(File, Dir.Path("x"));
             Close(File);
         },
         "E/A-Fehler 103"},
        {"seek when closed",
         [&] {
             Assign(File, Dir.Path("x"));
             Seek(File, 0);
         },
         "E/A-Fehler 103"},
        {"name too long",
         [&] {
             Assign(File, Dir.Path(std::string(300, 'n')));
             Rewrite(File, 1);
         },
         "Ungültiger Dateiname"},
        {"empty name",
         [&] {
             Assign(File, "");
             Rewrite(File, 1);
         },
         "Ungültiger Dateiname"},
        {"record size 0",
         [&] {
             Assign(File, Dir.Path("zero"));
             Rewrite(File, 0);
         },
         "E/A-Fehler 87"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.action();
        EXPECT_EQ(Raised(), c.message);
        EXPECT_EQ(Raised(), ""); // CheckIO cleared it
    }
    // No file was made under a cut name or for a refused record size.
    EXPECT_FALSE(Exists(Dir.Path(std::string(259 - Dir.Dir().size() - 1, 'n'))));
    EXPECT_FALSE(Exists(Dir.Path("zero")));
    // The remaining table entries.
    EXPECT_EQ(IoErrorMessage(4), "Zu viele geöffnete Dateien");
    EXPECT_EQ(IoErrorMessage(5), "Dateizugriff verweigert");
    EXPECT_EQ(IoErrorMessage(101), "Zu wenig Speicherplatz");
    EXPECT_EQ(IoErrorMessage(106), "Ungültige numerische Eingabe");
    EXPECT_EQ(IoErrorMessage(112), "E/A-Fehler 112");
}

TEST_F(PlainFileTest, ACodeSurvivesLaterSuccessesUntilTaken) {
    const std::string path = Dir.Path("keep");
    Assign(File, path);
    Close(File); // 103
    Rewrite(File, 1);
    std::int32_t written = 0;
    BlockWrite(File, "abc", 3, written);
    Close(File);
    EXPECT_EQ(written, 3);
    EXPECT_EQ(TakeLastIoError(), 103);
    EXPECT_EQ(TakeLastIoError(), 0);
    // The result is per thread.
    LastIoError = 5;
    std::int32_t other = -1;
    std::thread([&] { other = LastIoError; }).join();
    EXPECT_EQ(other, 0);
    EXPECT_EQ(TakeLastIoError(), 5);
}

TEST_F(PlainFileTest, EachTransferIsOneSystemCall) {
    const std::string path = Dir.Path("calls");
    Assign(File, path);
    Rewrite(File, 4);
    TFaultInjector faults;
    char block[256] = {};
    std::int32_t written = 0;
    BlockWrite(File, block, 64, written);
    EXPECT_EQ(written, 64);
    EXPECT_EQ(faults.Count(TOsCall::Write), 1u);
    EXPECT_EQ(faults.TotalCount(), 1u);
    // A short count of the system is finished by a second call: the whole block lands.
    faults.ShortenNth(TOsCall::Write, 1, 6);
    BlockWrite(File, block, 4, written);
    EXPECT_EQ(written, 4);
    EXPECT_EQ(faults.Count(TOsCall::Write), 3u);
    EXPECT_EQ(Raised(), "");
    // A write that stops short for good is the system's error, with or without a count.
    faults.ShortenNth(TOsCall::Write, 1, 2);
    faults.FailNth(TOsCall::Write, 2, ENOSPC);
    BlockWrite(File, block, 1);
    EXPECT_EQ(Raised(), "E/A-Fehler 112");
    // A full disk comes back as the system's code.
    faults.FailNth(TOsCall::Write, 1, ENOSPC);
    BlockWrite(File, block, 1, written);
    EXPECT_EQ(Raised(), "E/A-Fehler 112");
}

TEST_F(PlainFileTest, OffsetsBeyondTwoGiB) {
    const std::string path = Dir.Path("far");
    Assign(File, path);
    Rewrite(File, 1024);
    Seek(File, 3u * 1024 * 1024); // 3 GiB in 1 KiB records, on a sparse file
    char record[1024] = {};
    BlockWrite(File, record, 1);
    Close(File);
    EXPECT_EQ(Raised(), "");
    EXPECT_EQ(std::filesystem::file_size(path), 3ull * 1024 * 1024 * 1024 + 1024);
}

} // namespace
} // namespace orvane
