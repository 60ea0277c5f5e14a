// The chart widget.
#include "charts/ChartView.h"

#include <QCursor>
#include <QLineSeries>
#include <QToolTip>

namespace orvane::charts {

TChartView::TChartView(QWidget* parent) : QChartView(parent) {
    setObjectName(QStringLiteral("ThroughputChart"));
    setAccessibleName(QStringLiteral("Throughput by chunk size"));
    setRenderHint(QPainter::Antialiasing);
    setMinimumSize(480, 320);
    Rebuild();
}

void TChartView::SetRuns(std::vector<results::TSavedRun> runs) {
    FRuns = std::move(runs);
    Rebuild();
}

void TChartView::SetLogThroughput(bool logarithmic) {
    if (logarithmic != FOptions.LogThroughput) {
        FOptions.LogThroughput = logarithmic;
        Rebuild();
    }
}

void TChartView::Rebuild() {
    FHoverText.clear();
    QChart* chart = MakeThroughputChart(FRuns, FOptions);
    for (QAbstractSeries* series : chart->series()) {
        if (auto* line = qobject_cast<QLineSeries*>(series)) {
            connect(
                line, &QXYSeries::hovered, this,
                [this, line](const QPointF& point, bool inside) { Hovered(line, point, inside); });
        }
    }
    QChart* old = this->chart();
    setChart(chart); // the view takes the new chart; the old one is ours to delete
    delete old;
}

void TChartView::Hovered(const QXYSeries* series, const QPointF& point, bool inside) {
    FHoverText = inside ? PointText(*series, point.x()) : QString();
    if (FHoverText.isEmpty()) {
        QToolTip::hideText();
    } else {
        // Shown as the text it is: a tool tip would read markup in a saved run as rich text.
        QToolTip::showText(QCursor::pos(),
                           QStringLiteral("<p style='white-space:pre'>%1</p>")
                               .arg(PlainChartText(FHoverText).toHtmlEscaped()),
                           this);
    }
}

} // namespace orvane::charts
