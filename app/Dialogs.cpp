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

std::string TQtDialogs::AskResultsFileName() {
    QFileDialog fileDialog(QApplication::activeWindow(), QStringLiteral("Save results"));
    fileDialog.setAcceptMode(QFileDialog::AcceptSave);
    fileDialog.setNameFilters({QStringLiteral("CSV (*.csv)"), QStringLiteral("JSON (*.json)")});
    fileDialog.setDefaultSuffix(QStringLiteral("csv"));
    if (fileDialog.exec() != QDialog::Accepted || fileDialog.selectedFiles().isEmpty()) {
        return {};
    }
    return fileDialog.selectedFiles().constFirst().toStdString();
}

std::vector<std::string> TQtDialogs::AskResultsToAdd(const std::string& directory) {
    QFileDialog fileDialog(QApplication::activeWindow(), QStringLiteral("Add results"),
                           QString::fromStdString(directory));
    fileDialog.setAcceptMode(QFileDialog::AcceptOpen);
    fileDialog.setFileMode(QFileDialog::ExistingFiles);
    fileDialog.setNameFilters(
        {QStringLiteral("Saved results (*.json)"), QStringLiteral("All files (*)")});
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
    fileDialog.setDefaultSuffix(QStringLiteral("png"));
    // The suffix follows the chosen filter.
    QObject::connect(&fileDialog, &QFileDialog::filterSelected, &fileDialog,
                     [&fileDialog](const QString& filter) {
                         fileDialog.setDefaultSuffix(filter.contains(QStringLiteral("svg"))
                                                         ? QStringLiteral("svg")
                                                         : QStringLiteral("png"));
                     });
    if (fileDialog.exec() != QDialog::Accepted || fileDialog.selectedFiles().isEmpty()) {
        return {};
    }
    return fileDialog.selectedFiles().constFirst().toStdString();
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
