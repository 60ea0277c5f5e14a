// The progress gauge: a horizontal bar with the whole percentage drawn over it in inverse
// colours. It repaints at once, and only when the whole percentage changes, so a run may
// set the progress after every block; it repaints then only the strip that changed and the
// text, from an image kept between paints.
#pragma once

#include <QImage>
#include <QWidget>
#include <cstdint>

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

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int ComputePercent() const;
    int FillWidth(int percent) const;
    // Where any percentage's text may lie.
    QRect TextRect() const;
    // Stores the new state and repaints within the call when the percentage changed.
    void Update(std::int32_t minValue, std::int32_t maxValue, std::int32_t curValue);

    std::int32_t FMinValue = 0;
    std::int32_t FMaxValue = 100;
    std::int32_t FCurValue = 0;
    int FPercent = 0;
    QImage FSurface;
};

} // namespace orvane
