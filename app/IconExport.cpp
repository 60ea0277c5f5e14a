// orvane-icons: writes the program's icon, drawn by the same code as the window's, as the
// PNG sizes and the scalable SVG of a hicolor icon theme, for installation.
#include "app/Artwork.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <cstdio>

namespace {

constexpr int PngSizes[] = {16, 32, 48, 64, 128, 256};
constexpr int SvgSize = 256;

bool WriteSvg(const QString& path) {
    QSvgGenerator generator;
    generator.setFileName(path);
    generator.setSize(QSize(SvgSize, SvgSize));
    generator.setViewBox(QRect(0, 0, SvgSize, SvgSize));
    generator.setTitle(QStringLiteral("Orvane"));
    generator.setDescription(QStringLiteral("A clock face in front of a disk drive"));
    QPainter painter;
    if (!painter.begin(&generator)) {
        return false;
    }
    orvane::PaintApplicationIcon(painter, SvgSize);
    return painter.end();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "Usage: orvane-icons OUTPUT-DIR ICON-NAME\n"
                             "Writes OUTPUT-DIR/hicolor/<n>x<n>/apps/ICON-NAME.png and "
                             "OUTPUT-DIR/hicolor/scalable/apps/ICON-NAME.svg.\n");
        return 2;
    }
    // Drawing into images and SVG needs no screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QDir output(QString::fromLocal8Bit(argv[1]));
    const QString name = QString::fromLocal8Bit(argv[2]);

    for (const int size : PngSizes) {
        const QString folder = QStringLiteral("hicolor/%1x%1/apps").arg(size);
        const QString path = output.filePath(folder + "/" + name + ".png");
        if (!output.mkpath(folder) || !orvane::ApplicationIconImage(size).save(path, "PNG")) {
            std::fprintf(stderr, "orvane-icons: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    const QString folder = QStringLiteral("hicolor/scalable/apps");
    const QString path = output.filePath(folder + "/" + name + ".svg");
    if (!output.mkpath(folder) || !WriteSvg(path)) {
        std::fprintf(stderr, "orvane-icons: cannot write %s\n", qPrintable(path));
        return 1;
    }
    return 0;
}
