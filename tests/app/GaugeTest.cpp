// The gauge: whole percentages truncated, clamping, repainting at once and only when the
// percentage changes and then only what changed, at most once a frame interval with the rest
// drawn when asked, assistive technology told of the value as often, and the bar and inverse
// text it draws, which must read over both parts.
#include "app/Gauge.h"
#include "app/ClassicLook.h"
#include "tests/support/Contrast.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QApplication>
#include <QImage>
#include <QPaintEvent>
#include <QScreen>
#include <chrono>
#include <cstdio>
#include <gtest/gtest.h>
#include <vector>

namespace orvane {
namespace {

// A clock for the gauge that moves by Step at each reading.
struct TSteppingClock {
    TGauge::TClock::time_point Now{std::chrono::hours(1)};
    TGauge::TClock::duration Step{0};
    int Readings = 0;

    void Install(TGauge& gauge) {
        gauge.SetClock([this] {
            ++Readings;
            const TGauge::TClock::time_point now = Now;
            Now += Step;
            return now;
        });
    }
};

// A gauge whose every change comes a frame interval after the one before, as in a slow pass.
class TFrameByFrameGauge : public TGauge {
public:
    TFrameByFrameGauge() {
        Clock.Step = FrameInterval;
        Clock.Install(*this);
    }
    TSteppingClock Clock;
};

class TCountingGauge : public TFrameByFrameGauge {
public:
    int Paints = 0;

protected:
    void paintEvent(QPaintEvent* event) override {
        ++Paints;
        TGauge::paintEvent(event);
    }
};

TEST(Gauge, PercentageIsTruncatedAndProgressClamped) {
    struct Case {
        std::int32_t minValue, maxValue, progress;
        std::int32_t shownProgress;
        int percent;
    };
    const Case cases[] = {
        {0, 400, 3, 3, 0},
        {0, 400, 4, 4, 1},
        {0, 400, 399, 399, 99},
        {0, 400, 400, 400, 100},
        {0, 400, -7, 0, 0},
        {0, 400, 9999, 400, 100},
        {5, 5, 5, 5, 0},
        {100, 200, 150, 150, 50},
        // Large ranges must not overflow: a 1 GiB pass in 1-byte blocks.
        {0, 1073741824, 1073741823, 1073741823, 99},
    };
    for (const Case& c : cases) {
        TGauge gauge;
        gauge.SetMaxValue(c.maxValue);
        gauge.SetMinValue(c.minValue);
        gauge.SetProgress(c.progress);
        EXPECT_EQ(gauge.Progress(), c.shownProgress)
            << c.minValue << ".." << c.maxValue << " at " << c.progress;
        EXPECT_EQ(gauge.PercentDone(), c.percent)
            << c.minValue << ".." << c.maxValue << " at " << c.progress;
    }
}

TEST(Gauge, StartsEmptyAtZeroOfHundred) {
    TGauge gauge;
    EXPECT_EQ(gauge.MinValue(), 0);
    EXPECT_EQ(gauge.MaxValue(), 100);
    EXPECT_EQ(gauge.Progress(), 0);
    EXPECT_EQ(gauge.PercentDone(), 0);
}

TEST(Gauge, RepaintsAtOnceOnlyWhenThePercentageChangesAFrameAfterTheLastRepaint) {
    TCountingGauge gauge;
    gauge.resize(129, 17);
    gauge.SetMaxValue(400);
    gauge.show();
    QApplication::processEvents();
    gauge.Paints = 0;

    for (int k = 1; k <= 3; ++k) {
        gauge.SetProgress(k);
    }
    EXPECT_EQ(gauge.Paints, 0);
    gauge.SetProgress(4); // 1%: painted within the call, no event loop involved
    EXPECT_EQ(gauge.Paints, 1);
    gauge.SetProgress(4);
    gauge.SetProgress(7);
    EXPECT_EQ(gauge.Paints, 1);

    // A whole pass repaints about once per per cent.
    gauge.Paints = 0;
    gauge.SetProgress(0);
    for (int k = 1; k <= 400; ++k) {
        gauge.SetProgress(k);
    }
    EXPECT_EQ(gauge.Paints, 101);
}

QImage Rendered(int progress) {
    TGauge gauge;
    gauge.resize(129, 17);
    gauge.SetMaxValue(400);
    gauge.SetProgress(progress);
    return gauge.grab().toImage();
}

TEST(Gauge, DrawsTheBarAndTheTextInInverseColours) {
    const QPalette palette = QApplication::palette();
    const QRgb face = palette.color(QPalette::Button).rgb() & 0xFFFFFF;
    const QRgb highlight = palette.color(QPalette::Highlight).rgb() & 0xFFFFFF;
    const auto at = [](const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFF; };

    const QImage empty = Rendered(0);
    EXPECT_EQ(at(empty, 0, 0), face);
    EXPECT_EQ(at(empty, 128, 16), face);

    const QImage half = Rendered(200); // 50% of 129 pixels: 64 filled
    EXPECT_EQ(at(half, 0, 8), highlight);
    EXPECT_EQ(at(half, 63, 0), highlight);
    EXPECT_EQ(at(half, 64, 0), face);
    EXPECT_EQ(at(half, 128, 8), face);

    const QImage full = Rendered(400);
    EXPECT_EQ(at(full, 128, 16), highlight);

    // The text: over the empty part its pixels are the inverse of the face colour.
    const QRgb inverseFace = ~face & 0xFFFFFF;
    int inverted = 0;
    for (int y = 0; y < empty.height(); ++y) {
        for (int x = 0; x < empty.width(); ++x) {
            inverted += at(empty, x, y) == inverseFace;
        }
    }
    EXPECT_GT(inverted, 5);
}

// The regions of the paint events a widget gets.
class TPaintRecorder : public QObject {
public:
    std::vector<QRegion> Regions;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            Regions.push_back(static_cast<QPaintEvent*>(event)->region());
        }
        return false;
    }
};

TEST(Gauge, ARepaintCoversOnlyTheChangedStripAndTheText) {
    const struct {
        std::int32_t from, to; // of 400
        std::vector<QPoint> inside, outside;
    } cases[] = {
        // 0% to 1%: the first fill pixel and the text, nothing at the right end.
        {0, 4, {{0, 8}, {64, 8}}, {{10, 8}, {128, 8}, {20, 0}}},
        // 49% to 50%: the fill moves from 63 to 64 pixels, under the text.
        {196, 200, {{63, 8}, {64, 16}}, {{0, 8}, {10, 8}, {128, 8}}},
        // 99% to 100%: the last two pixels of the fill.
        {396, 400, {{127, 8}, {128, 16}}, {{0, 8}, {20, 8}, {110, 8}}},
    };
    for (const auto& c : cases) {
        TFrameByFrameGauge gauge;
        gauge.resize(129, 17);
        gauge.SetMaxValue(400);
        gauge.show();
        gauge.SetProgress(c.from);
        QApplication::processEvents();
        TPaintRecorder recorder;
        gauge.installEventFilter(&recorder);
        gauge.SetProgress(c.to);
        gauge.removeEventFilter(&recorder);
        ASSERT_EQ(recorder.Regions.size(), 1u) << c.from << " to " << c.to;
        const QRegion& region = recorder.Regions.front();
        for (const QPoint& p : c.inside) {
            EXPECT_TRUE(region.contains(p)) << c.from << " to " << c.to << " at " << p.x();
        }
        for (const QPoint& p : c.outside) {
            EXPECT_FALSE(region.contains(p)) << c.from << " to " << c.to << " at " << p.x();
        }
    }
}

// What the gauge's window holds on the screen, and what a whole paint of it now gives.
QImage OnScreen(TGauge& gauge) {
    QScreen* screen = gauge.screen();
    return screen == nullptr
               ? QImage()
               : screen->grabWindow(gauge.winId()).toImage().convertToFormat(QImage::Format_RGB32);
}
QImage WholePaint(TGauge& gauge) {
    return gauge.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

TEST(Gauge, StepByStepItShowsWhatAWholePaintShows) {
    // What reaches the screen after a pass of partial repaints is the full picture.
    TFrameByFrameGauge gauge;
    gauge.resize(129, 17);
    gauge.SetMaxValue(400);
    gauge.show();
    QApplication::processEvents();
    for (std::int32_t k = 1; k <= 287; ++k) {
        gauge.SetProgress(k);
    }
    EXPECT_FALSE(gauge.RepaintPending());
    const QImage shown = OnScreen(gauge);
    const QImage whole = WholePaint(gauge);
    ASSERT_EQ(shown.size(), whole.size());
    EXPECT_EQ(shown, whole);
}

TEST(Gauge, ChangesWithinAFrameRepaintOnceAndTheRestIsDrawnWhenAsked) {
    TCountingGauge gauge;
    gauge.Clock.Step = TGauge::TClock::duration{0}; // a pass far shorter than a frame
    gauge.setAccessibleName(QStringLiteral("Progress"));
    gauge.resize(129, 17);
    gauge.SetMaxValue(400);
    gauge.show();
    QApplication::processEvents();
    gauge.Paints = 0;

    for (std::int32_t k = 1; k <= 400; ++k) {
        gauge.SetProgress(k);
    }
    EXPECT_EQ(gauge.Paints, 1);           // 1%, the first change, a frame after any repaint
    EXPECT_EQ(gauge.Clock.Readings, 100); // once per change of the percentage, not per call
    // The value is kept at every change, for the run and for assistive technology.
    EXPECT_EQ(gauge.Progress(), 400);
    EXPECT_EQ(gauge.PercentDone(), 100);
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&gauge);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->text(QAccessible::Value), QStringLiteral("100%"));
    EXPECT_TRUE(gauge.RepaintPending());
    EXPECT_NE(OnScreen(gauge), WholePaint(gauge)); // the screen still shows 1%

    gauge.Paints = 0;
    gauge.ShowPending();
    EXPECT_EQ(gauge.Paints, 1);
    EXPECT_FALSE(gauge.RepaintPending());
    EXPECT_EQ(OnScreen(gauge), WholePaint(gauge)); // a whole paint counts as one too
    gauge.Paints = 0;
    gauge.ShowPending(); // nothing left to draw
    EXPECT_EQ(gauge.Paints, 0);

    // A frame interval after that repaint, a change is drawn at once again.
    gauge.Clock.Now += TGauge::FrameInterval - std::chrono::milliseconds(1);
    gauge.SetProgress(200);
    EXPECT_EQ(gauge.Paints, 0);
    gauge.Clock.Now += std::chrono::milliseconds(1);
    gauge.SetProgress(100);
    EXPECT_EQ(gauge.Paints, 1);
    EXPECT_FALSE(gauge.RepaintPending());
    EXPECT_EQ(OnScreen(gauge), WholePaint(gauge));

    // What is held back is also drawn by event processing that comes first.
    gauge.SetProgress(300);
    EXPECT_TRUE(gauge.RepaintPending());
    EXPECT_NE(OnScreen(gauge), WholePaint(gauge));
    QApplication::processEvents();
    EXPECT_EQ(OnScreen(gauge), WholePaint(gauge));

    // Bringing the screen up to date starts a frame interval even with nothing to draw: a
    // pass that starts right after the run's message point is drawn at its end, not within.
    gauge.ShowPending();
    gauge.Clock.Now += std::chrono::seconds(1);
    gauge.Paints = 0;
    gauge.ShowPending();
    EXPECT_EQ(gauge.Paints, 0);
    gauge.SetProgress(0);
    gauge.SetProgress(200);
    EXPECT_EQ(gauge.Paints, 0);
    EXPECT_TRUE(gauge.RepaintPending());
    gauge.Clock.Now += TGauge::FrameInterval;
    gauge.SetProgress(204);
    EXPECT_EQ(gauge.Paints, 1);
    EXPECT_FALSE(gauge.RepaintPending());
}

// The accessible value changes a gauge sends, with the value each carried.
struct TAccessibleRecorder {
    std::vector<std::int32_t> Values;

    void Install(TGauge& gauge) {
        gauge.SetAccessibleUpdate([this, &gauge](QAccessibleEvent& event) {
            ASSERT_EQ(event.type(), QAccessible::ValueChanged);
            ASSERT_EQ(event.object(), &gauge);
            Values.push_back(static_cast<QAccessibleValueChangeEvent&>(event).value().toInt());
        });
    }
};

TEST(Gauge, TellsAssistiveTechnologyTheValueAsOftenAsItRepaints) {
    using std::chrono::milliseconds;
    const struct {
        milliseconds step;  // between two changes of the percentage in a pass of 100
        std::size_t inPass; // value changes sent within the pass
        std::size_t atEnd;  // by ShowPending after it: the value settles at 100 %
    } cases[] = {
        {milliseconds(0), 0, 1},    // a pass shorter than a frame: told only at its end
        {milliseconds(6), 33, 1},   // every third change, 18 ms apart; the last one held back
        {milliseconds(16), 100, 0}, // every change a frame apart, the last one included
    };
    for (const auto& c : cases) {
        TCountingGauge gauge;
        gauge.Clock.Step = c.step;
        gauge.resize(129, 17);
        gauge.SetMaxValue(400);
        gauge.show();
        QApplication::processEvents();
        TAccessibleRecorder told;
        told.Install(gauge);
        gauge.ShowPending(); // the run's message point before the pass
        gauge.Paints = 0;

        for (std::int32_t k = 1; k <= 400; ++k) {
            gauge.SetProgress(k);
        }
        EXPECT_EQ(told.Values.size(), c.inPass) << c.step.count();
        EXPECT_EQ(told.Values.size(), static_cast<std::size_t>(gauge.Paints)) << c.step.count();
        gauge.ShowPending();
        EXPECT_EQ(told.Values.size(), c.inPass + c.atEnd) << c.step.count();
        ASSERT_FALSE(told.Values.empty()) << c.step.count();
        EXPECT_EQ(told.Values.back(), 400) << c.step.count();
        gauge.ShowPending(); // nothing new: nothing told
        EXPECT_EQ(told.Values.size(), c.inPass + c.atEnd) << c.step.count();
    }
}

TEST(Gauge, TheTextReadsOverTheFilledAndTheEmptyPart) {
    const QPalette palette = QApplication::palette();
    const QRgb face = palette.color(QPalette::Button).rgb();
    const QRgb highlight = palette.color(QPalette::Highlight).rgb();
    EXPECT_EQ(palette.color(QPalette::Highlight), ClassicHighlight);
    const struct {
        std::int32_t progress;   // of 400
        bool overFill, overFace; // where text pixels must be found
    } cases[] = {{0, false, true}, {200, true, true}, {400, true, false}};
    for (const auto& c : cases) {
        const QImage image = Rendered(c.progress);
        const int fill = image.width() * (c.progress / 4) / 100;
        int overFill = 0;
        int overFace = 0;
        double lowest = 21;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb background = x < fill ? highlight : face;
                const QRgb pixel = image.pixel(x, y);
                if ((pixel & 0xFFFFFF) == (background & 0xFFFFFF)) {
                    continue;
                }
                (x < fill ? overFill : overFace) += 1;
                lowest = std::min(lowest, testing::ContrastRatio(pixel, background));
            }
        }
        EXPECT_EQ(overFill > 0, c.overFill) << c.progress;
        EXPECT_EQ(overFace > 0, c.overFace) << c.progress;
        EXPECT_GE(lowest, 4.5) << c.progress;
        std::printf("gauge at %d%%: lowest text contrast %.2f:1\n", c.progress / 4, lowest);
    }
}

TEST(Gauge, AssistiveTechnologyReadsItAsAProgressBar) {
    TGauge gauge;
    gauge.setAccessibleName(QStringLiteral("Progress"));
    gauge.SetMaxValue(400);
    gauge.SetProgress(200);
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&gauge);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::ProgressBar);
    EXPECT_EQ(accessible->text(QAccessible::Name), QStringLiteral("Progress"));
    EXPECT_EQ(accessible->text(QAccessible::Value), QStringLiteral("50%"));
    QAccessibleValueInterface* value = accessible->valueInterface();
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->currentValue().toInt(), 200);
    EXPECT_EQ(value->minimumValue().toInt(), 0);
    EXPECT_EQ(value->maximumValue().toInt(), 400);
}

} // namespace
} // namespace orvane
