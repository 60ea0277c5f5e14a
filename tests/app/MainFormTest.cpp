// The main window: every control's place, text and starting state, the scales' handlers,
// the radio group's rule, Stop, the tab order, accessibility and the screenshot.
#include "app/MainForm.h"
#include "app/ClassicLook.h"
#include "app/Frames.h"
#include "app/Gauge.h"
#include "bench/Methods.h"
#include "bench/ResultRow.h"
#include "tests/support/Contrast.h"
#include "tests/support/FakeDialogs.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace orvane {
namespace {

class MainFormTest : public ::testing::Test {
protected:
    TRecordingDialogs Dialogs;
    TFakePriorities Priorities{true, true};
    TMainForm Form{Dialogs, Priorities};
};

TEST_F(MainFormTest, EveryControlHasItsPlaceAndText) {
    struct Place {
        const char* name;
        QWidget* widget;
        QRect rect;
        const char* text; // nullptr where the control shows no text of its own
    };
    const TMainForm& f = Form;
    const Place places[] = {
        {"WListLabel", f.WListLabel, {8, 8, 25, 13}, "Write"},
        {"WriteListView", f.WriteListView, {8, 24, 249, 185}, nullptr},
        {"RListLabel", f.RListLabel, {264, 8, 26, 13}, "Read"},
        {"ReadListView", f.ReadListView, {264, 24, 249, 185}, nullptr},
        {"Bevel", f.Bevel, {8, 216, 505, 9}, nullptr},
        {"SetupBevel", f.SetupBevel, {8, 224, 273, 121}, nullptr},
        {"AccessRadioGroup", f.AccessRadioGroup, {16, 232, 161, 41}, nullptr},
        {"WriteBufferedCheckBox", f.WriteBufferedCheckBox, {184, 232, 89, 17}, "Write buffered"},
        {"ReadBufferedCheckBox", f.ReadBufferedCheckBox, {184, 256, 89, 17}, "Read buffered"},
        {"FSLabel", f.FSLabel, {16, 280, 40, 13}, "File size:"},
        {"FileSizeTrackBar", f.FileSizeTrackBar, {16, 296, 129, 25}, nullptr},
        {"MinFSStaticText", f.MinFSStaticText, {16, 320, 25, 17}, "1M"},
        {"CurFSStaticText", f.CurFSStaticText, {56, 320, 49, 17}, "256M"},
        {"MaxFSStaticText", f.MaxFSStaticText, {120, 320, 25, 17}, "1G"},
        {"BSLabel", f.BSLabel, {160, 280, 51, 13}, "Block size:"},
        {"BlockSizeTrackBar", f.BlockSizeTrackBar, {160, 296, 113, 25}, nullptr},
        {"MinBSStaticText", f.MinBSStaticText, {160, 320, 25, 17}, "1"},
        {"CurBSStaticText", f.CurBSStaticText, {192, 320, 49, 17}, "256"},
        {"MaxBSStaticText", f.MaxBSStaticText, {248, 320, 25, 17}, "256"},
        {"GoBitBtn", f.GoBitBtn, {288, 232, 65, 41}, "Go!"},
        {"StopBitBtn", f.StopBitBtn, {288, 296, 65, 41}, "Stop"},
        {"InfoBevel", f.InfoBevel, {360, 224, 153, 121}, nullptr},
        {"CCSLabel", f.CCSLabel, {368, 232, 91, 13}, "Current chunk size:"},
        {"ChunkSizeTrackBar", f.ChunkSizeTrackBar, {368, 248, 137, 25}, nullptr},
        {"MinCSStaticText", f.MinCSStaticText, {368, 272, 25, 17}, "1K"},
        {"CurCSStaticText", f.CurCSStaticText, {416, 272, 41, 17}, "1K"},
        {"MaxCSStaticText", f.MaxCSStaticText, {480, 272, 25, 17}, "1M"},
        {"ProgressLabel", f.ProgressLabel, {368, 296, 44, 13}, "Progress:"},
        {"GaugePanel", f.GaugePanel, {368, 312, 137, 25}, nullptr},
        {"Gauge", f.Gauge, {4, 4, 129, 17}, nullptr},
    };
    for (const Place& p : places) {
        SCOPED_TRACE(p.name);
        ASSERT_NE(p.widget, nullptr);
        EXPECT_EQ(p.widget->geometry(), p.rect);
        if (p.text == nullptr) {
            continue;
        }
        if (const auto* label = qobject_cast<const QLabel*>(p.widget)) {
            EXPECT_EQ(label->text(), QString::fromLatin1(p.text));
        } else if (const auto* button = qobject_cast<const QAbstractButton*>(p.widget)) {
            EXPECT_EQ(button->text(), QString::fromLatin1(p.text));
        } else {
            ADD_FAILURE() << "no text to compare";
        }
    }
    EXPECT_EQ(f.Gauge->parentWidget(), f.GaugePanel);
    EXPECT_EQ(f.AccessRadioGroup->title(), QStringLiteral(" Access via "));
}

TEST_F(MainFormTest, TheGaugeIsCentredWithinThePanelsInnerBevel) {
    // Full, the bar stands out from the face: the gap to the inner bevel (whose lines lie
    // 2 pixels in from the panel's edges) must be the same on opposite sides, face-coloured.
    Form.Gauge->SetMaxValue(100);
    Form.Gauge->SetProgress(100);
    const QImage panel = Form.GaugePanel->grab().toImage();
    const QRgb face = Form.GaugePanel->palette().color(QPalette::Button).rgb() & 0xFFFFFF;
    const QRgb bar = Form.Gauge->palette().color(QPalette::Highlight).rgb() & 0xFFFFFF;
    const auto at = [&](int x, int y) { return panel.pixel(x, y) & 0xFFFFFF; };
    const struct {
        const char* line;
        int across; // the row or column looked along, clear of the text
        bool horizontal;
    } lines[] = {{"row 8", 8, true}, {"column 10", 10, false}, {"column 120", 120, false}};
    for (const auto& l : lines) {
        const int length = l.horizontal ? panel.width() : panel.height();
        const auto pixel = [&](int i) { return l.horizontal ? at(i, l.across) : at(l.across, i); };
        int first = -1;
        int last = -1;
        for (int i = 0; i < length; ++i) {
            if (pixel(i) == bar) {
                last = i;
                first = first < 0 ? i : first;
            }
        }
        ASSERT_GE(first, 0) << l.line;
        const int before = first - 3;              // from the inside of the inner bevel
        const int after = (length - 1 - 3) - last; // to the inside of the inner bevel
        EXPECT_EQ(before, after) << l.line;
        EXPECT_EQ(before, 1) << l.line;
        for (int i = 3; i < first; ++i) {
            EXPECT_EQ(pixel(i), face) << l.line << " at " << i;
        }
        for (int i = last + 1; i <= length - 4; ++i) {
            EXPECT_EQ(pixel(i), face) << l.line << " at " << i;
        }
    }
}

TEST_F(MainFormTest, SelectionsUseTheClassicHighlightAndRead) {
    for (QTreeWidget* list : {Form.WriteListView, Form.ReadListView}) {
        const QPalette palette = list->palette();
        for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
            EXPECT_EQ(palette.color(group, QPalette::Highlight), ClassicHighlight);
            EXPECT_GE(testing::ContrastRatio(palette.color(group, QPalette::Highlight).rgb(),
                                             palette.color(group, QPalette::HighlightedText).rgb()),
                      4.5);
        }
    }
    EXPECT_EQ(Form.Gauge->palette().color(QPalette::Highlight), ClassicHighlight);
}

TEST_F(MainFormTest, WindowIsFixedAndCaptioned) {
    EXPECT_EQ(Form.windowTitle(), QStringLiteral("Orvane"));
    EXPECT_EQ(Form.size(), QSize(521, 353));
    EXPECT_EQ(Form.minimumSize(), Form.maximumSize());
    EXPECT_FALSE(Form.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(Form.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(Form.windowFlags().testFlag(Qt::WindowSystemMenuHint));
    for (int size : {16, 32, 48}) {
        EXPECT_EQ(Form.windowIcon().pixmap(size).width(), size) << size;
    }
}

// The radio items come from the list of methods: each caption, however long a new one is,
// fits its item, and each item its group.
TEST_F(MainFormTest, EveryMethodsCaptionFitsItsPlace) {
    ASSERT_GT(Methods().size(), 0u);
    for (std::size_t i = 0; i < Methods().size(); ++i) {
        const QRadioButton* item = Form.AccessRadioItem(static_cast<TAccessMethod>(i));
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->text().remove(QLatin1Char('&')),
                  QString::fromLatin1(Methods()[i]->Caption));
        // The indicator, its gap and the caption's own width: what must be seen of it.
        const int shown = item->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth) +
                          item->style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing) +
                          item->fontMetrics().horizontalAdvance(item->text());
        EXPECT_LE(shown, item->width()) << Methods()[i]->Caption;
        EXPECT_TRUE(Form.AccessRadioGroup->rect().contains(item->geometry()))
            << Methods()[i]->Caption;
    }
}

TEST_F(MainFormTest, StartingState) {
    const TMainForm& f = Form;
    EXPECT_EQ(f.AccessMethod(), TAccessMethod::amFile);
    EXPECT_TRUE(f.AccessRadioItem(TAccessMethod::amFile)->isChecked());
    for (QCheckBox* box : {f.WriteBufferedCheckBox, f.ReadBufferedCheckBox}) {
        EXPECT_FALSE(box->isEnabled());
        EXPECT_FALSE(box->isChecked());
    }
    EXPECT_TRUE(f.GoBitBtn->isEnabled());
    EXPECT_FALSE(f.StopBitBtn->isEnabled());
    EXPECT_TRUE(f.FileSizeTrackBar->isEnabled());
    EXPECT_TRUE(f.BlockSizeTrackBar->isEnabled());
    EXPECT_TRUE(f.AccessRadioGroup->isEnabled());
    EXPECT_FALSE(f.ChunkSizeTrackBar->isEnabled());
    EXPECT_EQ(f.WriteListView->topLevelItemCount(), 0);
    EXPECT_EQ(f.ReadListView->topLevelItemCount(), 0);
    EXPECT_EQ(f.Gauge->Progress(), 0);
    EXPECT_EQ(f.Gauge->PercentDone(), 0);
    EXPECT_EQ(f.Gauge->MaxValue(), 100);
    EXPECT_EQ(f.FileSize(), 268435456);
    EXPECT_EQ(f.BlockSize(), 0);
    EXPECT_EQ(f.ChunkSize(), 0);
    EXPECT_FALSE(f.StopRequested());

    struct Bar {
        QSlider* bar;
        int maximum, position;
    };
    for (const Bar& b : {Bar{f.FileSizeTrackBar, 10, 8}, Bar{f.BlockSizeTrackBar, 8, 8},
                         Bar{f.ChunkSizeTrackBar, 10, 0}}) {
        SCOPED_TRACE(b.bar->accessibleName().toStdString());
        EXPECT_EQ(b.bar->minimum(), 0);
        EXPECT_EQ(b.bar->maximum(), b.maximum);
        EXPECT_EQ(b.bar->value(), b.position);
        EXPECT_EQ(b.bar->orientation(), Qt::Horizontal);
        EXPECT_EQ(b.bar->singleStep(), 1);
        EXPECT_EQ(b.bar->pageStep(), 2);
        EXPECT_EQ(b.bar->tickPosition(), QSlider::TicksBelow);
        EXPECT_EQ(b.bar->tickInterval(), 1);
    }
    EXPECT_EQ(f.FileSizeTrackBar->style()->pixelMetric(QStyle::PM_SliderLength), 14);
    EXPECT_EQ(f.ChunkSizeTrackBar->style()->pixelMetric(QStyle::PM_SliderLength), 12);

    for (QTreeWidget* list : {f.WriteListView, f.ReadListView}) {
        ASSERT_EQ(list->columnCount(), 3);
        const QStringList headers = {QStringLiteral("Blocksize"), QStringLiteral("Duration (s)"),
                                     QStringLiteral("Throughput (KB/s)")};
        const int widths[] = {60, 68, 100};
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(list->headerItem()->text(c), headers[c]);
            EXPECT_EQ(list->columnWidth(c), widths[c]);
        }
    }
}

TEST_F(MainFormTest, FontsFramesAndColours) {
    const TMainForm& f = Form;
    EXPECT_EQ(f.font().pixelSize(), 11);
    EXPECT_FALSE(f.font().bold());
    for (QPushButton* button : {f.GoBitBtn, f.StopBitBtn}) {
        EXPECT_TRUE(button->font().bold());
        EXPECT_EQ(button->font().pixelSize(), 13);
        EXPECT_EQ(button->iconSize(), QSize(16, 16));
        // The greyed picture of a disabled button differs from the normal one.
        const QImage normal = button->icon().pixmap(16, QIcon::Normal).toImage();
        const QImage greyed = button->icon().pixmap(16, QIcon::Disabled).toImage();
        EXPECT_FALSE(normal.isNull());
        EXPECT_NE(normal, greyed);
    }
    for (QLabel* cur : {f.CurFSStaticText, f.CurBSStaticText, f.CurCSStaticText}) {
        EXPECT_TRUE(cur->font().bold());
        EXPECT_EQ(cur->frameShape(), QFrame::Panel);
        EXPECT_EQ(cur->frameShadow(), QFrame::Sunken);
        EXPECT_TRUE(cur->alignment() & Qt::AlignHCenter);
    }
    for (QLabel* dark : {f.CCSLabel, f.MinCSStaticText, f.CurCSStaticText, f.MaxCSStaticText}) {
        EXPECT_EQ(dark->palette().color(QPalette::WindowText), QColor(64, 64, 64));
    }
    EXPECT_EQ(f.ProgressLabel->palette().color(QPalette::WindowText),
              f.palette().color(QPalette::WindowText));
    EXPECT_TRUE(f.CurCSStaticText->autoFillBackground());
    EXPECT_EQ(f.CurCSStaticText->palette().color(f.CurCSStaticText->backgroundRole()),
              f.palette().color(QPalette::Button));
    EXPECT_EQ(f.Bevel->Shape(), TBevel::bsTopLine);
    EXPECT_EQ(f.SetupBevel->Style(), TBevel::bsRaised);
    EXPECT_EQ(f.InfoBevel->Style(), TBevel::bsLowered);
}

TEST_F(MainFormTest, ScaleEndsSetSizeAndLabel) {
    struct Case {
        QSlider* bar;
        int position;
        std::function<std::int32_t()> field;
        QLabel* label;
        std::int32_t bytes;
        const char* text;
    };
    TMainForm& f = Form;
    const Case cases[] = {
        {f.FileSizeTrackBar, 10, [&] { return f.FileSize(); }, f.CurFSStaticText, 1073741824, "1G"},
        {f.FileSizeTrackBar, 0, [&] { return f.FileSize(); }, f.CurFSStaticText, 1048576, "1M"},
        {f.BlockSizeTrackBar, 0, [&] { return f.BlockSize(); }, f.CurBSStaticText, 1, "1"},
        {f.BlockSizeTrackBar, 8, [&] { return f.BlockSize(); }, f.CurBSStaticText, 256, "256"},
        {f.ChunkSizeTrackBar, 10, [&] { return f.ChunkSize(); }, f.CurCSStaticText, 1048576, "1M"},
        {f.ChunkSizeTrackBar, 0, [&] { return f.ChunkSize(); }, f.CurCSStaticText, 1024, "1K"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        c.bar->setValue(c.position);
        EXPECT_EQ(c.field(), c.bytes);
        EXPECT_EQ(c.label->text(), QString::fromLatin1(c.text));
    }
}

TEST_F(MainFormTest, KeysMoveTheBarsByOneAndByTwo) {
    Form.show();
    QTest::keyClick(Form.FileSizeTrackBar, Qt::Key_Left);
    EXPECT_EQ(Form.CurFSStaticText->text(), QStringLiteral("128M"));
    QTest::keyClick(Form.FileSizeTrackBar, Qt::Key_PageDown);
    EXPECT_EQ(Form.FileSize(), 33554432);
    EXPECT_EQ(Form.CurFSStaticText->text(), QStringLiteral("32M"));
}

TEST_F(MainFormTest, SettingABarToItsPositionRunsNoHandler) {
    // The block size stays 0 until its handler runs; the design's position runs none.
    Form.BlockSizeTrackBar->setValue(8);
    EXPECT_EQ(Form.BlockSize(), 0);
    Form.ChunkSizeTrackBar->setValue(0);
    EXPECT_EQ(Form.ChunkSize(), 0);
    Form.FileSizeTrackBar->setValue(7);
    Form.CurFSStaticText->setText(QStringLiteral("marker"));
    Form.FileSizeTrackBar->setValue(7);
    EXPECT_EQ(Form.CurFSStaticText->text(), QStringLiteral("marker"));
}

TEST_F(MainFormTest, RadioGroupEnablesTheCheckBoxesAndKeepsTheirTicks) {
    TMainForm& f = Form;
    struct Step {
        TAccessMethod select;
        bool enabled;
    };
    f.AccessRadioItem(TAccessMethod::amMmio)->click();
    EXPECT_TRUE(f.WriteBufferedCheckBox->isEnabled());
    EXPECT_TRUE(f.ReadBufferedCheckBox->isEnabled());
    f.WriteBufferedCheckBox->click();
    ASSERT_TRUE(f.WriteBufferedCheckBox->isChecked());

    for (const Step& s : {Step{TAccessMethod::amFile, false}, Step{TAccessMethod::amWin32, true},
                          Step{TAccessMethod::amFile, false}, Step{TAccessMethod::amMmio, true}}) {
        f.AccessRadioItem(s.select)->click();
        EXPECT_EQ(f.AccessMethod(), s.select);
        EXPECT_EQ(f.WriteBufferedCheckBox->isEnabled(), s.enabled);
        EXPECT_EQ(f.ReadBufferedCheckBox->isEnabled(), s.enabled);
        EXPECT_TRUE(f.WriteBufferedCheckBox->isChecked());
        EXPECT_FALSE(f.ReadBufferedCheckBox->isChecked());
    }

    // A click on the item already selected runs no handler: boxes a run left enabled stay so.
    f.AccessRadioItem(TAccessMethod::amFile)->click();
    f.WriteBufferedCheckBox->setEnabled(true);
    f.AccessRadioItem(TAccessMethod::amFile)->click();
    EXPECT_TRUE(f.WriteBufferedCheckBox->isEnabled());
}

TEST_F(MainFormTest, StopSetsTheFlagAndChangesNothingVisible) {
    Form.StopBitBtn->setEnabled(true);
    Form.show();
    QApplication::processEvents();
    const QImage before = Form.grab().toImage();
    QTest::mouseClick(Form.StopBitBtn, Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_TRUE(Form.StopRequested());
    // The click moves the focus to the button; compare with that focus already there.
    Form.StopBitBtn->clearFocus();
    QApplication::processEvents();
    EXPECT_EQ(Form.grab().toImage(), before);
    EXPECT_TRUE(Dialogs.Messages.empty());
}

TEST_F(MainFormTest, TabOrderPassesOverDisabledControls) {
    Form.show();
    QApplication::setActiveWindow(&Form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Form));
    const auto tabRound = [&](int steps) {
        std::vector<QWidget*> visited;
        Form.WriteListView->setFocus(Qt::TabFocusReason);
        visited.push_back(QApplication::focusWidget());
        for (int i = 0; i < steps; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited.push_back(QApplication::focusWidget());
        }
        return visited;
    };
    const TMainForm& f = Form;
    EXPECT_EQ(tabRound(6),
              (std::vector<QWidget*>{f.WriteListView, f.FileSizeTrackBar, f.GoBitBtn,
                                     f.ReadListView, f.AccessRadioItem(TAccessMethod::amFile),
                                     f.BlockSizeTrackBar, f.WriteListView}));

    // With "Win32" selected and Stop enabled, the selected item and every box take their turn.
    Form.AccessRadioItem(TAccessMethod::amWin32)->click();
    Form.StopBitBtn->setEnabled(true);
    EXPECT_EQ(tabRound(9),
              (std::vector<QWidget*>{f.WriteListView, f.FileSizeTrackBar, f.GoBitBtn,
                                     f.ReadListView, f.AccessRadioItem(TAccessMethod::amWin32),
                                     f.WriteBufferedCheckBox, f.ReadBufferedCheckBox,
                                     f.BlockSizeTrackBar, f.StopBitBtn, f.WriteListView}));

    // Within the group the arrow keys move the selection, and Tab follows it.
    Form.AccessRadioItem(TAccessMethod::amWin32)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left);
    EXPECT_EQ(f.AccessMethod(), TAccessMethod::amMmio);
    EXPECT_EQ(QApplication::focusWidget(), f.AccessRadioItem(TAccessMethod::amMmio));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), f.WriteBufferedCheckBox);
}

TEST_F(MainFormTest, ScreenReaderNamesEveryControl) {
    const TMainForm& f = Form;
    const std::pair<QWidget*, const char*> named[] = {
        {f.WriteListView, "Write"},
        {f.ReadListView, "Read"},
        {f.FileSizeTrackBar, "File size"},
        {f.BlockSizeTrackBar, "Block size"},
        {f.ChunkSizeTrackBar, "Current chunk size"},
        {f.Gauge, "Progress"},
        {f.GoBitBtn, "Go!"},
        {f.StopBitBtn, "Stop"},
        {f.WriteBufferedCheckBox, "Write buffered"},
        {f.AccessRadioItem(TAccessMethod::amMmio), "mmio"},
    };
    for (const auto& [widget, name] : named) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
        ASSERT_NE(accessible, nullptr) << name;
        EXPECT_EQ(accessible->text(QAccessible::Name), QString::fromLatin1(name));
    }
    // The changing size label is read by its text, which follows the bar.
    Form.FileSizeTrackBar->setValue(10);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(f.CurFSStaticText)->text(QAccessible::Name),
              QStringLiteral("1G"));
    Form.Gauge->SetProgress(42);
    QAccessibleInterface* gauge = QAccessible::queryAccessibleInterface(f.Gauge);
    EXPECT_EQ(gauge->role(), QAccessible::ProgressBar);
    EXPECT_EQ(gauge->text(QAccessible::Value), QStringLiteral("42%"));
    ASSERT_NE(gauge->valueInterface(), nullptr);
    EXPECT_EQ(gauge->valueInterface()->maximumValue().toInt(), 100);
}

// A row whose pass the process was stopped in says so in its tool tip; others have none.
TEST_F(MainFormTest, ARowAStopInterruptedSaysSoInItsToolTip) {
    TResultRow row;
    row.ChunkLabel = "1K";
    row.FileBytes = 1048576;
    row.End = row.Start + std::chrono::milliseconds(3600);
    Form.ClearResults();
    Form.AddResultRow(TResultList::Write, row);
    row.Proof.StoppedSeconds = 2.0;
    Form.AddResultRow(TResultList::Write, row);
    // Every row's tool tip has its figures; only the interrupted one says so.
    const QString note = QStringLiteral("interrupted: the process was stopped for 2.0 s");
    for (int column = 0; column < 3; ++column) {
        EXPECT_FALSE(Form.WriteListView->topLevelItem(0)->toolTip(column).contains(note));
        EXPECT_TRUE(Form.WriteListView->topLevelItem(1)->toolTip(column).contains(note));
    }
}

TEST_F(MainFormTest, RendersTheStartingWindowForTheReadme) {
    Form.show();
    QApplication::processEvents();
    const QImage shot = Form.grab().toImage();
    ASSERT_EQ(shot.size(), QSize(521, 353));
    ASSERT_TRUE(shot.save(QStringLiteral(ORVANE_SCREENSHOT)));
    // The bevel line at y = 216: highlight over shadow, as the classic look draws it.
    EXPECT_EQ(shot.pixelColor(100, 216), Form.palette().color(QPalette::Light));
    EXPECT_EQ(shot.pixelColor(100, 217), Form.palette().color(QPalette::Dark));
    EXPECT_EQ(QImage(QStringLiteral(ORVANE_SCREENSHOT)).size(), shot.size());
}

} // namespace
} // namespace orvane
