// The window's side of a benchmark run: "Go!", closing during a run, and the host calls
// through which the run reads the settings and shows its progress and rows.
#include "app/ChartWindow.h"
#include "app/Gauge.h"
#include "app/MainForm.h"
#include "app/MeasuringMenu.h"
#include "app/ResultsActions.h"
#include "results/Report.h"
#include "results/RowFigures.h"

#include "bench/Leftovers.h"
#include "platform/Win32.h"
#include "results/Columns.h"

#include <QApplication>
#include <QClipboard>

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTreeWidget>

namespace orvane {

void TMainForm::GoBitBtnClick() {
    if (FChart != nullptr) {
        FChart->setEnabled(false); // no dialogs of its own while a run measures
    }
    const TRunOutcome outcome = FRun.Execute(*this);
    if (FCloseRequested) {
        close();
        return;
    }
    if (FChart != nullptr) {
        FChart->setEnabled(true);
        FChart->SetCurrentRun(LastRun());
    }
    KeepInHistory(outcome);
    TellPromises();
    if (outcome != TRunOutcome::Cancelled && outcome != TRunOutcome::FileExists) {
        MentionLeftovers(FRun.TestDir());
    }
}

void TMainForm::RequestClose() {
    FCloseRequested = true;
    FStopRequested = true;
    // A dialog of the run (the save dialog) closes first; the run then ends unstarted.
    if (QWidget* modal = QApplication::activeModalWidget()) {
        modal->close();
    }
    if (!FRunning) {
        close();
    }
}

void TMainForm::KeepInHistory(TRunOutcome outcome) {
    FRecord.Finish(outcome, FRun.TestFileName());
    if (!FKeepHistory->isChecked()) {
        return;
    }
    if (const std::string problem = FRecord.KeepInHistory(); !problem.empty()) {
        FDialogs.ShowMessageDialog("The run is not kept in the history: " + problem,
                                   TMsgDlgType::mtWarning, TMsgDlgButtons::mbOK);
    }
}

std::optional<results::TSavedRun> TMainForm::LastRun() const {
    if (!FRecord.HasRows()) {
        return std::nullopt;
    }
    return FRecord.Run();
}

void TMainForm::ShowChart() {
    if (FChart == nullptr) {
        FChart = new TChartWindow(FDialogs, this);
    }
    FChart->SetCurrentRun(LastRun());
    FChart->show();
    FChart->raise();
    FChart->activateWindow();
}

void TMainForm::RunMatrix() {
    const std::optional<TMatrixRequest> request = FDialogs.AskMatrix(FMatrixRequest);
    if (!request || request->BlockPositions.empty() || request->Configurations.empty()) {
        return;
    }
    FMatrixRequest = *request;
    // The bar shows the size the matrix measures, and lowers it where the space is short.
    FileSizeTrackBar->setValue(request->FileSizePosition);
    TMatrixPlan plan(request->Configurations, request->BlockPositions, request->Mode,
                     NewMatrixSeed());
    if (FChart != nullptr) {
        FChart->setEnabled(false);
    }
    const TRunOutcome outcome = FRun.ExecuteMatrix(*this, plan);
    if (FCloseRequested) {
        close();
        return;
    }
    setWindowTitle(QString::fromStdString(FRunCaption));
    FMatrixRecord.Finish(outcome, FRun.TestFileName());
    if (FChart != nullptr) {
        FChart->setEnabled(true);
    }
    if (FMatrixRecord.Outcome() == outcome && FMatrixRecord.HasCells()) {
        if (FKeepHistory->isChecked()) {
            if (const std::string problem = FMatrixRecord.KeepInHistory(); !problem.empty()) {
                FDialogs.ShowMessageDialog("The matrix is not kept in the history: " + problem,
                                           TMsgDlgType::mtWarning, TMsgDlgButtons::mbOK);
            }
        }
        ShowChart();
        FChart->SetMatrix(FMatrixRecord.Matrix());
    }
    if (outcome != TRunOutcome::Cancelled && outcome != TRunOutcome::FileExists) {
        MentionLeftovers(FRun.TestDir());
    }
}

void TMainForm::BeginMatrix(const TMatrixPlan& plan) {
    results::TRunSettings settings;
    settings.FileSizePosition = FileSizeTrackBar->value();
    settings.Mode = plan.Mode();
    FMatrixRecord.Begin(settings, FRun.TestDir(), "orvane", plan);
}

void TMainForm::MatrixCellBegins(const TMatrixPlan& plan, std::size_t unit) {
    setWindowTitle(QStringLiteral("%1 - cell %2 of %3%4: %5")
                       .arg(QString::fromStdString(FRunCaption))
                       .arg(plan.Started())
                       .arg(plan.Mode().UntilSteady ? QStringLiteral("at most ") : QString())
                       .arg(plan.MostIterations())
                       .arg(QString::fromStdString(MatrixUnitName(plan.Units()[unit]))));
}

void TMainForm::AddMatrixRow(const TMatrixUnit& unit, const TResultRow& row) {
    FMatrixRecord.Add(unit, row);
}

void TMainForm::CopyResults() {
    QGuiApplication::clipboard()->setText(QString::fromStdString(results::TabText(FRecord.Run())));
}

void TMainForm::SaveResultsAs() {
    const TResultsFileChoice choice = FDialogs.AskResultsFileName();
    if (choice.Name.empty()) {
        return;
    }
    if (const std::string problem = SaveResults(choice.Name, choice.Json, FRecord.Run());
        !problem.empty()) {
        FDialogs.ShowMessageDialog("The results could not be saved to " + choice.Name + ": " +
                                       problem,
                                   TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
    }
}

void TMainForm::MentionLeftovers(const std::string& directory) {
    if (directory.empty() || FLeftoversMentioned.count(directory) > 0) {
        return;
    }
    const std::optional<TLeftoverNotice> notice =
        NoticeOfLeftovers(directory, results::FormatBytes);
    if (!notice) {
        return;
    }
    FLeftoversMentioned.insert(directory);
    std::string text = notice->Heading;
    for (const std::string& file : notice->Files) {
        text += "\r" + file;
    }
    // The message dialog shows plain text only: a name can't turn into markup there.
    FDialogs.ShowMessageDialog(text + "\r" + notice->Advice, TMsgDlgType::mtWarning,
                               TMsgDlgButtons::mbOK);
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (FRunning) {
        // The run is inside its own event processing: let it stop and clean up first.
        RequestClose();
        event->ignore();
        return;
    }
    event->accept();
}

void TMainForm::showEvent(QShowEvent* event) {
    FCloseRequested = false;
    QWidget::showEvent(event);
}

QSlider* TMainForm::Bar(TScale scale) const {
    switch (scale) {
    case TScale::Files:
        return FileSizeTrackBar;
    case TScale::Blocks:
        return BlockSizeTrackBar;
    case TScale::Chunks:
        break;
    }
    return ChunkSizeTrackBar;
}

int TMainForm::Position(TScale scale) const {
    return Bar(scale)->value();
}

void TMainForm::SetPosition(TScale scale, int position) {
    Bar(scale)->setValue(position);
}

void TMainForm::SetSizes(std::int32_t blockSize, std::int32_t chunkSize) {
    FBlockSize = blockSize;
    FChunkSize = chunkSize;
}

std::string TMainForm::ChunkLabel() const {
    return CurCSStaticText->text().toStdString();
}

TAccessMethod TMainForm::AccessMethod() const {
    return static_cast<TAccessMethod>(FAccessButtons->checkedId());
}

bool TMainForm::WriteBuffered() const {
    return WriteBufferedCheckBox->isChecked();
}

bool TMainForm::ReadBuffered() const {
    return ReadBufferedCheckBox->isChecked();
}

TTestFileChoice TMainForm::ChooseTestFile(std::string& fileName) {
    const std::string proposal = fileName;
    SaveDialog.FileName = fileName;
    // A close request or a stop signal while the dialog was open cancels the run.
    if (!SaveDialog.Execute() || FCloseRequested) {
        return TTestFileChoice::Cancelled;
    }
    fileName = SaveDialog.FileName;
    // The proposed name kept, in whatever folder: still the program's name, not the user's.
    const auto baseName = [](const std::string& path) {
        return path.substr(path.find_last_of('/') + 1);
    };
    return baseName(fileName) == baseName(proposal) ? TTestFileChoice::Proposed
                                                    : TTestFileChoice::Chosen;
}

void TMainForm::ShowError(const std::string& text) {
    FDialogs.ShowMessageDialog(text, TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
}

void TMainForm::ShowWarning(const std::string& text) {
    FDialogs.ShowMessageDialog(text, TMsgDlgType::mtWarning, TMsgDlgButtons::mbOK);
}

void TMainForm::ShowNotEnoughSpace(std::int64_t) {
    ShowError(NotEnoughSpaceText);
}

void TMainForm::ReportFailure(const std::exception& error) {
    FDialogs.ShowExceptionBox(error);
}

void TMainForm::SetCaption(const std::string& caption) {
    FRunCaption = caption;
    setWindowTitle(QString::fromStdString(caption));
}

void TMainForm::Lock() {
    FRunning = true;
    GoBitBtn->setEnabled(false);
    StopBitBtn->setEnabled(true);
    FileSizeTrackBar->setEnabled(false);
    BlockSizeTrackBar->setEnabled(false);
    AccessRadioGroup->setEnabled(false);
    ReadBufferedCheckBox->setEnabled(false);
    WriteBufferedCheckBox->setEnabled(false);
}

void TMainForm::Unlock() {
    Gauge->SetProgress(0);
    Gauge->ShowPending(); // the run may end within a frame of the last repaint
    AccessRadioGroup->setEnabled(true);
    ReadBufferedCheckBox->setEnabled(true);
    WriteBufferedCheckBox->setEnabled(true);
    BlockSizeTrackBar->setEnabled(true);
    FileSizeTrackBar->setEnabled(true);
    StopBitBtn->setEnabled(false);
    GoBitBtn->setEnabled(true);
    FRunning = false;
}

void TMainForm::SetPhaseColour(TPhaseColour colour) {
    QPalette palette = CurCSStaticText->palette();
    QColor background = this->palette().color(QPalette::Button);
    switch (colour) {
    case TPhaseColour::Prepare:
        background = Qt::yellow;
        break;
    case TPhaseColour::Write:
        background = Qt::red;
        break;
    case TPhaseColour::Read:
        background = QColor(0, 255, 0); // lime
        break;
    case TPhaseColour::Idle:
        break;
    }
    palette.setColor(QPalette::Button, background);
    CurCSStaticText->setPalette(palette);
}

void TMainForm::ProcessMessages() {
    // The run's message points come between the passes: what the gauge held back during a
    // pass (its repaints are at most one a frame) is drawn here, so a pass's end shows.
    Gauge->ShowPending();
    QCoreApplication::processEvents();
}

void TMainForm::Pause(unsigned milliseconds) {
    if (FPause) {
        FPause(milliseconds);
        return;
    }
    Sleep(milliseconds);
}

void TMainForm::SetPauseFunction(std::function<void(unsigned)> pause) {
    FPause = std::move(pause);
}

void TMainForm::SetGaugeRange(std::int32_t maximum) {
    Gauge->SetMinValue(0);
    Gauge->SetProgress(0);
    Gauge->SetMaxValue(maximum);
}

void TMainForm::SetGaugeProgress(std::int32_t progress) {
    Gauge->SetProgress(progress);
}

TMeasuringMode TMainForm::MeasuringMode() const {
    return FMeasuring->Mode();
}

void TMainForm::ClearResults() {
    WriteListView->clear();
    ReadListView->clear();
    FCopyResults->setEnabled(false);
    FSaveResults->setEnabled(false);
    results::TRunSettings settings;
    settings.Method = AccessMethod();
    settings.FileSizePosition = FileSizeTrackBar->value();
    settings.BlockSizePosition = BlockSizeTrackBar->value();
    settings.WriteBuffered = WriteBufferedCheckBox->isChecked();
    settings.ReadBuffered = ReadBufferedCheckBox->isChecked();
    settings.Mode = FMeasuring->Mode();
    FRecord.Begin(settings, FRun.TestDir(), "orvane");
    SetListCaptions({}, {});
}

void TMainForm::SetListCaptions(const QString& writePromise, const QString& readPromise) {
    // The captions above the lists say how their rows are measured, where that is not the
    // plain run, and where a mode's promise was not kept; the plain run keeps the window
    // exactly as it always was.
    const TMeasuringMode mode = FRecord.Info().Mode;
    const struct {
        QLabel* label;
        QString text;
        int width;
    } captions[] = {
        {WListLabel, QStringLiteral("Write") + TMeasuringMenu::WriteNote(mode, writePromise), 25},
        {RListLabel, QStringLiteral("Read") + TMeasuringMenu::ReadNote(mode, readPromise), 26},
    };
    for (const auto& caption : captions) {
        caption.label->setText(caption.text);
        caption.label->resize(std::max(caption.width, caption.label->sizeHint().width()), 13);
    }
}

void TMainForm::TellPromises() {
    if (!FRecord.Outcome()) {
        return; // no run measured: the lists still show the last one that did
    }
    const TModePromises& promises = FRecord.Promises();
    SetListCaptions(
        QString::fromStdString(PromiseCaption(TPromisedMode::Durable, promises.Durable)),
        QString::fromStdString(PromiseCaption(TPromisedMode::Cold, promises.Cold)));
    // The ceiling, where the run measured it, beside the lists it is the reference for.
    const QString ceiling = QString::fromStdString(results::CeilingLine(FRecord.Info()));
    WListLabel->setToolTip(ceiling);
    RListLabel->setToolTip(ceiling);
    std::string text;
    for (const std::string& warning : FRecord.PromiseWarnings()) {
        text += (text.empty() ? "" : "\r") + warning;
    }
    if (const std::string& refused = FRecord.Info().CeilingNote; !refused.empty()) {
        text += (text.empty() ? "" : "\r") + ("the device's ceiling was not measured: " + refused);
    }
    if (!text.empty()) {
        FDialogs.ShowMessageDialog("About the figures of this run:\r" + text + ".",
                                   TMsgDlgType::mtWarning, TMsgDlgButtons::mbOK);
    }
}

void TMainForm::CeilingMeasured(const TCeiling& ceiling) {
    FRecord.SetCeiling(ceiling);
}

void TMainForm::CeilingRefused(const std::string& reason) {
    FRecord.SetCeilingNote(reason);
}

void TMainForm::AddResultRow(TResultList list, const TResultRow& row) {
    FRecord.Add(row);
    FCopyResults->setEnabled(true);
    FSaveResults->setEnabled(true);
    auto* item = new QTreeWidgetItem(list == TResultList::Write ? WriteListView : ReadListView);
    const TShownRow shown = ShownRow(row, DecimalSeparator());
    item->setText(0, QString::fromStdString(shown.Caption));
    item->setText(1, QString::fromStdString(shown.Duration));
    item->setText(2, QString::fromStdString(shown.Throughput));
    // The row's interval, repeats and proof, as plain text (never read as markup).
    const QString details =
        QStringLiteral("<p style='white-space:pre'>%1</p>")
            .arg(QString::fromStdString(results::RowSummary(row)).toHtmlEscaped());
    for (int column = 0; column < 3; ++column) {
        item->setToolTip(column, details);
    }
}

} // namespace orvane
