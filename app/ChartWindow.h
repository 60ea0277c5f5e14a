// The chart's own window: the main window's last run, with saved results added beside it
// for comparison, the runs listed beside the chart with a check box each to show or hide
// them, the chart's values as a table, the throughput axis linear or logarithmic, a matrix's
// winner maps and heatmaps in a tab of their own, and the chart or the matrix exported as PNG
// or SVG. Unlike the main window it follows the desktop's look.
#pragma once

#include "results/SavedRun.h"

#include <QWidget>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QListWidget;
class QPushButton;
class QTabWidget;

namespace orvane {

namespace charts {
class TChartValues;
class TChartView;
class TMatrixView;
} // namespace charts
class TDialogs;

class TChartWindow : public QWidget {
    Q_OBJECT
public:
    // A window of its own that closes with `parent`.
    TChartWindow(TDialogs& dialogs, QWidget* parent);

    // The run shown first; none before the main window has made one.
    void SetCurrentRun(std::optional<results::TSavedRun> run);
    // Reads each file as a saved run and adds it; a file that can't be read is named in a
    // message and the others are added all the same. A run already shown (the same file, or
    // the same run under another name) is not added twice. A matrix's file is shown in the
    // Matrix tab instead.
    void AddFiles(const std::vector<std::string>& files);
    // The matrix in the Matrix tab, which comes to the front.
    void SetMatrix(results::TSavedMatrix matrix);

    charts::TChartView* View() const { return FView; }
    charts::TChartValues* Values() const { return FValues; }
    charts::TMatrixView* MatrixView() const { return FMatrixView; }
    // One checkable entry per run, in the chart's order.
    QListWidget* RunList() const { return FRunList; }
    QTabWidget* Tabs() const { return FTabs; }
    QPushButton* AddButton = nullptr;
    QPushButton* RemoveButton = nullptr;
    QCheckBox* LogScaleBox = nullptr;
    QPushButton* ExportButton = nullptr;

private:
    void AskAndAdd();
    void RemoveAdded();
    void Export();
    void Show();
    bool Shown(const results::TSavedRun& run) const;
    void FitIntoScreen();

    TDialogs& FDialogs;
    QTabWidget* FTabs = nullptr;
    charts::TChartView* FView = nullptr;
    charts::TChartValues* FValues = nullptr;
    charts::TMatrixView* FMatrixView = nullptr;
    QListWidget* FRunList = nullptr;
    std::optional<results::TSavedRun> FCurrent;
    std::vector<results::TSavedRun> FAdded;
};

} // namespace orvane
