// The desktop's own look (palette and font), kept from before the main window takes its
// classic one, for the windows that follow the desktop: the chart's, with scalable fonts and
// a dark palette where the desktop has one.
#pragma once

#include <QFont>
#include <QPalette>

class QApplication;

namespace orvane {

// Call before the classic look is applied.
void RememberDesktopLook(const QApplication& application);

QPalette DesktopPalette();
QFont DesktopFont();
// The desktop's windows are dark (their background darker than their text).
bool DesktopIsDark();

} // namespace orvane
