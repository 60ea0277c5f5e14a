// Painting of the bevels and the panel.
#include "app/Frames.h"

#include <QPainter>

namespace orvane {

namespace {

// Top and left edges in one colour, bottom and right edges in the other; `rect` gives the
// outermost pixels of the frame.
void DrawEdges(QPainter& painter, const QRect& rect, const QColor& topLeft,
               const QColor& bottomRight) {
    painter.setPen(topLeft);
    painter.drawLine(rect.topLeft(), rect.topRight());
    painter.drawLine(rect.topLeft(), rect.bottomLeft());
    painter.setPen(bottomRight);
    painter.drawLine(rect.bottomLeft(), rect.bottomRight());
    painter.drawLine(rect.topRight(), rect.bottomRight());
}

} // namespace

TBevel::TBevel(TBevelShape shape, TBevelStyle style, QWidget* parent)
    : QWidget(parent), FShape(shape), FStyle(style) {
    setFocusPolicy(Qt::NoFocus);
    // Bevels are decoration behind the controls they frame and never take the mouse.
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TBevel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QColor highlight = palette().color(QPalette::Light);
    const QColor shadow = palette().color(QPalette::Dark);
    const QColor first = FStyle == bsRaised ? highlight : shadow;
    const QColor second = FStyle == bsRaised ? shadow : highlight;
    if (FShape == bsTopLine) {
        painter.setPen(first);
        painter.drawLine(0, 0, width() - 1, 0);
        painter.setPen(second);
        painter.drawLine(0, 1, width() - 1, 1);
        return;
    }
    // A frame is two one-colour rectangles offset by a pixel: an etched line.
    const QRect outer(0, 0, width() - 1, height() - 1);
    DrawEdges(painter, outer.translated(1, 1), second, second);
    DrawEdges(painter, outer, first, first);
}

TBevelPanel::TBevelPanel(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
}

void TBevelPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QColor highlight = palette().color(QPalette::Light);
    const QColor shadow = palette().color(QPalette::Dark);
    const QRect outer = rect();
    DrawEdges(painter, outer, shadow, highlight);
    DrawEdges(painter, outer.adjusted(2, 2, -2, -2), highlight, shadow);
}

} // namespace orvane
