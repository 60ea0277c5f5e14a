// Test doubles for the window's seams: dialogs that record what they were asked to show,
// and priority requests that succeed or are refused as a test chooses.
#pragma once

#include "app/Dialogs.h"
#include "app/MainForm.h"
#include "app/Priorities.h"
#include "app/SaveDialog.h"

#include <QApplication>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orvane {

class TRecordingDialogs : public TDialogs {
public:
    struct TMessage {
        std::string text;
        TMsgDlgType kind;
        bool mainWindowVisible; // was any main window on screen when it was shown
    };

    int ShowMessageDialog(const std::string& text, TMsgDlgType kind, TMsgDlgButtons) override {
        Messages.push_back({text, kind, AnyMainFormVisible()});
        return mrOK;
    }
    void ShowExceptionBox(const std::exception& error) override {
        Exceptions.emplace_back(error.what());
    }
    bool ExecuteSaveDialog(TSaveDialog& dialog) override {
        SaveDialogProposals.push_back(dialog.FileName);
        if (DuringSaveDialog) {
            DuringSaveDialog(); // what happens while the user looks at it
        }
        if (SaveDialogAnswer.empty()) {
            return false;
        }
        dialog.FileName = SaveDialogAnswer;
        return true;
    }

    TResultsFileChoice AskResultsFileName() override { return ResultsFileAnswer; }
    std::vector<std::string> AskResultsToAdd(const std::string& directory) override {
        AddDialogDirectories.push_back(directory);
        return AddAnswer;
    }
    std::string AskChartFileName() override { return ChartFileAnswer; }
    std::optional<TMatrixRequest> AskMatrix(const TMatrixRequest& last) override {
        MatrixAsked.push_back(last);
        return MatrixAnswer;
    }

    static bool AnyMainFormVisible() {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (qobject_cast<TMainForm*>(widget) != nullptr && widget->isVisible()) {
                return true;
            }
        }
        return false;
    }

    std::vector<TMessage> Messages;
    std::vector<std::string> Exceptions;
    std::vector<std::string> SaveDialogProposals;
    std::string SaveDialogAnswer; // empty: the user cancels
    std::function<void()> DuringSaveDialog;
    TResultsFileChoice ResultsFileAnswer; // an empty name: the user cancels
    std::vector<std::string> AddDialogDirectories;
    std::vector<std::string> AddAnswer; // empty: the user cancels
    std::string ChartFileAnswer;        // empty: the user cancels
    std::vector<TMatrixRequest> MatrixAsked;
    std::optional<TMatrixRequest> MatrixAnswer; // none: the user cancels
};

class TFakePriorities : public TPriorities {
public:
    TFakePriorities(bool processGranted, bool threadGranted)
        : FProcessGranted(processGranted), FThreadGranted(threadGranted) {}
    bool RaiseProcessPriority() override {
        Calls.push_back("process");
        return FProcessGranted;
    }
    bool RaiseThreadPriority() override {
        Calls.push_back("thread");
        return FThreadGranted;
    }
    std::vector<std::string> Calls;

private:
    bool FProcessGranted;
    bool FThreadGranted;
};

} // namespace orvane
