// The classic look of the window: Qt's "Windows" style with its standard palette and the
// classic navy selection, the MS Sans Serif 8 pt metrics, and track bars with a thumb of a
// given length.
#pragma once

#include <QColor>
#include <QFont>
#include <QProxyStyle>

class QApplication;

namespace orvane {

// Sets the application's style, palette and font. Returns the font it chose.
QFont ApplyClassicLook(QApplication& application);

// The MS Sans Serif clone from Debian's fonts-wine, else a close sans font, at 11 pixels.
QFont ClassicFont();

// The bold texts' font, at 11 pixels (8 point) unless told otherwise.
QFont ClassicBoldFont(int pixelSize = 11);

// The classic selection colour, navy: the gauge's fill and the list views' selection.
inline const QColor ClassicHighlight{0x00, 0x00, 0x80};

// Dark grey, red, green and blue all 64, of the run display's texts.
inline const QColor DarkGrey{64, 64, 64};

class TTrackBarStyle final : public QProxyStyle {
    Q_OBJECT
public:
    explicit TTrackBarStyle(int thumbLength);

    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;

private:
    int FThumbLength;
};

} // namespace orvane
