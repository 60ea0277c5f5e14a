// Style, palette and font of the classic look.
#include "app/ClassicLook.h"

#include <QApplication>
#include <QFontDatabase>
#include <QStandardPaths>
#include <QStyleFactory>

namespace orvane {

namespace {

const char* const StyleName = "Windows";
const char* const ClassicFontFile = "wine/fonts/ms_sans_serif.ttf";
constexpr int ClassicFontPixels = 11; // 8 point at 96 dots per inch

} // namespace

QFont ClassicFont() {
    static const QString family = [] {
        const QString path =
            QStandardPaths::locate(QStandardPaths::GenericDataLocation, QString::fromLatin1(ClassicFontFile));
        if (!path.isEmpty()) {
            const int id = QFontDatabase::addApplicationFont(path);
            const QStringList families = QFontDatabase::applicationFontFamilies(id);
            if (!families.isEmpty()) {
                return families.constFirst();
            }
        }
        return QString();
    }();
    QFont font;
    if (!family.isEmpty()) {
        font.setFamily(family);
    } else {
        font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
        font.setStyleHint(QFont::SansSerif);
    }
    font.setPixelSize(ClassicFontPixels);
    return font;
}

QFont ApplyClassicLook(QApplication& application) {
    if (QStyle* style = QStyleFactory::create(QString::fromLatin1(StyleName))) {
        application.setStyle(style);
        application.setPalette(style->standardPalette());
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
