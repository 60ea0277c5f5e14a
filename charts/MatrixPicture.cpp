// The matrix's picture: its cells as colours and marks, where they go, and the drawing.
#include "charts/MatrixPicture.h"

#include "bench/MatrixPlan.h"
#include "bench/Scales.h"
#include "charts/ThroughputChart.h"
#include "results/Cells.h"
#include "results/RowFigures.h"
#include "results/Winners.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <map>

namespace orvane::charts {

namespace {

using results::TMatrixCell;
using results::TSavedMatrix;

// Viridis at nine even steps: perceptually even, and readable without colour vision.
const QColor Viridis[] = {
    QColor(0x44, 0x01, 0x54), QColor(0x47, 0x2d, 0x7b), QColor(0x3b, 0x52, 0x8b),
    QColor(0x2c, 0x72, 0x8e), QColor(0x21, 0x91, 0x8c), QColor(0x28, 0xae, 0x80),
    QColor(0x5e, 0xc9, 0x62), QColor(0xad, 0xdc, 0x30), QColor(0xfd, 0xe7, 0x25)};

// Okabe and Ito's palette: orange, sky blue, blue, reddish purple, bluish green.
const QColor ConfigurationColours[] = {QColor(0xe6, 0x9f, 0x00), QColor(0x56, 0xb4, 0xe9),
                                       QColor(0x00, 0x72, 0xb2), QColor(0xcc, 0x79, 0xa7),
                                       QColor(0x00, 0x9e, 0x73)};

const QColor Empty(0xee, 0xee, 0xee);
const char* const ScaleCaption = "MiB/s, logarithmic";
const char* const BlockCaption = "block";
const char* const TieKey = "hatched: a tie, the lead within the noise";

constexpr double Margin = 12;
constexpr double TitleHeight = 24;
constexpr double PanelTitleHeight = 18;
constexpr double ColumnLabelHeight = 14;
constexpr double RowLabelWidth = 44;
constexpr double PanelGap = 24;
constexpr double RowGap = 10;
constexpr double ScaleHeight = 40;
constexpr double LegendHeight = 22;
constexpr double FileCellHeight = 22;
constexpr int FileWidth = 1200;

const char* PassName(TResultList pass) {
    return pass == TResultList::Write ? "write" : "read";
}

double MiB(const TMatrixCell& cell) {
    return cell.Row.KiBPerSecond() / 1024;
}

QString Tip(const TMatrixCell& cell) {
    return QString::fromStdString(cell.Configuration + ", " + std::to_string(cell.Row.BlockBytes) +
                                  "-byte blocks: " + results::RowSummary(cell.Row));
}

std::size_t RowOf(const TSavedMatrix& matrix, std::uint32_t block) {
    return static_cast<std::size_t>(
        std::find(matrix.BlockSizes.begin(), matrix.BlockSizes.end(), block) -
        matrix.BlockSizes.begin());
}

std::size_t ColumnOf(std::uint32_t chunk) {
    return static_cast<std::size_t>(
        std::find(ChunkSizes.begin(), ChunkSizes.end(), static_cast<std::int32_t>(chunk)) -
        ChunkSizes.begin());
}

QString MarkOf(const std::string& configuration) {
    const auto index = MatrixConfigurationOf(configuration);
    return index ? QString::fromLatin1(MatrixConfigurations()[*index].Mark) : QString();
}

QColor ColourOf(const std::string& configuration) {
    return ConfigurationColour(MatrixConfigurationOf(configuration).value_or(0));
}

TPicturePanel WinnerPanel(const TSavedMatrix& matrix, const std::vector<results::TWinner>& winners,
                          TResultList pass) {
    TPicturePanel panel{
        TPanelKind::Winners, pass, QStringLiteral("%1: winners").arg(PassName(pass)), {}};
    for (const results::TWinner& winner : winners) {
        if (winner.Pass != pass || winner.Fastest.empty()) {
            continue;
        }
        TPictureCell cell;
        cell.Row = RowOf(matrix, winner.BlockBytes);
        cell.Column = ColumnOf(winner.ChunkBytes);
        cell.Fill = ColourOf(winner.Fastest);
        cell.Hatched = winner.Tie;
        cell.Mark = winner.Tie ? MarkOf(winner.Fastest) + QLatin1Char('=') + MarkOf(winner.RunnerUp)
                               : MarkOf(winner.Fastest);
        std::string tip =
            std::string(PassName(pass)) + ", " + std::to_string(winner.BlockBytes) +
            "-byte blocks, chunk " +
            std::string(ChunkSizeLabels[std::min(cell.Column, ChunkSizes.size() - 1)]) + ": ";
        tip += winner.Tie ? "a tie of " + winner.Fastest + " and " + winner.RunnerUp
                          : winner.Fastest + " wins";
        if (winner.Margin) {
            tip += ", " + results::DecimalText(*winner.Margin * 100, 1) + " % ahead of " +
                   winner.RunnerUp;
        }
        cell.Tip = QString::fromStdString(tip);
        panel.Cells.push_back(std::move(cell));
    }
    return panel;
}

// 1, 2 and 5 in every decade between the ends.
std::vector<double> Ticks(double low, double high) {
    std::vector<double> ticks;
    for (double decade = std::pow(10, std::floor(std::log10(low))); decade <= high; decade *= 10) {
        for (const double step : {1.0, 2.0, 5.0}) {
            if (decade * step >= low && decade * step <= high) {
                ticks.push_back(decade * step);
            }
        }
    }
    return ticks;
}

// "0.52", "12.3", "10420": MiB/s as a reader takes them in, never in exponents.
QString Figure(double value) {
    return QString::number(value, 'f', value >= 100 ? 0 : value >= 10 ? 1 : 2);
}

QColor TextOn(const QColor& fill) {
    // Relative luminance, as WCAG has it, picks the text colour that stands out.
    const auto linear = [](double c) {
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    const double luminance = 0.2126 * linear(fill.redF()) + 0.7152 * linear(fill.greenF()) +
                             0.0722 * linear(fill.blueF());
    return luminance > 0.18 ? Qt::black : Qt::white;
}

void Hatch(QPainter& painter, const QRectF& rect) {
    painter.save();
    painter.setClipRect(rect);
    painter.setPen(QPen(QColor(0, 0, 0, 140), 1));
    for (double x = rect.left() - rect.height(); x < rect.right(); x += 6) {
        painter.drawLine(QPointF(x, rect.bottom()), QPointF(x + rect.height(), rect.top()));
    }
    painter.restore();
}

std::size_t PanelRows(const TMatrixPicture& picture) {
    return (picture.Panels.size() + 1) / 2;
}

// Height of everything but the cells.
double FixedHeight(const TMatrixPicture& picture) {
    return 2 * Margin + TitleHeight +
           static_cast<double>(PanelRows(picture)) *
               (PanelTitleHeight + ColumnLabelHeight + RowGap) +
           ScaleHeight + LegendHeight;
}

double FixedWidth() {
    return 2 * Margin + 2 * RowLabelWidth + PanelGap;
}

// The font made smaller until the text fits the width (a tie's "W=WB" in a narrow cell), down
// to a size still legible.
QFont FittedFont(const QFont& font, const QString& text, double width) {
    QFont fitted = font;
    for (int size = font.pixelSize(); size > 7; --size) {
        fitted.setPixelSize(size);
        if (QFontMetricsF(fitted).horizontalAdvance(text) <= width) {
            break;
        }
    }
    return fitted;
}

} // namespace

QColor HeatColour(double mibPerSecond, double low, double high) {
    double t = 0.5;
    if (low > 0 && high > low && mibPerSecond > 0) {
        t = std::clamp((std::log(mibPerSecond) - std::log(low)) / (std::log(high) - std::log(low)),
                       0.0, 1.0);
    }
    const double at = t * static_cast<double>(std::size(Viridis) - 1);
    const auto i = std::min(static_cast<std::size_t>(at), std::size(Viridis) - 2);
    const double f = at - static_cast<double>(i);
    const QColor& a = Viridis[i];
    const QColor& b = Viridis[i + 1];
    return QColor::fromRgbF(static_cast<float>(a.redF() + (b.redF() - a.redF()) * f),
                            static_cast<float>(a.greenF() + (b.greenF() - a.greenF()) * f),
                            static_cast<float>(a.blueF() + (b.blueF() - a.blueF()) * f));
}

QColor ConfigurationColour(std::size_t configuration) {
    return ConfigurationColours[configuration % std::size(ConfigurationColours)];
}

TMatrixPicture MakeMatrixPicture(const TSavedMatrix& matrix, const std::string& onlyConfiguration) {
    TMatrixPicture picture;
    picture.Title = PlainChartText(QString::fromStdString(results::MatrixLabel(matrix)));
    for (const std::uint32_t block : matrix.BlockSizes) {
        picture.RowLabels << QString::number(block);
    }
    for (const std::string_view label : ChunkSizeLabels) {
        picture.ColumnLabels << QString::fromLatin1(label.data(),
                                                    static_cast<qsizetype>(label.size()));
    }
    const std::vector<results::TWinner> winners = results::MatrixWinners(matrix);
    for (const TResultList pass : {TResultList::Write, TResultList::Read}) {
        picture.Panels.push_back(WinnerPanel(matrix, winners, pass));
        picture.Summary << QString::fromStdString(results::WinnerSentence(winners, pass));
    }
    // One colour scale for every heatmap, so that the same colour is the same speed.
    for (const TMatrixCell& cell : matrix.Cells) {
        if (const double mib = MiB(cell); mib > 0) {
            picture.LowMiB = picture.LowMiB == 0 ? mib : std::min(picture.LowMiB, mib);
            picture.HighMiB = std::max(picture.HighMiB, mib);
        }
    }
    for (const std::string& configuration : matrix.Configurations) {
        if (!onlyConfiguration.empty() && configuration != onlyConfiguration) {
            continue;
        }
        for (const TResultList pass : {TResultList::Write, TResultList::Read}) {
            TPicturePanel& panel = picture.Panels.emplace_back(TPicturePanel{
                TPanelKind::Heatmap,
                pass,
                QStringLiteral("%1: %2").arg(PassName(pass), QString::fromStdString(configuration)),
                {}});
            for (const TMatrixCell& cell : matrix.Cells) {
                if (cell.Configuration != configuration || cell.Row.Pass != pass ||
                    MiB(cell) <= 0) {
                    continue;
                }
                panel.Cells.push_back({RowOf(matrix, cell.Row.BlockBytes),
                                       ColumnOf(cell.Row.ChunkBytes),
                                       HeatColour(MiB(cell), picture.LowMiB, picture.HighMiB),
                                       {},
                                       false,
                                       Tip(cell)});
            }
        }
    }
    for (const std::string& configuration : matrix.Configurations) {
        picture.Legend.emplace_back(MarkOf(configuration) + QLatin1Char(' ') +
                                        QString::fromStdString(configuration),
                                    ColourOf(configuration));
    }
    return picture;
}

TPictureLayout LayOutPicture(const TMatrixPicture& picture, const QRectF& area) {
    TPictureLayout layout;
    const double columns = static_cast<double>(std::max<qsizetype>(picture.ColumnLabels.size(), 1));
    const double rows = static_cast<double>(std::max<qsizetype>(picture.RowLabels.size(), 1));
    const auto panelRows = static_cast<double>(PanelRows(picture));
    layout.CellWidth = std::max((area.width() - FixedWidth()) / (2 * columns), 4.0);
    layout.CellHeight = std::clamp((area.height() - FixedHeight(picture)) / (panelRows * rows), 4.0,
                                   layout.CellWidth);
    layout.Title =
        QRectF(area.left() + Margin, area.top() + Margin, area.width() - 2 * Margin, TitleHeight);
    const double panelWidth = columns * layout.CellWidth;
    double top = layout.Title.bottom();
    for (std::size_t i = 0; i < picture.Panels.size(); ++i) {
        if (i % 2 == 0 && i > 0) {
            top += PanelTitleHeight + ColumnLabelHeight + rows * layout.CellHeight + RowGap;
        }
        const double left = area.left() + Margin + RowLabelWidth +
                            static_cast<double>(i % 2) * (panelWidth + PanelGap + RowLabelWidth);
        layout.Panels.emplace_back(left, top + PanelTitleHeight + ColumnLabelHeight, panelWidth,
                                   rows * layout.CellHeight);
    }
    const double bottom = layout.Panels.empty() ? top : layout.Panels.back().bottom() + RowGap;
    layout.Scale =
        QRectF(area.left() + Margin + RowLabelWidth, bottom + 4, std::min(panelWidth, 420.0), 14);
    layout.Legend =
        QRectF(area.left() + Margin, bottom + ScaleHeight, area.width() - 2 * Margin, LegendHeight);
    return layout;
}

QSize PictureFileSize(const TMatrixPicture& picture) {
    const double rows = static_cast<double>(std::max<qsizetype>(picture.RowLabels.size(), 1));
    const double height =
        FixedHeight(picture) + static_cast<double>(PanelRows(picture)) * rows * FileCellHeight;
    return {FileWidth, static_cast<int>(std::ceil(height))};
}

void DrawMatrixPicture(QPainter& painter, const TMatrixPicture& picture,
                       const TPictureLayout& layout) {
    painter.save();
    QFont font = painter.font();
    font.setPixelSize(11);
    QFont bold = font;
    bold.setBold(true);
    painter.setFont(bold);
    painter.setPen(Qt::black);
    painter.drawText(
        layout.Title, Qt::AlignLeft | Qt::AlignVCenter,
        QFontMetricsF(bold).elidedText(picture.Title, Qt::ElideRight, layout.Title.width()));
    const double cw = layout.CellWidth;
    const double ch = layout.CellHeight;
    for (std::size_t i = 0; i < picture.Panels.size() && i < layout.Panels.size(); ++i) {
        const TPicturePanel& panel = picture.Panels[i];
        const QRectF grid = layout.Panels[i];
        painter.setFont(bold);
        painter.setPen(Qt::black);
        painter.drawText(QRectF(grid.left() - RowLabelWidth,
                                grid.top() - ColumnLabelHeight - PanelTitleHeight,
                                grid.width() + RowLabelWidth, PanelTitleHeight),
                         Qt::AlignLeft | Qt::AlignVCenter, panel.Title);
        painter.setFont(font);
        // Down the side the block sizes in bytes, across the top the chunk sizes.
        painter.drawText(QRectF(grid.left() - RowLabelWidth, grid.top() - ColumnLabelHeight,
                                RowLabelWidth - 4, ColumnLabelHeight),
                         Qt::AlignRight | Qt::AlignVCenter, QString::fromLatin1(BlockCaption));
        for (qsizetype c = 0; c < picture.ColumnLabels.size(); ++c) {
            painter.drawText(QRectF(grid.left() + static_cast<double>(c) * cw,
                                    grid.top() - ColumnLabelHeight, cw, ColumnLabelHeight),
                             Qt::AlignCenter, picture.ColumnLabels[c]);
        }
        for (qsizetype r = 0; r < picture.RowLabels.size(); ++r) {
            painter.drawText(QRectF(grid.left() - RowLabelWidth,
                                    grid.top() + static_cast<double>(r) * ch, RowLabelWidth - 4,
                                    ch),
                             Qt::AlignRight | Qt::AlignVCenter, picture.RowLabels[r]);
        }
        painter.fillRect(grid, Empty);
        for (const TPictureCell& cell : panel.Cells) {
            const QRectF rect(grid.left() + static_cast<double>(cell.Column) * cw,
                              grid.top() + static_cast<double>(cell.Row) * ch, cw, ch);
            painter.fillRect(rect, cell.Fill);
            if (cell.Hatched) {
                Hatch(painter, rect);
            }
            if (!cell.Mark.isEmpty()) {
                painter.setPen(TextOn(cell.Fill));
                painter.setFont(FittedFont(font, cell.Mark, rect.width() - 2));
                painter.drawText(rect, Qt::AlignCenter, cell.Mark);
                painter.setFont(font);
            }
        }
        painter.setPen(QPen(Qt::white, 1));
        for (qsizetype c = 1; c < picture.ColumnLabels.size(); ++c) {
            const double x = grid.left() + static_cast<double>(c) * cw;
            painter.drawLine(QPointF(x, grid.top()), QPointF(x, grid.bottom()));
        }
        for (qsizetype r = 1; r < picture.RowLabels.size(); ++r) {
            const double y = grid.top() + static_cast<double>(r) * ch;
            painter.drawLine(QPointF(grid.left(), y), QPointF(grid.right(), y));
        }
    }
    // The colour scale: the heatmaps' colours from the slowest figure to the fastest.
    painter.setFont(font);
    painter.setPen(Qt::black);
    if (picture.HighMiB > 0) {
        const QRectF bar = layout.Scale;
        constexpr int Steps = 64;
        const double low = picture.LowMiB;
        const double high = picture.HighMiB > low ? picture.HighMiB : low * 2;
        for (int s = 0; s < Steps; ++s) {
            const double t = (s + 0.5) / Steps;
            const double value = low * std::pow(high / low, t);
            painter.fillRect(QRectF(bar.left() + bar.width() * s / Steps, bar.top(),
                                    bar.width() / Steps + 0.5, bar.height()),
                             HeatColour(value, low, high));
        }
        for (const double tick : Ticks(low, high)) {
            const double x = bar.left() + bar.width() * std::log(tick / low) / std::log(high / low);
            painter.drawLine(QPointF(x, bar.bottom()), QPointF(x, bar.bottom() + 3));
            painter.drawText(QRectF(x - 30, bar.bottom() + 3, 60, 14), Qt::AlignCenter,
                             Figure(tick));
        }
        painter.drawText(QRectF(bar.right() + 12, bar.top() - 2, 200, bar.height() + 4),
                         Qt::AlignLeft | Qt::AlignVCenter,
                         QStringLiteral("%1 (%2 to %3)")
                             .arg(QString::fromLatin1(ScaleCaption), Figure(low), Figure(high)));
    }
    // The winner maps' key.
    double x = layout.Legend.left();
    const QFontMetricsF metrics(font);
    for (const auto& [label, colour] : picture.Legend) {
        const QRectF swatch(x, layout.Legend.top() + 4, 14, 14);
        painter.fillRect(swatch, colour);
        painter.drawText(QRectF(swatch.right() + 4, layout.Legend.top(), 200, 22),
                         Qt::AlignLeft | Qt::AlignVCenter, label);
        x = swatch.right() + 16 + metrics.horizontalAdvance(label);
    }
    const QRectF tie(x, layout.Legend.top() + 4, 14, 14);
    painter.fillRect(tie, Empty);
    Hatch(painter, tie);
    painter.drawText(QRectF(tie.right() + 4, layout.Legend.top(), 400, 22),
                     Qt::AlignLeft | Qt::AlignVCenter, QString::fromLatin1(TieKey));
    painter.restore();
}

const TPictureCell* PictureCellAt(const TMatrixPicture& picture, const TPictureLayout& layout,
                                  QPointF point) {
    for (std::size_t i = 0; i < picture.Panels.size() && i < layout.Panels.size(); ++i) {
        const QRectF& grid = layout.Panels[i];
        if (!grid.contains(point)) {
            continue;
        }
        const auto column = static_cast<std::size_t>((point.x() - grid.left()) / layout.CellWidth);
        const auto row = static_cast<std::size_t>((point.y() - grid.top()) / layout.CellHeight);
        for (const TPictureCell& cell : picture.Panels[i].Cells) {
            if (cell.Row == row && cell.Column == column) {
                return &cell;
            }
        }
    }
    return nullptr;
}

} // namespace orvane::charts
