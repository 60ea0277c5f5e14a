// Start-up: the priority requests, process first, each refusal with its own warning, all
// before the window shows; then the window on screen at its fixed size; and a settings file
// that is no regular file, left alone.
#include "app/Startup.h"
#include "app/MainForm.h"
#include "app/SettingsFile.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/PlatformTestSupport.h"

#include <QAction>
#include <QCoreApplication>
#include <QSettings>
#include <QStandardPaths>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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

namespace orvane {
namespace {

// The settings file is looked at before Qt reads it: anything but a regular file (or a link
// to one) is left alone, said once, and the session keeps its settings in memory; a FIFO
// there must not hang the start.
TEST(Startup, ASettingsFileThatIsNoRegularFileIsLeftAlone) {
    // A place of this process's own: nothing planted here may meet another test or another
    // checkout's test run, not even after a kill.
    const QString organization = QCoreApplication::organizationName();
    QCoreApplication::setOrganizationName(QStringLiteral("OrvaneSettingsTest-%1").arg(::getpid()));
    const std::string folder =
        (QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/" +
         QCoreApplication::organizationName())
            .toStdString();
    std::filesystem::create_directories(folder);
    const std::string conf =
        folder + "/" + QCoreApplication::applicationName().toStdString() + ".conf";
    const std::string elsewhere = folder + "/elsewhere.conf";
    testing::WriteWholeFile(elsewhere, "");
    const std::string refused = ", so it is left alone: this session starts with the default "
                                "settings and keeps the ones changed only until it ends.";
    struct Case {
        const char* what;
        std::function<void()> plant;
        std::string warning; // empty: QSettings keeps the settings there
    };
    const Case cases[] = {
        {"a FIFO", [&] { ::mkfifo(conf.c_str(), 0600); },
         "The settings file \"" + conf + "\" is not a regular file" + refused},
        {"a link to a FIFO",
         [&] {
             ::mkfifo((conf + ".fifo").c_str(), 0600);
             ::symlink((conf + ".fifo").c_str(), conf.c_str());
         },
         "The settings file \"" + conf + "\" is a link that leads to no regular file" + refused},
        {"a dangling link", [&] { ::symlink((folder + "/nowhere").c_str(), conf.c_str()); },
         "The settings file \"" + conf + "\" is a link that leads to no regular file" + refused},
        {"a FIFO as its lock file", [&] { ::mkfifo((conf + ".lock").c_str(), 0600); },
         "The settings file \"" + conf + "\" has a lock file that is not a regular file" + refused},
        {"a link to a regular file", [&] { ::symlink(elsewhere.c_str(), conf.c_str()); }, ""},
    };
    const QString key = QStringLiteral("test/value");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const std::string& name : {conf, conf + ".lock", conf + ".fifo"}) {
            std::filesystem::remove(name);
        }
        c.plant();
        struct stat before {};
        ::lstat(conf.c_str(), &before);
        ::alarm(10); // a read of the FIFO would never end
        EXPECT_EQ(CheckSettingsFile(), c.warning);
        // The window reads and writes its settings while it is made.
        TRecordingDialogs dialogs;
        TFakePriorities priorities(true, true);
        const auto form = CreateAndShowMainForm(dialogs, priorities);
        form->KeepHistoryAction()->setChecked(false);
        SetSetting(key, 7);
        EXPECT_EQ(Setting(key, 0).toInt(), 7);
        ::alarm(0);
        struct stat after {};
        ::lstat(conf.c_str(), &after);
        if (c.warning.empty()) {
            EXPECT_EQ(QSettings().value(key, 0).toInt(), 7); // kept in the file
        } else {
            EXPECT_EQ(after.st_mode, before.st_mode) << "what stands there stays as it was";
        }
    }
    std::filesystem::remove_all(folder);
    QCoreApplication::setOrganizationName(organization);
    EXPECT_EQ(CheckSettingsFile(), "");
}

} // namespace
} // namespace orvane
