// The exception box and its final-period rule.
#include "app/ExceptionBox.h"

#include "app/Dialogs.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

namespace orvane {

void ShowExceptionBox(const std::exception& error) {
    // A drag or a pressed button must not be left hanging under the modal box.
    if (QWidget* grabber = QWidget::mouseGrabber()) {
        grabber->releaseMouse();
    }
    const QString text = QString::fromUtf8(WithNewlines(ExceptionBoxText(error.what())));
    QMessageBox box(QMessageBox::Critical, QString::fromUtf8(ApplicationTitle), text,
                    QMessageBox::Ok, QApplication::activeWindow());
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

} // namespace orvane
