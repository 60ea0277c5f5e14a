// A matrix from the window: "Matrix..." asks what to measure, runs it through the run's
// machinery with the current cell in the caption and Stop taken in, leaves the main window as
// it was, and shows the result in the chart window's Matrix tab and the history.
#include "app/ChartWindow.h"
#include "app/MainForm.h"
#include "app/MatrixDialog.h"
#include "charts/MatrixView.h"
#include "results/History.h"
#include "results/SavedRun.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/PlatformTestSupport.h"

#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTreeWidget>
#include <filesystem>
#include <gtest/gtest.h>

namespace orvane {
namespace {

class MatrixWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        Dialogs.SaveDialogAnswer = Dir.Path("matrix.tmp");
        TMatrixRequest request;
        request.FileSizePosition = 0; // 1M
        request.BlockPositions = {8}; // 256
        request.Configurations = {0, 4};
        Dialogs.MatrixAnswer = request;
        Form.SetPauseFunction([this](unsigned) {
            if (AtPause) {
                AtPause();
            }
        });
        Form.show();
    }

    // Every widget's place, to see that the matrix leaves the window's layout alone.
    std::vector<QRect> Geometry() const {
        std::vector<QRect> places{Form.geometry()};
        for (const QWidget* child : Form.findChildren<QWidget*>()) {
            if (child->window() == &Form) { // not the chart window it may open
                places.push_back(child->geometry());
            }
        }
        return places;
    }

    std::function<void()> AtPause;
    testing::TTempDir Dir;
    TRecordingDialogs Dialogs;
    TFakePriorities Priorities{true, true};
    TMainForm Form{Dialogs, Priorities};
};

TEST_F(MatrixWindowTest, TheResultOpensInTheMatrixTabAndTheHistory) {
    const std::vector<QRect> before = Geometry();
    std::vector<QString> captions;
    AtPause = [&] { captions.push_back(Form.windowTitle()); };
    Form.MatrixAction()->trigger();

    ASSERT_EQ(Dialogs.MatrixAsked.size(), 1u);
    EXPECT_TRUE(Dialogs.Exceptions.empty());
    EXPECT_EQ(Geometry(), before);
    EXPECT_EQ(Form.WriteListView->topLevelItemCount(), 0); // a run's lists stay as they were
    EXPECT_EQ(Form.FileSizeTrackBar->value(), 0);
    const std::string caption = "Orvane [" + Dialogs.SaveDialogAnswer + "]";
    EXPECT_EQ(Form.windowTitle().toStdString(), caption);
    ASSERT_FALSE(captions.empty());
    EXPECT_TRUE(captions.front().startsWith(QString::fromStdString(caption + " - cell 1 of 12: ")))
        << captions.front().toStdString();
    EXPECT_TRUE(Form.GoBitBtn->isEnabled());
    EXPECT_FALSE(testing::Exists(Dialogs.SaveDialogAnswer));

    ASSERT_NE(Form.Chart(), nullptr);
    EXPECT_TRUE(Form.Chart()->isVisible());
    EXPECT_EQ(Form.Chart()->Tabs()->currentWidget(), Form.Chart()->MatrixView());
    const auto& shown = Form.Chart()->MatrixView()->Matrix();
    ASSERT_TRUE(shown.has_value());
    EXPECT_EQ(shown->Cells.size(), 2u * 2 * 11);
    EXPECT_EQ(shown->Info.Program, "orvane");
    std::size_t kept = 0;
    for (const auto& entry : std::filesystem::directory_iterator(results::HistoryDirectory())) {
        const auto saved = results::LoadSavedResults(entry.path());
        kept += std::holds_alternative<results::TSavedMatrix>(saved) &&
                std::get<results::TSavedMatrix>(saved).Seed == shown->Seed;
    }
    EXPECT_EQ(kept, 1u);
    // The chart window with the matrix, to look at.
    EXPECT_TRUE(Form.Chart()->grab().save(
        QStringLiteral(ORVANE_SCREENSHOT)
            .replace(QStringLiteral(".png"), QStringLiteral("-matrix.png"))));
    // The next matrix starts from this one's choices.
    Dialogs.MatrixAnswer.reset();
    Form.MatrixAction()->trigger();
    ASSERT_EQ(Dialogs.MatrixAsked.size(), 2u);
    EXPECT_EQ(Dialogs.MatrixAsked.back().Configurations, (std::vector<std::size_t>{0, 4}));
}

TEST_F(MatrixWindowTest, StopEndsTheMatrixAndShowsTheCellsDone) {
    int pauses = 0;
    AtPause = [&] {
        if (++pauses == 10) { // in the third cell
            Form.StopBitBtn->click();
        }
    };
    Form.MatrixAction()->trigger();
    ASSERT_NE(Form.Chart(), nullptr);
    const auto& shown = Form.Chart()->MatrixView()->Matrix();
    ASSERT_TRUE(shown.has_value());
    EXPECT_TRUE(shown->Stopped);
    EXPECT_GT(shown->Cells.size(), 0u);
    EXPECT_LT(shown->Cells.size(), 44u);
    EXPECT_FALSE(testing::Exists(Dialogs.SaveDialogAnswer));
    EXPECT_TRUE(Form.GoBitBtn->isEnabled());
}

TEST(MatrixDialog, RunsOnlyWithABlockSizeAndAConfiguration) {
    TMatrixRequest initial;
    initial.Mode.UntilSteady = true;
    TMatrixDialog dialog(initial);
    QPushButton* run = dialog.Buttons->button(QDialogButtonBox::Ok);
    EXPECT_TRUE(run->isEnabled());
    const TMatrixRequest request = dialog.Request();
    EXPECT_EQ(request.BlockPositions, initial.BlockPositions);
    EXPECT_EQ(request.Configurations, initial.Configurations);
    EXPECT_TRUE(request.Mode.UntilSteady);
    for (QCheckBox* box : dialog.ConfigurationBoxes) {
        box->setChecked(false);
    }
    EXPECT_FALSE(run->isEnabled());
    dialog.ConfigurationBoxes[2]->setChecked(true);
    dialog.BlockBoxes[0]->setChecked(false);
    EXPECT_TRUE(run->isEnabled());
    EXPECT_EQ(dialog.Request().Configurations, std::vector<std::size_t>{2});
    EXPECT_EQ(dialog.Request().BlockPositions, (std::vector<std::size_t>{2, 4, 6, 8}));
    // It fits an 800 x 600 screen.
    EXPECT_LE(dialog.sizeHint().width(), 800);
    EXPECT_LE(dialog.sizeHint().height(), 600);
}

} // namespace
} // namespace orvane
