// orvane-cli matrix in-process: bad input and its exit codes, a real small matrix end to end
// (its report, its picture, its place in the history, nothing left on disk), a stopped matrix
// and a failed one saved as such, and `report` of two matrices.
#include "cli/CliApp.h"
#include "platform/OsCalls.h"
#include "results/SavedRun.h"
#include "tests/support/ChartHelper.h"
#include "tests/support/PlatformTestSupport.h"

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>

namespace orvane::cli {
namespace {

using testing::TTempDir;

struct TResult {
    int code;
    std::string out;
    std::string err;
};

TResult RunMatrixCli(const std::vector<std::string>& arguments, TRunHooks hooks = {}) {
    if (!hooks.Pause) {
        hooks.Pause = [](unsigned) {};
    }
    std::ostringstream out, err;
    const int code = RunCli(arguments, out, err, false, hooks);
    return {code, out.str(), err.str()};
}

// The history of these tests in a scratch folder of its own.
std::string History() {
    static TTempDir home;
    static const bool set = ::setenv("XDG_DATA_HOME", home.Dir().c_str(), 1) == 0;
    return set ? home.Dir() + "/orvane/runs" : "";
}

std::vector<std::string> Small(const std::string& dir) {
    return {"matrix",
            "--dir",
            dir,
            "--file-size",
            "1M",
            "--block-sizes",
            "128,256",
            "--configurations",
            "file,mmio-buffered",
            "--seed",
            "1234"};
}

TEST(MatrixCli, BadInputEndsWithUsageNamingTheValidValues) {
    struct Case {
        std::vector<std::string> arguments;
        int code;
        std::string expected; // in stdout for 0, in stderr otherwise
    };
    const std::string blocks = "a list of block sizes from 1,2,4,8,16,32,64,128,256 (each once)";
    const std::string configurations =
        "a list of configurations from file,mmio,mmio-buffered,win32,win32-buffered (each once)";
    const Case cases[] = {
        {{"matrix", "--block-sizes", "3"}, 2, "expected " + blocks + " or all, not 3"},
        {{"matrix", "--block-sizes", "16,16"}, 2, blocks},
        {{"matrix", "--block-sizes", ""}, 2, blocks},
        {{"matrix", "--block-sizes", "1,,4"}, 2, blocks},
        {{"matrix", "--configurations", "fat"}, 2, configurations},
        {{"matrix", "--configurations", "win32,win32"}, 2, configurations},
        {{"matrix", "--configurations", ""}, 2, configurations},
        {{"matrix", "--seed", "x"}, 2, "a whole number from 0 to 9007199254740991, not x"},
        {{"matrix", "--seed", "-1"}, 2, "a whole number from 0 to"},
        {{"matrix", "--seed", "9007199254740992"}, 2, "a whole number from 0 to"},
        {{"matrix", "--chart", "m.gif"}, 2, "must end in .svg or .png"},
        {{"matrix", "--max-repeats", "5"}, 2, "applies only with --repeat auto"},
        {{"matrix", "--file-size", "3M"}, 2, "Usage: orvane-cli"},
        {{"matrix", "report", "x.json"}, 2, "Usage:"},
        {{"matrix", "--help"}, 0, "--configurations"},
        {{"--help"}, 0, "matrix"},
    };
    for (const Case& c : cases) {
        const TResult result = RunMatrixCli(c.arguments);
        EXPECT_EQ(result.code, c.code) << c.arguments.back();
        EXPECT_NE((c.code == 0 ? result.out : result.err).find(c.expected), std::string::npos)
            << c.arguments.back() << ": " << result.out << result.err;
    }
}

TEST(MatrixCli, ASmallMatrixEndToEnd) {
    const std::string history = History();
    TTempDir dir;
    const std::string chart = dir.Path("matrix.svg");
    if (ChartHelper() == nullptr) {
        GTEST_SKIP() << "the chart helper is built with the window";
    }
    const THelperNamed helper(ChartHelper());
    std::vector<std::string> arguments = Small(dir.Dir());
    arguments.insert(arguments.end(), {"--format", "json", "--chart", chart});
    const TResult result = RunMatrixCli(arguments);
    ASSERT_EQ(result.code, 0) << result.err;
    const nlohmann::json document = nlohmann::json::parse(result.out);
    EXPECT_EQ(document["kind"], "matrix");
    EXPECT_EQ(document["seed"], 1234);
    EXPECT_EQ(document["stopped"], false);
    EXPECT_EQ(document["outcome"], "completed");
    EXPECT_EQ(document["block_sizes"], nlohmann::json({128, 256}));
    // file once per block size, shown in all 11 chunk sizes; mmio-buffered at each.
    ASSERT_EQ(document["cells"].size(), 2u * 2 * 2 * 11);
    ASSERT_EQ(document["winners"].size(), 2u * 2 * 11);
    for (const auto& cell : document["cells"]) {
        EXPECT_EQ(cell["chunk_independent"], cell["configuration"] == "file");
        EXPECT_GT(cell["throughput_kib_per_s"].get<double>(), 0);
        EXPECT_EQ(cell["file_bytes"], 1048576);
    }
    for (const auto& winner : document["winners"]) {
        const std::string name = winner["winner"];
        EXPECT_TRUE(name == "file" || name == "mmio-buffered" || name == "tie") << name;
    }
    // The picture (its XML checked in the charts' tests), and the history holding the matrix
    // as a file that report reads.
    EXPECT_EQ(testing::ReadWholeFile(chart).rfind("<?xml", 0), 0u);
    std::filesystem::remove(chart);
    EXPECT_TRUE(std::filesystem::is_empty(dir.Dir()));
    std::size_t kept = 0;
    for (const auto& entry : std::filesystem::directory_iterator(history)) {
        const auto saved = results::LoadSavedResults(entry.path());
        kept += std::holds_alternative<results::TSavedMatrix>(saved) &&
                std::get<results::TSavedMatrix>(saved).Seed == 1234;
    }
    EXPECT_EQ(kept, 1u);

    // The table: a grid per pass and block size, and the sentence of each pass.
    const TResult table = RunMatrixCli(Small(dir.Dir()));
    ASSERT_EQ(table.code, 0) << table.err;
    EXPECT_NE(table.out.find("seed 1234"), std::string::npos);
    EXPECT_NE(table.out.find("Read, 128-byte blocks"), std::string::npos);
    EXPECT_NE(table.out.find("\nwrites: "), std::string::npos);
    EXPECT_NE(table.out.find("\nreads: "), std::string::npos);
}

TEST(MatrixCli, AStopKeepsTheCellsDoneAsAStoppedMatrix) {
    History();
    TTempDir dir;
    int points = 0;
    TRunHooks hooks;
    hooks.AtMessagePoint = [&] {
        if (++points == 60) {
            ::raise(SIGINT);
        }
    };
    std::vector<std::string> arguments = Small(dir.Dir());
    const std::string output = dir.Path("stopped.json");
    arguments.insert(arguments.end(), {"--format", "json", "--output", output});
    const TResult result = RunMatrixCli(arguments, hooks);
    EXPECT_EQ(result.code, 130) << result.err;
    const auto saved = results::LoadSavedResults(output);
    ASSERT_TRUE(std::holds_alternative<results::TSavedMatrix>(saved));
    const results::TSavedMatrix& matrix = std::get<results::TSavedMatrix>(saved);
    EXPECT_TRUE(matrix.Stopped);
    EXPECT_EQ(matrix.Info.Outcome, "stopped");
    EXPECT_GT(matrix.Cells.size(), 0u);
    EXPECT_LT(matrix.Cells.size(), 88u);
    std::filesystem::remove(output);
    EXPECT_TRUE(std::filesystem::is_empty(dir.Dir()));
}

TEST(MatrixCli, AFailingCellEndsTheMatrixNamingItAndSavesTheCellsBefore) {
    History();
    TTempDir dir;
    platform::TFaultInjector faults;
    int points = 0;
    TRunHooks hooks;
    hooks.AtMessagePoint = [&] {
        if (++points == 60) {
            faults.FailNth(platform::TOsCall::Write, 1, ENOSPC, true); // the disk is full
        }
    };
    std::vector<std::string> arguments = Small(dir.Dir());
    arguments.insert(arguments.end(), {"--format", "json"});
    const TResult result = RunMatrixCli(arguments, hooks);
    faults.Clear();
    EXPECT_EQ(result.code, 1);
    EXPECT_NE(result.err.find("orvane-cli: In the cell "), std::string::npos) << result.err;
    const auto saved = results::ParseSavedResults(result.out, "out");
    ASSERT_TRUE(std::holds_alternative<results::TSavedMatrix>(saved));
    const results::TSavedMatrix& matrix = std::get<results::TSavedMatrix>(saved);
    EXPECT_TRUE(matrix.Stopped);
    EXPECT_EQ(matrix.Info.Outcome, "failed");
    EXPECT_GT(matrix.Cells.size(), 0u);
    EXPECT_TRUE(std::filesystem::is_empty(dir.Dir()));
}

TEST(MatrixCli, ReportComparesTwoMatricesAndRefusesMixedKinds) {
    History();
    TTempDir dir;
    for (const char* name : {"a.json", "b.json"}) {
        std::vector<std::string> arguments = Small(dir.Dir());
        arguments.insert(arguments.end(), {"--format", "json", "--output", dir.Path(name)});
        ASSERT_EQ(RunMatrixCli(arguments).code, 0);
    }
    ASSERT_EQ(RunMatrixCli({"--dir", dir.Dir(), "--file-size", "1M", "--format", "json", "--output",
                            dir.Path("run.json"), "--no-history"})
                  .code,
              0);
    const TResult compared =
        RunMatrixCli({"report", dir.Path("a.json"), dir.Path("b.json"), "--format", "json"});
    ASSERT_EQ(compared.code, 0) << compared.err;
    const nlohmann::json document = nlohmann::json::parse(compared.out);
    ASSERT_EQ(document["matrices"].size(), 2u);
    EXPECT_EQ(document["rows"].size(), 2u * 2 * (1 + 11));
    for (const auto& row : document["rows"]) {
        EXPECT_FALSE(row["verdict"][1].is_null());
    }
    const TResult one = RunMatrixCli({"report", dir.Path("a.json")});
    EXPECT_EQ(one.code, 0);
    EXPECT_NE(one.out.find("Write, 256-byte blocks"), std::string::npos);
    const TResult mixed = RunMatrixCli({"report", dir.Path("a.json"), dir.Path("run.json")});
    EXPECT_EQ(mixed.code, 2);
    EXPECT_NE(mixed.err.find("runs with runs and matrices with matrices"), std::string::npos);
}

} // namespace
} // namespace orvane::cli
