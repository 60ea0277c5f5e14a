// The chart window opened from the result lists' menu: the last run, saved results added
// beside it from the history folder, the scale switched, and the chart exported.
#include "app/ChartWindow.h"
#include "app/MainForm.h"
#include "charts/ChartView.h"
#include "results/History.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/PlatformTestSupport.h"

#include <QAction>
#include <QCheckBox>
#include <QImage>
#include <QPushButton>
#include <QSlider>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace orvane {
namespace {

class ChartWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        Dialogs.SaveDialogAnswer = Dir.Path("chart.tmp");
        Form.SetPauseFunction([](unsigned) {});
        Form.FileSizeTrackBar->setValue(0); // 1M
        Form.show();
    }

    testing::TTempDir Dir;
    TRecordingDialogs Dialogs;
    TFakePriorities Priorities{true, true};
    TMainForm Form{Dialogs, Priorities};
};

TEST_F(ChartWindowTest, TheLastRunWithSavedResultsAddedScaledAndExported) {
    // Before any run the chart opens empty, for saved results alone.
    ASSERT_TRUE(Form.ChartAction()->isEnabled());
    Form.ChartAction()->trigger();
    TChartWindow* chart = Form.Chart();
    ASSERT_NE(chart, nullptr);
    EXPECT_TRUE(chart->isVisible());
    EXPECT_TRUE(chart->View()->Runs().empty());

    // A run, saved as JSON; the open chart follows it.
    Form.GoBitBtn->click();
    ASSERT_EQ(chart->View()->Runs().size(), 1u);
    EXPECT_EQ(chart->View()->Runs()[0].Rows.size(), 22u);
    EXPECT_EQ(chart->View()->Runs()[0].Info.Program, "orvane");
    Dialogs.ResultsFileAnswer = {Dir.Path("first.json"), true};
    Form.SaveResultsAction()->trigger();

    // The window's own run is drawn once, however it comes back: its saved copy or its
    // history file. A damaged file is named.
    testing::WriteWholeFile(Dir.Path("damaged.json"), "{\"program\":\"orvane\"}");
    const std::string history = results::HistoryDirectory() + "/" +
                                results::HistoryFileName(chart->View()->Runs()[0].Info) + ".json";
    Dialogs.AddAnswer = {Dir.Path("first.json"), Dir.Path("damaged.json"), history};
    chart->AddButton->click();
    ASSERT_EQ(Dialogs.AddDialogDirectories.size(), 1u);
    EXPECT_EQ(Dialogs.AddDialogDirectories[0], results::HistoryDirectory());
    EXPECT_EQ(chart->View()->Runs().size(), 1u);
    ASSERT_EQ(Dialogs.Messages.size(), 1u);
    EXPECT_NE(Dialogs.Messages[0].text.find(Dir.Path("damaged.json") +
                                            ": the field \"method\" is missing"),
              std::string::npos)
        << Dialogs.Messages[0].text;

    // A second run replaces the first one's series; the first, added now, stays beside it,
    // once however often chosen.
    Form.GoBitBtn->click();
    Dialogs.AddAnswer = {Dir.Path("first.json"), Dir.Path("first.json"), history};
    chart->AddButton->click();
    ASSERT_EQ(chart->View()->Runs().size(), 2u);
    EXPECT_TRUE(chart->View()->Runs()[0].File.empty()); // the window's own
    EXPECT_EQ(chart->View()->Runs()[1].File, Dir.Path("first.json"));
    EXPECT_EQ(chart->View()->chart()->series().size(), 4);

    chart->LogScaleBox->click();
    EXPECT_TRUE(chart->View()->LogThroughput());

    // Exported by the name's extension; another extension is refused with a message.
    Dialogs.ChartFileAnswer = Dir.Path("chart.svg");
    chart->ExportButton->click();
    EXPECT_NE(testing::ReadWholeFile(Dir.Path("chart.svg")).find("run 2 read"), std::string::npos);
    Dialogs.ChartFileAnswer = Dir.Path("chart.png");
    chart->ExportButton->click();
    EXPECT_FALSE(QImage(QString::fromStdString(Dir.Path("chart.png"))).isNull());
    Dialogs.ChartFileAnswer = Dir.Path("chart.txt");
    chart->ExportButton->click();
    EXPECT_FALSE(testing::Exists(Dir.Path("chart.txt")));
    ASSERT_EQ(Dialogs.Messages.size(), 2u) << Dialogs.Messages.back().text;
    EXPECT_NE(Dialogs.Messages[1].text.find("as .png or .svg"), std::string::npos);
    // A folder that can't be written: a message, and nothing else changes.
    ::mkdir(Dir.Path("locked").c_str(), 0500);
    Dialogs.ChartFileAnswer = Dir.Path("locked/chart.png");
    chart->ExportButton->click();
    if (::geteuid() != 0) {
        ASSERT_EQ(Dialogs.Messages.size(), 3u);
        EXPECT_NE(Dialogs.Messages[2].text.find("could not be saved to"), std::string::npos);
    }

    chart->RemoveButton->click();
    EXPECT_EQ(chart->View()->Runs().size(), 1u);
    EXPECT_FALSE(chart->RemoveButton->isEnabled());
    Dialogs.AddAnswer.clear(); // cancelled
    chart->AddButton->click();
    EXPECT_EQ(chart->View()->Runs().size(), 1u);
}

} // namespace
} // namespace orvane
