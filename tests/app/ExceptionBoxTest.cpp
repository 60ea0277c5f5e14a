// The exception box: its final-period rule, its look, and the guard that hands it every
// exception escaping a handler.
#include "app/ExceptionBox.h"
#include "app/HandlerGuard.h"
#include "fileio/Exception.h"
#include "tests/support/FakeDialogs.h"

#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>
#include <stdexcept>

namespace orvane {
namespace {

TEST(ExceptionBox, FinalPeriodRule) {
    struct Case {
        std::string message;
        std::string shown;
    };
    const Case cases[] = {
        {"Dateizugriff verweigert", "Dateizugriff verweigert."},
        {"Disk full!", "Disk full!"},
        {"Already ends.", "Already ends."},
        {"", ""},
        {"Code 5", "Code 5."},
        {"Question?", "Question?."},
        {"Colon:", "Colon:."},
        {"(closed)", "(closed)"},
        {"a, b,", "a, b,"},
        {"dash-", "dash-"},
        {"blank ", "blank "},
        {"slash/", "slash/."},                         // "/" is 47, after "."
        {"Datentr\xC3\xA4ger", "Datentr\xC3\xA4ger."}, // a UTF-8 byte from 128 up
        {"line\r", "line\r"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ExceptionBoxText(c.message), c.shown) << "for \"" << c.message << '"';
    }
}

TEST(ExceptionBox, GuardShowsWhateverEscapesAndReturns) {
    TRecordingDialogs dialogs;
    bool after = false;
    RunGuarded(dialogs, [] { throw Exception("Dateizugriff verweigert"); });
    RunGuarded(dialogs, [] { throw std::runtime_error("from the library"); });
    RunGuarded(dialogs, [] { throw 42; });
    RunGuarded(dialogs, [&] { after = true; });
    EXPECT_TRUE(after);
    EXPECT_EQ(dialogs.Exceptions,
              (std::vector<std::string>{"Dateizugriff verweigert", "from the library",
                                        "Unknown exception"}));
}

TEST(ExceptionBox, IsAnApplicationModalStopBoxTitledWithTheApplication) {
    QWidget window;
    window.setWindowTitle(QStringLiteral("Orvane [/tmp/x.tmp]"));
    window.show();
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    Qt::WindowModality modality = Qt::NonModal;
    int buttons = 0;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        modality = box->windowModality();
        buttons = static_cast<int>(box->buttons().size());
        box->accept();
    });
    ShowExceptionBox(Exception("Auf dem Datentr\xC3\xA4ger ist kein Platz"));
    EXPECT_EQ(title, QStringLiteral("Orvane"));
    EXPECT_EQ(text, QString::fromUtf8("Auf dem Datentr\xC3\xA4ger ist kein Platz."));
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_EQ(modality, Qt::ApplicationModal);
    EXPECT_EQ(buttons, 1);
}

} // namespace
} // namespace orvane
