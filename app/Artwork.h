// The program's pictures, drawn in code: the icon (a clock face in front of a disk drive)
// and the two button pictures (cog wheels; a red disc), each with a greyed variant for a
// disabled button.
#pragma once

#include <QIcon>
#include <QImage>

namespace orvane {

// The icon in 16, 32 and 48 pixels.
QIcon ApplicationIcon();
QImage ApplicationIconImage(int size);

QImage CogWheelsImage();
QImage RedDiscImage();

// The picture embossed in the highlight and shadow colours, as a disabled button shows it.
QImage GreyedImage(const QImage& picture, const QColor& highlight, const QColor& shadow);

// A 16-pixel button picture with its greyed variant for the disabled state.
QIcon ButtonIcon(const QImage& picture, const QColor& highlight, const QColor& shadow);

} // namespace orvane
