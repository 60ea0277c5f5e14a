// The desktop's look, remembered at start.
#include "app/DesktopLook.h"

#include <QApplication>
#include <optional>

namespace orvane {

namespace {

std::optional<QPalette> palette;
std::optional<QFont> font;

} // namespace

void RememberDesktopLook(const QApplication&) {
    palette = QApplication::palette();
    font = QApplication::font();
}

QPalette DesktopPalette() {
    return palette.value_or(QApplication::palette());
}

QFont DesktopFont() {
    return font.value_or(QApplication::font());
}

bool DesktopIsDark() {
    const QPalette colours = DesktopPalette();
    return colours.color(QPalette::Window).lightness() <
           colours.color(QPalette::WindowText).lightness();
}

} // namespace orvane
