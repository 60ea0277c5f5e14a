// The chart's values as a table, so that every figure the chart draws can be reached with
// the keyboard and read by a screen reader: one line per run and row, with the row's interval,
// its verdict against the first run and where its bytes came from.
#pragma once

#include "results/SavedRun.h"

#include <QTableWidget>
#include <vector>

namespace orvane::charts {

class TChartValues : public QTableWidget {
    Q_OBJECT
public:
    explicit TChartValues(QWidget* parent = nullptr);

    void SetRuns(const std::vector<results::TSavedRun>& runs);
};

} // namespace orvane::charts
