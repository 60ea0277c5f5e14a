// The one window: the benchmark's settings, the buttons that start and stop a run, the run
// display (current chunk size and progress) and the two result lists.
#pragma once

#include "app/Dialogs.h"
#include "app/SaveDialog.h"
#include "bench/AccessMethod.h"
#include "bench/Clock.h"

#include <QWidget>
#include <cstdint>

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
class TBevelPanel;
class TGauge;
class TPriorities;

class TMainForm : public QWidget {
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
    TAccessMethod AccessMethod() const;

    std::int32_t FileSize() const { return FFileSize; }
    std::int32_t BlockSize() const { return FBlockSize; }
    std::int32_t ChunkSize() const { return FChunkSize; }
    bool StopRequested() const { return FStopRequested; }

    // Event handlers, named after their control and event.
    void FileSizeTrackBarChange();
    void FormCreate();
    void ChunkSizeTrackBarChange();
    void StopBitBtnClick();
    void BlockSizeTrackBarChange();
    void AccessRadioGroupClick();

    // Appends the row of a timed pass to `list`: the prefix and the current chunk label,
    // the duration and the throughput of FFileSize bytes between the two readings.
    void AddResultRow(QTreeWidget* list, std::string_view prefix, TPassClock::time_point start,
                      TPassClock::time_point end);

    // Shows the window centred on the screen.
    void ShowCentred();

private:
    void CreateControls();
    void ConnectHandlers();
    void SetTabOrder();
    void UpdateRadioTabStop();
    void SetAccessibleNames();
    template <typename Body> void Guarded(Body&& body);

    TDialogs& FDialogs;
    TPriorities& FPriorities;
    QButtonGroup* FAccessButtons = nullptr;

    std::int32_t FBlockSize = 0;
    std::int32_t FChunkSize = 0;
    std::int32_t FFileSize = 0;
    bool FStopRequested = false;
};

} // namespace orvane
