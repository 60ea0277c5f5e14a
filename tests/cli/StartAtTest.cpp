// orvane-cli --start-at on an injected clock and wait: the forms it reads, a start ahead that
// the run waits for with nothing on disk, a start past that begins at once with a warning, a
// stop signal while waiting, and the forms it refuses.
#include "cli/StartAt.h"
#include "cli/CliApp.h"
#include "tests/support/PlatformTestSupport.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>

namespace orvane::cli {
namespace {

using namespace std::chrono;
using testing::TTempDir;

// 2026-12-08T10:20:30Z, the clock of every run here.
const TWallTime Epoch = sys_days(2026y / December / 8) + 10h + 20min + 30s;

TEST(StartAt, TheFormsItReads) {
    struct Case {
        const char* text;
        std::optional<TWallTime> time;
    };
    const Case cases[] = {
        {"2026-12-08T10:20:30Z", Epoch},
        {"2026-12-08t10:20:30z", Epoch},
        {"2026-12-08T11:20:30+01:00", Epoch},
        {"2026-12-08 04:50:30-0530", Epoch},
        {"2026-12-08T12:20:30+02", Epoch},
        {"2026-12-08T10:20Z", Epoch - 30s},
        {"2026-12-08T10:20:30.25Z", Epoch + 250ms},
        {"1796725230", Epoch},
        {"2026-12-08T10:20:30", std::nullopt}, // no offset: whose 10:20?
        {"2026-02-29T10:20:30Z", std::nullopt},
        {"2026-12-08T24:00:00Z", std::nullopt},
        {"2026-12-08T10:20:60Z", std::nullopt},
        {"2026-12-08T10:20:30+01:60", std::nullopt},
        {"tomorrow", std::nullopt},
        {"-5", std::nullopt},
        {"1.5e9", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseStartAt(c.text), c.time) << c.text;
    }
}

struct TResult {
    int code;
    std::string out, err;
};

// A run of 1M in `dir` on the fake clock, starting at `start`; `wait` advances the clock.
TResult RunAt(const TTempDir& dir, const std::string& start, TWallTime& clock,
              std::function<void(milliseconds)> wait) {
    TRunHooks hooks;
    hooks.Pause = [](unsigned) {};
    hooks.Now = [&clock] { return clock; };
    hooks.Wait = std::move(wait);
    std::ostringstream out, err;
    const int code = RunCli({"--dir", dir.Dir(), "--file-size", "1M", "--format", "json",
                             "--no-history", "--start-at", start},
                            out, err, false, hooks);
    return {code, out.str(), err.str()};
}

TEST(StartAt, TheFirstPassWaitsForAStartAheadWithNothingOnDisk) {
    TTempDir dir;
    TWallTime clock = Epoch;
    milliseconds waited{0};
    bool emptyWhileWaiting = true;
    const TResult result = RunAt(dir, "2026-12-08T11:22:00+01:00", clock, [&](milliseconds step) {
        EXPECT_LE(step, 1s);
        emptyWhileWaiting = emptyWhileWaiting && std::filesystem::is_empty(dir.Dir());
        waited += step;
        clock += step;
    });
    EXPECT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(waited, 90s);
    EXPECT_TRUE(emptyWhileWaiting);
    EXPECT_TRUE(result.err.empty()) << result.err;
    EXPECT_EQ(nlohmann::json::parse(result.out)["rows"].size(), 22u);
}

TEST(StartAt, AStartPastBeginsAtOnceWithAWarning) {
    TTempDir dir;
    TWallTime clock = Epoch;
    int waits = 0;
    const TResult result = RunAt(dir, "1796725220", clock, [&](milliseconds) { ++waits; });
    EXPECT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(waits, 0);
    EXPECT_EQ(result.err,
              "orvane-cli: warning: --start-at 1796725220 was 10 s ago; the run starts at once.\n");
    EXPECT_EQ(nlohmann::json::parse(result.out)["rows"].size(), 22u);
}

TEST(StartAt, AStopSignalWhileWaitingEndsTheRunWithNothingLeft) {
    TTempDir dir;
    TWallTime clock = Epoch;
    int waits = 0;
    const TResult result = RunAt(dir, "2026-12-08T10:25:00Z", clock, [&](milliseconds step) {
        clock += step;
        if (++waits == 3) {
            ::raise(SIGTERM);
        }
    });
    EXPECT_EQ(result.code, 128 + SIGTERM);
    EXPECT_EQ(waits, 3);
    const nlohmann::json document = nlohmann::json::parse(result.out);
    EXPECT_EQ(document["outcome"], "stopped");
    EXPECT_TRUE(document["rows"].empty());
    EXPECT_TRUE(std::filesystem::is_empty(dir.Dir()));
}

TEST(StartAt, UnreadableFormsOrMoreThanAWeekAheadAreUsageErrors) {
    const std::string forms = std::string(StartAtForms);
    struct Case {
        const char* start;
        std::string message;
    };
    const Case cases[] = {
        {"2026-12-08T10:20:30", "--start-at: expected " + forms + ", not 2026-12-08T10:20:30\n"},
        {"in a minute", "--start-at: expected " + forms + ", not in a minute\n"},
        {"2026-12-15T10:20:31Z", "--start-at: 2026-12-15T10:20:31Z is more than 7 days ahead; "
                                 "expected " +
                                     forms + " within 7 days\n"},
    };
    for (const Case& c : cases) {
        TTempDir dir;
        TWallTime clock = Epoch;
        const TResult result = RunAt(dir, c.start, clock, [](milliseconds) {});
        EXPECT_EQ(result.code, 2) << c.start;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_TRUE(std::filesystem::is_empty(dir.Dir()));
    }
    // A week ahead to the second is still a start.
    TTempDir dir;
    TWallTime clock = Epoch;
    milliseconds waited{0};
    EXPECT_EQ(RunAt(dir, "2026-12-15T10:20:30Z", clock,
                    [&](milliseconds step) {
                        waited += step;
                        clock += step;
                    })
                  .code,
              0);
    EXPECT_EQ(waited, hours(7 * 24));
}

} // namespace
} // namespace orvane::cli
