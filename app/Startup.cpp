// Start-up in the fixed order: toolkit, title, window (with the priority requests), loop.
#include "app/Startup.h"

#include "app/Artwork.h"
#include "app/ClassicLook.h"
#include "app/DesktopLook.h"
#include "app/Dialogs.h"
#include "app/MainForm.h"
#include "app/Priorities.h"
#include "app/SettingsFile.h"
#include "app/StopSignals.h"
#include "bench/ResultRow.h"
#include "orvane/Version.h"

#include <QApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

namespace {

constexpr const char* HelpText =
    "Usage: orvane [--help] [--version]\n"
    "Opens the Orvane window: a disk-throughput benchmark that writes and reads one large\n"
    "test file through the File, mmio or Win32 layer, for every buffer size from 1K to 1M.\n"
    "The window needs a display (X11 or Wayland); orvane-cli runs the same benchmark without\n"
    "one (see orvane-cli --help). Qt's own options, such as -platform, are accepted too.\n";

constexpr const char* NoDisplayText =
    "orvane: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set); the benchmark runs "
    "without a window as orvane-cli";

constexpr const char* UnreachableDisplayText =
    "orvane: cannot open a window on the display \"%s\"; the benchmark runs without a window as "
    "orvane-cli";

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// The platform plugin Qt will try: the -platform option, else QT_QPA_PLATFORM ("" for Qt's
// default, which on Linux is xcb).
std::string RequestedPlatform(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if ((argument == "-platform" || argument == "--platform") && i + 1 < argc) {
            return argv[i + 1];
        }
    }
    return Environment("QT_QPA_PLATFORM");
}

// True when every plugin in Qt's list ("wayland;xcb", "xcb:option") talks to a display server.
bool NeedsDisplayServer(const std::string& platforms) {
    if (platforms.empty()) {
        return true;
    }
    std::string_view rest = platforms;
    while (!rest.empty()) {
        const std::string_view entry = rest.substr(0, rest.find(';'));
        rest.remove_prefix(std::min(rest.size(), entry.size() + 1));
        const std::string_view name = entry.substr(0, entry.find(':'));
        if (!name.empty() && !name.starts_with("xcb") && !name.starts_with("wayland")) {
            return false;
        }
    }
    return true;
}

// Qt ends the process through qFatal (an abort and a core dump) when its platform plugin
// cannot connect to a display that is named but unreachable. Until the application stands,
// Qt's messages are held back, so that such a failure reads as one line and exits with 1.
std::vector<QString>* HeldMessages = nullptr;
bool DisplayFailureIsOurs = false;

void HoldStartMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type != QtFatalMsg) {
        HeldMessages->push_back(qFormatLogMessage(type, context, text));
        return;
    }
    if (DisplayFailureIsOurs) {
        const std::string display = Environment("DISPLAY").empty() ? Environment("WAYLAND_DISPLAY")
                                                                   : Environment("DISPLAY");
        std::fprintf(stderr, UnreachableDisplayText, display.c_str());
        std::fputc('\n', stderr);
    } else {
        for (const QString& held : *HeldMessages) {
            std::fprintf(stderr, "%s\n", qPrintable(held));
        }
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
    }
    std::_Exit(1);
}

} // namespace

std::optional<int> StartWithoutWindow(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--version") {
            std::printf("orvane %s\n", OrvaneVersion);
            return 0;
        }
        if (argument == "--help" || argument == "-h") {
            std::fputs(HelpText, stdout);
            return 0;
        }
    }
    DisplayFailureIsOurs = NeedsDisplayServer(RequestedPlatform(argc, argv));
    if (DisplayFailureIsOurs && Environment("DISPLAY").empty() &&
        Environment("WAYLAND_DISPLAY").empty()) {
        std::fprintf(stderr, "%s\n", NoDisplayText);
        return 1;
    }
    return std::nullopt;
}

std::unique_ptr<TMainForm> CreateAndShowMainForm(TDialogs& dialogs, TPriorities& priorities) {
    auto form = std::make_unique<TMainForm>(dialogs, priorities);
    form->ShowCentred();
    return form;
}

int RunOrvane(int& argc, char** argv) {
    if (const std::optional<int> exitCode = StartWithoutWindow(argc, argv)) {
        return *exitCode;
    }
    std::vector<QString> heldMessages;
    HeldMessages = &heldMessages;
    const QtMessageHandler previousHandler = qInstallMessageHandler(HoldStartMessages);
    QApplication application(argc, argv);
    qInstallMessageHandler(previousHandler);
    for (const QString& held : heldMessages) {
        std::fprintf(stderr, "%s\n", qPrintable(held));
    }
    HeldMessages = nullptr;
    // The name only, not a display name: Qt would append a display name to every caption.
    QApplication::setApplicationName(QString::fromLatin1(ApplicationTitle));
    QApplication::setOrganizationName(QString::fromLatin1(ApplicationTitle)); // the settings' place
    QApplication::setWindowIcon(ApplicationIcon());
    RememberDesktopLook(application); // for the chart's window, which follows the desktop
    ApplyClassicLook(application);
    DecimalSeparator(); // the user's locale as it is at program start

    // Before the window reads a setting, and said once, before it shows.
    const std::string settingsProblem = CheckSettingsFile();
    TQtDialogs dialogs;
    if (!settingsProblem.empty()) {
        dialogs.ShowMessageDialog(settingsProblem, TMsgDlgType::mtWarning, TMsgDlgButtons::mbOK);
    }
    TPlatformPriorities priorities;
    const std::unique_ptr<TMainForm> form = CreateAndShowMainForm(dialogs, priorities);
    TStopSignals stopSignals;
    QObject::connect(&stopSignals, &TStopSignals::Received, form.get(),
                     [&form] { form->RequestClose(); });
    QApplication::exec();
    return 0;
}

} // namespace orvane
