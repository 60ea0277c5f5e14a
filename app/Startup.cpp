// Start-up in the fixed order: toolkit, title, window (with the priority requests), loop.
#include "app/Startup.h"

#include "app/Artwork.h"
#include "app/ClassicLook.h"
#include "app/Dialogs.h"
#include "app/MainForm.h"
#include "app/Priorities.h"
#include "app/StopSignals.h"
#include "bench/ResultRow.h"

#include <QApplication>

namespace orvane {

std::unique_ptr<TMainForm> CreateAndShowMainForm(TDialogs& dialogs, TPriorities& priorities) {
    auto form = std::make_unique<TMainForm>(dialogs, priorities);
    form->ShowCentred();
    return form;
}

int RunOrvane(int& argc, char** argv) {
    QApplication application(argc, argv);
    // The name only, not a display name: Qt would append a display name to every caption.
    QApplication::setApplicationName(QString::fromLatin1(ApplicationTitle));
    QApplication::setWindowIcon(ApplicationIcon());
    ApplyClassicLook(application);
    DecimalSeparator(); // the user's locale as it is at program start

    TQtDialogs dialogs;
    TPlatformPriorities priorities;
    const std::unique_ptr<TMainForm> form = CreateAndShowMainForm(dialogs, priorities);
    TStopSignals stopSignals;
    QObject::connect(&stopSignals, &TStopSignals::Received, form.get(),
                     [&form] { form->RequestClose(); });
    QApplication::exec();
    return 0;
}

} // namespace orvane
