// The window's drawn frames: framed boxes and lines (bevels) and the gauge's panel, in the
// classic 3-D look of highlight and shadow lines.
#pragma once

#include <QWidget>

namespace orvane {

class TBevel : public QWidget {
    Q_OBJECT
public:
    enum TBevelShape { bsFrame, bsTopLine };
    enum TBevelStyle { bsLowered, bsRaised };

    TBevel(TBevelShape shape, TBevelStyle style, QWidget* parent);

    TBevelShape Shape() const { return FShape; }
    TBevelStyle Style() const { return FStyle; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TBevelShape FShape;
    TBevelStyle FStyle;
};

// A panel with a lowered outer edge, a border of the face colour and a raised inner edge,
// each one pixel wide.
class TBevelPanel : public QWidget {
    Q_OBJECT
public:
    explicit TBevelPanel(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace orvane
