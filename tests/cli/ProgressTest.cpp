// The progress line: the pass counter, the time so far, the estimate of the time left, at
// most ten redraws a second, and nothing left on the terminal afterwards.
#include "cli/Progress.h"
#include "cli/CliApp.h"
#include "tests/support/PlatformTestSupport.h"

#include <gtest/gtest.h>
#include <regex>
#include <sstream>

namespace orvane::cli {
namespace {

using std::chrono::milliseconds;

TEST(Progress, CountsPassesAndEstimatesTheTimeLeft) {
    TPassClock::time_point now{};
    std::ostringstream out;
    TProgressLine line(out, [&] { return now; });
    line.Start(4);
    line.PassBegins("1K", "write");
    EXPECT_EQ(out.str(), "\r\033[Kpass 1 of 4: 1K write 0%, 0:00 so far");

    // Within a tenth of a second nothing is redrawn; after it, the newest state is.
    now += milliseconds(50);
    line.Percent(40);
    EXPECT_EQ(out.str().size(),
              std::string("\r\033[Kpass 1 of 4: 1K write 0%, 0:00 so far").size());
    now += milliseconds(60);
    line.Percent(90);
    EXPECT_NE(out.str().find("1K write 90%"), std::string::npos);

    // One pass took 2 s: three are left, about 6 s.
    now = TPassClock::time_point{} + milliseconds(2000);
    line.PassBegins("1K", "read");
    EXPECT_EQ(line.Text(), "pass 2 of 4: 1K read 0%, 0:02 so far, about 0:06 left");
    now += milliseconds(1000);
    line.Percent(50); // 1.5 passes in 3 s: 2.5 passes left, 5 s
    EXPECT_EQ(line.Text(), "pass 2 of 4: 1K read 50%, 0:03 so far, about 0:05 left");

    line.Clear();
    EXPECT_EQ(out.str().substr(out.str().size() - 4), "\r\033[K");

    // Until steady, the count is the most the run can take, and so is the estimate.
    now = TPassClock::time_point{};
    line.Start(4, true);
    line.PassBegins("1K", "write");
    now += milliseconds(2000);
    line.PassBegins("1K", "read");
    EXPECT_EQ(line.Text(), "pass 2 of at most 4: 1K read 0%, 0:02 so far, at most about 0:06 left");
}

TEST(Progress, AMatrixCountsCellsEachWithItsTwoPasses) {
    TPassClock::time_point now{};
    std::ostringstream out;
    TProgressLine line(out, [&] { return now; });
    line.StartCells(4, true);
    line.CellBegins("file, 1-byte blocks, any chunk size");
    line.PhaseBegins("write");
    now += milliseconds(1000);
    line.PhaseBegins("read");
    // Half a cell in 1 s: three and a half left, about 7 s.
    EXPECT_EQ(line.Text(), "cell 1 of at most 4: file, 1-byte blocks, any chunk size read 0%, "
                           "0:01 so far");
    line.CellBegins("win32-buffered, 16-byte blocks, chunk 64K");
    line.PhaseBegins("write");
    now += milliseconds(1000);
    line.Percent(50); // a cell and a quarter in 2 s: 2.75 left, 4.4 s
    EXPECT_EQ(line.Text(), "cell 2 of at most 4: win32-buffered, 16-byte blocks, chunk 64K write "
                           "50%, 0:02 so far, at most about 0:04 left");
}

TEST(Progress, ClockTexts) {
    EXPECT_EQ(FormatClock(0), "0:00");
    EXPECT_EQ(FormatClock(59.6), "1:00");
    EXPECT_EQ(FormatClock(3725), "1:02:05");
}

TEST(Progress, ARunShowsItOnlyWhenAskedAndClearsItAfterwards) {
    testing::TTempDir dir;
    TRunHooks hooks;
    hooks.Pause = [](unsigned) {};
    for (bool progress : {false, true}) {
        std::ostringstream out, err;
        ASSERT_EQ(RunCli({"--dir", dir.Dir(), "--file-size", "1M", "--repeat", "2"}, out, err,
                         progress, hooks),
                  0)
            << err.str();
        const std::string text = err.str();
        if (!progress) {
            EXPECT_EQ(text.find("pass "), std::string::npos);
            continue;
        }
        // 22 passes, each twice; the line is redrawn in place and removed at the end.
        EXPECT_NE(text.find("pass 1 of 44: 1K write"), std::string::npos) << text;
        EXPECT_EQ(text.find('\n'), std::string::npos);
        EXPECT_EQ(text.substr(text.size() - 4), "\r\033[K");
        int last = 0;
        const std::regex counter("pass ([0-9]+) of 44");
        for (auto it = std::sregex_iterator(text.begin(), text.end(), counter);
             it != std::sregex_iterator(); ++it) {
            const int pass = std::stoi((*it)[1]);
            EXPECT_GE(pass, last);
            last = pass;
        }
        EXPECT_GE(last, 1);
    }
    // Until steady: 22 passes, each at most nine times.
    std::ostringstream out, err;
    ASSERT_EQ(RunCli({"--dir", dir.Dir(), "--file-size", "1M", "--repeat", "auto"}, out, err, true,
                     hooks),
              0)
        << err.str();
    EXPECT_NE(err.str().find("pass 1 of at most 198: 1K write"), std::string::npos) << err.str();
}

} // namespace
} // namespace orvane::cli
