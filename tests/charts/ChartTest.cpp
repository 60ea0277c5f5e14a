// The throughput chart: its series, bands and labels for saved runs, the row under the mouse,
// and the chart drawn offscreen to PNG and SVG.
#include "charts/ChartFile.h"
#include "charts/ChartView.h"
#include "charts/ThroughputChart.h"

#include <QAreaSeries>
#include <QBuffer>
#include <QCategoryAxis>
#include <QChart>
#include <QCoreApplication>
#include <QImage>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QMouseEvent>
#include <QValueAxis>
#include <QXmlStreamReader>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>

namespace orvane::charts {
namespace {

using results::TSavedRun;

// A row of a 1 MiB pass at `kibPerSecond` (0: too fast to measure); with `repeats`, three
// of them, the slowest at half the speed and the fastest at twice it.
TResultRow Row(const std::string& pass, const std::string& chunk, std::uint32_t bytes,
               double kibPerSecond, bool repeats = false) {
    TResultRow row;
    row.Pass = pass == "write" ? TResultList::Write : TResultList::Read;
    row.ChunkLabel = chunk;
    row.ChunkBytes = bytes;
    row.FileBytes = 1048576;
    const double seconds = kibPerSecond > 0 ? 1024.0 / kibPerSecond : 0;
    row.End = row.Start + std::chrono::nanoseconds(std::llround(seconds * 1e9));
    if (repeats) {
        row.DurationSamples = {seconds, seconds * 2, seconds / 2};
    }
    return row;
}

// Three chunk sizes each way; the second run had repeats and one row too fast to measure.
std::vector<TSavedRun> TwoRuns() {
    TSavedRun first;
    first.Info.Method = "win32";
    first.Info.FileSize = "1M";
    first.Info.BlockSize = "256";
    first.Info.WriteBuffered = true;
    first.Info.ReadBuffered = true;
    first.Info.StartTime = "2026-12-08T10:20:31+01:00";
    first.Rows = {Row("write", "1K", 1024, 102400), Row("write", "2K", 2048, 204800),
                  Row("write", "4K", 4096, 409600), Row("read", "1K", 1024, 51200),
                  Row("read", "2K", 2048, 102400),  Row("read", "4K", 4096, 204800)};
    TSavedRun second;
    second.Info.Method = "file";
    second.Info.FileSize = "2M";
    second.Info.BlockSize = "1";
    second.Info.WriteBuffered = true; // saved ticked, but File has no buffer
    second.Info.Mode.Durable = true;
    second.Info.Mode.Repeats = 3;
    second.Info.StartTime = "2026-12-08T11:00:00+01:00";
    second.Rows = {Row("write", "4K", 4096, 2048, true), Row("write", "1K", 1024, 1024, true),
                   Row("read", "1K", 1024, 0, true), Row("read", "2K", 2048, 4096, true)};
    return {first, second};
}

template <typename Series> std::vector<Series*> SeriesOf(QChart& chart) {
    std::vector<Series*> found;
    for (QAbstractSeries* series : chart.series()) {
        if (auto* typed = qobject_cast<Series*>(series)) {
            found.push_back(typed);
        }
    }
    return found;
}

TEST(ThroughputChart, ASeriesPerRunAndPassWithBandsWhereThereWereRepeats) {
    const std::unique_ptr<QChart> chart(MakeThroughputChart(TwoRuns(), {}));
    const auto lines = SeriesOf<QLineSeries>(*chart);
    ASSERT_EQ(lines.size(), 4u);
    // Each series is named by its run's method, buffers, block size, file size, mode and start.
    EXPECT_EQ(lines[0]->name(), QStringLiteral("win32 buffered W+R, block 256, file 1M, "
                                               "2026-12-08 10:20:31: write"));
    EXPECT_EQ(lines[3]->name(), QStringLiteral("file, block 1, file 2M, durable, median of 3, "
                                               "2026-12-08 11:00:00: read"));
    // In chunk order, in MiB/s, and the row that could not be measured is left out.
    ASSERT_EQ(lines[2]->count(), 2);
    EXPECT_DOUBLE_EQ(lines[2]->at(0).x(), 10);
    EXPECT_DOUBLE_EQ(lines[2]->at(0).y(), 1);
    EXPECT_DOUBLE_EQ(lines[2]->at(1).x(), 12);
    EXPECT_DOUBLE_EQ(lines[2]->at(1).y(), 2);
    EXPECT_EQ(lines[3]->count(), 1);
    // Write solid, read dashed, one colour per run.
    EXPECT_EQ(lines[0]->pen().style(), Qt::SolidLine);
    EXPECT_EQ(lines[1]->pen().style(), Qt::DashLine);
    EXPECT_EQ(lines[0]->pen().color(), lines[1]->pen().color());
    EXPECT_NE(lines[0]->pen().color(), lines[2]->pen().color());

    // The second run's repeats as bands from the slowest to the fastest.
    const auto bands = SeriesOf<QAreaSeries>(*chart);
    ASSERT_EQ(bands.size(), 3u); // the second run's two, and the legend's entry
    EXPECT_DOUBLE_EQ(bands[0]->lowerSeries()->at(1).y(), 1);
    EXPECT_DOUBLE_EQ(bands[0]->upperSeries()->at(1).y(), 4);
    // The legend, as drawn: one entry per run, what it was, and one that says what a band is.
    TChartView view;
    view.SetRuns(TwoRuns());
    view.show();
    QStringList legend;
    for (QAbstractSeries* series : view.chart()->series()) {
        for (QLegendMarker* marker : view.chart()->legend()->markers(series)) {
            if (marker->isVisible()) {
                legend << marker->label();
            }
        }
    }
    EXPECT_EQ(legend.join(QLatin1Char('|')).toStdString(),
              "1: win32 buffered W+R, block 256, file 1M, 2026-12-08 10:20:31|"
              "2: file, block 1, file 2M, durable, median of 3, 2026-12-08 11:00:00|"
              "band: slowest to fastest repeat");
    // The title is one line, whatever the number of runs.
    EXPECT_FALSE(chart->title().contains(QStringLiteral("<br>")));

    // The chunk sizes by their labels, on a log2 scale; the throughput linear from zero.
    auto* chunks = qobject_cast<QCategoryAxis*>(chart->axes(Qt::Horizontal).value(0));
    ASSERT_NE(chunks, nullptr);
    EXPECT_EQ(chunks->categoriesLabels().join(QLatin1Char('|')).toStdString(), "1K|2K|4K");
    const auto* linear = qobject_cast<QValueAxis*>(chart->axes(Qt::Vertical).value(0));
    ASSERT_NE(linear, nullptr);
    EXPECT_EQ(linear->min(), 0);
    EXPECT_GE(linear->max(), 400); // the fastest row

    // Logarithmic: 1, 2 and 5 of every decade from below the slowest repeat (0.5) to above the
    // fastest (800), the points at log10 of their MiB/s.
    TChartOptions logarithmic;
    logarithmic.LogThroughput = true;
    const std::unique_ptr<QChart> logChart(MakeThroughputChart(TwoRuns(), logarithmic));
    auto* log = qobject_cast<QCategoryAxis*>(logChart->axes(Qt::Vertical).value(0));
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(log->categoriesLabels().join(QLatin1Char(' ')).toStdString(),
              "0.1 0.2 0.5 1 2 5 10 20 50 100 200 500 1000");
    EXPECT_DOUBLE_EQ(SeriesOf<QLineSeries>(*logChart)[0]->at(0).y(), 2); // 100 MiB/s

    // A run hidden is left out, its colour kept by the others.
    TChartOptions hidden;
    hidden.Hidden = {true, false};
    const std::unique_ptr<QChart> second(MakeThroughputChart(TwoRuns(), hidden));
    ASSERT_EQ(SeriesOf<QLineSeries>(*second).size(), 2u);
    EXPECT_EQ(SeriesOf<QLineSeries>(*second)[0]->pen().color(), lines[2]->pen().color());
}

TEST(ThroughputChart, NoRunsGiveTheAxesARunWillFillAndSaySo) {
    const std::unique_ptr<QChart> chart(MakeThroughputChart({}, {}));
    for (const QLineSeries* line : SeriesOf<QLineSeries>(*chart)) {
        EXPECT_EQ(line->count(), 0);
    }
    EXPECT_TRUE(chart->title().contains(QStringLiteral("No runs yet")));
    auto* chunks = qobject_cast<QCategoryAxis*>(chart->axes(Qt::Horizontal).value(0));
    ASSERT_NE(chunks, nullptr);
    EXPECT_EQ(chunks->categoriesLabels().join(QLatin1Char('|')).toStdString(),
              "1K|2K|4K|8K|16K|32K|64K|128K|256K|512K|1M");
    const auto* throughput = qobject_cast<QValueAxis*>(chart->axes(Qt::Vertical).value(0));
    ASSERT_NE(throughput, nullptr);
    EXPECT_EQ(throughput->max(), 100); // labels 0 to 100, not 0, 1, 1, 2
}

// Text from a saved run is drawn as the text it is: markup in it is never read (an <img>
// would be opened and drawn), and every SVG written is well-formed XML.
TEST(ChartFile, TextFromAFileIsPlainAndTheSvgIsWellFormed) {
    std::vector<TSavedRun> hostile = TwoRuns();
    hostile[0].Info.StartTime = "<img src=\"/dev/zero\"> & \x01<b>";
    const struct {
        const char* name;
        std::vector<TSavedRun> runs;
    } cases[] = {{"two runs", TwoRuns()}, {"hostile", hostile}, {"empty", {}}};
    for (const auto& c : cases) {
        const std::unique_ptr<QChart> chart(MakeThroughputChart(c.runs, {}));
        EXPECT_FALSE(chart->title().contains(QStringLiteral("<img"))) << c.name;
        const QByteArray svg = RenderChart(*chart, TChartFormat::Svg);
        QXmlStreamReader xml(svg);
        while (!xml.atEnd()) {
            xml.readNext();
        }
        EXPECT_FALSE(xml.hasError()) << c.name << ": " << xml.errorString().toStdString();
    }
}

// The point nearest the mouse, within 10 pixels, shows its run and row; nothing further.
TEST(ChartView, ThePointNearTheMouseShowsItsRunAndRow) {
    TChartView view;
    view.resize(800, 600);
    view.SetRuns(TwoRuns());
    view.show();
    const auto lines = SeriesOf<QLineSeries>(*view.chart());
    ASSERT_EQ(lines.size(), 4u);
    // Where a point of a series lies in the view.
    const auto at = [&](QLineSeries* line, int i) {
        return view.mapFromScene(
            view.chart()->mapToScene(view.chart()->mapToPosition(line->at(i), line)));
    };
    const QPoint twoK = at(lines[0], 1);
    const struct {
        QPoint where;
        const char* expected; // empty: nothing shown
    } cases[] = {
        {twoK, "write 2K: 200.0 MiB/s in 0.005000 s"},
        {twoK + QPoint(6, 6), "write 2K: 200.0 MiB/s"},  // 8.5 px away
        {twoK + QPoint(9, 8), ""},                       // 12 px away
        {at(lines[2], 0), "(repeats 0.5 to 2.0 MiB/s)"}, // the second run, with its repeats
        {at(lines[2], 0), "vs run 1: no verdict (fewer than 3 samples)"},
    };
    for (const auto& c : cases) {
        const QString text = view.TextNear(c.where);
        if (*c.expected == 0) {
            EXPECT_TRUE(text.isEmpty()) << text.toStdString();
        } else {
            EXPECT_TRUE(text.contains(QString::fromLatin1(c.expected))) << text.toStdString();
        }
    }
    // A real mouse move shows it and leaving the chart hides it.
    QMouseEvent move(QEvent::MouseMove, twoK, view.mapToGlobal(twoK), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(view.viewport(), &move);
    EXPECT_TRUE(view.HoverText().startsWith(QStringLiteral("win32 buffered W+R")));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&view, &leave);
    EXPECT_TRUE(view.HoverText().isEmpty());
}

TEST(ChartFile, DrawnOffscreenAsPngAndAsSvgWithItsLabels) {
    EXPECT_EQ(ChartFormatOf("a.PNG"), TChartFormat::Png);
    EXPECT_EQ(ChartFormatOf("dir.svg/a.svg"), TChartFormat::Svg);
    EXPECT_FALSE(ChartFormatOf("a.svg.txt"));
    EXPECT_FALSE(ChartFormatOf("svg"));

    const std::unique_ptr<QChart> chart(MakeThroughputChart(TwoRuns(), {}));
    QImage image;
    ASSERT_TRUE(image.loadFromData(RenderChart(*chart, TChartFormat::Png), "PNG"));
    EXPECT_EQ(image.size(), ChartFileSize);
    // The first run's line is drawn in its colour somewhere.
    const QRgb colour = SeriesOf<QLineSeries>(*chart)[0]->pen().color().rgb();
    bool drawn = false;
    for (int y = 0; y < image.height() && !drawn; ++y) {
        for (int x = 0; x < image.width() && !drawn; ++x) {
            drawn = image.pixel(x, y) == colour;
        }
    }
    EXPECT_TRUE(drawn);

    const QString svg = QString::fromUtf8(RenderChart(*chart, TChartFormat::Svg));
    EXPECT_TRUE(svg.contains(QStringLiteral("<svg")));
    for (const char* label : {"1: win32 buffered W+R, block 256, file 1M", "4K",
                              "Throughput (MiB/s)", "2: file, block 1, file 2M"}) {
        EXPECT_TRUE(svg.contains(QString::fromLatin1(label))) << label;
    }
    // The chart on screen keeps its place after being drawn for a file.
    TChartView view;
    view.SetRuns(TwoRuns());
    const QRectF before = view.chart()->geometry();
    RenderChart(*view.chart(), TChartFormat::Png);
    EXPECT_EQ(view.chart()->scene(), view.scene());
    EXPECT_EQ(view.chart()->geometry(), before);
}

} // namespace
} // namespace orvane::charts
