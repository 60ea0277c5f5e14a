// The plain untyped file: states, FileMode, transfers as single calls, LastIoError and
// CheckIO with its German messages.
#include "fileio/PlainFile.h"
#include "platform/OsCalls.h"
#include "tests/platform/PlatformTestSupport.h"

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

TEST_F(PlainFileTest, RecordLayoutAndStates) {
    EXPECT_EQ(offsetof(TPlainFileRec, Handle), 0u);
    EXPECT_LT(offsetof(TPlainFileRec, State), offsetof(TPlainFileRec, RecordSize));
    EXPECT_LT(offsetof(TPlainFileRec, RecordSize), offsetof(TPlainFileRec, FileName));
    EXPECT_EQ(sizeof(File.FileName), 260u);
    EXPECT_EQ(FileMode, 2); // the runtime's start value
    Assign(File, Dir.Path("a"));
    EXPECT_EQ(File.State, psClosed);
    EXPECT_STREQ(File.FileName, Dir.Path("a").c_str());
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
    // A short write with a count is no error (the caller must look); without one it is 101.
    faults.ShortenNth(TOsCall::Write, 1, 6);
    BlockWrite(File, block, 4, written);
    EXPECT_EQ(written, 1);
    EXPECT_EQ(Raised(), "");
    faults.ShortenNth(TOsCall::Write, 1, 2);
    BlockWrite(File, block, 1);
    EXPECT_EQ(Raised(), "Zu wenig Speicherplatz");
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
