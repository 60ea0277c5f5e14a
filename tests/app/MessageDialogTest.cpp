// The message dialog: title and icon by kind, carriage returns as line breaks, wrapping at
// half the screen's width, and "OK" as both default and cancel button.
#include "app/MessageDialog.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace orvane {
namespace {

TEST(MessageDialog, TitleAndIconFollowTheKind) {
    for (const auto& [kind, title] : {std::pair{TMsgDlgType::mtWarning, "Warnung"},
                                      std::pair{TMsgDlgType::mtError, "Fehler"}}) {
        const auto dialog = CreateMessageDialog(QStringLiteral("Text"), kind);
        EXPECT_EQ(dialog->windowTitle(), QString::fromLatin1(title));
        const auto* image = dialog->findChild<QLabel*>(QStringLiteral("Image"));
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->pixmap().size(), QSize(32, 32));
    }
}

TEST(MessageDialog, CarriageReturnStartsANewLine) {
    const auto dialog = CreateMessageDialog(
        QStringLiteral("Not enough space for requested file size.\rDecreasing to next valid size."),
        TMsgDlgType::mtError);
    const auto* message = dialog->findChild<QLabel*>(QStringLiteral("Message"));
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->text(),
              QStringLiteral(
                  "Not enough space for requested file size.\nDecreasing to next valid size."));
}

TEST(MessageDialog, LongTextWrapsAtHalfTheScreenWidth) {
    const int half = QGuiApplication::primaryScreen()->geometry().width() / 2;
    const auto shortDialog = CreateMessageDialog(QStringLiteral("Short."), TMsgDlgType::mtWarning);
    const auto* shortText = shortDialog->findChild<QLabel*>(QStringLiteral("Message"));
    EXPECT_LT(shortText->width(), half / 4);

    const auto longDialog =
        CreateMessageDialog(QStringLiteral("word ").repeated(200), TMsgDlgType::mtWarning);
    auto* longText = longDialog->findChild<QLabel*>(QStringLiteral("Message"));
    longDialog->adjustSize();
    EXPECT_LE(longText->width(), half);
    EXPECT_GT(longText->width(), half - 60);
    EXPECT_GT(longText->height(), 3 * longText->fontMetrics().height());
}

TEST(MessageDialog, EnterAndEscapeBothAnswerOk) {
    for (int key : {Qt::Key_Return, Qt::Key_Escape}) {
        const auto dialog = CreateMessageDialog(QStringLiteral("Text"), TMsgDlgType::mtWarning);
        auto* ok = dialog->findChild<QPushButton*>(QStringLiteral("OK"));
        ASSERT_NE(ok, nullptr);
        EXPECT_TRUE(ok->isDefault());
        QTimer::singleShot(0, [&] { QTest::keyClick(dialog.get(), static_cast<Qt::Key>(key)); });
        EXPECT_EQ(dialog->exec(), mrOK) << "key " << key;
    }
}

} // namespace
} // namespace orvane
