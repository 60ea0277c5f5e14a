// Drawing and range rules of the progress gauge.
#include "app/Gauge.h"

#include "app/ClassicLook.h"
#include "app/GaugeAccessible.h"

#include <QAccessible>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <algorithm>
#include <array>
#include <cstdlib>

namespace orvane {

namespace {

const QString WidestText = QStringLiteral("100%");

// "0%" to "100%", made once, so that painting one makes no string.
const QString& PercentText(int percent) {
    static const auto texts = [] {
        std::array<QString, 101> made;
        for (int p = 0; p <= 100; ++p) {
            made[static_cast<std::size_t>(p)] = QStringLiteral("%1%").arg(p);
        }
        return made;
    }();
    return texts[static_cast<std::size_t>(std::clamp(percent, 0, 100))];
}

} // namespace

TGauge::TGauge(QWidget* parent) : QWidget(parent) {
    InstallGaugeAccessibleFactory();
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFont(ClassicBoldFont());
}

int TGauge::ComputePercent() const {
    if (FMaxValue == FMinValue) {
        return 0;
    }
    const double span = static_cast<double>(FMaxValue) - static_cast<double>(FMinValue);
    return static_cast<int>((static_cast<double>(FCurValue) - FMinValue) * 100.0 / span);
}

int TGauge::FillWidth(int percent) const {
    return width() * percent / 100;
}

void TGauge::Update(std::int32_t minValue, std::int32_t maxValue, std::int32_t curValue) {
    FMinValue = minValue;
    FMaxValue = std::max(maxValue, minValue);
    FCurValue = std::clamp(curValue, FMinValue, FMaxValue);
    const int percent = ComputePercent();
    if (percent == FPercent) {
        return;
    }
    FPercent = percent;
    const TClock::time_point now = FClock();
    if (FLastRepaint && now - *FLastRepaint < FrameInterval) {
        if (!FPending) {
            FPending = true;
            update(); // for event processing that comes before ShowPending
        }
        return;
    }
    RepaintNow(now);
}

void TGauge::RepaintNow(TClock::time_point now) {
    // Only the strip between the old and the new fill and the text change; on a real
    // display every pixel repainted is a pixel sent to the server within the call.
    const int oldFill = FillWidth(FRepaintedPercent);
    const int newFill = FillWidth(FPercent);
    QRegion changed = TextRect();
    if (oldFill != newFill) {
        changed += QRect(std::min(oldFill, newFill), 0, std::abs(newFill - oldFill), height());
    }
    FRepaintedPercent = FPercent;
    FLastRepaint = now;
    FPending = false;
    repaint(changed);
    // Told with the repaint, not at every percent: with a screen reader listening, each
    // change is a message that the bus and the registry handle while the pass runs.
    QAccessibleValueChangeEvent event(this, FCurValue);
    FAccessibleUpdate(event);
}

void TGauge::ShowPending() {
    const TClock::time_point now = FClock();
    if (FPending) {
        RepaintNow(now);
    } else {
        // The screen shows the current state now, as after a repaint: a pass that starts
        // right after this and takes less than a frame is drawn at its end only.
        FLastRepaint = now;
    }
}

void TGauge::SetClock(std::function<TClock::time_point()> clock) {
    FClock = std::move(clock);
}

void TGauge::SetAccessibleUpdate(std::function<void(QAccessibleEvent&)> update) {
    FAccessibleUpdate = std::move(update);
}

void TGauge::UpdateAccessibility(QAccessibleEvent& event) {
    if (QAccessible::isActive()) {
        QAccessible::updateAccessibility(&event);
    }
}

QRect TGauge::TextRect() const {
    // Wide enough for any percentage; one pixel spare each side for the font's overhang.
    const int textWidth = std::min(width(), fontMetrics().horizontalAdvance(WidestText) + 2);
    return {(width() - textWidth) / 2, 0, textWidth, height()};
}

void TGauge::SetMinValue(std::int32_t value) {
    if (value != FMinValue) {
        Update(value, FMaxValue, FCurValue);
    }
}

void TGauge::SetMaxValue(std::int32_t value) {
    if (value != FMaxValue) {
        Update(FMinValue, value, FCurValue);
    }
}

void TGauge::SetProgress(std::int32_t value) {
    const std::int32_t clamped = std::clamp(value, FMinValue, FMaxValue);
    if (clamped != FCurValue) {
        Update(FMinValue, FMaxValue, clamped);
    }
}

void TGauge::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FSurface = QImage(); // made again at the new size by the next paint
}

void TGauge::paintEvent(QPaintEvent* event) {
    // Drawn into an image first, since the inverse text reads back what lies beneath it; the
    // image is kept between paints, so a repaint allocates nothing.
    QRegion changed = event->region();
    if (FSurface.size() != size()) {
        FSurface = QImage(size(), QImage::Format_RGB32);
        changed = rect(); // nothing in it is drawn yet
    }
    QPainter painter(&FSurface);
    painter.setClipRegion(changed);
    painter.fillRect(FSurface.rect(), palette().color(QPalette::Button));
    const int fill = FillWidth(FPercent);
    if (fill >= 1) {
        painter.fillRect(QRect(0, 0, fill, height()), palette().color(QPalette::Highlight));
    }
    painter.setFont(font());
    painter.setPen(Qt::white);
    painter.setCompositionMode(QPainter::CompositionMode_Difference);
    painter.drawText(FSurface.rect(), Qt::AlignCenter, PercentText(FPercent));
    painter.end();

    const QRect area = event->rect(); // the widget's painter clips to the region itself
    QPainter(this).drawImage(area, FSurface, area);
}

} // namespace orvane
