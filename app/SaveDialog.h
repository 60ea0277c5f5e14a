// The save-file dialog through which a run gets the location of its test file: its
// settings, the proposed name and, after a confirmation, the chosen one.
#pragma once

#include "app/Dialogs.h"

#include <string>

namespace orvane {

class TSaveDialog {
public:
    explicit TSaveDialog(TDialogs& dialogs) : FDialogs(dialogs) {}

    const std::string Title = "Select location for temporary testfile";
    const std::string Filter = "Temporary testfile (*.tmp)";
    const std::string DefaultExt = "tmp";
    const std::string InitialDir = ".";
    const bool ConfirmOverwrite = false;
    const bool Resizable = true;

    std::string FileName;

    bool Execute() { return FDialogs.ExecuteSaveDialog(*this); }

private:
    TDialogs& FDialogs;
};

} // namespace orvane
