// The result lists' context menu: the measuring mode and the repeats, remembered between
// starts, opened by a right click or the context-menu key (not during a run), and the
// captions that tell which mode the rows shown were measured in.
#include "app/MeasuringMenu.h"
#include "app/MainForm.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/PlatformTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace orvane {
namespace {

class MeasuringMenuTest : public ::testing::Test {
protected:
    void SetUp() override { QSettings().clear(); }
    void TearDown() override { QSettings().clear(); }

    TRecordingDialogs Dialogs;
    TFakePriorities Priorities{true, true};
};

TEST_F(MeasuringMenuTest, ANewUserGetsThePlainRunAndAChoiceIsRemembered) {
    {
        TMainForm form{Dialogs, Priorities};
        TMeasuringMenu& menu = *form.Measuring();
        EXPECT_TRUE(menu.Standard->isChecked());
        EXPECT_FALSE(menu.Durable->isChecked());
        EXPECT_FALSE(menu.Cold->isChecked());
        EXPECT_TRUE(menu.Repeats[0]->isChecked());
        const TMeasuringMode plain = form.MeasuringMode();
        EXPECT_FALSE(plain.Durable || plain.Cold);
        EXPECT_EQ(plain.Repeats, 1);

        menu.Durable->trigger();
        menu.Cold->trigger();
        menu.Repeats[1]->trigger();
        EXPECT_FALSE(menu.Standard->isChecked());
        const TMeasuringMode chosen = form.MeasuringMode();
        EXPECT_TRUE(chosen.Durable && chosen.Cold);
        EXPECT_EQ(chosen.Repeats, 3);
    }
    // The next start: the same choice.
    TMainForm again{Dialogs, Priorities};
    const TMeasuringMode kept = again.MeasuringMode();
    EXPECT_TRUE(kept.Durable && kept.Cold);
    EXPECT_EQ(kept.Repeats, 3);
    // The standard run clears both modes and keeps the repeats.
    again.Measuring()->Standard->trigger();
    EXPECT_FALSE(again.MeasuringMode().Durable || again.MeasuringMode().Cold);
    EXPECT_EQ(again.MeasuringMode().Repeats, 3);
    EXPECT_TRUE(again.Measuring()->Standard->isChecked());
    // Every item has a name a screen reader can read.
    for (QAction* action : again.Measuring()->Menu()->actions()) {
        EXPECT_TRUE(action->isSeparator() || !action->text().isEmpty());
    }
    EXPECT_EQ(again.Measuring()->Menu()->accessibleName(), QStringLiteral("Measuring mode"));

    // Until steady is one of the repeats, and is remembered as one.
    again.Measuring()->UntilSteady->trigger();
    EXPECT_FALSE(again.Measuring()->Repeats[1]->isChecked());
    TMainForm third{Dialogs, Priorities};
    EXPECT_TRUE(third.Measuring()->UntilSteady->isChecked());
    for (QAction* count : third.Measuring()->Repeats) {
        EXPECT_FALSE(count->isChecked());
    }
    const TMeasuringMode steady = third.MeasuringMode();
    EXPECT_TRUE(steady.UntilSteady);
    EXPECT_EQ(steady.MaxRepeats, 9);
    EXPECT_EQ(steady.TargetPercent, 5);
    third.Measuring()->Repeats[0]->trigger();
    EXPECT_FALSE(third.MeasuringMode().UntilSteady);
}

TEST_F(MeasuringMenuTest, ARightClickOrTheMenuKeyOpensItOnBothLists) {
    TMainForm form{Dialogs, Priorities};
    form.show();
    struct Case {
        QTreeWidget* list;
        QContextMenuEvent::Reason reason;
    };
    for (const Case& c : {Case{form.WriteListView, QContextMenuEvent::Mouse},
                          Case{form.ReadListView, QContextMenuEvent::Keyboard}}) {
        QWidget* opened = nullptr;
        QTimer::singleShot(0, [&] {
            opened = QApplication::activePopupWidget();
            if (opened != nullptr) {
                opened->close();
            }
        });
        const QPoint at(10, 10);
        QContextMenuEvent event(c.reason, at, c.list->viewport()->mapToGlobal(at));
        QApplication::sendEvent(c.list->viewport(), &event);
        EXPECT_EQ(opened, form.Measuring()->Menu()) << c.list->accessibleName().toStdString();
    }
}

TEST_F(MeasuringMenuTest, TheCaptionsSayHowTheRowsShownWereMeasured) {
    testing::TTempDir dir;
    Dialogs.SaveDialogAnswer = dir.Path("modes.tmp");
    TMainForm form{Dialogs, Priorities};
    form.SetPauseFunction([](unsigned) {});
    form.FileSizeTrackBar->setValue(0); // 1M
    form.show();
    form.Measuring()->Durable->trigger();
    form.Measuring()->Cold->trigger();
    form.GoBitBtn->click();
    EXPECT_TRUE(Dialogs.Exceptions.empty());
    EXPECT_EQ(form.WriteListView->topLevelItemCount(), 11);
    EXPECT_EQ(form.WListLabel->text(), QStringLiteral("Write (durable)"));
    EXPECT_EQ(form.RListLabel->text(), QStringLiteral("Read (cold)"));
    EXPECT_GE(form.WListLabel->width(), form.WListLabel->sizeHint().width());

    // Changing the menu after the run leaves the captions with the rows they describe.
    form.Measuring()->Standard->trigger();
    EXPECT_EQ(form.WListLabel->text(), QStringLiteral("Write (durable)"));
    form.Measuring()->Repeats[1]->trigger();
    EXPECT_EQ(TMeasuringMenu::WriteNote(form.MeasuringMode()), QStringLiteral(" (median of 3)"));

    // Until steady, with both modes: the longest captions, each within its list's width.
    form.Measuring()->Durable->trigger();
    form.Measuring()->Cold->trigger();
    form.Measuring()->UntilSteady->trigger();
    form.GoBitBtn->click();
    EXPECT_TRUE(Dialogs.Exceptions.empty());
    EXPECT_EQ(form.WListLabel->text(), QStringLiteral("Write (durable, median until steady)"));
    EXPECT_EQ(form.RListLabel->text(), QStringLiteral("Read (cold, median until steady)"));
    for (const auto& [label, list] : {std::pair{form.WListLabel, form.WriteListView},
                                      std::pair{form.RListLabel, form.ReadListView}}) {
        EXPECT_GE(label->width(), label->sizeHint().width());
        EXPECT_LE(label->geometry().right(), list->geometry().right());
    }
    EXPECT_EQ(form.ReadListView->topLevelItemCount(), 11);

    form.Measuring()->Standard->trigger();
    form.Measuring()->Repeats[0]->trigger();
    // The plain run: the captions and their boxes as the window always had them.
    form.GoBitBtn->click();
    EXPECT_EQ(form.WListLabel->text(), QStringLiteral("Write"));
    EXPECT_EQ(form.RListLabel->text(), QStringLiteral("Read"));
    EXPECT_EQ(form.WListLabel->geometry(), QRect(8, 8, 25, 13));
    EXPECT_EQ(form.RListLabel->geometry(), QRect(264, 8, 26, 13));
}

TEST_F(MeasuringMenuTest, TheLastRunsRowsAreCopiedSavedAndKept) {
    testing::TTempDir dir, home;
    const std::string oldHome = std::getenv("XDG_DATA_HOME");
    ::setenv("XDG_DATA_HOME", home.Dir().c_str(), 1);
    Dialogs.SaveDialogAnswer = dir.Path("rows.tmp");
    TMainForm form{Dialogs, Priorities};
    form.SetPauseFunction([](unsigned) {});
    form.FileSizeTrackBar->setValue(0);
    form.show();
    EXPECT_FALSE(form.CopyResultsAction()->isEnabled()); // nothing to copy yet
    form.GoBitBtn->click();
    ASSERT_TRUE(form.CopyResultsAction()->isEnabled());

    // Copied: a header line and the 22 rows, tab-separated.
    form.CopyResultsAction()->trigger();
    const QStringList lines =
        QGuiApplication::clipboard()->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 23);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("pass\tchunk\tchunk_bytes")));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("write\t1K\t1024\t256\t1048576\t")));

    // Saved as the command line writes them, CSV or JSON as the dialog chose (a name of
    // its own kind, or the file type picked for one without).
    Dialogs.ResultsFileAnswer = {dir.Path("results"), true};
    form.SaveResultsAction()->trigger();
    const nlohmann::json saved = nlohmann::json::parse(testing::ReadWholeFile(dir.Path("results")));
    EXPECT_EQ(saved["rows"].size(), 22u);
    EXPECT_EQ(saved["method"], "file");
    EXPECT_EQ(saved["outcome"], "completed");
    Dialogs.ResultsFileAnswer = {dir.Path("results.csv"), false};
    form.SaveResultsAction()->trigger();
    const std::string csv = testing::ReadWholeFile(dir.Path("results.csv"));
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 23);
    EXPECT_EQ(csv.rfind("pass,chunk,", 0), 0u);

    // Kept in the history, unless that is turned off.
    const auto kept = [&] {
        std::error_code ignored;
        return std::distance(std::filesystem::directory_iterator(home.Path("orvane/runs"), ignored),
                             std::filesystem::directory_iterator());
    };
    EXPECT_EQ(kept(), 1);
    form.KeepHistoryAction()->setChecked(false);
    form.GoBitBtn->click();
    EXPECT_EQ(kept(), 1);
    EXPECT_FALSE(QSettings().value(QStringLiteral("history/keep")).toBool());
    ::setenv("XDG_DATA_HOME", oldHome.c_str(), 1);
}

} // namespace
} // namespace orvane
