// The matrix's picture: the winner maps' colours, initials and hatching and the heatmaps' log
// colours for a small known matrix, the SVG well-formed whatever text the file held, and the
// cell under the mouse in the window's view.
#include "charts/MatrixPicture.h"
#include "bench/MatrixPlan.h"
#include "charts/ChartFile.h"
#include "charts/MatrixView.h"
#include "tests/support/SmallMatrix.h"

#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

namespace orvane::charts {
namespace {

using testing::SmallMatrix;

const TPictureCell* CellOf(const TPicturePanel& panel, std::size_t row, std::size_t column) {
    for (const TPictureCell& cell : panel.Cells) {
        if (cell.Row == row && cell.Column == column) {
            return &cell;
        }
    }
    return nullptr;
}

TEST(MatrixPicture, WinnerMapsAndHeatmapsOfAKnownMatrix) {
    // win32-buffered at 1.5 MiB/s per KiB of chunk: file wins at 1K, ties at 2K, loses after.
    const TMatrixPicture picture = MakeMatrixPicture(SmallMatrix(3, 1.5));
    ASSERT_EQ(picture.Panels.size(), 2u + 2 * 2);
    EXPECT_EQ(picture.RowLabels.join(QLatin1Char(',')), QStringLiteral("16,256"));
    EXPECT_EQ(picture.ColumnLabels.size(), 11);
    const QColor file = ConfigurationColour(0);
    const QColor buffered = ConfigurationColour(4);
    EXPECT_NE(file, buffered);
    struct Case {
        std::size_t panel, row, column;
        QString mark;
        QColor fill;
        bool hatched;
    };
    const Case cases[] = {
        {0, 0, 0, QStringLiteral("F"), file, false},
        {0, 1, 1, QStringLiteral("F=WB"), file, true}, // 3.0 against 3.0 MiB/s: file first
        {0, 1, 10, QStringLiteral("WB"), buffered, false},
        {1, 0, 0, QStringLiteral("F"), file, false},
    };
    for (const Case& c : cases) {
        const TPicturePanel& panel = picture.Panels[c.panel];
        EXPECT_EQ(panel.Kind, TPanelKind::Winners);
        const TPictureCell* cell = CellOf(panel, c.row, c.column);
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(cell->Mark, c.mark);
        EXPECT_EQ(cell->Fill, c.fill);
        EXPECT_EQ(cell->Hatched, c.hatched);
    }
    EXPECT_EQ(picture.Panels[0].Title, QStringLiteral("write: winners"));
    EXPECT_EQ(picture.Panels[1].Pass, TResultList::Read);
    // The colour scale spans the slowest (1.5 MiB/s writes at 1K) to the fastest (3 GiB/s).
    EXPECT_NEAR(picture.LowMiB, 1.5, 1e-6);
    EXPECT_NEAR(picture.HighMiB, 3072, 0.01);
    const TPicturePanel& writes = picture.Panels[4]; // win32-buffered, write
    EXPECT_EQ(writes.Title, QStringLiteral("write: win32-buffered"));
    EXPECT_EQ(writes.Cells.size(), 22u);
    EXPECT_EQ(CellOf(writes, 0, 0)->Fill, HeatColour(1.5, picture.LowMiB, picture.HighMiB));
    EXPECT_EQ(HeatColour(1.5, 1.5, 3072), QColor(0x44, 0x01, 0x54)); // viridis's ends
    EXPECT_EQ(HeatColour(3072, 1.5, 3072), QColor(0xfd, 0xe7, 0x25));
    // Half way on the log scale is half way along the map.
    EXPECT_EQ(HeatColour(std::sqrt(1.5 * 3072), 1.5, 3072), QColor(0x21, 0x91, 0x8c));
    EXPECT_TRUE(CellOf(writes, 0, 0)
                    ->Tip.startsWith(
                        QStringLiteral("win32-buffered, 16-byte blocks: write 1K: 1.5 MiB/s")));
    ASSERT_EQ(picture.Legend.size(), 2u);
    EXPECT_EQ(picture.Legend[1].first, QStringLiteral("WB win32-buffered"));
    // The window's view: the winner maps and one configuration's heatmaps.
    EXPECT_EQ(MakeMatrixPicture(SmallMatrix(), "file").Panels.size(), 4u);
}

TEST(MatrixPicture, TheFilesAreWellFormedWhateverTheTextsHeld) {
    results::TSavedMatrix matrix = SmallMatrix();
    matrix.Info.Host.Label = "<svg onload=x>&\x01";
    matrix.Info.FileSystem = "]]><!--\x1b[2J";
    matrix.Info.BlockDevice = "/dev/\"'<";
    const std::string svg = RenderMatrixChart(matrix, TChartFormat::Svg);
    QXmlStreamReader xml(QByteArray::fromStdString(svg));
    while (!xml.atEnd()) {
        xml.readNext();
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(svg.find("<svg onload"), std::string::npos);
    const std::string png = RenderMatrixChart(matrix, TChartFormat::Png);
    const QImage image = QImage::fromData(QByteArray::fromStdString(png), "PNG");
    EXPECT_EQ(image.width(), 1200);
    EXPECT_GT(image.height(), 300);
}

TEST(MatrixView, TheCellUnderTheMouseShowsItsFigures) {
    TMatrixView view;
    view.resize(760, 520); // a chart window on an 800 x 600 screen
    view.SetMatrix(SmallMatrix());
    view.show();
    ASSERT_EQ(view.ConfigurationBox()->count(), 2);
    view.ConfigurationBox()->setCurrentIndex(1);
    const TPictureLayout layout = LayOutPicture(view.Picture(), QRectF(view.Canvas()->rect()));
    ASSERT_EQ(layout.Panels.size(), 4u);
    EXPECT_GE(layout.CellWidth, 12); // every cell in reach of the mouse
    EXPECT_LE(layout.Panels.back().bottom(), view.Canvas()->height());
    const QRectF read = layout.Panels[3]; // read: win32-buffered
    const QPoint inside =
        QPointF(read.left() + layout.CellWidth * 10.5, read.top() + layout.CellHeight * 1.5)
            .toPoint();
    EXPECT_TRUE(view.TextAt(inside).startsWith(
        QStringLiteral("win32-buffered, 256-byte blocks: read 1M: 4096.0 MiB/s")))
        << view.TextAt(inside).toStdString();
    EXPECT_TRUE(view.TextAt(QPoint(1, 1)).isEmpty());
    // Who wins where, in words below the drawing.
    EXPECT_TRUE(view.Summary()->text().startsWith(
        QStringLiteral("writes: win32-buffered wins 20 of 22 cells")))
        << view.Summary()->text().toStdString();
}

} // namespace
} // namespace orvane::charts
