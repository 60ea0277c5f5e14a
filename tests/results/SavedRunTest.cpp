// Saved runs read back as hostile input: only regular files of a sane size, every value one a
// run can make, every failure naming the file and the field; every value a run writes comes
// back unchanged from JSON and CSV, in the C locale's numbers whatever the user's locale.
#include "results/SavedRun.h"
#include "results/Compare.h"
#include "results/Report.h"

#include "tests/support/PlatformTestSupport.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvane::results {
namespace {

using testing::TTempDir;

// A run with one row of each pass, its texts as given.
TSavedRun MadeRun(const std::string& text = "plain") {
    TSavedRun run;
    run.Info.Method = "win32";
    run.Info.FileSize = "1M";
    run.Info.BlockSize = "256";
    run.Info.StartTime = "2026-12-08T10:00:00.000+00:00";
    run.Info.Mode.Repeats = 3;
    run.Info.KernelRelease = text;
    run.Info.MountPoint = text;
    run.Info.BlockDevice = text;
    run.Info.Host.Label = text;
    run.Info.Host.MountOptions = text;
    run.Info.Outcome = "completed";
    for (const TResultList pass : {TResultList::Write, TResultList::Read}) {
        TResultRow row;
        row.Pass = pass;
        row.ChunkLabel = "64K";
        row.ChunkBytes = 65536;
        row.BlockBytes = 256;
        row.FileBytes = 1048576;
        row.End = row.Start + std::chrono::microseconds(1500);
        row.DurationSamples = {0.0015, 0.0014, 0.0021};
        row.Proof.DeviceBytes = 1048576;
        run.Rows.push_back(row);
    }
    return run;
}

// A JSON run of the given row, for the cases below.
std::string JsonWithRow(const std::string& row, const std::string& method = "file") {
    return "{\"program\":\"orvane-cli\",\"method\":\"" + method +
           "\",\"file_size\":\"1M\",\"block_size\":\"256\",\"rows\":[" + row + "]}";
}

TEST(SavedRun, HostileFilesAreRefusedNamingTheFileAndTheField) {
    TTempDir dir;
    ::mkfifo(dir.Path("fifo").c_str(), 0600);
    ::mkdir(dir.Path("folder").c_str(), 0700);
    {
        testing::WriteWholeFile(dir.Path("huge"), "{}");
        ASSERT_EQ(::truncate(dir.Path("huge").c_str(), 17 << 20), 0);
    }
    std::string manyRows;
    for (int i = 0; i <= 20000; ++i) {
        manyRows += std::string(i == 0 ? "" : ",") + "{\"pass\":\"write\",\"chunk\":\"1K\"}";
    }
    std::string manySamples = "0.1";
    for (int i = 0; i < 1000; ++i) {
        manySamples += ",0.1";
    }
    const struct {
        const char* name;
        std::string contents; // none: the file made above
        const char* expected;
    } cases[] = {
        {"fifo", {}, "it is not a regular file"},
        {"folder", {}, "it is a folder"},
        {"huge", {}, "larger than any saved run"},
        {"overflow", JsonWithRow("{\"pass\":\"write\",\"chunk\":\"1K\",\"duration_s\":1e999}"),
         "a number too large"},
        {"method", JsonWithRow("", std::string(65536, 'm')), "the field \"method\" is wrong"},
        {"rows", JsonWithRow(manyRows), "the field \"rows\" holds more rows than any run"},
        {"markup", JsonWithRow("{\"pass\":\"write\",\"chunk\":\"<img src=x>\"}"),
         "the field \"rows[0].chunk\" is wrong: \"<img src=x>\" is not a chunk size"},
        {"negative",
         JsonWithRow("{\"pass\":\"write\",\"chunk\":\"1K\",\"throughput_kib_per_s\":-5}"),
         "the field \"rows[0].throughput_kib_per_s\" is wrong: the number -5.000 is out"},
        {"endless", JsonWithRow("{\"pass\":\"write\",\"chunk\":\"1K\",\"duration_s\":1e12}"),
         "the field \"rows[0].duration_s\" is wrong: a pass of"},
        {"samples",
         JsonWithRow("{\"pass\":\"write\",\"chunk\":\"1K\",\"duration_s\":0.1,"
                     "\"duration_samples_s\":[" +
                     manySamples + "]}"),
         "the field \"rows[0].duration_samples_s\" is wrong: the list has more than 1000"},
        {"block",
         JsonWithRow("{\"pass\":\"write\",\"chunk\":\"1K\",\"duration_s\":0.1,"
                     "\"block_bytes\":3}"),
         "the field \"rows[0].block_bytes\" is wrong: 3 bytes is not a block size"},
        {"pass", JsonWithRow("{\"pass\":\"both\",\"chunk\":\"1K\",\"duration_s\":0.1}"),
         "the field \"rows[0].pass\" is wrong: \"both\" is neither write nor read"},
        {"csv", "pass,chunk,duration_s\nwrite,1K,\"0.1\n", "a quoted field is not closed"},
        {"narrow", "pass,chunk,duration_s,method\nwrite,1K\n", "record 2 has 2 fields"},
    };
    for (const auto& c : cases) {
        if (!c.contents.empty()) {
            testing::WriteWholeFile(dir.Path(c.name), c.contents);
        }
        try {
            LoadSavedRun(dir.Path(c.name));
            ADD_FAILURE() << c.name << " was read";
        } catch (const EResultsFile& error) {
            const std::string what = error.what();
            EXPECT_EQ(what.rfind(dir.Path(c.name) + ": ", 0), 0u) << what;
            EXPECT_NE(what.find(c.expected), std::string::npos) << c.name << ": " << what;
        }
    }
}

TEST(SavedRun, EveryValueComesBackFromJsonAndCsvWhateverItsText) {
    for (const std::string text : {"comma, \"quote\"\nand a line", "tab\tand \xc3\xbc", ""}) {
        const TSavedRun made = MadeRun(text);
        for (const TFormat format : {TFormat::Json, TFormat::Csv}) {
            const std::string saved = ReportText(made, format);
            const TSavedRun read = ParseSavedRun(saved, "saved");
            EXPECT_EQ(ReportText(read, format), saved);
            EXPECT_EQ(read.Info.MountPoint, text);
            EXPECT_EQ(read.Info.Host.MountOptions, text);
            ASSERT_EQ(read.Rows.size(), 2u);
            EXPECT_EQ(read.Rows[1].DurationSamples, made.Rows[1].DurationSamples);
        }
    }
}

// Under a locale whose decimal mark is a comma (made with localedef where none is installed),
// every number that goes into a file or the clipboard keeps its point.
TEST(SavedRun, NumbersKeepThePointWhateverTheLocale) {
    TTempDir locales;
    ::setenv("LOCPATH", locales.Dir().c_str(), 1);
    const std::string make =
        "localedef -i de_DE -f UTF-8 " + locales.Path("de_DE.UTF-8") + " >/dev/null 2>&1";
    if (std::system(make.c_str()) != 0 || std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) {
        ::unsetenv("LOCPATH");
        GTEST_SKIP() << "no comma-decimal locale can be made here (localedef, locales)";
    }
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    EXPECT_STREQ(probe, "1,5") << "the locale is in force";
    const TSavedRun made = MadeRun();
    const std::string csv = ReportText(made, TFormat::Csv);
    const std::string tab = TabText(made);
    const std::string table = ReportText(made, TFormat::Table);
    const std::string json = ReportText(made, TFormat::Json);
    const std::string compared = ComparisonText({made, made}, TFormat::Csv);
    std::setlocale(LC_ALL, "C");
    ::unsetenv("LOCPATH");

    EXPECT_EQ(ReportText(ParseSavedRun(csv, "csv"), TFormat::Csv), csv);
    EXPECT_EQ(ReportText(ParseSavedRun(json, "json"), TFormat::Json), json);
    EXPECT_NE(tab.find("\t682666.67\t"), std::string::npos) << tab; // 1 MiB in 1.5 ms, in KiB/s
    EXPECT_NE(table.find("682666.67"), std::string::npos) << table;
    EXPECT_NE(compared.find(",682666.67,1.0000,"), std::string::npos) << compared;
}

} // namespace
} // namespace orvane::results
