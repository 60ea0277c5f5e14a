// orvane-cli in-process: options and exit codes, the three formats, a run of each method,
// errors as the window words them, and Ctrl-C (once: stop and report; twice: end now).
#include "cli/CliApp.h"
#include "platform/OsCalls.h"
#include "platform/Win32.h"
#include "tests/platform/PlatformTestSupport.h"

#include <csignal>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

namespace orvane::cli {
namespace {

using testing::Exists;
using testing::InChild;
using testing::TTempDir;

struct TResult {
    int code;
    std::string out;
    std::string err;
};

TResult RunCliCapturing(const std::vector<std::string>& arguments) {
    std::ostringstream out, err;
    const int code = RunCli(arguments, out, err, false);
    return {code, out.str(), err.str()};
}

bool DirectoryIsEmpty(const std::string& dir) {
    return std::filesystem::is_empty(dir);
}

TEST(Cli, OptionsAndTheirExitCodes) {
    struct Case {
        std::vector<std::string> arguments;
        int code;
        const char* expected; // in stdout for 0, in stderr otherwise
    };
    const Case cases[] = {
        {{"--help"}, 0, "--write-buffered"},
        {{"--version"}, 0, "orvane-cli 0.1.0"},
        {{"--method", "fat"}, 2, "Usage: orvane-cli"},
        {{"--file-size", "3M"}, 2, "3M not in"},
        {{"--block-size", "512"}, 2, "Usage:"},
        {{"--format", "xml"}, 2, "Usage:"},
        {{"--dir", "/tmp", "--file", "/tmp/x.tmp"}, 2, "excludes"},
        {{"extra"}, 2, "Usage:"},
    };
    for (const Case& c : cases) {
        const TResult result = RunCliCapturing(c.arguments);
        EXPECT_EQ(result.code, c.code) << c.arguments.front();
        EXPECT_NE((c.code == 0 ? result.out : result.err).find(c.expected), std::string::npos)
            << c.arguments.front() << ": " << result.out << result.err;
    }
}

TEST(Cli, JsonAndCsvCarryTheRowsWithUnits) {
    TTempDir dir;
    const TResult json = RunCliCapturing({"--dir", dir.Dir(), "--file-size", "1M", "--method",
                                          "mmio", "--write-buffered", "--format", "json"});
    ASSERT_EQ(json.code, 0) << json.err;
    const nlohmann::json document = nlohmann::json::parse(json.out);
    EXPECT_EQ(document["method"], "mmio");
    EXPECT_EQ(document["write_buffered"], true);
    EXPECT_EQ(document["outcome"], "completed");
    EXPECT_FALSE(document["kernel_release"].get<std::string>().empty());
    EXPECT_FALSE(document["file_system"]["type"].get<std::string>().empty());
    EXPECT_EQ(document["start_time"].get<std::string>().size(),
              std::string("2026-12-08T03:28:52+00:00").size());
    const auto& rows = document["rows"];
    ASSERT_EQ(rows.size(), 22u);
    EXPECT_EQ(rows[0]["pass"], "write");
    EXPECT_EQ(rows[0]["chunk"], "1K");
    EXPECT_EQ(rows[0]["chunk_bytes"], 1024);
    EXPECT_EQ(rows[10]["chunk_bytes"], 1048576);
    EXPECT_EQ(rows[11]["pass"], "read");
    EXPECT_EQ(rows[0]["block_bytes"], 256);
    EXPECT_EQ(rows[0]["file_bytes"], 1048576);
    for (const auto& row : rows) {
        // The throughput is the file over the time, in KiB per second.
        const double expected = 1048576.0 / row["duration_s"].get<double>() / 1024;
        EXPECT_NEAR(row["throughput_kib_per_s"].get<double>(), expected, expected * 1e-5);
    }

    const std::string output = dir.Path("results.csv");
    const TResult csv = RunCliCapturing({"--dir", dir.Dir(), "--file-size", "1M", "--method",
                                         "win32", "--format", "csv", "--output", output});
    ASSERT_EQ(csv.code, 0) << csv.err;
    EXPECT_TRUE(csv.out.empty());
    std::istringstream lines(testing::ReadWholeFile(output));
    std::string header, line;
    std::getline(lines, header);
    EXPECT_EQ(
        header.rfind(
            "pass,chunk,chunk_bytes,block_bytes,file_bytes,duration_s,throughput_kib_per_s", 0),
        0u);
    int count = 0;
    while (std::getline(lines, line)) {
        ++count;
        EXPECT_EQ(std::count(line.begin(), line.end(), ','),
                  std::count(header.begin(), header.end(), ','));
    }
    EXPECT_EQ(count, 22);
    std::filesystem::remove(output);
    EXPECT_TRUE(DirectoryIsEmpty(dir.Dir()));
}

// With the JSON (mmio) and CSV (win32) runs above, each method has run once.
TEST(Cli, ATableRunOfTheFileMethod) {
    TTempDir dir;
    for (const char* method : {"file"}) {
        const TResult result = RunCliCapturing(
            {"--dir", dir.Dir(), "--file-size", "1M", "--method", method, "--read-buffered"});
        ASSERT_EQ(result.code, 0) << method << result.err;
        EXPECT_NE(result.out.find("W: 1M"), std::string::npos);
        EXPECT_NE(result.out.find("R: 1K"), std::string::npos);
        EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 2 * 13 + 1);
        EXPECT_TRUE(DirectoryIsEmpty(dir.Dir()));
    }
}

TEST(Cli, ErrorsAsTheWindowWordsThem) {
    TTempDir dir;
    const std::string existing = dir.Path("mine.tmp");
    testing::WriteWholeFile(existing, "keep");
    TResult result = RunCliCapturing({"--file", existing, "--file-size", "1M"});
    EXPECT_EQ(result.code, 1);
    EXPECT_NE(result.err.find("already exists."), std::string::npos) << result.err;
    EXPECT_EQ(testing::ReadWholeFile(existing), "keep");

    {
        platform::TFaultInjector faults;
        faults.FakeFreeSpace(100ull << 20);
        result = RunCliCapturing({"--dir", dir.Dir()}); // 256M by default
    }
    EXPECT_EQ(result.code, 1);
    // Said in the command line's terms, not the window's.
    EXPECT_NE(result.err.find("only 100.0 MiB free on "), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("too little for a 256M test file; the largest that fits is 64M "
                              "(--file-size 64M)."),
              std::string::npos)
        << result.err;
    EXPECT_EQ(result.err.find("window"), std::string::npos) << result.err;
    {
        platform::TFaultInjector faults;
        faults.FakeFreeSpace(512 * 1024);
        result = RunCliCapturing({"--dir", dir.Dir()});
    }
    EXPECT_EQ(result.code, 1);
    EXPECT_NE(result.err.find("only 512 KiB free on "), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("; the smallest test file is 1M."), std::string::npos) << result.err;
    EXPECT_TRUE(result.out.empty());

    const std::string locked = dir.Path("locked");
    ::mkdir(locked.c_str(), 0555);
    EXPECT_EQ(
        InChild(true,
                [&] {
                    const TResult denied = RunCliCapturing({"--dir", locked, "--file-size", "1M"});
                    return denied.code == 1 &&
                                   denied.err == "orvane-cli: Dateizugriff verweigert.\n"
                               ? 0
                               : 1;
                }),
        0);
    EXPECT_TRUE(DirectoryIsEmpty(locked));
}

TEST(Cli, CtrlCStopsAfterThePassAndASecondEndsAtOnce) {
    TTempDir dir;
    // Once: the run stops at its next message point, reports the rows so far, exits 130.
    std::thread interrupter([] {
        Sleep(700);
        ::kill(::getpid(), SIGINT);
    });
    const TResult once =
        RunCliCapturing({"--dir", dir.Dir(), "--file-size", "1M", "--format", "json"});
    interrupter.join();
    EXPECT_EQ(once.code, 130);
    const nlohmann::json document = nlohmann::json::parse(once.out);
    EXPECT_EQ(document["outcome"], "stopped");
    EXPECT_LT(document["rows"].size(), 22u);
    EXPECT_TRUE(DirectoryIsEmpty(dir.Dir()));

    // SIGTERM: the same, with 143.
    std::thread terminator([] {
        Sleep(300);
        ::kill(::getpid(), SIGTERM);
    });
    EXPECT_EQ(RunCliCapturing({"--dir", dir.Dir(), "--file-size", "1M"}).code, 143);
    terminator.join();

    // Twice, in a child so that its immediate end ends only the child: no file left.
    const pid_t child = ::fork();
    if (child == 0) {
        std::ostringstream out, err;
        ::_exit(RunCli({"--dir", dir.Dir(), "--file-size", "64M", "--block-size", "1"}, out, err,
                       false));
    }
    Sleep(400);
    ::kill(child, SIGINT);
    Sleep(20);
    ::kill(child, SIGINT);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_TRUE(DirectoryIsEmpty(dir.Dir()));
}

} // namespace
} // namespace orvane::cli
