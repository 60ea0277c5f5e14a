// Drawing of the icon and the button pictures.
#include "app/Artwork.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QtMath>

namespace orvane {

namespace {

constexpr int ButtonPicture = 16;

QImage TransparentImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// A cog wheel with `teeth` teeth around `centre`, a hub hole in the middle.
QPainterPath CogWheel(QPointF centre, double outer, double inner, double hole, int teeth) {
    QPainterPath wheel;
    const int points = teeth * 4;
    for (int i = 0; i < points; ++i) {
        const double angle = 2.0 * M_PI * i / points;
        const double radius = (i % 4 == 0 || i % 4 == 1) ? outer : inner;
        const QPointF p = centre + QPointF(radius * std::cos(angle), radius * std::sin(angle));
        if (i == 0) {
            wheel.moveTo(p);
        } else {
            wheel.lineTo(p);
        }
    }
    wheel.closeSubpath();
    QPainterPath hub;
    hub.addEllipse(centre, hole, hole);
    return wheel.subtracted(hub);
}

void DrawDiskDrive(QPainter& p, double s) {
    // A drive seen from the front: a grey case, a slot and a green lamp, at the back left.
    const QRectF body(0.04 * s, 0.14 * s, 0.78 * s, 0.46 * s);
    p.setPen(QPen(QColor(40, 40, 40), std::max(1.0, s / 24)));
    p.setBrush(QColor(176, 176, 176));
    p.drawRect(body);
    p.setBrush(QColor(128, 128, 128));
    p.drawRect(QRectF(0.04 * s, 0.14 * s, 0.78 * s, 0.09 * s));
    p.setBrush(QColor(32, 32, 32));
    p.drawRect(QRectF(0.14 * s, 0.34 * s, 0.46 * s, 0.06 * s));
    p.setBrush(QColor(0, 200, 0));
    p.drawRect(QRectF(0.64 * s, 0.46 * s, 0.08 * s, 0.06 * s));
}

void DrawClockFace(QPainter& p, double s) {
    // A white dial in front, lower right, with hour marks and two hands.
    const QPointF centre(0.64 * s, 0.64 * s);
    const double radius = 0.33 * s;
    p.setPen(QPen(QColor(0, 0, 128), std::max(1.0, s / 16)));
    p.setBrush(Qt::white);
    p.drawEllipse(centre, radius, radius);
    if (s >= 32) {
        // One pixel up to 48 pixels, the window's sizes; thicker in the larger installed icons.
        p.setPen(QPen(Qt::black, std::max(1.0, s / 48)));
        for (int h = 0; h < 12; h += 3) {
            const double a = 2.0 * M_PI * h / 12;
            p.drawLine(centre + QPointF(0.78 * radius * std::sin(a), -0.78 * radius * std::cos(a)),
                       centre + QPointF(0.92 * radius * std::sin(a), -0.92 * radius * std::cos(a)));
        }
    }
    p.setPen(QPen(Qt::black, std::max(1.0, s / 20), Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre, centre + QPointF(0, -0.7 * radius));
    p.setPen(QPen(QColor(192, 0, 0), std::max(1.0, s / 24), Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre, centre + QPointF(0.55 * radius, 0.2 * radius));
}

} // namespace

void PaintApplicationIcon(QPainter& painter, double size) {
    DrawDiskDrive(painter, size);
    DrawClockFace(painter, size);
}

QImage ApplicationIconImage(int size) {
    QImage image = TransparentImage(size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, size >= 32);
    PaintApplicationIcon(painter, size);
    painter.end();
    // The icon keeps to 256 colours.
    return image.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither)
        .convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QIcon ApplicationIcon() {
    QIcon icon;
    for (int size : {16, 32, 48}) {
        icon.addPixmap(QPixmap::fromImage(ApplicationIconImage(size)));
    }
    return icon;
}

QImage CogWheelsImage() {
    QImage image = TransparentImage(ButtonPicture);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(48, 48, 48), 0.8));
    painter.setBrush(QColor(160, 160, 168));
    painter.drawPath(CogWheel(QPointF(6.0, 6.0), 5.6, 4.2, 1.6, 8));
    painter.setBrush(QColor(200, 170, 60));
    painter.drawPath(CogWheel(QPointF(11.6, 11.6), 4.0, 2.9, 1.1, 6));
    return image;
}

QImage RedDiscImage() {
    QImage image = TransparentImage(ButtonPicture);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QRadialGradient shine(QPointF(6, 6), 8);
    shine.setColorAt(0, QColor(255, 120, 120));
    shine.setColorAt(1, QColor(200, 0, 0));
    painter.setPen(QPen(QColor(110, 0, 0), 1));
    painter.setBrush(shine);
    painter.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    return image;
}

QImage GreyedImage(const QImage& picture, const QColor& highlight, const QColor& shadow) {
    const QImage source = picture.convertToFormat(QImage::Format_ARGB32);
    QImage result = TransparentImage(source.width());
    QPainter painter(&result);
    // Every pixel of the picture that is mostly opaque becomes part of the embossed shape.
    for (const auto& [colour, offset] : {std::pair{highlight, 1}, std::pair{shadow, 0}}) {
        for (int y = 0; y < source.height(); ++y) {
            for (int x = 0; x < source.width(); ++x) {
                const QRgb pixel = source.pixel(x, y);
                const bool dark = qGray(pixel) < 192;
                if (qAlpha(pixel) >= 128 && dark) {
                    painter.fillRect(QRect(x + offset, y + offset, 1, 1), colour);
                }
            }
        }
    }
    return result;
}

QIcon ButtonIcon(const QImage& picture, const QColor& highlight, const QColor& shadow) {
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(picture), QIcon::Normal);
    icon.addPixmap(QPixmap::fromImage(GreyedImage(picture, highlight, shadow)), QIcon::Disabled);
    return icon;
}

} // namespace orvane
