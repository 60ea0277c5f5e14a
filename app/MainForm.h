// The one window: the benchmark's settings, the buttons that start and stop a run, the run
// display (current chunk size and progress) and the two result lists.
#pragma once

#include "app/Dialogs.h"
#include "app/MatrixDialog.h"
#include "app/SaveDialog.h"
#include "bench/AccessMethod.h"
#include "bench/BenchmarkRun.h"
#include "bench/RunHost.h"
#include "results/MatrixRecord.h"
#include "results/RunRecord.h"

#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

class QAction;
class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSlider;
class QTreeWidget;

namespace orvane {

class TBevel;
class TChartWindow;
class TMeasuringMenu;
class TBevelPanel;
class TGauge;
class TPriorities;

// The window is also the host of the benchmark run that "Go!" starts.
class TMainForm : public QWidget, public TRunHost {
    Q_OBJECT
public:
    // Builds the window with every control in its starting state, then runs FormCreate
    // (the priority requests with their warnings) before the window is ever shown.
    TMainForm(TDialogs& dialogs, TPriorities& priorities, QWidget* parent = nullptr);
    ~TMainForm() override;

    // Controls, owned by the window, in the order of the form's fields.
    QTreeWidget* WriteListView;
    TSaveDialog SaveDialog;
    QSlider* FileSizeTrackBar;
    QLabel* MinFSStaticText;
    QLabel* MaxFSStaticText;
    QLabel* CurFSStaticText;
    QLabel* FSLabel;
    QPushButton* GoBitBtn;
    QTreeWidget* ReadListView;
    QLabel* WListLabel;
    QLabel* RListLabel;
    TBevel* InfoBevel;
    QLabel* CCSLabel;
    TBevelPanel* GaugePanel;
    TGauge* Gauge;
    QSlider* ChunkSizeTrackBar;
    QLabel* MinCSStaticText;
    QLabel* MaxCSStaticText;
    QLabel* CurCSStaticText;
    TBevel* SetupBevel;
    TBevel* Bevel;
    QGroupBox* AccessRadioGroup;
    QCheckBox* WriteBufferedCheckBox;
    QCheckBox* ReadBufferedCheckBox;
    QLabel* ProgressLabel;
    QLabel* BSLabel;
    QSlider* BlockSizeTrackBar;
    QLabel* MinBSStaticText;
    QLabel* CurBSStaticText;
    QLabel* MaxBSStaticText;
    QPushButton* StopBitBtn;

    // The radio items of AccessRadioGroup, "File", "mmio", "Win32".
    QRadioButton* AccessRadioItem(TAccessMethod method) const;

    std::int32_t BlockSize() const { return FBlockSize; }
    std::int32_t ChunkSize() const { return FChunkSize; }
    bool StopRequested() const { return FStopRequested; }

    bool Running() const { return FRunning; }

    // Event handlers, named after their control and event.
    void GoBitBtnClick();
    void FileSizeTrackBarChange();
    void FormCreate();
    void ChunkSizeTrackBarChange();
    void StopBitBtnClick();
    void BlockSizeTrackBarChange();
    void AccessRadioGroupClick();

    // A close request or a termination signal: during a run it stops the run at its next
    // message point and closes the window after the clean-up; otherwise it closes now.
    void RequestClose();

    // The run's host.
    int Position(TScale scale) const override;
    void SetPosition(TScale scale, int position) override;
    std::int32_t FileSize() const override { return FFileSize; }
    void SetSizes(std::int32_t blockSize, std::int32_t chunkSize) override;
    std::string ChunkLabel() const override;
    TAccessMethod AccessMethod() const override;
    bool WriteBuffered() const override;
    bool ReadBuffered() const override;
    TMeasuringMode MeasuringMode() const override;
    bool& StopFlag() override { return FStopRequested; }
    TTestFileChoice ChooseTestFile(std::string& fileName) override;
    void ShowError(const std::string& text) override;
    void ShowWarning(const std::string& text) override;
    void ShowNotEnoughSpace(std::int64_t freeBytes) override;
    void ReportFailure(const std::exception& error) override;
    void SetCaption(const std::string& caption) override;
    void Lock() override;
    void Unlock() override;
    void SetPhaseColour(TPhaseColour colour) override;
    void ProcessMessages() override;
    void Pause(unsigned milliseconds) override;
    void SetGaugeRange(std::int32_t maximum) override;
    void SetGaugeProgress(std::int32_t progress) override;
    void ClearResults() override;
    void AddResultRow(TResultList list, const TResultRow& row) override;
    void CeilingMeasured(const TCeiling& ceiling) override;
    void CeilingRefused(const std::string& reason) override;
    void BeginMatrix(const TMatrixPlan& plan) override;
    void MatrixCellBegins(const TMatrixPlan& plan, std::size_t unit) override;
    void AddMatrixRow(const TMatrixUnit& unit, const TResultRow& row) override;

    // The result lists' context menu: how the next run measures, and the last run's rows
    // copied, saved or kept in the history.
    TMeasuringMenu* Measuring() const { return FMeasuring; }
    QAction* CopyResultsAction() const { return FCopyResults; }
    QAction* SaveResultsAction() const { return FSaveResults; }
    QAction* KeepHistoryAction() const { return FKeepHistory; }
    QAction* ChartAction() const { return FChartAction; }
    QAction* MatrixAction() const { return FMatrixAction; }
    // The chart window, once "Chart..." has opened it.
    TChartWindow* Chart() const { return FChart; }

    // The pause before and after each pass; a real sleep unless replaced (by tests, which
    // run the same phases without waiting).
    void SetPauseFunction(std::function<void(unsigned milliseconds)> pause);

    // Shows the window centred on the screen.
    void ShowCentred();

protected:
    void closeEvent(QCloseEvent* event) override;
    // A window shown again starts without the close request that hid it.
    void showEvent(QShowEvent* event) override;

private:
    QSlider* Bar(TScale scale) const;
    void CreateControls();
    void ConnectHandlers();
    void SetTabOrder();
    void UpdateRadioTabStop();
    void SetAccessibleNames();
    void CreateMeasuringMenu();
    void CopyResults();
    void SaveResultsAs();
    void ShowChart();
    // "Matrix...": asks what to measure, runs it as a run runs (Stop, the gauge, the chunk
    // bar), names the current cell in the caption, and shows the result in the chart window.
    void RunMatrix();
    // The last run as the chart shows it; none before a run has rows.
    std::optional<results::TSavedRun> LastRun() const;
    void KeepInHistory(TRunOutcome outcome);
    // The captions above the lists, with a mode's promise where it was not kept.
    void SetListCaptions(const QString& writePromise, const QString& readPromise);
    // After a run: the captions and, once, a warning where a mode's figures are not the
    // device's.
    void TellPromises();
    template <typename Body> void Guarded(Body&& body);
    // Mentions, once per directory, test files that an ended run left there.
    void MentionLeftovers(const std::string& directory);

    TDialogs& FDialogs;
    TPriorities& FPriorities;
    QButtonGroup* FAccessButtons = nullptr;
    TMeasuringMenu* FMeasuring = nullptr;
    QAction* FCopyResults = nullptr;
    QAction* FSaveResults = nullptr;
    QAction* FKeepHistory = nullptr;
    QAction* FChartAction = nullptr;
    QAction* FMatrixAction = nullptr;
    TChartWindow* FChart = nullptr;
    // The last run's description and rows, for copying, saving, the chart and the history.
    results::TRunRecord FRecord;
    // The last matrix and what it was asked to measure.
    results::TMatrixRecord FMatrixRecord;
    TMatrixRequest FMatrixRequest;
    std::string FRunCaption; // as the run set it; a matrix adds its current cell

    std::int32_t FBlockSize = 0;
    std::int32_t FChunkSize = 0;
    std::int32_t FFileSize = 0;
    bool FStopRequested = false;
    bool FRunning = false;
    bool FCloseRequested = false;
    TBenchmarkRun FRun;
    std::set<std::string> FLeftoversMentioned;
    std::function<void(unsigned)> FPause;
};

} // namespace orvane
