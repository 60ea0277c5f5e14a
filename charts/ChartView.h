// The chart in a widget: the runs it shows, the throughput axis's scale, and the row of a
// point under the mouse shown as a tool tip.
#pragma once

#include "charts/ThroughputChart.h"

#include <QChartView>

namespace orvane::charts {

class TChartView : public QChartView {
    Q_OBJECT
public:
    explicit TChartView(QWidget* parent = nullptr);

    void SetRuns(std::vector<results::TSavedRun> runs);
    const std::vector<results::TSavedRun>& Runs() const { return FRuns; }
    void SetLogThroughput(bool logarithmic);
    bool LogThroughput() const { return FOptions.LogThroughput; }

    // What the last point hovered showed; empty once the mouse has left it.
    const QString& HoverText() const { return FHoverText; }

private:
    void Rebuild();
    void Hovered(const QXYSeries* series, const QPointF& point, bool inside);

    std::vector<results::TSavedRun> FRuns;
    TChartOptions FOptions;
    QString FHoverText;
};

} // namespace orvane::charts
