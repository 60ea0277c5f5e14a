// The chart in a widget: the runs it shows, which of them are hidden, the throughput axis's
// scale, and the row of the point nearest the mouse (within a few pixels) as a tool tip.
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
    // Leaves the run at `index` out of the chart, or shows it again.
    void SetRunHidden(std::size_t index, bool hidden);
    // The chart's options as they stand (hidden runs, scale, colours).
    const TChartOptions& Options() const { return FOptions; }
    void SetOptions(const TChartOptions& options);

    // The text of the point nearest `position` (view coordinates) within PointReach pixels;
    // empty where none is that near.
    QString TextNear(QPoint position) const;
    // What the tool tip last showed; empty once the mouse has left every point.
    const QString& HoverText() const { return FHoverText; }

    static constexpr int PointReach = 10;

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void Rebuild();

    std::vector<results::TSavedRun> FRuns;
    TChartOptions FOptions;
    QString FHoverText;
};

} // namespace orvane::charts
