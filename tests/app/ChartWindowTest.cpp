// The chart window opened from the result lists' menu: the last run, saved results added
// beside it from the history folder, the scale switched, and the chart exported.
#include "app/ChartWindow.h"
#include "app/DesktopLook.h"
#include "app/MainForm.h"
#include "charts/ChartValues.h"
#include "charts/ChartView.h"
#include "results/History.h"
#include "results/Report.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/PlatformTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
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
    EXPECT_NE(testing::ReadWholeFile(Dir.Path("chart.svg")).find("2: file, block 256, file 1M"),
              std::string::npos);
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

// Ten runs on a small screen (the offscreen platform's is 800 x 600): the window opens inside
// it with every button in reach, lists each run with a check box that hides it, and has the
// values as a table; on a dark desktop the chart is dark too.
TEST_F(ChartWindowTest, TenRunsOnASmallScreenListedHiddenAndAsValues) {
    std::vector<std::string> files;
    for (int i = 0; i < 10; ++i) {
        results::TSavedRun run;
        run.Info.Method = i % 2 == 0 ? "file" : "win32";
        run.Info.FileSize = "1M";
        run.Info.BlockSize = "256";
        run.Info.StartTime = "2026-12-08T11:0" + std::to_string(i) + ":00.000+00:00";
        for (const TResultList pass : {TResultList::Write, TResultList::Read}) {
            TResultRow row;
            row.Pass = pass;
            row.ChunkLabel = "64K";
            row.ChunkBytes = 65536;
            row.BlockBytes = 256;
            row.FileBytes = 1048576;
            row.End = row.Start + std::chrono::milliseconds(2 + i);
            run.Rows.push_back(row);
        }
        files.push_back(Dir.Path("run" + std::to_string(i) + ".json"));
        testing::WriteWholeFile(files.back(), results::ReportText(run, results::TFormat::Json));
    }
    const QPalette classic = QApplication::palette();
    QPalette dark = classic;
    dark.setColor(QPalette::Window, QColor(30, 30, 30));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    QApplication::setPalette(dark);
    RememberDesktopLook(*qApp);
    QApplication::setPalette(classic);
    TChartWindow window(Dialogs, nullptr);
    window.AddFiles(files);
    window.show();
    QApplication::processEvents();

    const QRect screen = window.screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(window.frameGeometry())) << "inside an 800 x 600 screen";
    for (const QPushButton* button : window.findChildren<QPushButton*>()) {
        EXPECT_TRUE(
            window.rect().contains(QRect(button->mapTo(&window, QPoint(0, 0)), button->size())))
            << button->text().toStdString();
    }
    ASSERT_EQ(window.RunList()->count(), 10);
    const int series = static_cast<int>(window.View()->chart()->series().size());
    window.RunList()->item(2)->setCheckState(Qt::Unchecked);
    EXPECT_EQ(window.View()->chart()->series().size(), series - 2) << "run 3's two lines";
    EXPECT_EQ(window.Values()->rowCount(), 20);
    EXPECT_LT(window.View()->chart()->backgroundBrush().color().lightness(), 128);
    EXPECT_EQ(window.palette().color(QPalette::Window), QColor(30, 30, 30));
    window.grab().save(
        QString::fromLatin1(ORVANE_SCREENSHOT)
            .replace(QStringLiteral("window.png"), QStringLiteral("chart-window.png")));
    RememberDesktopLook(*qApp); // the light look again for the tests after this one
}

} // namespace
} // namespace orvane
