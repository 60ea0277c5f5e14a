// A chart drawn into PNG or SVG bytes, as the window exports it and the command line writes it.
#pragma once

#include "charts/ChartExport.h"

#include <QByteArray>
#include <QSize>

class QChart;

namespace orvane::charts {

inline constexpr QSize ChartFileSize{1200, 800};

// The chart drawn at `size` (device-independent pixels) as the file's bytes.
QByteArray RenderChart(QChart& chart, TChartFormat format, QSize size = ChartFileSize);

} // namespace orvane::charts
