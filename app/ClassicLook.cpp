// Style, palette and font of the classic look.
#include "app/ClassicLook.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPalette>
#include <QStandardPaths>
#include <QStyleFactory>

namespace orvane {

namespace {

const char* const StyleName = "Windows";
const char* const ClassicFontFile = "wine/fonts/ms_sans_serif.ttf";
// The bitmap clone has no bold face and Qt does not embolden bitmaps; Tahoma, drawn for
// the same metrics, carries the bold texts.
const char* const ClassicBoldFontFile = "wine/fonts/tahomabd.ttf";
constexpr int ClassicFontPixels = 11; // 8 point at 96 dots per inch

// The family of a font file under the generic data location, loaded once; empty when the
// file is missing or unreadable.
QString LoadedFamily(const char* file) {
    const QString path =
        QStandardPaths::locate(QStandardPaths::GenericDataLocation, QString::fromLatin1(file));
    if (path.isEmpty()) {
        return {};
    }
    const QStringList families =
        QFontDatabase::applicationFontFamilies(QFontDatabase::addApplicationFont(path));
    return families.isEmpty() ? QString() : families.constFirst();
}

QFont FontOf(const QString& family, int pixelSize, bool bold) {
    QFont font;
    if (!family.isEmpty()) {
        font.setFamily(family);
    } else {
        font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
        font.setStyleHint(QFont::SansSerif);
    }
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    // Crisp pixels like the bitmap face beside it; the gauge's inverse text needs them too.
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

} // namespace

QFont ClassicFont() {
    static const QString family = LoadedFamily(ClassicFontFile);
    return FontOf(family, ClassicFontPixels, false);
}

QFont ClassicBoldFont(int pixelSize) {
    static const QString family = LoadedFamily(ClassicBoldFontFile);
    return FontOf(family, pixelSize, true);
}

QFont ApplyClassicLook(QApplication& application) {
    if (QStyle* style = QStyleFactory::create(QString::fromLatin1(StyleName))) {
        application.setStyle(style);
        QPalette palette = style->standardPalette();
        // Qt's light blue selection is not the classic one, and under the gauge's inverse
        // text (its exact complement) it leaves no contrast to read.
        for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
            palette.setColor(group, QPalette::Highlight, ClassicHighlight);
            palette.setColor(group, QPalette::HighlightedText, Qt::white);
        }
        application.setPalette(palette);
    }
    const QFont font = ClassicFont();
    application.setFont(font);
    return font;
}

TTrackBarStyle::TTrackBarStyle(int thumbLength)
    : QProxyStyle(QStyleFactory::create(QString::fromLatin1(StyleName))),
      FThumbLength(thumbLength) {}

int TTrackBarStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                                const QWidget* widget) const {
    if (metric == PM_SliderLength) {
        return FThumbLength;
    }
    return QProxyStyle::pixelMetric(metric, option, widget);
}

} // namespace orvane
