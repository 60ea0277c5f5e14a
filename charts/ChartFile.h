// A chart drawn into PNG or SVG bytes, as the window exports it and the command line writes it.
#pragma once

#include "charts/ChartExport.h"
#include "results/Matrix.h"

#include <QByteArray>
#include <QSize>
#include <memory>

class QApplication;
class QChart;

namespace orvane::charts {

inline constexpr QSize ChartFileSize{1200, 800};

// The chart drawn at `size` (device-independent pixels) as the file's bytes.
QByteArray RenderChart(QChart& chart, TChartFormat format, QSize size = ChartFileSize);

// The matrix's heatmaps (one per pass and configuration) and winner maps as the file's bytes.
std::string RenderMatrixChart(const results::TSavedMatrix& matrix, TChartFormat format);

// Qt started without a display for the object's life where the program has not started it
// (the command line), its chatter kept off the terminal.
class TOffscreenQt {
public:
    TOffscreenQt();
    ~TOffscreenQt();
    TOffscreenQt(const TOffscreenQt&) = delete;
    TOffscreenQt& operator=(const TOffscreenQt&) = delete;

private:
    std::unique_ptr<QApplication> FApp;
};

} // namespace orvane::charts
