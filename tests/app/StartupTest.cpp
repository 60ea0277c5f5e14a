// Start-up: the priority requests, process first, each refusal with its own warning, all
// before the window shows; then the window on screen at its fixed size.
#include "app/Startup.h"
#include "app/MainForm.h"
#include "tests/support/FakeDialogs.h"

#include <gtest/gtest.h>

namespace orvane {
namespace {

const std::string ProcessWarning = "Could not set priority class to \"high\".";
const std::string ThreadWarning = "Could not set thread priority to \"above normal\".";

TEST(Startup, EachRefusedPriorityWarnsInOrderBeforeTheWindowShows) {
    struct Case {
        bool processGranted;
        bool threadGranted;
        std::vector<std::string> warnings;
    };
    const Case cases[] = {
        {false, false, {ProcessWarning, ThreadWarning}},
        {false, true, {ProcessWarning}},
        {true, false, {ThreadWarning}},
        {true, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.processGranted << c.threadGranted);
        TRecordingDialogs dialogs;
        TFakePriorities priorities(c.processGranted, c.threadGranted);
        const auto form = CreateAndShowMainForm(dialogs, priorities);

        EXPECT_EQ(priorities.Calls, (std::vector<std::string>{"process", "thread"}));
        ASSERT_EQ(dialogs.Messages.size(), c.warnings.size());
        for (std::size_t i = 0; i < c.warnings.size(); ++i) {
            EXPECT_EQ(dialogs.Messages[i].text, c.warnings[i]);
            EXPECT_EQ(dialogs.Messages[i].kind, TMsgDlgType::mtWarning);
            EXPECT_FALSE(dialogs.Messages[i].mainWindowVisible);
        }
        // A refusal never stops the program: the window comes up all the same.
        EXPECT_TRUE(form->isVisible());
        EXPECT_EQ(form->FileSize(), 268435456);
        EXPECT_EQ(form->size(), QSize(521, 353));
        EXPECT_TRUE(dialogs.Exceptions.empty());
    }
}

} // namespace
} // namespace orvane
