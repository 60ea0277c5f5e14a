// The desktop program's real dialogs.
#include "app/Dialogs.h"

#include "app/ExceptionBox.h"
#include "app/MessageDialog.h"
#include "app/SaveDialog.h"

#include <QApplication>
#include <QFileDialog>

namespace orvane {

int TQtDialogs::ShowMessageDialog(const std::string& text, TMsgDlgType kind,
                                  TMsgDlgButtons buttons) {
    return orvane::ShowMessageDialog(text, kind, buttons);
}

void TQtDialogs::ShowExceptionBox(const std::exception& error) {
    orvane::ShowExceptionBox(error);
}

namespace {

// The suffix a typed name without one gets follows the chosen file type.
void SuffixFollowsFilter(QFileDialog& fileDialog, const QString& first, const QString& second) {
    fileDialog.setDefaultSuffix(first);
    QObject::connect(&fileDialog, &QFileDialog::filterSelected, &fileDialog,
                     [&fileDialog, first, second](const QString& filter) {
                         fileDialog.setDefaultSuffix(
                             filter.contains(QStringLiteral("*.") + second) ? second : first);
                     });
}

bool EndsWith(const QString& name, const char* suffix) {
    return name.endsWith(QLatin1String(suffix), Qt::CaseInsensitive);
}

} // namespace

TResultsFileChoice TQtDialogs::AskResultsFileName() {
    QFileDialog fileDialog(QApplication::activeWindow(), QStringLiteral("Save results"));
    fileDialog.setAcceptMode(QFileDialog::AcceptSave);
    fileDialog.setNameFilters({QStringLiteral("CSV (*.csv)"), QStringLiteral("JSON (*.json)")});
    SuffixFollowsFilter(fileDialog, QStringLiteral("csv"), QStringLiteral("json"));
    if (fileDialog.exec() != QDialog::Accepted || fileDialog.selectedFiles().isEmpty()) {
        return {};
    }
    const QString name = fileDialog.selectedFiles().constFirst();
    const bool json = EndsWith(name, ".json") ||
                      (!EndsWith(name, ".csv") &&
                       fileDialog.selectedNameFilter().contains(QStringLiteral("*.json")));
    return {name.toStdString(), json};
}

std::vector<std::string> TQtDialogs::AskResultsToAdd(const std::string& directory) {
    QFileDialog fileDialog(QApplication::activeWindow(), QStringLiteral("Add results"),
                           QString::fromStdString(directory));
    fileDialog.setAcceptMode(QFileDialog::AcceptOpen);
    fileDialog.setFileMode(QFileDialog::ExistingFiles);
    fileDialog.setNameFilters(
        {QStringLiteral("Saved results (*.json *.csv)"), QStringLiteral("All files (*)")});
    std::vector<std::string> files;
    if (fileDialog.exec() == QDialog::Accepted) {
        for (const QString& file : fileDialog.selectedFiles()) {
            files.push_back(file.toStdString());
        }
    }
    return files;
}

std::string TQtDialogs::AskChartFileName() {
    QFileDialog fileDialog(QApplication::activeWindow(), QStringLiteral("Export chart"));
    fileDialog.setAcceptMode(QFileDialog::AcceptSave);
    fileDialog.setNameFilters(
        {QStringLiteral("PNG image (*.png)"), QStringLiteral("SVG drawing (*.svg)")});
    SuffixFollowsFilter(fileDialog, QStringLiteral("png"), QStringLiteral("svg"));
    if (fileDialog.exec() != QDialog::Accepted || fileDialog.selectedFiles().isEmpty()) {
        return {};
    }
    return fileDialog.selectedFiles().constFirst().toStdString();
}

std::optional<TMatrixRequest> TQtDialogs::AskMatrix(const TMatrixRequest& last) {
    TMatrixDialog dialog(last, QApplication::activeWindow());
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.Request();
}

bool TQtDialogs::ExecuteSaveDialog(TSaveDialog& dialog) {
    QFileDialog fileDialog(QApplication::activeWindow(), QString::fromStdString(dialog.Title),
                           QString::fromStdString(dialog.InitialDir));
    fileDialog.setAcceptMode(QFileDialog::AcceptSave);
    fileDialog.setFileMode(QFileDialog::AnyFile);
    fileDialog.setNameFilter(QString::fromStdString(dialog.Filter));
    fileDialog.setDefaultSuffix(QString::fromStdString(dialog.DefaultExt));
    fileDialog.setOption(QFileDialog::DontConfirmOverwrite, !dialog.ConfirmOverwrite);
    fileDialog.setSizeGripEnabled(dialog.Resizable);
    fileDialog.selectFile(QString::fromStdString(dialog.FileName));
    if (fileDialog.exec() != QDialog::Accepted || fileDialog.selectedFiles().isEmpty()) {
        return false;
    }
    dialog.FileName = fileDialog.selectedFiles().constFirst().toStdString();
    return true;
}

} // namespace orvane
