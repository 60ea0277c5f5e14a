// The contrast ratio of two colours as the Web Content Accessibility Guidelines define it:
// from 1 (none) to 21 (black on white); 4.5 is their minimum for normal text.
#pragma once

#include <QColor>
#include <algorithm>
#include <cmath>

namespace orvane::testing {

inline double RelativeLuminance(QRgb colour) {
    const auto linear = [](int channel) {
        const double c = channel / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(qRed(colour)) + 0.7152 * linear(qGreen(colour)) +
           0.0722 * linear(qBlue(colour));
}

inline double ContrastRatio(QRgb a, QRgb b) {
    const double la = RelativeLuminance(a);
    const double lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace orvane::testing
