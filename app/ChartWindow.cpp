// The chart window and what its buttons do.
#include "app/ChartWindow.h"

#include "app/Dialogs.h"
#include "charts/ChartFile.h"
#include "charts/ChartView.h"
#include "results/History.h"
#include "results/SafeWrite.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace orvane {

namespace {

// A control with the name tests find it by and the name a screen reader says.
template <typename Control>
Control* Named(Control* control, const char* objectName, const char* accessibleName) {
    control->setObjectName(QString::fromLatin1(objectName));
    control->setAccessibleName(QString::fromLatin1(accessibleName));
    return control;
}

} // namespace

TChartWindow::TChartWindow(TDialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), FDialogs(dialogs) {
    setObjectName(QStringLiteral("ChartWindow"));
    setWindowTitle(QStringLiteral("Orvane - Chart"));
    setAccessibleName(QStringLiteral("Chart"));
    FView = new charts::TChartView(this);
    AddButton = Named(new QPushButton(QStringLiteral("&Add results..."), this), "AddResults",
                      "Add saved results");
    RemoveButton = Named(new QPushButton(QStringLiteral("&Remove added"), this), "RemoveAdded",
                         "Remove the added results");
    LogScaleBox = Named(new QCheckBox(QStringLiteral("&Logarithmic throughput"), this), "LogScale",
                        "Logarithmic throughput axis");
    ExportButton = Named(new QPushButton(QStringLiteral("&Export..."), this), "ExportChart",
                         "Export the chart as PNG or SVG");
    auto* close = new QPushButton(QStringLiteral("Close"), this);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(AddButton);
    buttons->addWidget(RemoveButton);
    buttons->addWidget(LogScaleBox);
    buttons->addStretch();
    buttons->addWidget(ExportButton);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(FView, 1);
    layout->addLayout(buttons);
    resize(960, 640);

    connect(AddButton, &QPushButton::clicked, this, &TChartWindow::AskAndAdd);
    connect(RemoveButton, &QPushButton::clicked, this, &TChartWindow::RemoveAdded);
    connect(LogScaleBox, &QCheckBox::toggled, FView, &charts::TChartView::SetLogThroughput);
    connect(ExportButton, &QPushButton::clicked, this, &TChartWindow::Export);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    Show();
}

void TChartWindow::SetCurrentRun(std::optional<results::TSavedRun> run) {
    FCurrent = std::move(run);
    Show();
}

bool TChartWindow::Shown(const results::TSavedRun& run) const {
    const auto same = [&](const results::TSavedRun& shown) {
        return results::SameRun(shown.Info, run.Info) ||
               (!shown.File.empty() && results::SameFile(shown.File, run.File));
    };
    return (FCurrent && same(*FCurrent)) || std::any_of(FAdded.begin(), FAdded.end(), same);
}

void TChartWindow::AddFiles(const std::vector<std::string>& files) {
    std::string problems;
    for (const std::string& file : files) {
        try {
            results::TSavedRun run = results::LoadSavedRun(file);
            // The window's own last run, its history file, or a saved copy: drawn once.
            if (!Shown(run)) {
                FAdded.push_back(std::move(run));
            }
        } catch (const results::EResultsFile& error) {
            problems += problems.empty() ? "" : "\n";
            problems += error.what();
        }
    }
    Show();
    if (!problems.empty()) {
        FDialogs.ShowMessageDialog("These results could not be added:\n" + problems,
                                   TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
    }
}

void TChartWindow::AskAndAdd() {
    AddFiles(FDialogs.AskResultsToAdd(results::HistoryDirectory()));
}

void TChartWindow::RemoveAdded() {
    FAdded.clear();
    Show();
}

void TChartWindow::Export() {
    const std::string fileName = FDialogs.AskChartFileName();
    if (fileName.empty()) {
        return;
    }
    const auto format = charts::ChartFormatOf(fileName);
    if (!format) {
        FDialogs.ShowMessageDialog("The chart can be saved as .png or .svg, not as " + fileName +
                                       ".",
                                   TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
        return;
    }
    // Drawn from a chart of its own, so that the one on screen keeps its size and state.
    charts::TChartView drawn;
    drawn.SetRuns(FView->Runs());
    drawn.SetLogThroughput(FView->LogThroughput());
    const QByteArray bytes = charts::RenderChart(*drawn.chart(), *format);
    const results::TWriteOutcome written = results::WriteWholeFile(
        fileName, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    if (!written) {
        FDialogs.ShowMessageDialog("The chart could not be saved to " + fileName + ": " +
                                       written.Problem,
                                   TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
    }
}

void TChartWindow::Show() {
    std::vector<results::TSavedRun> runs;
    if (FCurrent) {
        runs.push_back(*FCurrent);
    }
    runs.insert(runs.end(), FAdded.begin(), FAdded.end());
    FView->SetRuns(std::move(runs));
    RemoveButton->setEnabled(!FAdded.empty());
}

} // namespace orvane
