// `orvane-cli report --by host`: saved runs of three machines as a fleet, in every format,
// with the fleet median, the slowest host and each host's verdict; runs measured unlike
// refused unless forced; labels that are missing or taken twice kept apart with a note.
#include "cli/CliApp.h"
#include "tests/support/FleetRuns.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>

namespace orvane::cli {
namespace {

using testing::SaveHostRun;
using testing::TTempDir;

struct TResult {
    int code;
    std::string out, err;
};

TResult Report(std::vector<std::string> arguments) {
    std::ostringstream out, err;
    arguments.insert(arguments.begin(), "report");
    const int code = RunCli(arguments, out, err, false);
    return {code, out.str(), err.str()};
}

bool Holds(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(FleetReport, ThreeHostsWithTheFleetMedianTheSlowestHostAndEachHostsVerdict) {
    TTempDir dir;
    // db-3 writes 38 % below the fleet median (100 MiB/s); db-2 reads 2.3 % below, within the
    // threshold.
    const std::vector<std::string> files = {
        SaveHostRun(dir, "a.json", {"db-1", 100, 200}),
        SaveHostRun(dir, "b.json", {"db-2", 110, 195.3125}),
        SaveHostRun(dir, "c.json", {"db-3", 62, 200}),
    };
    std::vector<std::string> arguments = files;
    arguments.insert(arguments.end(), {"--by", "host"});

    const TResult table = Report(arguments);
    ASSERT_EQ(table.code, 0) << table.err;
    EXPECT_TRUE(table.err.empty()) << table.err;
    for (const char* expected : {
             "fleet of 3 hosts: win32, file 1M, block 256 (config_hash ",
             "host 3: db-3: win32, block 256, file 1M, 2026-12-08 10:00:00 (",
             "\nKB/s                                 db-1                           db-2       "
             "                    db-3\n",
             // The host's throughput, its ratio to the fleet median and its verdict.
             "\nW: 1K         102400.00 (x1.00) no change       112640.00 (x1.10) faster        "
             "63488.00 (x0.62) slower\n",
             "\nR: 1M         204800.00 (x1.00) no change    200000.00 (x0.98) no change    "
             "204800.00 (x1.00) no change\n",
             "\nfleet            median          min          max  slowest\n",
             "\nW: 1K         102400.00     63488.00    112640.00  db-3\n",
             "\nR: 1M         204800.00    200000.00    204800.00  db-2\n",
             "\ndb-3: write slower in 11 of 11 rows (median 38 % slower than the fleet median); "
             "read no change in 11 of 11 rows (median at the fleet median)\n",
             "\ndb-2: write faster in 11 of 11 rows (median 10 % faster than the fleet median); "
             "read no change in 11 of 11 rows (median 2 % slower than the fleet median)\n",
         }) {
        EXPECT_TRUE(Holds(table.out, expected)) << expected << "\n" << table.out;
    }

    arguments.insert(arguments.end(), {"--format", "csv"});
    const TResult csv = Report(arguments);
    ASSERT_EQ(csv.code, 0) << csv.err;
    EXPECT_EQ(csv.out.substr(0, csv.out.find('\n')),
              "pass,chunk,db-1_kib_per_s,db-1_ratio,db-1_verdict,db-1_rule,db-2_kib_per_s,"
              "db-2_ratio,db-2_verdict,db-2_rule,db-3_kib_per_s,db-3_ratio,db-3_verdict,db-3_rule,"
              "fleet_median_kib_per_s,fleet_min_kib_per_s,fleet_max_kib_per_s,slowest_host");
    EXPECT_TRUE(Holds(csv.out, "\nwrite,1K,102400.00,1.0000,no change,within the 5 % threshold,"
                               "112640.00,1.1000,faster,\"beyond the 5 % threshold, no interval "
                               "(1 pass)\",63488.00,0.6200,slower,"))
        << csv.out;
    EXPECT_TRUE(Holds(csv.out, ",102400.00,63488.00,112640.00,db-3\n")) << csv.out;

    arguments.back() = "json";
    const nlohmann::json document = nlohmann::json::parse(Report(arguments).out);
    EXPECT_EQ(document["view"], "fleet");
    ASSERT_EQ(document["hosts"].size(), 3u);
    EXPECT_EQ(document["hosts"][2]["label"], "db-3");
    EXPECT_EQ(document["hosts"][2]["write"]["slower"], 11);
    EXPECT_NEAR(document["hosts"][2]["write"]["median_change"].get<double>(), -0.38, 1e-6);
    ASSERT_EQ(document["rows"].size(), 22u);
    const nlohmann::json& fleet = document["rows"][0]["fleet"];
    EXPECT_EQ(fleet["hosts_measured"], 3);
    EXPECT_NEAR(fleet["median_kib_per_s"].get<double>(), 102400, 1e-6);
    EXPECT_EQ(fleet["slowest_host"], "db-3");
    EXPECT_EQ(document["rows"][0]["verdict"][2]["verdict"], "slower");
    EXPECT_EQ(document["rows"][21]["fleet"]["slowest_host"], "db-2");
    EXPECT_TRUE(document["notes"].empty());
}

TEST(FleetReport, LabelsTakenTwiceAreNumberedAndRunsWithoutAHostTakeTheirFileName) {
    TTempDir dir;
    const std::vector<std::string> files = {
        SaveHostRun(dir, "a.json", {"db-3"}),
        SaveHostRun(dir, "b.json", {"db-3"}),
        SaveHostRun(dir, "old.json", {""}),
        SaveHostRun(dir, "d.json", {"rack \"7\", db", 50}),
    };
    std::vector<std::string> arguments = files;
    arguments.insert(arguments.end(), {"--by", "host", "--format", "json"});
    const nlohmann::json document = nlohmann::json::parse(Report(arguments).out);
    std::vector<std::string> labels;
    for (const auto& host : document["hosts"]) {
        labels.push_back(host["label"]);
    }
    EXPECT_EQ(labels, (std::vector<std::string>{"db-3", "db-3 (2)", "old.json", "rack \"7\", db"}));
    EXPECT_EQ(document["hosts"][2]["host_label"], nullptr);
    const std::vector<std::string> notes = document["notes"];
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[0], files[1] + " names the same host as " + files[0] +
                            ", db-3; both are kept, this one as db-3 (2)");
    EXPECT_EQ(notes[1], files[2] + " records no host (a run saved before runs named their "
                                   "host): its column is named after the file, old.json");

    // CSV quotes a label as RFC 4180 does, and its notes, which it has no place for, go to
    // standard error.
    arguments.back() = "csv";
    const TResult csv = Report(arguments);
    ASSERT_EQ(csv.code, 0);
    EXPECT_TRUE(Holds(csv.out, ",db-3 (2)_kib_per_s,")) << csv.out;
    EXPECT_TRUE(Holds(csv.out, ",\"rack \"\"7\"\", db_kib_per_s\",")) << csv.out;
    EXPECT_TRUE(Holds(csv.out, ",\"rack \"\"7\"\", db\"\n")) << csv.out; // the slowest
    EXPECT_EQ(csv.err, "orvane-cli: note: " + notes[0] + "\norvane-cli: note: " + notes[1] + "\n");

    arguments.back() = "table";
    const TResult table = Report(arguments);
    EXPECT_TRUE(Holds(table.out, "note: " + notes[0] + "\n")) << table.out;
    EXPECT_TRUE(Holds(table.out, "\nold.json: write no change in 11 of 11 rows")) << table.out;
}

TEST(FleetReport, RunsMeasuredUnlikeAreRefusedUnlessForced) {
    TTempDir dir;
    const std::vector<std::string> files = {
        SaveHostRun(dir, "a.json", {"db-1"}),
        SaveHostRun(dir, "b.json", {"db-2", 100, 200, "file"}),
        SaveHostRun(dir, "c.json", {"db-3"}),
    };
    std::vector<std::string> arguments = files;
    arguments.insert(arguments.end(), {"--by", "host"});
    const TResult refused = Report(arguments);
    EXPECT_EQ(refused.code, 1);
    EXPECT_TRUE(refused.out.empty());
    EXPECT_EQ(refused.err.rfind("orvane-cli: these runs were measured unlike db-1 (" + files[0] +
                                    ") with win32, file 1M, block 256 (config_hash ",
                                0),
              0u)
        << refused.err;
    EXPECT_TRUE(Holds(refused.err, "): db-2 (" + files[1] + ") with file, file 1M, block 256"))
        << refused.err;
    EXPECT_FALSE(Holds(refused.err, "db-3")) << refused.err;
    EXPECT_TRUE(Holds(refused.err, "(--force compares them all the same)\n")) << refused.err;

    arguments.push_back("--force");
    const TResult forced = Report(arguments);
    EXPECT_EQ(forced.code, 0) << forced.err;
    EXPECT_TRUE(Holds(forced.out, "; compared all the same (--force)\n")) << forced.out;
    EXPECT_TRUE(Holds(forced.out, "\ndb-2: write no change in 11 of 11 rows")) << forced.out;

    for (const std::vector<std::string>& wrong :
         {std::vector<std::string>{files[0], "--force"},
          std::vector<std::string>{files[0], "--by", "rack"}}) {
        const TResult usage = Report(wrong);
        EXPECT_EQ(usage.code, 2) << wrong.back();
        EXPECT_TRUE(Holds(usage.err, "Usage: orvane-cli")) << usage.err;
    }
    EXPECT_TRUE(Holds(Report({files[0], "--force"}).err, "--force: applies only with --by host"));
}

} // namespace
} // namespace orvane::cli
