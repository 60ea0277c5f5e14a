// The exception box and its final-period rule.
#include "app/ExceptionBox.h"

#include "app/Dialogs.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

namespace orvane {

std::string ExceptionBoxText(const std::string& message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') {
        return message + ".";
    }
    return message;
}

void ShowExceptionBox(const std::exception& error) {
    // A drag or a pressed button must not be left hanging under the modal box.
    if (QWidget* grabber = QWidget::mouseGrabber()) {
        grabber->releaseMouse();
    }
    // Messages break their lines with CR LF or a lone CR, as the Windows texts do.
    QString text = QString::fromUtf8(ExceptionBoxText(error.what()));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox box(QMessageBox::Critical, QString::fromUtf8(ApplicationTitle), text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

} // namespace orvane
