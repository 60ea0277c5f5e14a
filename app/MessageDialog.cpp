// The message dialog: icon at the left, wrapped text beside it, "OK" centred below.
#include "app/MessageDialog.h"

#include "bench/ShownText.h"

#include <QApplication>
#include <QDialog>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

namespace orvane {

namespace {

const char* const WarningTitle = "Warnung";
const char* const ErrorTitle = "Fehler";
constexpr int IconSize = 32;

int ScreenWidth() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->geometry().width() : 1024;
}

// "OK" is also the cancel button: Escape and the close box end with its result.
class TMessageDialog final : public QDialog {
public:
    void reject() override { done(mrOK); }
};

} // namespace

std::unique_ptr<QDialog> CreateMessageDialog(const QString& text, TMsgDlgType kind) {
    std::unique_ptr<QDialog> dialog = std::make_unique<TMessageDialog>();
    const bool warning = kind == TMsgDlgType::mtWarning;
    dialog->setWindowTitle(QString::fromUtf8(warning ? WarningTitle : ErrorTitle));
    dialog->setObjectName(QStringLiteral("MessageDialog"));

    auto* icon = new QLabel(dialog.get());
    icon->setObjectName(QStringLiteral("Image"));
    const QStyle::StandardPixmap pixmap =
        warning ? QStyle::SP_MessageBoxWarning : QStyle::SP_MessageBoxCritical;
    icon->setPixmap(dialog->style()->standardIcon(pixmap).pixmap(IconSize, IconSize));
    icon->setAlignment(Qt::AlignTop);

    const QString lines = QString::fromStdString(WithNewlines(text.toStdString()));
    auto* message = new QLabel(lines, dialog.get());
    message->setObjectName(QStringLiteral("Message"));
    message->setTextFormat(Qt::PlainText);
    message->setWordWrap(true);
    // Wrap only where the text is wider than half the screen.
    const int limit = ScreenWidth() / 2;
    const int natural = message->fontMetrics()
                            .boundingRect(QRect(0, 0, limit, 100000), Qt::TextWordWrap, lines)
                            .width();
    message->setFixedWidth(std::min(limit, natural + 1));

    auto* ok = new QPushButton(QStringLiteral("OK"), dialog.get());
    ok->setObjectName(QStringLiteral("OK"));
    ok->setDefault(true);
    ok->setAutoDefault(true);
    QObject::connect(ok, &QPushButton::clicked, dialog.get(),
                     [d = dialog.get()] { d->done(mrOK); });

    auto* layout = new QGridLayout(dialog.get());
    layout->setHorizontalSpacing(12);
    layout->addWidget(icon, 0, 0);
    layout->addWidget(message, 0, 1);
    layout->addWidget(ok, 1, 0, 1, 2, Qt::AlignHCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    return dialog;
}

int ShowMessageDialog(const std::string& text, TMsgDlgType kind, TMsgDlgButtons) {
    auto dialog = CreateMessageDialog(QString::fromUtf8(text), kind);
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = dialog->frameGeometry();
        frame.moveCenter(screen->geometry().center());
        dialog->move(frame.topLeft());
    }
    dialog->exec();
    return mrOK;
}

} // namespace orvane
