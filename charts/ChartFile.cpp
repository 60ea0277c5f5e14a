// Rendering the chart to PNG and SVG.
#include "charts/ChartFile.h"

#include "charts/ThroughputChart.h"

#include <QApplication>
#include <QBuffer>
#include <QChart>
#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <QTextDocumentFragment>
#include <cstdio>
#include <memory>

namespace orvane::charts {

namespace {

void Draw(QGraphicsScene& scene, QPaintDevice& device, QSize size) {
    QPainter painter(&device);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area(QPointF(0, 0), size);
    scene.render(&painter, area, area);
}

// Qt's chatter below a critical message stays off the terminal.
void Quiet(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) {
        std::fprintf(stderr, "%s\n", qPrintable(message));
    }
}

} // namespace

QByteArray RenderChart(QChart& chart, TChartFormat format, QSize size) {
    // The chart is drawn from a scene of its own, at the file's size, and given back after.
    QGraphicsScene* const home = chart.scene();
    const QRectF geometry = chart.geometry();
    QGraphicsScene scene;
    scene.addItem(&chart);
    chart.setGeometry(QRectF(QPointF(0, 0), size));
    scene.setSceneRect(QRectF(QPointF(0, 0), size));

    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (format == TChartFormat::Svg) {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        // The chart's title is markup; the file's title is its text, escaped for XML.
        svg.setTitle(PlainChartText(QTextDocumentFragment::fromHtml(chart.title()).toPlainText())
                         .toHtmlEscaped());
        svg.setDescription(QStringLiteral("Throughput by chunk size, drawn by Orvane"));
        Draw(scene, svg, size);
    } else {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        Draw(scene, image, size);
        image.save(&buffer, "PNG");
    }
    scene.removeItem(&chart);
    if (home != nullptr) {
        home->addItem(&chart);
        chart.setGeometry(geometry);
    }
    return bytes;
}

TOffscreenQt::TOffscreenQt() {
    if (QCoreApplication::instance() == nullptr) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qInstallMessageHandler(Quiet);
        static int argc = 1;
        static char name[] = "orvane-cli";
        static char* argv[] = {name, nullptr};
        FApp = std::make_unique<QApplication>(argc, argv);
    }
}

TOffscreenQt::~TOffscreenQt() {
    if (FApp) {
        FApp.reset();
        qInstallMessageHandler(nullptr);
    }
}

} // namespace orvane::charts
