// Result rows: whole-millisecond durations, throughput from the unrounded time, the
// "%8.2f" texts with the locale's separator, and the day-count clock.
#include "bench/ResultRow.h"
#include "bench/Clock.h"
#include "bench/ShownText.h"
#include "bench/TestFile.h"
#include "tests/support/PlatformTestSupport.h"

#include <cmath>
#include <gtest/gtest.h>

namespace orvane {
namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;
using std::chrono::nanoseconds;

constexpr std::uint32_t MiB = 1048576;

// A row of a pass that moved `fileBytes` in `elapsed`.
TResultRow Row(TResultList pass, const char* chunk, std::uint32_t fileBytes, nanoseconds elapsed) {
    TResultRow row;
    row.Pass = pass;
    row.ChunkLabel = chunk;
    row.FileBytes = fileBytes;
    row.Start = TPassClock::time_point(std::chrono::hours(1));
    row.End = row.Start + elapsed;
    return row;
}

TShownRow MakeResultRow(std::string_view prefix, const char* chunk, std::uint32_t fileBytes,
                        nanoseconds elapsed, std::string_view separator) {
    const TResultList pass = prefix == WritePrefix ? TResultList::Write : TResultList::Read;
    return ShownRow(Row(pass, chunk, fileBytes, elapsed), separator);
}

TEST(ResultRow, TextsOfARow) {
    const TShownRow row = MakeResultRow(WritePrefix, "64K", MiB, milliseconds(250), ".");
    EXPECT_EQ(row.Caption, "W: 64K");
    EXPECT_EQ(row.Duration, "    0.25");
    EXPECT_EQ(row.Throughput, " 4096.00");
    EXPECT_EQ(MakeResultRow(ReadPrefix, "1M", MiB, milliseconds(1), ".").Caption, "R: 1M");
}

TEST(ResultRow, DurationsKeepWholeMilliseconds) {
    struct Case {
        nanoseconds elapsed;
        float seconds;
        const char* text;
    };
    const Case cases[] = {
        {microseconds(1234400), 1.234f, "    1.23"},
        {microseconds(1234600), 1.235f, "    1.24"},
        {milliseconds(90061), 90.061f, "   90.06"},
        // A pass over a day keeps its days: the clock is monotonic, nothing wraps.
        {std::chrono::hours(25), 90000.0f, "90000.00"},
    };
    for (const Case& c : cases) {
        const TShownRow row = MakeResultRow(WritePrefix, "1K", MiB, c.elapsed, ".");
        EXPECT_FLOAT_EQ(row.DurationSeconds, c.seconds) << c.text;
        EXPECT_EQ(row.Duration, c.text);
    }
}

TEST(ResultRow, ThroughputComesFromTheUnroundedDuration) {
    // 1 GiB in one second: ten characters, never cut.
    EXPECT_EQ(MakeResultRow(WritePrefix, "1K", 1073741824, std::chrono::seconds(1), ".").Throughput,
              "1048576.00");
    // 1 MiB in 0.4 ms: the duration shows 0.00, the throughput is still true.
    const TShownRow fast = MakeResultRow(WritePrefix, "1K", MiB, microseconds(400), ".");
    EXPECT_EQ(fast.Duration, "    0.00");
    EXPECT_DOUBLE_EQ(fast.KiBPerSecond, 2560000.0);
    EXPECT_EQ(fast.Throughput, "2560000.00");
    // 1.2345 ms would give 829.4 KiB/s from the rounded 1.235 ms, 829.5 from the real time.
    EXPECT_NEAR(
        MakeResultRow(WritePrefix, "1K", 1024 * 1024, microseconds(1234500), ".").KiBPerSecond,
        829.48, 0.01);
    // The lists show the double that the copied and saved results give: in single precision
    // this pass would read 107531.55 in the list and 107531.56 in the file.
    EXPECT_EQ(MakeResultRow(WritePrefix, "1K", MiB, nanoseconds(9522786), ".").Throughput,
              "107531.56");
    // The data keep double precision for the machine-readable outputs.
    EXPECT_DOUBLE_EQ(Row(TResultList::Read, "1K", MiB, microseconds(400)).KiBPerSecond(),
                     2560000.0);
    EXPECT_DOUBLE_EQ(Row(TResultList::Read, "1K", 3 * MiB, std::chrono::seconds(7)).KiBPerSecond(),
                     3072.0 / 7.0);
    EXPECT_EQ(Row(TResultList::Read, "1K", MiB, nanoseconds(0)).KiBPerSecond(), 0.0);
}

TEST(ResultRow, AZeroDurationShowsALowerBoundNotInfinity) {
    const TShownRow row = MakeResultRow(WritePrefix, "1K", MiB, nanoseconds(0), ".");
    EXPECT_EQ(row.Duration, "    0.00");
    EXPECT_EQ(row.KiBPerSecond, 0.0);
    EXPECT_EQ(row.Throughput.rfind("> ", 0), 0u) << row.Throughput;
    EXPECT_EQ(row.Throughput.find("inf"), std::string::npos);
}

TEST(ResultRow, TheLocaleSeparator) {
    EXPECT_EQ(FormatFixed(4096, ","), " 4096,00");
    const TShownRow row = MakeResultRow(WritePrefix, "1K", MiB, milliseconds(250), ",");
    EXPECT_EQ(row.Duration, "    0,25");
    EXPECT_EQ(row.Throughput, " 4096,00");
    EXPECT_EQ(DecimalSeparator().size(), 1u);
}

TEST(Clock, DayNumbersAndNow) {
    EXPECT_EQ(DayNumber(1899, 12, 30), 0);
    EXPECT_EQ(DayNumber(1900, 1, 1), 2);
    EXPECT_EQ(DayNumber(1970, 1, 1), 25569);
    EXPECT_EQ(DayNumber(2024, 3, 5), 45356);
    const double now = Now();
    const double today = std::floor(now);
    EXPECT_GT(today, 45000);
    EXPECT_GE(now - today, 0.0);
    EXPECT_LT(now - today, 1.0);
}

TEST(TestFile, DefaultNameAndDirectory) {
    EXPECT_EQ(DefaultTestFileName(EncodeDateTime({2024, 3, 5, 14, 7, 9, 42})),
              "24-03-05_14-07-09-042.tmp");
    EXPECT_EQ(DefaultTestFileName(EncodeDateTime({2009, 12, 31, 23, 59, 59, 999})),
              "09-12-31_23-59-59-999.tmp");
    EXPECT_EQ(DirectoryOf("/tmp/x.tmp"), "/tmp");
    EXPECT_EQ(DirectoryOf("/x.tmp"), "/"); // the root keeps its slash
    EXPECT_EQ(DirectoryOf("/a/b/c.tmp"), "/a/b");
}

TEST(TestFile, TheProposedNameCountsOnPastTakenNames) {
    testing::TTempDir dir;
    const double now = EncodeDateTime({2024, 3, 5, 14, 7, 9, 998});
    EXPECT_EQ(UniqueDefaultTestFileName(now, dir.Dir()), "24-03-05_14-07-09-998.tmp");
    testing::WriteWholeFile(dir.Path("24-03-05_14-07-09-998.tmp"), "");
    ASSERT_EQ(::symlink("nowhere", dir.Path("24-03-05_14-07-09-999.tmp").c_str()), 0);
    // Past a file and a dangling link, into the next second, in the same pattern.
    EXPECT_EQ(UniqueDefaultTestFileName(now, dir.Dir()), "24-03-05_14-07-10-000.tmp");
}

TEST(TestFile, OnlyANameThatIsNotFoundIsFree) {
    testing::TTempDir dir;
    testing::WriteWholeFile(dir.Path("taken"), "");
    struct Case {
        std::string path;
        TNameState state;
        DWORD error;
    };
    const Case cases[] = {
        {dir.Path("free"), TNameState::Free, 0},
        {dir.Path("no-such-dir/free"), TNameState::Free, 0},
        {dir.Path("taken"), TNameState::Taken, 0},
        {dir.Path(std::string(300, 'n')), TNameState::Unusable, ERROR_FILENAME_EXCED_RANGE},
        {dir.Path("taken/below-a-file"), TNameState::Free, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const TNameCheck check = CheckTestFileName(c.path);
        EXPECT_EQ(check.State, c.state);
        EXPECT_EQ(check.Error, c.error);
    }
}

// Names and texts from files reach a terminal with every control character escaped, and
// everything printable (UTF-8 included) as it was.
TEST(ShownText, EscapeControlsLeavesNothingATerminalActsOn) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"plain name.tmp", "plain name.tmp"},
        {"\x1b]0;owned\a\x1b[2J", "\\x1b]0;owned\\x07\\x1b[2J"},
        {"line\nbreak\ttab\rcr", "line\\x0abreak\\x09tab\\x0dcr"},
        {std::string("nul\0in", 6), "nul\\x00in"},
        {"del\x7f", "del\\x7f"},
        {"csi\xc2\x9b"
         "31m",
         "csi\\u009b31m"}, // C1 as UTF-8
        {"lone\x9b"
         "31m",
         "lone\\x9b31m"}, // C1 as a byte of its own
        {"Gr\xc3\xb6\xc3\x9f"
         "e \xe2\x82\xac \xf0\x9f\x98\x80",
         "Gr\xc3\xb6\xc3\x9f"
         "e \xe2\x82\xac \xf0\x9f\x98\x80"},
        {"\xc2\xa0nbsp", "\xc2\xa0nbsp"},
        {"overlong\xc0\xaf", "overlong\\xc0\\xaf"},
        {"surrogate\xed\xa0\x80", "surrogate\\xed\\xa0\\x80"},
        {"cut\xe2\x82", "cut\\xe2\\x82"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EscapeControls(c.in), c.out) << c.out;
    }
}

} // namespace
} // namespace orvane
