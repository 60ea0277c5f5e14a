// `orvane-cli report`: saved runs of either front end read back (this layout and the one
// before it) and compared with the first run, ratios and notes on unlike runs, and a
// foreign or damaged file named with its field.
#include "cli/CliApp.h"
#include "results/Compare.h"
#include "tests/support/PlatformTestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>

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
    EXPECT_NE(csv.out.find("write,1K,1000.00,1.0000,2000.00,2.0000\n"), std::string::npos)
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
    EXPECT_GT(run.Rows[0].KiBPerSecond, 0);
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
        {"notjson.json", "{ nope", ": not JSON"},
        {"foreign.json", "{\"program\":\"fio\"}", ": the field \"program\" names \"fio\""},
        {"newer.json", SavedRun("orvane-cli", "1M", 1, 1, ",\"schema\":99"),
         ": the field \"schema\" is not one this version reads"},
        {"norate.json",
         "{\"program\":\"orvane\",\"version\":\"0\",\"method\":\"file\",\"file_size\":\"1M\","
         "\"block_size\":\"1\",\"start_time\":\"t\",\"rows\":[{\"pass\":\"write\",\"chunk\":\"1K\"}"
         "]}",
         ": the field \"rows[0].throughput_kib_per_s\" is missing or of the wrong kind"},
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

} // namespace
} // namespace orvane::cli
