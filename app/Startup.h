// The program's start: application, title, classic look, the one window and its loop.
#pragma once

#include <memory>
#include <optional>

namespace orvane {

class TDialogs;
class TMainForm;
class TPriorities;

// Creates the main window (whose FormCreate makes the priority requests and shows their
// warnings) and only then shows it, centred. Needs a QApplication.
std::unique_ptr<TMainForm> CreateAndShowMainForm(TDialogs& dialogs, TPriorities& priorities);

// What the program does before it needs a display: answers --version and --help, and refuses
// in one line when there is no display to open. Returns the exit code when the program ends
// here, nothing when the window may start.
std::optional<int> StartWithoutWindow(int argc, char** argv);

// The whole program: returns the process's exit code, 0 when the window was closed.
int RunOrvane(int& argc, char** argv);

} // namespace orvane
