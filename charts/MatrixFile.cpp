// The matrix's picture drawn into PNG or SVG.
#include "charts/ChartExport.h"
#include "charts/ChartFile.h"
#include "charts/MatrixPicture.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>

namespace orvane::charts {

std::string RenderMatrixChart(const results::TSavedMatrix& matrix, TChartFormat format) {
    const TOffscreenQt qt;
    const TMatrixPicture picture = MakeMatrixPicture(matrix);
    const QSize size = PictureFileSize(picture);
    const TPictureLayout layout = LayOutPicture(picture, QRectF(QPointF(0, 0), size));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const auto draw = [&](QPaintDevice& device) {
        QPainter painter(&device);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
        DrawMatrixPicture(painter, picture, layout);
    };
    if (format == TChartFormat::Svg) {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        // Plain text already; escaped for XML, which the generator leaves to its caller here.
        svg.setTitle(picture.Title.toHtmlEscaped());
        svg.setDescription(QStringLiteral("Winner maps and heatmaps of a matrix, drawn by Orvane"));
        draw(svg);
    } else {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        draw(image);
        image.save(&buffer, "PNG");
    }
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

} // namespace orvane::charts
