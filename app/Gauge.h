// The progress gauge: a horizontal bar with the whole percentage drawn over it in inverse
// colours. It repaints at once when the whole percentage changes, so a run may set the
// progress after every block, but at most once a frame interval: a screen shows no more,
// and every repaint within a short pass disturbs the pass. Assistive technology is told of
// a new value with each repaint, so just as often. A change within the interval is kept
// (value, percentage, what an accessible query reads) and drawn and told by ShowPending,
// which the window calls at the run's message points and at the run's end; the next event
// processing draws it too. A repaint covers only the strip that changed and the text, from
// an image kept between paints.
#pragma once

#include <QAccessible>
#include <QImage>
#include <QWidget>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

namespace orvane {

class TGauge : public QWidget {
    Q_OBJECT
public:
    explicit TGauge(QWidget* parent = nullptr);

    std::int32_t MinValue() const { return FMinValue; }
    std::int32_t MaxValue() const { return FMaxValue; }
    std::int32_t Progress() const { return FCurValue; }
    // The whole percentage shown: truncated toward zero, 0 for an empty range.
    int PercentDone() const { return FPercent; }

    void SetMinValue(std::int32_t value);
    void SetMaxValue(std::int32_t value);
    void SetProgress(std::int32_t value);

    using TClock = std::chrono::steady_clock;
    // About one frame of a 60 Hz screen.
    static constexpr std::chrono::milliseconds FrameInterval{16};
    // The clock the repaints are paced by; tests set one of their own.
    void SetClock(std::function<TClock::time_point()> clock);
    // Where the accessible value changes go: to QAccessible while it is active; tests set
    // their own, since the offscreen platform has no accessibility to activate.
    void SetAccessibleUpdate(std::function<void(QAccessibleEvent&)> update);
    // Whether a change is not drawn yet.
    bool RepaintPending() const { return FPending; }
    // Draws at once what changed and is not drawn yet and tells assistive technology its
    // value; either way the screen is then up to date, and the next frame interval counts
    // from here.
    void ShowPending();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int ComputePercent() const;
    int FillWidth(int percent) const;
    // Where any percentage's text may lie.
    QRect TextRect() const;
    // Stores the new state and, when the percentage changed, repaints within the call unless
    // the screen was brought up to date (a repaint, ShowPending) less than a frame interval
    // ago.
    void Update(std::int32_t minValue, std::int32_t maxValue, std::int32_t curValue);
    // Repaints the text and the strip between the last repaint's fill and the current one,
    // and tells assistive technology the value.
    void RepaintNow(TClock::time_point now);
    static void UpdateAccessibility(QAccessibleEvent& event);

    std::int32_t FMinValue = 0;
    std::int32_t FMaxValue = 100;
    std::int32_t FCurValue = 0;
    int FPercent = 0;
    int FRepaintedPercent = 0;                      // at the last repaint within a call
    std::optional<TClock::time_point> FLastRepaint; // or the last ShowPending
    bool FPending = false;
    std::function<TClock::time_point()> FClock = [] { return TClock::now(); };
    std::function<void(QAccessibleEvent&)> FAccessibleUpdate = UpdateAccessibility;
    QImage FSurface;
};

} // namespace orvane
