// orvane-cli in-process: options and exit codes, the three formats, a run of each method,
// errors as the window words them, leftovers and --clean, names another run takes, and
// Ctrl-C (once: stop and report; twice: end now).
#include "bench/Clock.h"
#include "bench/TestFile.h"
#include "cli/CliApp.h"
#include "cli/CliOptions.h"
#include "orvane/Version.h"
#include "platform/OsCalls.h"
#include "platform/Win32.h"
#include "results/Cells.h"
#include "results/Report.h"
#include "results/SafeWrite.h"
#include "tests/support/PlatformTestSupport.h"

#include <csignal>
#include <gtest/gtest.h>
#include <linux/magic.h>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <sys/mount.h>
#include <sys/vfs.h>
#include <sys/xattr.h>

namespace orvane::cli {
namespace {

// The runs of these tests keep their history in a scratch folder, never the user's.
testing::TTempDir& HistoryHome() {
    static testing::TTempDir home;
    return home;
}
const bool HistoryInScratch = [] {
    return ::setenv("XDG_DATA_HOME", HistoryHome().Dir().c_str(), 1) == 0;
}();

using testing::Exists;
using testing::InChild;
using testing::TTempDir;

struct TResult {
    int code;
    std::string out;
    std::string err;
};

// The pauses between phases are skipped: the tests run the same phases without waiting.
TResult RunCliCapturing(const std::vector<std::string>& arguments, TRunHooks hooks = {}) {
    if (!hooks.Pause) {
        hooks.Pause = [](unsigned) {};
    }
    std::ostringstream out, err;
    const int code = RunCli(arguments, out, err, false, hooks);
    return {code, out.str(), err.str()};
}

bool DirectoryIsEmpty(const std::string& dir) {
    return std::filesystem::is_empty(dir);
}

TEST(Cli, OptionsAndTheirExitCodes) {
    struct Case {
        std::vector<std::string> arguments;
        int code;
        std::string expected; // in stdout for 0, in stderr otherwise
    };
    const Case cases[] = {
        {{"--help"}, 0, "--write-buffered"},
        {{"--version"}, 0, std::string("orvane-cli ") + OrvaneVersion + "\n"},
        {{"--method", "fat"}, 2, "Usage: orvane-cli"},
        {{"--file-size", "3M"}, 2, "3M not in"},
        {{"--block-size", "512"}, 2, "Usage:"},
        {{"--format", "xml"}, 2, "Usage:"},
        {{"--dir", "/tmp", "--file", "/tmp/x.tmp"}, 2, "excludes"},
        {{"extra"}, 2, "Usage:"},
        {{"--help"}, 0, "--repeat N"},
        {{"--help"}, 0, "--ceiling"},
        {{"--repeat", "0"}, 2, "Usage:"},
        {{"--repeat", "x"}, 2, "Usage:"},
        {{"--repeat"}, 2, "Usage:"},
        // What was typed comes back with its control codes escaped.
        {{"--file-size", "\x1b]0;x\a"}, 2, "--file-size: \\x1b]0;x\\x07 not in"},
        {{"--repeat", "\x1b[2J"}, 2, "not \\x1b[2J\n"},
        {{"--method", "file", "\x1b[2J"}, 2, "not expected: \\x1b[2J\n"},
        // A test directory that isn't one is said at once, before any waiting or writing.
        {{"--dir", "/nonexistent/dir"},
         1,
         "can't go into /nonexistent/dir: No such file or directory"},
        {{"--dir", "/etc/hostname"}, 1, "can't go into /etc/hostname: Not a directory"},
    };
    for (const Case& c : cases) {
        const TResult result = RunCliCapturing(c.arguments);
        EXPECT_EQ(result.code, c.code) << c.arguments.front();
        EXPECT_NE((c.code == 0 ? result.out : result.err).find(c.expected), std::string::npos)
            << c.arguments.front() << ": " << result.out << result.err;
    }
}

TEST(Cli, RepeatsAFixedCountOrUntilSteadyWithinBounds) {
    struct Case {
        std::vector<std::string> arguments;
        int code;
        std::string message; // for a usage error: in it
        int repeats = 1;
        bool untilSteady = false;
        int maxRepeats = 9;
        double targetPercent = 5;
    };
    const Case cases[] = {
        {{}, 0, ""},
        {{"--repeat", "7"}, 0, "", 7},
        {{"--repeat", "auto"}, 0, "", 1, true},
        {{"--repeat", "auto", "--max-repeats", "20", "--target", "2.5"}, 0, "", 1, true, 20, 2.5},
        {{"--target", "10%", "--repeat", "auto"}, 0, "", 1, true, 9, 10},
        {{"--repeat", "1001"}, 2, "--repeat: expected N from 1 to 1000 or auto, not 1001"},
        {{"--repeat", "Auto"}, 2, "N from 1 to 1000 or auto"},
        {{"--repeat", "auto", "--max-repeats", "2"}, 2, "--max-repeats: expected N from 3 to 1000"},
        {{"--repeat", "auto", "--target", "0"}, 2, "a percentage above 0 and at most 100"},
        {{"--repeat", "auto", "--target", "101"}, 2, "a percentage above 0 and at most 100"},
        {{"--repeat", "auto", "--target", "nan"}, 2, "a percentage above 0 and at most 100"},
        // Bounds of a steadiness that no fixed count looks for.
        {{"--target", "5"}, 2, "--target: applies only with --repeat auto"},
        {{"--repeat", "3", "--max-repeats", "5"}, 2, "--max-repeats: applies only with --repeat"},
    };
    for (const Case& c : cases) {
        std::string line;
        for (const std::string& argument : c.arguments) {
            line += argument + " ";
        }
        SCOPED_TRACE(line);
        const TParseResult parsed = ParseOptions(c.arguments);
        EXPECT_EQ(parsed.ExitCode, c.code);
        if (c.code != 0) {
            EXPECT_FALSE(parsed.Options.has_value());
            EXPECT_NE(parsed.Message.find(c.message), std::string::npos) << parsed.Message;
            EXPECT_NE(parsed.Message.find("[--repeat N|auto [--max-repeats N] [--target P]]"),
                      std::string::npos);
            continue;
        }
        ASSERT_TRUE(parsed.Options.has_value()) << parsed.Message;
        const TMeasuringMode& mode = parsed.Options->Mode;
        EXPECT_EQ(mode.Repeats, c.repeats);
        EXPECT_EQ(mode.UntilSteady, c.untilSteady);
        EXPECT_EQ(mode.MaxRepeats, c.maxRepeats);
        EXPECT_EQ(mode.TargetPercent, c.targetPercent);
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
              std::string("2026-12-08T03:28:52.123+00:00").size());
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
    const std::string text = testing::ReadWholeFile(output);
    EXPECT_EQ(
        text.rfind("pass,chunk,chunk_bytes,block_bytes,file_bytes,duration_s,throughput_kib_per_s",
                   0),
        0u);
    // Every record as wide as the header, though fields such as the mount options hold commas.
    const auto records = results::ParseCsv(text);
    ASSERT_EQ(records.size(), 23u);
    for (const auto& record : records) {
        EXPECT_EQ(record.size(), records[0].size());
    }
    std::filesystem::remove(output);
    EXPECT_TRUE(DirectoryIsEmpty(dir.Dir()));
}

// With the JSON (mmio) and CSV (win32) runs above, each method has run once. This one
// keeps the real pauses between the phases.
TEST(Cli, TheModesAndWhatEveryRowProves) {
    TTempDir dir;
    const TResult json =
        RunCliCapturing({"--dir", dir.Dir(), "--file-size", "1M", "--method", "win32", "--durable",
                         "--cold", "--repeat", "2", "--format", "json"});
    ASSERT_EQ(json.code, 0) << json.err;
    const nlohmann::json document = nlohmann::json::parse(json.out);
    EXPECT_EQ(document["durable"], true);
    EXPECT_EQ(document["cold"], true);
    EXPECT_EQ(document["repeat"], 2);
    ASSERT_EQ(document["rows"].size(), 22u);
    for (const nlohmann::json& row : document["rows"]) {
        SCOPED_TRACE(row.dump());
        // A number on a disk, null where there is none; never missing.
        ASSERT_TRUE(row.contains("device_bytes"));
        EXPECT_TRUE(row["device_bytes"].is_number_unsigned() || row["device_bytes"].is_null());
        EXPECT_EQ(row["cached_bytes_at_start"].is_null(), row["pass"] == "write");
        for (const char* key : {"cpu_user_s", "cpu_sys_s"}) {
            EXPECT_TRUE(row[key].is_number()) << key;
        }
        for (const char* key : {"voluntary_switches", "involuntary_switches"}) {
            EXPECT_TRUE(row[key].is_number_unsigned()) << key;
        }
        ASSERT_EQ(row["duration_samples_s"].size(), 2u);
        const double first = row["duration_samples_s"][0], second = row["duration_samples_s"][1];
        EXPECT_DOUBLE_EQ(row["duration_min_s"].get<double>(), std::min(first, second));
        EXPECT_DOUBLE_EQ(row["duration_max_s"].get<double>(), std::max(first, second));
        EXPECT_NEAR(row["duration_s"].get<double>(), (first + second) / 2, 1e-9);
    }

    // The default run: one sample each, and the header says so.
    const TResult csv =
        RunCliCapturing({"--dir", dir.Dir(), "--file-size", "1M", "--format", "csv"});
    ASSERT_EQ(csv.code, 0) << csv.err;
    std::istringstream lines(csv.out);
    std::string header, firstRow;
    std::getline(lines, header);
    std::getline(lines, firstRow);
    const auto field = [&header](const std::string& line, const std::string& name) {
        std::vector<std::string> names, values;
        std::string cell;
        for (std::istringstream in(header); std::getline(in, cell, ',');) {
            names.push_back(cell);
        }
        for (std::istringstream in(line); std::getline(in, cell, ',');) {
            values.push_back(cell);
        }
        const auto at = std::find(names.begin(), names.end(), name) - names.begin();
        return static_cast<std::size_t>(at) < values.size() ? values[static_cast<std::size_t>(at)]
                                                            : std::string("<missing>");
    };
    EXPECT_EQ(field(firstRow, "pass"), "write");
    EXPECT_EQ(field(firstRow, "durable"), "false");
    EXPECT_EQ(field(firstRow, "cold"), "false");
    EXPECT_EQ(field(firstRow, "repeat"), "1");
    EXPECT_EQ(field(firstRow, "cached_bytes_at_start"), ""); // null: an empty field
    EXPECT_EQ(field(firstRow, "duration_samples_s"), field(firstRow, "duration_s"));
    EXPECT_EQ(field(firstRow, "duration_min_s"), field(firstRow, "duration_s"));
    EXPECT_NE(field(firstRow, "cpu_sys_s"), "");
    EXPECT_TRUE(DirectoryIsEmpty(dir.Dir()));
}

TEST(Cli, ATableRunOfTheFileMethod) {
    TTempDir dir;
    for (const char* method : {"file"}) {
        std::ostringstream out, err;
        const int code =
            RunCli({"--dir", dir.Dir(), "--file-size", "1M", "--method", method, "--read-buffered"},
                   out, err, false);
        const TResult result{code, out.str(), err.str()};
        ASSERT_EQ(result.code, 0) << method << result.err;
        EXPECT_NE(result.out.find("W: 1M"), std::string::npos);
        EXPECT_NE(result.out.find("R: 1K"), std::string::npos);
        // What reached the device, in a column of its own.
        EXPECT_NE(result.out.find("Throughput (KB/s)               Device\n"), std::string::npos);
        EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 2 * 13 + 1);
        EXPECT_TRUE(DirectoryIsEmpty(dir.Dir()));
    }
}

TEST(Cli, TheCeilingStandsAboveTheTable) {
    TTempDir disk;
    std::string memory = "/dev/shm/orvane-cli-XXXXXX";
    struct statfs info {};
    const bool tmpfs = ::statfs("/dev/shm", &info) == 0 && info.f_type == TMPFS_MAGIC &&
                       ::mkdtemp(memory.data()) != nullptr;
    struct Case {
        const char* what;
        std::string dir;
        std::string pattern; // the first lines, up to the table's
    };
    const Case cases[] = {
        {"a disk", disk.Dir(),
         "Ceiling \\(direct I/O in 1 MiB transfers, aligned to [0-9]+ bytes (as statx tells|by "
         "the device's logical block size)\\): write [0-9]+\\.[0-9] MiB/s, read "
         "[0-9]+\\.[0-9] MiB/s\n\nWrite\n"},
        {"tmpfs", tmpfs ? memory : "",
         "Ceiling: not measured: tmpfs keeps its files in memory: there is no device under it "
         "whose ceiling direct I/O could measure\n\nWrite\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.dir.empty()) {
            continue; // no tmpfs here
        }
        const TResult result =
            RunCliCapturing({"--dir", c.dir, "--file-size", "1M", "--ceiling", "--no-history"});
        ASSERT_EQ(result.code, 0) << result.err;
        const std::size_t table = result.out.find("Write\n") + 6;
        EXPECT_TRUE(std::regex_match(result.out.substr(0, table), std::regex(c.pattern)))
            << result.out.substr(0, table);
        EXPECT_NE(result.out.find("R: 1M"), std::string::npos);
        // In JSON the ceiling, or why there is none, and each durable or cold row's share.
        const TResult json =
            RunCliCapturing({"--dir", c.dir, "--file-size", "1M", "--ceiling", "--durable",
                             "--cold", "--format", "json", "--no-history"});
        ASSERT_EQ(json.code, 0) << json.err;
        const nlohmann::json document = nlohmann::json::parse(json.out);
        const bool measured = document["ceiling"]["write_kib_per_s"].is_number();
        EXPECT_EQ(measured, c.what == std::string("a disk"));
        EXPECT_EQ(document["ceiling_note"].get<std::string>().empty(), measured);
        for (const auto& row : document["rows"]) {
            EXPECT_EQ(row["ceiling_share"].is_number(), measured);
        }
        EXPECT_TRUE(DirectoryIsEmpty(c.dir));
    }
    if (tmpfs) {
        std::filesystem::remove_all(memory);
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

TEST(Cli, AStopSignalStopsAfterThePassAndASecondEndsAtOnce) {
    struct Case {
        int signalNumber;
        int code;
    };
    for (const Case c :
         {Case{SIGINT, 130}, Case{SIGTERM, 143}, Case{SIGHUP, 129}, Case{SIGQUIT, 131}}) {
        SCOPED_TRACE(c.signalNumber);
        TTempDir dir;
        // Once, at a message point during the third iteration: the run stops there,
        // reports the rows so far and exits with 128 + signal.
        int points = 0;
        TRunHooks hooks;
        hooks.AtMessagePoint = [&] {
            if (++points == 50) {
                ::raise(c.signalNumber);
            }
        };
        const TResult once =
            RunCliCapturing({"--dir", dir.Dir(), "--file-size", "1M", "--format", "json"}, hooks);
        EXPECT_EQ(once.code, c.code);
        const nlohmann::json document = nlohmann::json::parse(once.out);
        EXPECT_EQ(document["outcome"], "stopped");
        EXPECT_GT(document["rows"].size(), 0u);
        EXPECT_LT(document["rows"].size(), 22u);
        EXPECT_TRUE(DirectoryIsEmpty(dir.Dir()));

        // Twice, in a child so that its immediate end ends only the child: no file left.
        const int status = InChild(false, [&] {
            TRunHooks twice;
            twice.Pause = [](unsigned) {};
            twice.AtMessagePoint = [&] {
                if (DirectoryIsEmpty(dir.Dir())) {
                    return; // strike once the test file exists
                }
                ::raise(c.signalNumber);
                ::raise(c.signalNumber);
            };
            std::ostringstream out, err;
            return RunCli({"--dir", dir.Dir(), "--file-size", "1M"}, out, err, false, twice);
        });
        EXPECT_EQ(status, c.code);
        EXPECT_TRUE(DirectoryIsEmpty(dir.Dir()));
    }
}

} // namespace
} // namespace orvane::cli

namespace orvane::cli {
namespace {

TEST(CliSafety, InputEdgeCases) {
    TTempDir dir;
    struct Case {
        std::vector<std::string> arguments;
        int code;
        const char* expected; // in stderr
    };
    const std::string longName = dir.Path(std::string(300, 'n') + ".tmp");
    const Case cases[] = {
        {{"--dir", ""}, 2, "an empty directory name names no directory"},
        {{"--clean", ""}, 2, "an empty directory name names no directory"},
        // Listed as typed, first first.
        {{"first", "second", "third"}, 2, "not expected: first second third"},
        // A name the system can't look up is not "already exists".
        {{"--file", longName, "--file-size", "1M"}, 1, "\" can't be used as the test file: "},
        {{"--file", dir.Path("t.tmp"), "--output", dir.Path("t.tmp")},
         2,
         "--output names the test file itself"},
        {{"--file", dir.Path("t.tmp"), "--output", dir.Dir() + "/./t.tmp"},
         2,
         "--output names the test file itself"},
        {{"--dir", dir.Dir(), "--output", dir.Dir()}, 1, "it is a directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.front() + " " + c.arguments.back());
        const TResult result = RunCliCapturing(c.arguments);
        EXPECT_EQ(result.code, c.code);
        EXPECT_NE(result.err.find(c.expected), std::string::npos) << result.err;
        EXPECT_EQ(result.err.find("already exists"), std::string::npos) << result.err;
    }
    EXPECT_TRUE(DirectoryIsEmpty(dir.Dir()));
}

TEST(CliSafety, ResultsAreNeverLostSilently) {
    TTempDir dir;
    // A device that is full: the run's rows can't be kept, and the exit code says so.
    TResult full =
        RunCliCapturing({"--dir", dir.Dir(), "--file-size", "1M", "--output", "/dev/full"});
    EXPECT_EQ(full.code, 1);
    EXPECT_NE(full.err.find("the results could not be written to /dev/full: "), std::string::npos)
        << full.err;

    // Standard output that fails (closed, or on a full disk).
    std::ostringstream err;
    std::ostream broken(nullptr);
    TRunHooks noPauses;
    noPauses.Pause = [](unsigned) {};
    EXPECT_EQ(RunCli({"--dir", dir.Dir(), "--file-size", "1M"}, broken, err, false, noPauses), 1);
    EXPECT_NE(err.str().find("could not be written to standard output"), std::string::npos);

    // A run that fails leaves earlier results in --output as they were.
    const std::string output = dir.Path("results.json");
    testing::WriteWholeFile(output, "earlier results");
    const std::string taken = dir.Path("taken.tmp");
    testing::WriteWholeFile(taken, "the user's");
    EXPECT_EQ(RunCliCapturing({"--file", taken, "--output", output}).code, 1);
    EXPECT_EQ(testing::ReadWholeFile(output), "earlier results");

    // A complete run replaces them whole, keeping the file's permissions.
    ::chmod(output.c_str(), 0640);
    ASSERT_EQ(RunCliCapturing(
                  {"--dir", dir.Dir(), "--file-size", "1M", "--format", "json", "--output", output})
                  .code,
              0);
    EXPECT_EQ(nlohmann::json::parse(testing::ReadWholeFile(output))["rows"].size(), 22u);
    struct stat info {};
    ::stat(output.c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    std::filesystem::remove(output);
    std::filesystem::remove(taken);
    EXPECT_TRUE(DirectoryIsEmpty(dir.Dir())) << "no temporary file is left";

    // A relative --output is the directory the program started in, not the test's one.
    TTempDir start;
    const std::string before = results::CurrentDirectory();
    ASSERT_EQ(::chdir(start.Dir().c_str()), 0);
    const TResult relative = RunCliCapturing(
        {"--dir", dir.Dir(), "--file-size", "1M", "--format", "csv", "--output", "r.csv"});
    ASSERT_EQ(::chdir(before.c_str()), 0);
    EXPECT_EQ(relative.code, 0) << relative.err;
    EXPECT_TRUE(testing::Exists(start.Path("r.csv")));
    EXPECT_TRUE(DirectoryIsEmpty(dir.Dir())) << "nothing in the test directory";
}

// A durable or cold run on a file system that keeps files in memory says after its results
// that its figures are not the device's, and its JSON records why.
TEST(CliSafety, AModeThatCantKeepItsPromiseSaysSo) {
    struct statfs info {};
    if (::statfs("/dev/shm", &info) != 0 || info.f_type != TMPFS_MAGIC) {
        GTEST_SKIP() << "no tmpfs at /dev/shm";
    }
    std::string memory = "/dev/shm/orvane-cli-XXXXXX";
    ASSERT_NE(::mkdtemp(memory.data()), nullptr);
    const TResult result = RunCliCapturing(
        {"--dir", memory, "--file-size", "1M", "--cold", "--format", "json", "--no-history"});
    std::filesystem::remove_all(memory);
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_NE(result.err.find("orvane-cli: warning: cold reads were not cold: "), std::string::npos)
        << result.err;
    const nlohmann::json document = nlohmann::json::parse(result.out);
    EXPECT_EQ(document["mode_honoured"], false);
    EXPECT_NE(document["mode_note"].get<std::string>().find("tmpfs"), std::string::npos);
}

TEST(CliSafety, JsonStaysValidForAPathThatIsNotUtf8) {
    TTempDir dir;
    const std::string odd = dir.Path("caf\xe9");
    ASSERT_EQ(::mkdir(odd.c_str(), 0755), 0);
    const TResult result = RunCliCapturing({"--dir", odd, "--file-size", "1M", "--format", "json"});
    ASSERT_EQ(result.code, 0) << result.err;
    const nlohmann::json document = nlohmann::json::parse(result.out);
    const std::string hex = document["test_file_bytes_hex"].get<std::string>();
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    EXPECT_EQ(bytes.rfind(odd + "/", 0), 0u);
    EXPECT_EQ(document["rows"].size(), 22u);
}

TEST(CliSafety, LeftoversAreNamedAndCleanRemovesOnlyMarkedFiles) {
    TTempDir dir;
    // A name that would retitle a terminal: it is shown escaped.
    const std::string killed = dir.Path("killed\x1b]0;owned\a.tmp");
    const std::string shown = dir.Dir() + "/killed\\x1b]0;owned\\x07.tmp";
    testing::WriteWholeFile(killed, std::string(3000, '\0'));
    // Marked as a test file of a process that no longer runs.
    const std::string mark = "pid=999999999 start=1";
    if (::setxattr(killed.c_str(), "user.orvane.test-file", mark.data(), mark.size(), 0) != 0) {
        GTEST_SKIP() << "this file system keeps no extended attributes";
    }
    testing::WriteWholeFile(dir.Path("users.tmp"), "keep");
    ASSERT_EQ(::symlink(killed.c_str(), dir.Path("link.tmp").c_str()), 0);

    const TResult run = RunCliCapturing({"--dir", dir.Dir(), "--file-size", "1M"});
    EXPECT_EQ(run.code, 0);
    EXPECT_NE(run.err.find("orvane-cli: Test files left behind by an earlier run:\n  " + shown +
                           " (3 KiB, left by process 999999999)\norvane-cli: \"orvane-cli "
                           "--clean " +
                           dir.Dir() + "\" removes them and nothing else.\n"),
              std::string::npos)
        << run.err;

    const TResult clean = RunCliCapturing({"--clean", dir.Dir()});
    EXPECT_EQ(clean.code, 0);
    EXPECT_EQ(clean.out, "removed " + shown + " (3 KiB)\n");
    EXPECT_FALSE(Exists(killed));
    EXPECT_EQ(testing::ReadWholeFile(dir.Path("users.tmp")), "keep");
    EXPECT_TRUE(std::filesystem::is_symlink(dir.Path("link.tmp")));
    EXPECT_EQ(RunCliCapturing({"--clean", dir.Dir()}).out,
              "no test files left by Orvane in " + dir.Dir() + "\n");
}

// A directory --clean can't read is never reported clean: the system's reason, exit 1.
TEST(CliSafety, CleanSaysWhyItCanNotSearchADirectory) {
    TTempDir dir;
    testing::WriteWholeFile(dir.Path("file"), "");
    const std::string closed = dir.Path("closed");
    ::mkdir(closed.c_str(), 0700); // root's: the unprivileged child can't list it
    struct Case {
        std::string directory;
        bool asNobody;
        const char* reason;
    };
    const Case cases[] = {
        {dir.Path("missing"), false, "No such file or directory"},
        {dir.Path("file"), false, "Not a directory"},
        {closed, true, "Permission denied"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.directory);
        const std::string expected =
            "orvane-cli: " + c.directory + " can't be searched for test files: " + c.reason + "\n";
        EXPECT_EQ(InChild(c.asNobody,
                          [&] {
                              const TResult result = RunCliCapturing({"--clean", c.directory});
                              return result.code == 1 && result.out.empty() &&
                                             result.err == expected
                                         ? 0
                                         : 1;
                          }),
                  0);
    }
}

// A run that fails after some rows: the rows before the error are printed, the error goes
// to stderr, and the exit code says that the run failed.
TEST(CliSafety, ARunThatFailsAfterItsFirstRowsExitsWithOne) {
    TTempDir dir;
    platform::TFaultInjector faults;
    bool armed = false;
    TRunHooks hooks;
    hooks.AtMessagePoint = [&] {
        // Past the first write pass (4096 blocks of 256 bytes): its row is made.
        if (!armed && faults.Count(platform::TOsCall::Write) > 4096) {
            armed = true;
            faults.FailNth(platform::TOsCall::Read, 1, EIO);
        }
    };
    const TResult result =
        RunCliCapturing({"--dir", dir.Dir(), "--file-size", "1M", "--no-history"}, hooks);
    EXPECT_TRUE(armed);
    EXPECT_EQ(result.code, 1);
    EXPECT_NE(result.out.find("\nW: 1K "), std::string::npos) << result.out;
    EXPECT_EQ(result.out.find("\nR: 1K "), std::string::npos) << result.out;
    EXPECT_NE(result.err.find("orvane-cli: The read pass with chunk size 1K failed: "),
              std::string::npos)
        << result.err;
    EXPECT_TRUE(DirectoryIsEmpty(dir.Dir()));
}

// Another run takes the name orvane-cli proposed in --dir before this run makes its file:
// the run moves on to the next free name, and reports the name it measured on.
TEST(CliSafety, AProposedNameTakenMeanwhileIsReplacedByTheNextFreeOne) {
    TTempDir dir;
    const double before = Now();
    std::vector<std::string> taken;
    TRunHooks hooks;
    hooks.AtMessagePoint = [&] {
        if (!taken.empty()) {
            return;
        }
        // Every name proposed since the run began, as a run started at the same moment takes
        // its own.
        constexpr double Millisecond = 1.0 / 86400000.0;
        for (double t = before - Millisecond; t <= Now() + Millisecond; t += Millisecond / 2) {
            const std::string name = dir.Path(DefaultTestFileName(t));
            if (!Exists(name)) {
                testing::WriteWholeFile(name, "theirs");
                taken.push_back(name);
            }
        }
    };
    const TResult result = RunCliCapturing(
        {"--dir", dir.Dir(), "--file-size", "1M", "--no-history", "--format", "json"}, hooks);
    ASSERT_EQ(result.code, 0) << result.err;
    const std::string used = nlohmann::json::parse(result.out)["test_file"];
    EXPECT_EQ(DirectoryOf(used), dir.Dir());
    EXPECT_EQ(std::find(taken.begin(), taken.end(), used), taken.end());
    for (const std::string& name : taken) {
        EXPECT_EQ(testing::ReadWholeFile(name), "theirs");
    }
    EXPECT_FALSE(Exists(used));
}

TEST(CliSafety, TheFileSystemIsFoundThroughLinksAndEscapedMountPoints) {
    TTempDir dir;
    const std::string link = dir.Path("via-link");
    ASSERT_EQ(::symlink(dir.Dir().c_str(), link.c_str()), 0);
    EXPECT_FALSE(results::DescribeRun(results::TRunSettings{}, link).FileSystem.empty());

    const std::string spaced = dir.Path("with space");
    ::mkdir(spaced.c_str(), 0755);
    if (::mount("orvane-test", spaced.c_str(), "tmpfs", 0, "size=4m") != 0) {
        GTEST_SKIP() << "no tmpfs can be mounted here (needs root)";
    }
    const results::TRunInfo info = results::DescribeRun(results::TRunSettings{}, spaced);
    EXPECT_EQ(info.MountPoint, spaced);
    EXPECT_EQ(info.FileSystem, "tmpfs");
    EXPECT_EQ(::umount(spaced.c_str()), 0);
}

TEST(CliSafety, TheMessagesSpeakOfTheCommandLine) {
    TTempDir dir;
    struct Case {
        const char* what;
        std::function<void(platform::TFaultInjector&)> plan;
        std::vector<std::string> arguments;
        const char* expected;
    };
    const Case cases[] = {
        {"the seek before the extension's byte failing",
         [](platform::TFaultInjector& f) { f.FailNth(platform::TOsCall::Lseek, 1, EIO, true); },
         {"--file-size", "1M", "--method", "mmio"},
         "orvane-cli: The preparation with chunk size 1K could not extend the test file to "
         "1048577 bytes.\n"},
        // The first error ends in its full stop before what failed after it.
        {"a full disk under buffered mmio",
         [](platform::TFaultInjector& f) { f.FailNth(platform::TOsCall::Write, 3, ENOSPC, true); },
         {"--file-size", "1M", "--method", "mmio", "--write-buffered"},
         " bytes: Auf dem Datenträger ist nicht genügend Speicherplatz vorhanden "
         "(112)\nAfterwards: "
         "Could not write buffer to disk.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> arguments = c.arguments;
        arguments.insert(arguments.end(), {"--dir", dir.Dir()});
        TResult result;
        {
            platform::TFaultInjector faults;
            c.plan(faults);
            result = RunCliCapturing(arguments);
        }
        EXPECT_EQ(result.code, 1);
        EXPECT_NE(result.err.find(c.expected), std::string::npos) << result.err;
        EXPECT_TRUE(DirectoryIsEmpty(dir.Dir()));
    }
}

} // namespace
} // namespace orvane::cli

namespace orvane::cli {
namespace {

// Points the history at `home` for one test, and back at the scratch folder afterwards.
class TDataHome {
public:
    explicit TDataHome(const std::string& home) : FOld(std::getenv("XDG_DATA_HOME")) {
        ::setenv("XDG_DATA_HOME", home.c_str(), 1);
    }
    ~TDataHome() { ::setenv("XDG_DATA_HOME", FOld.c_str(), 1); }

private:
    std::string FOld;
};

TEST(CliHistory, EveryRunIsKeptPrivatelyUnlessTurnedOffAndAFailureIsOnlyAWarning) {
    TTempDir dir, home;
    const TDataHome data(home.Dir());
    const std::string runs = home.Path("orvane/runs");

    ASSERT_EQ(RunCliCapturing({"--dir", dir.Dir(), "--file-size", "1M", "--method", "win32"}).code,
              0);
    std::vector<std::filesystem::path> kept;
    for (const auto& entry : std::filesystem::directory_iterator(runs)) {
        kept.push_back(entry.path());
    }
    ASSERT_EQ(kept.size(), 1u);
    const std::string name = kept[0].filename().string();
    EXPECT_NE(name.find("_win32_1M_b256.json"), std::string::npos) << name;
    const nlohmann::json document = nlohmann::json::parse(testing::ReadWholeFile(kept[0]));
    EXPECT_EQ(document["rows"].size(), 22u);
    EXPECT_EQ(document["method"], "win32");
    struct stat info {};
    ::stat(runs.c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    ::stat(kept[0].c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    // Turned off: nothing more is kept.
    ASSERT_EQ(RunCliCapturing({"--dir", dir.Dir(), "--file-size", "1M", "--no-history"}).code, 0);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(runs),
                            std::filesystem::directory_iterator()),
              1);

    // A history that can't be written: the run still counts, with a warning.
    testing::WriteWholeFile(home.Path("not-a-folder"), "");
    const TDataHome blocked(home.Path("not-a-folder"));
    const TResult warned = RunCliCapturing({"--dir", dir.Dir(), "--file-size", "1M"});
    EXPECT_EQ(warned.code, 0);
    EXPECT_NE(warned.err.find("warning: the run is not kept in the history: "), std::string::npos)
        << warned.err;
    EXPECT_FALSE(warned.out.empty());
}

} // namespace
} // namespace orvane::cli

namespace orvane::cli {
namespace {

// A row whose pass the process was stopped in says so under it in the table; the others
// stand alone.
TEST(CliTable, ARowAStopInterruptedSaysSoUnderIt) {
    struct Case {
        std::optional<double> stopped;
        std::string note; // the line under the row; empty: none
    };
    const Case cases[] = {
        {0.0, ""},
        {0.01, "  interrupted: the process was stopped for less than 0.1 s\n"},
        {2.04, "  interrupted: the process was stopped for 2.0 s\n"},
    };
    for (const Case& c : cases) {
        TResultRow row;
        row.ChunkLabel = "1K";
        row.FileBytes = 1048576;
        row.End = row.Start + std::chrono::milliseconds(3600);
        row.Proof.StoppedSeconds = c.stopped;
        results::TSavedRun run;
        run.Rows = {row, row};
        const std::string text = results::ReportText(run, results::TFormat::Table);
        const std::size_t first = text.find("W: 1K");
        const std::size_t line = text.find('\n', first) + 1;
        const std::size_t second = text.find("W: 1K", line);
        ASSERT_NE(second, std::string::npos) << text;
        EXPECT_EQ(text.substr(line, second - line), c.note) << text;
    }
}

} // namespace
} // namespace orvane::cli
