// Runs the real window's benchmark under whatever display is set (an X server, for the
// numbers that matter) and prints each pass's time as the window measured it, one line per
// row: "W 1K 123456" (nanoseconds). perf/window-vs-cli.sh sets it beside orvane-cli.
#include "app/ClassicLook.h"
#include "app/MainForm.h"
#include "tests/support/FakeDialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

using namespace orvane;

// The window as it is, keeping each row's clock readings, which its lists show rounded.
class TTimedForm : public TMainForm {
public:
    using TMainForm::TMainForm;
    void AddResultRow(TResultList list, const TResultRow& row) override {
        std::printf("%s %s %lld\n", list == TResultList::Write ? "W" : "R", row.ChunkLabel.c_str(),
                    static_cast<long long>(row.Elapsed().count()));
        TMainForm::AddResultRow(list, row);
    }
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[2], "file") != 0 && std::strcmp(argv[2], "win32") != 0)) {
        std::fprintf(stderr, "usage: orvane_window_pass DIR file|win32\n");
        return 2;
    }
    QApplication application(argc, argv);
    ApplyClassicLook(application);
    TRecordingDialogs dialogs;
    dialogs.SaveDialogAnswer = std::string(argv[1]) + "/orvane-window-pass.tmp";
    TFakePriorities priorities{true, true};
    TTimedForm form(dialogs, priorities);
    form.FileSizeTrackBar->setValue(0); // 1M; the block size starts at 256
    if (std::strcmp(argv[2], "win32") == 0) {
        form.AccessRadioItem(TAccessMethod::amWin32)->click();
        form.WriteBufferedCheckBox->setChecked(true);
        form.ReadBufferedCheckBox->setChecked(true);
    }
    form.show();
    QApplication::processEvents();
    form.GoBitBtn->click();
    std::fflush(stdout);
    if (!dialogs.Exceptions.empty() || !dialogs.Messages.empty()) {
        std::fprintf(stderr, "the run did not complete\n");
        return 1;
    }
    return 0;
}
