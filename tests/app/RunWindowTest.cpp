// The real window running the benchmark offscreen: a whole run, the gauge it shows between
// the passes, a proposal another run takes, leftovers named after a run, and a run ended by
// closing the window or by SIGTERM, which must stop it, clean up and leave no file.
#include "app/Gauge.h"
#include "app/MainForm.h"
#include "app/StopSignals.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/PlatformTestSupport.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QTimer>
#include <QTreeWidget>
#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace orvane {
namespace {

class RunWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        Dialogs.SaveDialogAnswer = Dir.Path("window.tmp");
        Form.FileSizeTrackBar->setValue(0); // 1M, block size stays 256
        // The phases run without their pauses; the pauses count where a test acts.
        Form.SetPauseFunction([this](unsigned) {
            if (AtPause) {
                AtPause(++Pauses);
            }
        });
        Form.show();
    }

    int Pauses = 0;
    std::function<void(int)> AtPause;

    testing::TTempDir Dir;
    TRecordingDialogs Dialogs;
    TFakePriorities Priorities{true, true};
    TMainForm Form{Dialogs, Priorities};
};

// The one run of the window with its real pauses.
TEST_F(RunWindowTest, AWholeRunLeavesElevenRowsEachAndNoFile) {
    Form.SetPauseFunction(nullptr);
    Form.GoBitBtn->click();
    // The dialog was offered a name of the form yy-mm-dd_hh-nn-ss-zzz.tmp.
    ASSERT_EQ(Dialogs.SaveDialogProposals.size(), 1u);
    const std::string& proposed = Dialogs.SaveDialogProposals.front();
    EXPECT_EQ(proposed.size(), 25u);
    EXPECT_EQ(proposed.substr(8, 1) + proposed.substr(21), "_.tmp");
    EXPECT_EQ(Form.WriteListView->topLevelItemCount(), 11);
    EXPECT_EQ(Form.ReadListView->topLevelItemCount(), 11);
    EXPECT_EQ(Form.WriteListView->topLevelItem(10)->text(0), QStringLiteral("W: 1M"));
    EXPECT_EQ(Form.ReadListView->topLevelItem(0)->text(0), QStringLiteral("R: 1K"));
    EXPECT_EQ(Form.ChunkSizeTrackBar->value(), 10);
    EXPECT_EQ(Form.CurCSStaticText->text(), QStringLiteral("1M"));
    EXPECT_EQ(Form.CurCSStaticText->palette().color(QPalette::Button),
              Form.palette().color(QPalette::Button));
    EXPECT_EQ(Form.Gauge->Progress(), 0);
    EXPECT_EQ(Form.Gauge->MaxValue(), 4096);
    EXPECT_FALSE(testing::Exists(Dialogs.SaveDialogAnswer));
    EXPECT_EQ(Form.windowTitle(),
              QString::fromStdString("Orvane [" + Dialogs.SaveDialogAnswer + "]"));
    // Idle again, with both check boxes enabled although "File" is selected.
    EXPECT_TRUE(Form.GoBitBtn->isEnabled());
    EXPECT_FALSE(Form.StopBitBtn->isEnabled());
    EXPECT_TRUE(Form.WriteBufferedCheckBox->isEnabled());
    EXPECT_TRUE(Form.FileSizeTrackBar->isEnabled());
    EXPECT_TRUE(Dialogs.Exceptions.empty());
    // The finished window, to look at beside the starting one.
    EXPECT_TRUE(
        Form.grab().save(QStringLiteral(ORVANE_SCREENSHOT)
                             .replace(QStringLiteral(".png"), QStringLiteral("-after-run.png"))));
}

// Whether the screen shows the gauge as it is now: the window's pixels where the gauge lies
// against a whole paint of the gauge.
::testing::AssertionResult GaugeOnScreenIsCurrent(TMainForm& form) {
    QScreen* screen = form.screen();
    if (screen == nullptr) {
        return ::testing::AssertionFailure() << "no screen";
    }
    const QPoint at = form.Gauge->mapTo(&form, QPoint(0, 0));
    const QImage shown =
        screen->grabWindow(form.winId(), at.x(), at.y(), form.Gauge->width(), form.Gauge->height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    const QImage whole = form.Gauge->grab().toImage().convertToFormat(QImage::Format_RGB32);
    if (shown != whole) {
        return ::testing::AssertionFailure()
               << "the screen shows an older gauge than " << form.Gauge->PercentDone() << "%";
    }
    return ::testing::AssertionSuccess();
}

TEST_F(RunWindowTest, TheGaugeShownIsCurrentBetweenThePassesAndAfterTheRun) {
    // A clock that stands still: after the run's first repaint, every change of the gauge
    // falls within one frame interval, as in passes far shorter than a frame.
    Form.Gauge->SetClock([] { return TGauge::TClock::time_point{std::chrono::hours(1)}; });
    Form.AccessRadioItem(TAccessMethod::amWin32)->click();
    Form.WriteBufferedCheckBox->setChecked(true);
    Form.ReadBufferedCheckBox->setChecked(true);
    int checked = 0;
    // Each iteration pauses before its write pass, after it, before its read pass and after
    // it: the gauge must show 0% before a pass and 100% after one.
    AtPause = [&](int pause) {
        SCOPED_TRACE(pause);
        const int expected = pause % 2 == 0 ? 100 : 0;
        EXPECT_EQ(Form.Gauge->PercentDone(), expected);
        EXPECT_FALSE(Form.Gauge->RepaintPending());
        EXPECT_TRUE(GaugeOnScreenIsCurrent(Form));
        ++checked;
    };
    Form.GoBitBtn->click();
    EXPECT_EQ(checked, 44);
    EXPECT_EQ(Form.ReadListView->topLevelItemCount(), 11);
    EXPECT_EQ(Form.Gauge->PercentDone(), 0);
    EXPECT_FALSE(Form.Gauge->RepaintPending());
    EXPECT_TRUE(GaugeOnScreenIsCurrent(Form));
}

TEST_F(RunWindowTest, AnErrorIsShownAndTheWindowIsIdleAgain) {
    Dialogs.SaveDialogAnswer = Dir.Path("no-such-directory/x.tmp");
    Form.GoBitBtn->click();
    EXPECT_EQ(Dialogs.Exceptions, std::vector<std::string>{"Ungültiger Dateiname"});
    EXPECT_TRUE(Form.GoBitBtn->isEnabled());
    EXPECT_FALSE(Form.StopBitBtn->isEnabled());
    EXPECT_TRUE(Form.FileSizeTrackBar->isEnabled());
    EXPECT_FALSE(Form.Running());
    EXPECT_EQ(Form.WriteListView->topLevelItemCount(), 0);
}

// The dialog's proposal taken by a run started at the same moment: the dialog proposes
// afresh, and the run measures on the name confirmed then.
TEST_F(RunWindowTest, AProposalTakenMeanwhileIsProposedAfresh) {
    ASSERT_EQ(::chdir(Dir.Dir().c_str()), 0); // where the dialog proposes
    Dialogs.DuringSaveDialog = [this] {
        const std::string proposal = Dialogs.SaveDialogProposals.back();
        if (Dialogs.SaveDialogProposals.size() == 1) {
            testing::WriteWholeFile(proposal, "theirs");
        }
        Dialogs.SaveDialogAnswer = proposal; // confirmed as it stands
    };
    Form.GoBitBtn->click();
    ASSERT_EQ(Dialogs.SaveDialogProposals.size(), 2u);
    const std::string theirs = Dir.Path(Dialogs.SaveDialogProposals[0]);
    EXPECT_EQ(Dialogs.SaveDialogProposals[1].rfind(Dir.Dir() + "/", 0), 0u);
    EXPECT_NE(Dialogs.SaveDialogProposals[1], theirs);
    EXPECT_EQ(testing::ReadWholeFile(theirs), "theirs");
    EXPECT_EQ(Form.ReadListView->topLevelItemCount(), 11);
    EXPECT_TRUE(Dialogs.Messages.empty());
}

// After a run the window names, once, what earlier runs left in its directory: the same
// words as orvane-cli, every name escaped, in a plain-text message.
TEST_F(RunWindowTest, LeftoversOfEarlierRunsAreNamedAsPlainText) {
    const std::string left = Dir.Path("<b>left<br>\x1b[2J.tmp");
    testing::WriteWholeFile(left, std::string(3000, 'x'));
    const std::string mark = "pid=999999999 start=1";
    if (::setxattr(left.c_str(), "user.orvane.test-file", mark.data(), mark.size(), 0) != 0) {
        GTEST_SKIP() << "this file system keeps no extended attributes";
    }
    Form.GoBitBtn->click();
    Form.GoBitBtn->click(); // once per directory
    ASSERT_EQ(Dialogs.Messages.size(), 1u);
    EXPECT_EQ(Dialogs.Messages[0].kind, TMsgDlgType::mtWarning);
    EXPECT_EQ(Dialogs.Messages[0].text,
              "Test files left behind by an earlier run:\r" + Dir.Dir() +
                  "/<b>left<br>\\x1b[2J.tmp (3 KiB, left by process 999999999)\r\"orvane-cli "
                  "--clean " +
                  Dir.Dir() + "\" removes them and nothing else.");
}

TEST_F(RunWindowTest, TheOtherMethodsRunInTheWindowToo) {
    struct Case {
        TAccessMethod method;
        bool ticked;
    };
    for (const Case& c : {Case{TAccessMethod::amMmio, true}, Case{TAccessMethod::amWin32, false}}) {
        SCOPED_TRACE(static_cast<int>(c.method));
        Form.AccessRadioItem(c.method)->click();
        Form.WriteBufferedCheckBox->setChecked(c.ticked);
        Form.ReadBufferedCheckBox->setChecked(c.ticked);
        Form.GoBitBtn->click();
        EXPECT_EQ(Form.WriteListView->topLevelItemCount(), 11);
        EXPECT_EQ(Form.ReadListView->topLevelItemCount(), 11);
        EXPECT_FALSE(testing::Exists(Dialogs.SaveDialogAnswer));
        EXPECT_TRUE(Dialogs.Exceptions.empty());
        EXPECT_TRUE(Form.GoBitBtn->isEnabled());
    }
}

TEST_F(RunWindowTest, ClosingOrSigtermDuringARunStopsAndCleansUp) {
    for (bool bySignal : {false, true}) {
        SCOPED_TRACE(bySignal ? "SIGTERM" : "close");
        TStopSignals stopSignals;
        QObject::connect(&stopSignals, &TStopSignals::Received, &Form,
                         [this] { Form.RequestClose(); });
        Form.show();
        bool sawRunning = false;
        Pauses = 0;
        // In the third iteration's write pass, taken in at the next message point.
        AtPause = [&](int pause) {
            if (pause != 9) {
                return;
            }
            sawRunning = Form.Running();
            if (bySignal) {
                std::raise(SIGTERM);
            } else {
                Form.close();
            }
        };
        Form.GoBitBtn->click();
        EXPECT_TRUE(sawRunning);
        EXPECT_FALSE(Form.isVisible());                        // closed once the run had cleaned up
        EXPECT_EQ(Form.WriteListView->topLevelItemCount(), 2); // the third pass adds none
        EXPECT_FALSE(testing::Exists(Dialogs.SaveDialogAnswer));
        EXPECT_FALSE(Form.Running());
    }
}

TEST_F(RunWindowTest, AStopSignalWhileTheSaveDialogIsOpenQuitsWithoutARun) {
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signalNumber);
        TStopSignals stopSignals;
        QObject::connect(&stopSignals, &TStopSignals::Received, &Form,
                         [this] { Form.RequestClose(); });
        Form.show();
        Dialogs.DuringSaveDialog = [&] {
            std::raise(signalNumber);
            QCoreApplication::processEvents(); // the dialog's own event loop takes it in
        };
        Form.GoBitBtn->click(); // the user then presses "Save"
        EXPECT_FALSE(Form.isVisible());
        EXPECT_FALSE(testing::Exists(Dialogs.SaveDialogAnswer));
        EXPECT_EQ(Form.WriteListView->topLevelItemCount(), 0);
        EXPECT_EQ(Form.windowTitle(), QStringLiteral("Orvane")); // no run began
        EXPECT_TRUE(Form.GoBitBtn->isEnabled());
    }
}

} // namespace
} // namespace orvane
