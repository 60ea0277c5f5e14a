// A matrix in a widget: its winner maps, and the heatmaps of the configuration chosen in a box
// above them (all of them would not fit a small screen), the cell under the mouse as a tool tip
// with its figures, interval and source, and who wins where in words below.
#pragma once

#include "charts/MatrixPicture.h"

#include <QWidget>
#include <optional>

class QComboBox;
class QLabel;

namespace orvane::charts {

class TMatrixView : public QWidget {
    Q_OBJECT
public:
    explicit TMatrixView(QWidget* parent = nullptr);

    void SetMatrix(std::optional<results::TSavedMatrix> matrix);
    const std::optional<results::TSavedMatrix>& Matrix() const { return FMatrix; }
    // Whose heatmaps are shown.
    QComboBox* ConfigurationBox() const { return FConfigurations; }
    const TMatrixPicture& Picture() const { return FPicture; }
    // The drawing's widget, where the mouse points.
    QWidget* Canvas() const { return FCanvas; }
    // Who wins where, in words, below the drawing (and told to a screen reader).
    QLabel* Summary() const { return FSummary; }

    // The tip of the cell at `position` (the canvas's coordinates); empty where none.
    QString TextAt(QPoint position) const;
    // What the tool tip last showed; empty once the mouse left every cell.
    const QString& HoverText() const { return FHoverText; }

private:
    friend class TMatrixCanvas;
    void Rebuild();
    void Hover(QPoint position, QPoint global);

    std::optional<results::TSavedMatrix> FMatrix;
    TMatrixPicture FPicture;
    QComboBox* FConfigurations = nullptr;
    QWidget* FCanvas = nullptr;
    QLabel* FSummary = nullptr;
    QString FHoverText;
};

} // namespace orvane::charts
