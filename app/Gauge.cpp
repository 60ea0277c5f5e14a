// Drawing and range rules of the progress gauge.
#include "app/Gauge.h"

#include "app/ClassicLook.h"
#include "app/GaugeAccessible.h"

#include <QAccessible>
#include <QImage>
#include <QPainter>
#include <algorithm>

namespace orvane {

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

void TGauge::Update(std::int32_t minValue, std::int32_t maxValue, std::int32_t curValue) {
    FMinValue = minValue;
    FMaxValue = std::max(maxValue, minValue);
    FCurValue = std::clamp(curValue, FMinValue, FMaxValue);
    const int percent = ComputePercent();
    if (percent == FPercent) {
        return;
    }
    FPercent = percent;
    repaint();
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent event(this, FCurValue);
        QAccessible::updateAccessibility(&event);
    }
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

void TGauge::paintEvent(QPaintEvent*) {
    // Drawn into an image first: the inverse text needs a raster surface to read back.
    QImage image(size(), QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(image.rect(), palette().color(QPalette::Button));
    const int fill = width() * FPercent / 100;
    if (fill >= 1) {
        painter.fillRect(QRect(0, 0, fill, height()), palette().color(QPalette::Highlight));
    }
    painter.setFont(font());
    painter.setPen(Qt::white);
    painter.setCompositionMode(QPainter::CompositionMode_Difference);
    painter.drawText(image.rect(), Qt::AlignCenter, QStringLiteral("%1%").arg(FPercent));
    painter.end();

    QPainter(this).drawImage(0, 0, image);
}

} // namespace orvane
