// The table of the chart's values.
#include "charts/ChartValues.h"

#include "charts/ThroughputChart.h"
#include "results/Cells.h"
#include "results/Compare.h"
#include "results/RowFigures.h"

#include <QHeaderView>

namespace orvane::charts {

namespace {

const char* const Headers[] = {
    "Run", "Pass", "Chunk", "MiB/s", "+-", "Interval (MiB/s)", "Verdict vs run 1", "Source"};

QString Number(double value, int decimals) {
    return QString::fromStdString(results::DecimalText(value, decimals));
}

} // namespace

TChartValues::TChartValues(QWidget* parent) : QTableWidget(parent) {
    setObjectName(QStringLiteral("ChartValues"));
    setAccessibleName(QStringLiteral("The chart's values"));
    setColumnCount(static_cast<int>(std::size(Headers)));
    QStringList headers;
    for (const char* header : Headers) {
        headers << QString::fromLatin1(header);
    }
    setHorizontalHeaderLabels(headers);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setTabKeyNavigation(true);
    verticalHeader()->setVisible(false);
    horizontalHeader()->setStretchLastSection(true);
}

void TChartValues::SetRuns(const std::vector<results::TSavedRun>& runs) {
    setRowCount(0);
    for (std::size_t r = 0; r < runs.size(); ++r) {
        for (const TResultRow& row : runs[r].Rows) {
            const results::TRowFigures figures = results::FiguresOf(row);
            QString verdict;
            if (r > 0) {
                for (const TResultRow& first : runs.front().Rows) {
                    if (first.Pass == row.Pass && first.ChunkBytes == row.ChunkBytes) {
                        verdict = QString::fromStdString(
                            results::VerdictText(results::VerdictOf(row, first).Verdict));
                    }
                }
            }
            const QString cells[] = {
                RunLegendLabel(r, runs[r]),
                QString::fromLatin1(row.Pass == TResultList::Write ? "write" : "read"),
                PlainChartText(QString::fromStdString(row.ChunkLabel)),
                row.KiBPerSecond() > 0 ? Number(row.KiBPerSecond() / 1024, 1)
                                       : QStringLiteral("too fast"),
                figures.HalfWidthPercent ? Number(*figures.HalfWidthPercent, 1) + QLatin1Char('%')
                                         : QString(),
                figures.LowKiBPerSecond
                    ? Number(*figures.LowKiBPerSecond / 1024, 1) + QStringLiteral(" to ") +
                          Number(*figures.HighKiBPerSecond / 1024, 1)
                    : QString(),
                verdict,
                QString::fromLatin1(PassSourceName(figures.Source).data()),
            };
            const int line = rowCount();
            insertRow(line);
            for (int c = 0; c < columnCount(); ++c) {
                auto* item = new QTableWidgetItem(cells[c]);
                if (c == 0) {
                    item->setForeground(RunColour(r));
                }
                setItem(line, c, item);
            }
        }
    }
    resizeColumnsToContents();
}

} // namespace orvane::charts
