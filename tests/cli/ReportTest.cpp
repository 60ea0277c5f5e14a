// `orvane-cli report`: saved runs of either front end read back (this layout and the one
// before it) and compared with the first run, ratios and notes on unlike runs, a foreign or
// damaged file named with its field, and the chart drawn by the helper program (or refused
// without it).
#include "results/Report.h"
#include "charts/ChartExport.h"
#include "cli/CliApp.h"
#include "platform/OsCalls.h"
#include "results/Compare.h"
#include "results/RowFigures.h"
#include "tests/support/ChartHelper.h"
#include "tests/support/FleetRuns.h"
#include "tests/support/PlatformTestSupport.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orvane::cli {
namespace {

using testing::TTempDir;
using testing::WriteWholeFile;

// A saved run with a write and a read row at the given throughputs.
std::string SavedRun(const std::string& program, const std::string& fileSize, double write,
                     double read, const char* schema = ",\"schema\":1") {
    std::ostringstream json;
    json << "{\"program\":\"" << program << "\"" << schema
         << ",\"version\":\"0.1.0\",\"method\":\"win32\",\"file_size\":\"" << fileSize
         << "\",\"block_size\":\"256\",\"start_time\":\"2026-12-08T10:00:00+00:00\","
            "\"rows\":[{\"pass\":\"write\",\"chunk\":\"1K\",\"throughput_kib_per_s\":"
         << write << "},{\"pass\":\"read\",\"chunk\":\"1K\",\"throughput_kib_per_s\":" << read
         << "}]}";
    return json.str();
}

struct TResult {
    int code;
    std::string out, err;
};

TResult Report(const std::vector<std::string>& arguments) {
    std::ostringstream out, err;
    std::vector<std::string> all = {"report"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    const int code = RunCli(all, out, err, false);
    return {code, out.str(), err.str()};
}

TEST(Report, RatiosToTheFirstRunInEveryFormatWithNotesOnUnlikeRuns) {
    TTempDir dir;
    WriteWholeFile(dir.Path("a.json"), SavedRun("orvane-cli", "1M", 1000, 4000));
    // From the window, of the layout before the schema field, with another file size.
    WriteWholeFile(dir.Path("b.json"), SavedRun("orvane", "2M", 2000, 1000, ""));
    const std::vector<std::string> files = {dir.Path("a.json"), dir.Path("b.json")};

    TResult table = Report(files);
    ASSERT_EQ(table.code, 0) << table.err;
    EXPECT_NE(table.out.find("2000.00 (x2.00)"), std::string::npos) << table.out;
    EXPECT_NE(table.out.find("1000.00 (x0.25)"), std::string::npos) << table.out;
    EXPECT_NE(table.out.find("note: run 2 has file size 2M where run 1 has 1M"), std::string::npos);

    std::vector<std::string> csvArguments = files;
    csvArguments.insert(csvArguments.end(), {"--format", "csv"});
    const TResult csv = Report(csvArguments);
    EXPECT_NE(csv.out.find("write,1K,1000.00,1.0000,2000.00,2.0000,no verdict,fewer than 3 "
                           "samples\n"),
              std::string::npos)
        << csv.out;

    std::vector<std::string> jsonArguments = files;
    jsonArguments.insert(jsonArguments.end(), {"--format", "json"});
    const nlohmann::json document = nlohmann::json::parse(Report(jsonArguments).out);
    EXPECT_EQ(document["rows"][1]["ratio_to_first"][1], 0.25);
    EXPECT_EQ(document["runs"].size(), 2u);
    EXPECT_EQ(document["notes"].size(), 1u);
}

TEST(Report, ARunOfTheCommandLineReadsBack) {
    TTempDir dir;
    std::ostringstream out, err;
    TRunHooks hooks;
    hooks.Pause = [](unsigned) {};
    ASSERT_EQ(RunCli({"--dir", dir.Dir(), "--file-size", "1M", "--format", "json", "--output",
                      dir.Path("run.json"), "--no-history"},
                     out, err, false, hooks),
              0);
    const results::TSavedRun run = results::LoadSavedRun(dir.Path("run.json"));
    EXPECT_EQ(run.Rows.size(), 22u);
    EXPECT_EQ(run.Info.FileSize, "1M");
    EXPECT_GT(run.Rows[0].KiBPerSecond(), 0);
    const TResult self = Report({dir.Path("run.json"), dir.Path("run.json")});
    EXPECT_NE(self.out.find("(x1.00)"), std::string::npos);
}

TEST(Report, AForeignOrDamagedFileIsNamedWithItsField) {
    TTempDir dir;
    struct Case {
        const char* name;
        std::string contents;
        const char* expected;
    };
    const Case cases[] = {
        {"notjson.json", "{ nope", ": not JSON: it is damaged near byte"},
        {"foreign.json", "{\"program\":\"fio\"}", ": the field \"method\" is missing"},
        {"other.json", SavedRun("fio", "1M", 1, 1), ": the field \"program\" is wrong: \"fio\""},
        {"newer.json", SavedRun("orvane-cli", "1M", 1, 1, ",\"schema\":99"),
         ": the field \"schema\" is not one this version reads"},
        {"norate.json",
         "{\"program\":\"orvane\",\"version\":\"0\",\"method\":\"file\",\"file_size\":\"1M\","
         "\"block_size\":\"1\",\"start_time\":\"t\",\"rows\":[{\"pass\":\"write\",\"chunk\":\"1K\"}"
         "]}",
         ": the field \"rows[0].duration_s\" is missing, and no throughput stands for it"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteWholeFile(dir.Path(c.name), c.contents);
        const TResult result = Report({dir.Path(c.name)});
        EXPECT_EQ(result.code, 1);
        EXPECT_EQ(result.err.rfind("orvane-cli: " + dir.Path(c.name) + c.expected, 0), 0u)
            << result.err;
        EXPECT_TRUE(result.out.empty());
    }
    EXPECT_EQ(Report({dir.Path("missing.json")}).code, 1);
    EXPECT_EQ(Report({}).code, 2); // at least one file
}

TEST(Report, TheChartOfTheRunsIsWrittenAsSvgOrPng) {
    if (ChartHelper() == nullptr) {
        GTEST_SKIP() << "the chart helper is built with the window (ORVANE_BUILD_APP)";
    }
    const THelperNamed helper(ChartHelper());
    TTempDir dir;
    WriteWholeFile(dir.Path("a.json"), SavedRun("orvane-cli", "1M", 1000, 4000));
    WriteWholeFile(dir.Path("b.json"), SavedRun("orvane", "1M", 2000, 1000, ""));
    const std::string a = dir.Path("a.json"), b = dir.Path("b.json");

    const TResult svg = Report({a, b, "--chart", dir.Path("runs.svg")});
    ASSERT_EQ(svg.code, 0) << svg.err;
    EXPECT_NE(svg.out.find("(x2.00)"), std::string::npos); // the comparison all the same
    EXPECT_TRUE(svg.err.empty()) << svg.err;               // and no chatter from Qt
    const std::string drawing = testing::ReadWholeFile(dir.Path("runs.svg"));
    // Well-formed XML, as an XML parser of its own says where there is one.
    if (std::system("command -v xmllint >/dev/null 2>&1") == 0) {
        EXPECT_EQ(std::system(("xmllint --noout " + dir.Path("runs.svg")).c_str()), 0);
    }
    for (const char* label :
         {"<svg", "1: win32, block 256", "2: win32, block 256", "1K", "Throughput (MiB/s)"}) {
        EXPECT_NE(drawing.find(label), std::string::npos) << label;
    }
    // Drawn a second time in the same process, as an image, on the logarithmic scale.
    const TResult png = Report({a, b, "--chart", dir.Path("runs.PNG"), "--log-scale"});
    ASSERT_EQ(png.code, 0) << png.err;
    EXPECT_EQ(testing::ReadWholeFile(dir.Path("runs.PNG")).substr(0, 8), "\x89PNG\r\n\x1a\n");

    // Refused before anything is read or written.
    const TResult kind = Report({a, "--chart", dir.Path("runs.txt")});
    EXPECT_EQ(kind.code, 2);
    EXPECT_NE(kind.err.find("must end in .svg or .png"), std::string::npos) << kind.err;
    const std::string before = testing::ReadWholeFile(a);
    // A saved run under another name of the same file (a saved run may end in anything).
    ASSERT_EQ(::link(b.c_str(), dir.Path("b.svg").c_str()), 0);
    const TResult itself = Report({a, b, "--chart", dir.Path("b.svg")});
    EXPECT_EQ(itself.code, 2);
    EXPECT_NE(itself.err.find("--chart names one of the saved runs"), std::string::npos);
    // --output may not name a saved run either: by its name, through a link, or another name.
    ASSERT_EQ(::symlink(a.c_str(), dir.Path("a-link.json").c_str()), 0);
    for (const std::string& input : {a, dir.Path("a-link.json")}) {
        const TResult overwrite = Report({a, b, "--output", input});
        EXPECT_EQ(overwrite.code, 2);
        EXPECT_NE(overwrite.err.find("--output names one of the saved runs"), std::string::npos)
            << overwrite.err;
    }
    const TResult same = Report({a, "--chart", dir.Path("x.svg"), "--output", dir.Path("x.svg")});
    EXPECT_EQ(same.code, 2);
    EXPECT_NE(same.err.find("--chart and --output name the same file"), std::string::npos)
        << same.err;
    EXPECT_FALSE(testing::Exists(dir.Path("x.svg")));
    const TResult extra = Report({a, "--chart", dir.Path("x.svg"), "--bogus"});
    EXPECT_EQ(extra.code, 2);
    EXPECT_EQ(
        extra.err.rfind("orvane-cli: The following arguments were not expected: --bogus\n", 0), 0u)
        << extra.err;
    // The comparison into a file of its own, beside the chart.
    ASSERT_EQ(Report({a, b, "--output", dir.Path("cmp.txt"), "--chart", dir.Path("x.svg")}).code,
              0);
    EXPECT_NE(testing::ReadWholeFile(dir.Path("cmp.txt")).find("(x2.00)"), std::string::npos);
    EXPECT_TRUE(testing::Exists(dir.Path("x.svg")));
    const TResult nowhere = Report({a, "--chart", dir.Path("none/runs.svg")});
    EXPECT_EQ(nowhere.code, 1);
    EXPECT_NE(nowhere.err.find("the chart can't be written to " + dir.Path("none/runs.svg")),
              std::string::npos)
        << nowhere.err;
    EXPECT_TRUE(nowhere.out.empty());
    EXPECT_EQ(testing::ReadWholeFile(a), before);
}

TEST(Report, AFleetsChartHasASeriesPerHostAndTheFleetsBand) {
    if (ChartHelper() == nullptr) {
        GTEST_SKIP() << "the chart helper is built with the window (ORVANE_BUILD_APP)";
    }
    const THelperNamed helper(ChartHelper());
    TTempDir dir;
    std::vector<std::string> arguments = {
        testing::SaveHostRun(dir, "a.json", {"db-1", 100, 200}),
        testing::SaveHostRun(dir, "b.json", {"db-2", 110, 195}),
        testing::SaveHostRun(dir, "c.json", {"db-3", 62, 200, "file"}),
        "--by",
        "host",
        "--force",
        "--chart",
        dir.Path("fleet.svg")};
    const TResult svg = Report(arguments);
    ASSERT_EQ(svg.code, 0) << svg.err;
    const std::string drawing = testing::ReadWholeFile(dir.Path("fleet.svg"));
    for (const char* label : {"across 3 hosts", "db-1 write", "db-3 read", "fleet write, least",
                              "fleet read, least", "1M"}) {
        EXPECT_NE(drawing.find(label), std::string::npos) << label;
    }
    // The helper is handed --force too: without it, it refuses the unlike runs as well.
    arguments.erase(arguments.begin() + 5);
    EXPECT_EQ(Report(arguments).code, 1);
}

TEST(Report, WithoutTheChartHelperAChartIsRefusedInOneLineAndNothingElse) {
    const THelperNamed helper("/nonexistent/orvane-chart");
    TTempDir dir;
    WriteWholeFile(dir.Path("a.json"), SavedRun("orvane-cli", "1M", 1000, 4000));
    const TResult refused =
        Report({dir.Path("a.json"), "--chart", dir.Path("a.svg"), "--output", dir.Path("cmp.txt")});
    EXPECT_EQ(refused.code, 2);
    EXPECT_EQ(refused.err, "orvane-cli: --chart needs the orvane package (the window and its "
                           "charts), which is not installed here; everything else works without "
                           "it.\n");
    EXPECT_FALSE(testing::Exists(dir.Path("cmp.txt")));
    EXPECT_EQ(Report({dir.Path("a.json")}).code, 0);
}

TEST(Report, AChartHelperThatCantBeStartedIsAnErrorThatLeavesNothingOpen) {
    if (ChartHelper() == nullptr) {
        GTEST_SKIP() << "the chart helper is built with the window (ORVANE_BUILD_APP)";
    }
    const THelperNamed helper(ChartHelper());
    TTempDir dir;
    WriteWholeFile(dir.Path("a.json"), SavedRun("orvane-cli", "1M", 1000, 4000));
    using platform::TOsCall;
    for (const auto& [call, nth] : {std::pair{TOsCall::Pipe2, 1u}, std::pair{TOsCall::Pipe2, 2u},
                                    std::pair{TOsCall::PosixSpawn, 1u}}) {
        SCOPED_TRACE(platform::OsCallName(call) + std::to_string(nth));
        platform::TFaultInjector faults;
        faults.FailNth(call, nth, EAGAIN);
        const TResult result = Report({dir.Path("a.json"), "--chart", dir.Path("a.svg")});
        EXPECT_EQ(result.code, 1);
        EXPECT_NE(result.err.find("orvane-cli: the chart could not be drawn: the chart helper " +
                                  std::string(ChartHelper()) +
                                  " could not be started: Resource temporarily unavailable\n"),
                  std::string::npos)
            << result.err;
        EXPECT_FALSE(testing::Exists(dir.Path("a.svg")));
        EXPECT_EQ(faults.OpenDescriptors(), 0);
    }
}

TEST(Report, AChartWhoseThreadsCantStartFailsWithAMessageInsteadOfWaitingForever) {
    if (ChartHelper() == nullptr || ::geteuid() != 0) {
        GTEST_SKIP() << "needs the chart helper, and root to become a user with a process limit";
    }
    const THelperNamed helper(ChartHelper());
    TTempDir dir;
    const std::string a = dir.Path("a.json");
    WriteWholeFile(a, SavedRun("orvane-cli", "1M", 1000, 4000));
    ASSERT_EQ(::chmod(dir.Dir().c_str(), 0777), 0); // the chart's folder, for the child
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::alarm(120); // a hang ends the child, and the test fails
        // A user of its own, so that no one else's processes count against the limit of two:
        // orvane-cli and the helper, which then can't start a thread.
        const auto user = static_cast<uid_t>(61000 + ::getpid() % 1000);
        const rlimit two{2, 2};
        if (::setgroups(0, nullptr) != 0 || ::setgid(user) != 0 || ::setuid(user) != 0 ||
            ::setrlimit(RLIMIT_NPROC, &two) != 0) {
            ::_exit(10);
        }
        const TResult png = Report({a, "--chart", dir.Path("a.png")});
        const bool said = png.err.rfind("orvane-cli: the chart could not be drawn: orvane-chart: "
                                        "the chart is drawn with threads, and this process can't "
                                        "start one",
                                        0) == 0;
        ::_exit(png.code == 1 && said && !testing::Exists(dir.Path("a.png")) ? 0 : 11);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST(Report, RowsReadBackAsTheRunMadeThemWithTheirRepeats) {
    results::TSavedRun made;
    made.Info.Method = "mmio";
    made.Info.FileSize = "1M";
    made.Info.BlockSize = "16";
    made.Info.StartTime = "2026-12-08T10:00:00+00:00";
    made.Info.Mode.Repeats = 3;
    made.Info.Outcome = "stopped";
    TResultRow row;
    row.Pass = TResultList::Read;
    row.ChunkLabel = "64K";
    row.ChunkBytes = 65536;
    row.BlockBytes = 16;
    row.FileBytes = 1048576;
    row.End = row.Start + std::chrono::milliseconds(2);
    row.DurationSamples = {0.004, 0.002, 0.001};
    row.Proof.DeviceBytes = 4096;
    row.Proof.CachedBytesAtStart = 0;
    made.Rows = {row};
    TTempDir dir;
    // Every column a run writes comes back, from JSON and from CSV alike.
    for (const auto format : {results::TFormat::Json, results::TFormat::Csv}) {
        const std::string text = results::ReportText(made, format);
        WriteWholeFile(dir.Path("run"), text);
        const results::TSavedRun read = results::LoadSavedRun(dir.Path("run"));
        ASSERT_EQ(read.Rows.size(), 1u) << text;
        EXPECT_EQ(results::ReportText(read, format), text);
        EXPECT_EQ(results::RowSummary(read.Rows[0]),
                  "read 64K: 500.0 MiB/s in 0.002000 s (repeats 250.0 to 1000.0 MiB/s); +-75.0 % "
                  "(75.0 % interval 250.0 to 1000.0 MiB/s), cv 65.5 %; device 4 KiB; cached at "
                  "start 0 bytes; source: page cache");
        EXPECT_EQ(results::RunLabel(read.Info),
                  "mmio, block 16, file 1M, median of 3, stopped, 2026-12-08 10:00:00");
    }

    // A file of the layout before chunk_bytes and durations names the chunk by its label and
    // gives its throughput.
    WriteWholeFile(dir.Path("odd.json"), SavedRun("orvane", "1M", 1, 1, ""));
    EXPECT_EQ(results::LoadSavedRun(dir.Path("odd.json")).Rows[0].ChunkBytes, 1024u);
    std::string unknown = SavedRun("orvane", "1M", 1, 1, "");
    unknown.replace(unknown.find("\"1K\""), 4, "\"3K\"");
    WriteWholeFile(dir.Path("unknown.json"), unknown);
    EXPECT_EQ(Report({dir.Path("unknown.json")}).err,
              "orvane-cli: " + dir.Path("unknown.json") +
                  ": the field \"rows[0].chunk\" is wrong: \"3K\" is not a chunk size (1K to "
                  "1M)\n");
}

} // namespace
} // namespace orvane::cli
