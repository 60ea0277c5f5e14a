// The window's seams to the user: the message dialog, the exception box and the file
// dialogs. The desktop program shows real dialogs; tests answer them.
#pragma once

#include "app/MatrixDialog.h"

#include <exception>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace orvane {

inline constexpr const char* ApplicationTitle = "Orvane";

enum class TMsgDlgType { mtWarning, mtError };

// The only button set the program ever asks for.
enum class TMsgDlgButtons { mbOK };

inline constexpr int mrOK = 1;

class TSaveDialog;

// Where saved results go and as what: the format is the name's (".json" or ".csv"), else the
// file type chosen in the dialog.
struct TResultsFileChoice {
    std::string Name; // empty when the user cancels
    bool Json = false;
};

class TDialogs {
public:
    virtual ~TDialogs() = default;
    virtual int ShowMessageDialog(const std::string& text, TMsgDlgType kind,
                                  TMsgDlgButtons buttons) = 0;
    virtual void ShowExceptionBox(const std::exception& error) = 0;
    // Shows the dialog modally; on confirmation stores the chosen name in its FileName.
    virtual bool ExecuteSaveDialog(TSaveDialog& dialog) = 0;
    // Asks where the results go and as what ("*.csv" or "*.json").
    virtual TResultsFileChoice AskResultsFileName() = 0;
    // Asks for saved results to add to the chart, opening in `directory`; none when the
    // user cancels.
    virtual std::vector<std::string> AskResultsToAdd(const std::string& directory) = 0;
    // Asks where the chart goes ("*.png" or "*.svg"); empty when the user cancels.
    virtual std::string AskChartFileName() = 0;
    // Asks what a matrix measures, starting from `last`; none when the user cancels.
    virtual std::optional<TMatrixRequest> AskMatrix(const TMatrixRequest& last) = 0;
};

// The real dialogs of the desktop program.
class TQtDialogs final : public TDialogs {
public:
    int ShowMessageDialog(const std::string& text, TMsgDlgType kind,
                          TMsgDlgButtons buttons) override;
    void ShowExceptionBox(const std::exception& error) override;
    bool ExecuteSaveDialog(TSaveDialog& dialog) override;
    TResultsFileChoice AskResultsFileName() override;
    std::vector<std::string> AskResultsToAdd(const std::string& directory) override;
    std::string AskChartFileName() override;
    std::optional<TMatrixRequest> AskMatrix(const TMatrixRequest& last) override;
};

} // namespace orvane
