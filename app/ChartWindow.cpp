// The chart window and what its buttons do.
#include "app/ChartWindow.h"

#include "app/DesktopLook.h"
#include "app/Dialogs.h"
#include "charts/ChartFile.h"
#include "charts/ChartValues.h"
#include "charts/ChartView.h"
#include "charts/MatrixView.h"
#include "results/History.h"
#include "results/SafeWrite.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <variant>

namespace orvane {

namespace {

const char* const KeyText =
    "Solid lines: write, dashed: read; a band spans a run's slowest to its fastest repeat. "
    "Point at a point for its row.";

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
    // The desktop's look, not the main window's classic one: its fonts scale, its palette may
    // be dark.
    setPalette(DesktopPalette());
    setFont(DesktopFont());
    FView = new charts::TChartView(this);
    charts::TChartOptions options = FView->Options();
    options.Legend = false; // the runs are listed beside the chart instead
    options.Dark = DesktopIsDark();
    FView->SetOptions(options);
    FRunList = new QListWidget(this);
    FRunList->setObjectName(QStringLiteral("ChartRuns"));
    FRunList->setAccessibleName(QStringLiteral("Runs shown: uncheck one to hide it"));
    FRunList->setWordWrap(true);
    FRunList->setMinimumWidth(160);
    FValues = new charts::TChartValues(this);
    FMatrixView = new charts::TMatrixView(this);
    AddButton = Named(new QPushButton(QStringLiteral("&Add results..."), this), "AddResults",
                      "Add saved results");
    RemoveButton = Named(new QPushButton(QStringLiteral("&Remove added"), this), "RemoveAdded",
                         "Remove the added results");
    LogScaleBox = Named(new QCheckBox(QStringLiteral("&Logarithmic throughput"), this), "LogScale",
                        "Logarithmic throughput axis");
    ExportButton = Named(new QPushButton(QStringLiteral("&Export..."), this), "ExportChart",
                         "Export the chart as PNG or SVG");
    auto* close = new QPushButton(QStringLiteral("Close"), this);

    auto* chartPage = new QWidget(this);
    auto* chartLayout = new QHBoxLayout(chartPage);
    chartLayout->setContentsMargins(0, 0, 0, 0);
    auto* side = new QVBoxLayout;
    side->addWidget(FRunList, 1);
    auto* key = new QLabel(QString::fromLatin1(KeyText), chartPage);
    key->setWordWrap(true);
    side->addWidget(key);
    chartLayout->addWidget(FView, 3);
    chartLayout->addLayout(side, 1);
    FTabs = new QTabWidget(this);
    FTabs->setObjectName(QStringLiteral("ChartTabs"));
    FTabs->addTab(chartPage, QStringLiteral("&Chart"));
    FTabs->addTab(FValues, QStringLiteral("&Values"));
    FTabs->addTab(FMatrixView, QStringLiteral("&Matrix"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(AddButton);
    buttons->addWidget(RemoveButton);
    buttons->addWidget(LogScaleBox);
    buttons->addStretch();
    buttons->addWidget(ExportButton);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(FTabs, 1);
    layout->addLayout(buttons);
    FitIntoScreen();

    connect(AddButton, &QPushButton::clicked, this, &TChartWindow::AskAndAdd);
    connect(RemoveButton, &QPushButton::clicked, this, &TChartWindow::RemoveAdded);
    connect(LogScaleBox, &QCheckBox::toggled, FView, &charts::TChartView::SetLogThroughput);
    connect(ExportButton, &QPushButton::clicked, this, &TChartWindow::Export);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(FRunList, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        FView->SetRunHidden(static_cast<std::size_t>(FRunList->row(item)),
                            item->checkState() != Qt::Checked);
    });
    Show();
}

void TChartWindow::FitIntoScreen() {
    // 960 x 640 where the screen has room, less on a small one: every button stays in reach.
    const QRect screen =
        this->screen() != nullptr ? this->screen()->availableGeometry() : QRect(0, 0, 960, 640);
    resize(std::min(960, screen.width() - 32), std::min(640, screen.height() - 48));
    move(screen.x() + (screen.width() - width()) / 2,
         screen.y() + (screen.height() - height()) / 2);
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
            results::TSavedResults saved = results::LoadSavedResults(file);
            if (auto* matrix = std::get_if<results::TSavedMatrix>(&saved)) {
                SetMatrix(std::move(*matrix));
                continue;
            }
            results::TSavedRun& run = std::get<results::TSavedRun>(saved);
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

void TChartWindow::SetMatrix(results::TSavedMatrix matrix) {
    FMatrixView->SetMatrix(std::move(matrix));
    FTabs->setCurrentWidget(FMatrixView);
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
    if (FTabs->currentWidget() == FMatrixView && FMatrixView->Matrix()) {
        const std::string bytes = charts::RenderMatrixChart(*FMatrixView->Matrix(), *format);
        if (const results::TWriteOutcome written = results::WriteWholeFile(fileName, bytes);
            !written) {
            FDialogs.ShowMessageDialog("The matrix could not be saved to " + fileName + ": " +
                                           written.Problem,
                                       TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
        }
        return;
    }
    // Drawn from a chart of its own, so that the one on screen keeps its size and state; the
    // file has its legend, light, with the runs shown on screen.
    charts::TChartView drawn;
    drawn.SetRuns(FView->Runs());
    charts::TChartOptions options = FView->Options();
    options.Legend = true;
    options.Dark = false;
    drawn.SetOptions(options);
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
    FView->SetRuns(runs);
    FValues->SetRuns(runs);
    const QSignalBlocker quiet(FRunList);
    FRunList->clear();
    for (std::size_t r = 0; r < runs.size(); ++r) {
        auto* item = new QListWidgetItem(charts::RunLegendLabel(r, runs[r]), FRunList);
        QPixmap swatch(12, 12);
        swatch.fill(charts::RunColour(r));
        item->setIcon(QIcon(swatch));
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
    }
    RemoveButton->setEnabled(!FAdded.empty());
}

} // namespace orvane
