// The chart widget.
#include "charts/ChartView.h"

#include <QLineSeries>
#include <QMouseEvent>
#include <QToolTip>
#include <cmath>

namespace orvane::charts {

TChartView::TChartView(QWidget* parent) : QChartView(parent) {
    setObjectName(QStringLiteral("ThroughputChart"));
    setAccessibleName(QStringLiteral("Throughput by chunk size"));
    setRenderHint(QPainter::Antialiasing);
    setMinimumSize(320, 240);
    setMouseTracking(true);
    Rebuild();
}

void TChartView::SetRuns(std::vector<results::TSavedRun> runs) {
    FRuns = std::move(runs);
    FOptions.Hidden.resize(FRuns.size(), false);
    Rebuild();
}

void TChartView::SetLogThroughput(bool logarithmic) {
    if (logarithmic != FOptions.LogThroughput) {
        FOptions.LogThroughput = logarithmic;
        Rebuild();
    }
}

void TChartView::SetRunHidden(std::size_t index, bool hidden) {
    FOptions.Hidden.resize(std::max(FOptions.Hidden.size(), index + 1), false);
    if (FOptions.Hidden[index] != hidden) {
        FOptions.Hidden[index] = hidden;
        Rebuild();
    }
}

void TChartView::SetOptions(const TChartOptions& options) {
    FOptions = options;
    Rebuild();
}

void TChartView::Rebuild() {
    FHoverText.clear();
    QChart* old = this->chart();
    setChart(MakeThroughputChart(FRuns, FOptions)); // ours to delete is the old one
    delete old;
}

QString TChartView::TextNear(QPoint position) const {
    const QPointF at = mapToScene(position);
    double nearest = PointReach * PointReach + 0.5;
    QString text;
    for (QAbstractSeries* series : chart()->series()) {
        const auto* line = qobject_cast<const QLineSeries*>(series);
        if (line == nullptr) {
            continue;
        }
        for (int i = 0; i < line->count(); ++i) {
            const QPointF point = chart()->mapToScene(
                chart()->mapToPosition(line->at(i), const_cast<QLineSeries*>(line)));
            const double dx = point.x() - at.x(), dy = point.y() - at.y();
            if (dx * dx + dy * dy < nearest) {
                nearest = dx * dx + dy * dy;
                text = PointText(*line, i);
            }
        }
    }
    return text;
}

void TChartView::mouseMoveEvent(QMouseEvent* event) {
    QChartView::mouseMoveEvent(event);
    FHoverText = TextNear(event->position().toPoint());
    if (FHoverText.isEmpty()) {
        QToolTip::hideText();
        return;
    }
    // Shown as the text it is: a tool tip would read markup in a saved run as rich text.
    QToolTip::showText(event->globalPosition().toPoint(),
                       QStringLiteral("<p style='white-space:pre'>%1</p>")
                           .arg(PlainChartText(FHoverText).toHtmlEscaped()),
                       this);
}

void TChartView::leaveEvent(QEvent* event) {
    QChartView::leaveEvent(event);
    FHoverText.clear();
    QToolTip::hideText();
}

} // namespace orvane::charts
