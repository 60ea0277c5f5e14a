// The picture of a matrix: per pass a winner map (one colour per configuration from the
// Okabe-Ito palette, which colour-blind readers tell apart, the winner's initial in each cell,
// ties hatched) and a heatmap per configuration (chunk size across, block size down, MiB/s on a
// logarithmic colour scale with its legend). Made as data first (what each cell shows and its
// tool tip), then laid out and drawn with QPainter: one drawing for the window and the files.
#pragma once

#include "results/Matrix.h"

#include <QColor>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class QPainter;

namespace orvane::charts {

enum class TPanelKind { Winners, Heatmap };

struct TPictureCell {
    std::size_t Row = 0;    // the block size's place among the matrix's, from the top
    std::size_t Column = 0; // the chunk size's place, from the left
    QColor Fill;
    QString Mark;         // a winner map's "WB", or "F=W" for a tie; empty in a heatmap
    bool Hatched = false; // a tie
    QString Tip;          // the configuration, the place, the figures, interval and source
};

struct TPicturePanel {
    TPanelKind Kind = TPanelKind::Heatmap;
    TResultList Pass = TResultList::Write;
    QString Title;                   // "write: winners", "read: win32-buffered"
    std::vector<TPictureCell> Cells; // only those with a figure
};

struct TMatrixPicture {
    QString Title; // the matrix's label, made plain text
    QStringList RowLabels;
    QStringList ColumnLabels;
    // The winner maps (write, read), then per configuration its heatmaps (write, read).
    std::vector<TPicturePanel> Panels;
    // The colour scale's ends in MiB/s (the slowest and fastest figure); 0 where none.
    double LowMiB = 0;
    double HighMiB = 0;
    // The winner maps' colours: "WB win32-buffered" and its colour.
    std::vector<std::pair<QString, QColor>> Legend;
    // Who wins where, a sentence per pass, for those who can't see the maps.
    QStringList Summary;
};

// The picture of `matrix`; with `onlyConfiguration`, its heatmaps alone beside the winner maps.
TMatrixPicture MakeMatrixPicture(const results::TSavedMatrix& matrix,
                                 const std::string& onlyConfiguration = {});

// Viridis at `mibPerSecond`'s place between `low` and `high` on a logarithmic scale.
QColor HeatColour(double mibPerSecond, double low, double high);
// The colour of a configuration (its place in MatrixConfigurations()).
QColor ConfigurationColour(std::size_t configuration);

// Where each part of a picture goes within an area.
struct TPictureLayout {
    QRectF Title;
    std::vector<QRectF> Panels; // the grid of each panel, below its title and column labels
    double CellWidth = 0;
    double CellHeight = 0;
    QRectF Scale;  // the colour scale's bar
    QRectF Legend; // the winner maps' key
};

// Two panels side by side (write, read), rows of panels down; cells as large as `area` allows.
TPictureLayout LayOutPicture(const TMatrixPicture& picture, const QRectF& area);
// The size of a file of the picture: 1200 wide, as high as its panels need.
QSize PictureFileSize(const TMatrixPicture& picture);

void DrawMatrixPicture(QPainter& painter, const TMatrixPicture& picture,
                       const TPictureLayout& layout);

// The cell at `point`, none where there is none.
const TPictureCell* PictureCellAt(const TMatrixPicture& picture, const TPictureLayout& layout,
                                  QPointF point);

} // namespace orvane::charts
