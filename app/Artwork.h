// The program's pictures, drawn in code: the icon (a clock face in front of a disk drive)
// and the two button pictures (cog wheels; a red disc), each with a greyed variant for a
// disabled button.
#pragma once

#include <QIcon>
#include <QImage>

class QPainter;

namespace orvane {

// The icon in 16, 32 and 48 pixels.
QIcon ApplicationIcon();
// The icon at any size (the installed icons add 64, 128 and 256), in 256 colours.
QImage ApplicationIconImage(int size);
// The icon's drawing into a square of `size` units from the origin, for any paint device
// (the scalable icon is drawn into SVG).
void PaintApplicationIcon(QPainter& painter, double size);

QImage CogWheelsImage();
QImage RedDiscImage();

// The picture embossed in the highlight and shadow colours, as a disabled button shows it.
QImage GreyedImage(const QImage& picture, const QColor& highlight, const QColor& shadow);

// A 16-pixel button picture with its greyed variant for the disabled state.
QIcon ButtonIcon(const QImage& picture, const QColor& highlight, const QColor& shadow);

} // namespace orvane
