// The matrix's view.
#include "charts/MatrixView.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QVBoxLayout>

namespace orvane::charts {

namespace {

const char* const NoMatrixText =
    "No matrix yet: run one with \"Matrix...\" in the result lists' menu, or add a saved matrix.";

} // namespace

// The drawing itself, painted on white like the files.
class TMatrixCanvas final : public QWidget {
public:
    explicit TMatrixCanvas(TMatrixView& view) : QWidget(&view), FView(view) {
        setMouseTracking(true);
        setMinimumSize(360, 240);
        setAccessibleName(QStringLiteral("Winner maps and heatmaps"));
    }

    TPictureLayout Layout() const { return LayOutPicture(FView.FPicture, QRectF(rect())); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        if (!FView.FMatrix) {
            painter.setPen(Qt::black);
            painter.drawText(rect().adjusted(12, 12, -12, -12), Qt::AlignCenter | Qt::TextWordWrap,
                             QString::fromLatin1(NoMatrixText));
            return;
        }
        painter.setRenderHint(QPainter::Antialiasing);
        DrawMatrixPicture(painter, FView.FPicture, Layout());
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        FView.Hover(event->position().toPoint(), event->globalPosition().toPoint());
        QWidget::mouseMoveEvent(event);
    }
    void leaveEvent(QEvent* event) override {
        FView.FHoverText.clear();
        QToolTip::hideText();
        QWidget::leaveEvent(event);
    }

private:
    TMatrixView& FView;
};

TMatrixView::TMatrixView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("MatrixView"));
    FConfigurations = new QComboBox(this);
    FConfigurations->setObjectName(QStringLiteral("MatrixHeatmaps"));
    FConfigurations->setAccessibleName(QStringLiteral("Heatmaps of"));
    auto* label = new QLabel(QStringLiteral("&Heatmaps of:"), this);
    label->setBuddy(FConfigurations);
    FCanvas = new TMatrixCanvas(*this);
    FSummary = new QLabel(this);
    FSummary->setObjectName(QStringLiteral("MatrixSummary"));
    FSummary->setTextFormat(Qt::PlainText); // names from a file stay text
    FSummary->setWordWrap(true);
    FSummary->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    auto* top = new QHBoxLayout;
    top->addWidget(label);
    top->addWidget(FConfigurations);
    top->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(top);
    layout->addWidget(FCanvas, 1);
    layout->addWidget(FSummary);
    connect(FConfigurations, &QComboBox::currentIndexChanged, this, [this] { Rebuild(); });
}

void TMatrixView::SetMatrix(std::optional<results::TSavedMatrix> matrix) {
    FMatrix = std::move(matrix);
    const QSignalBlocker quiet(FConfigurations);
    const QString chosen = FConfigurations->currentText();
    FConfigurations->clear();
    if (FMatrix) {
        for (const std::string& configuration : FMatrix->Configurations) {
            FConfigurations->addItem(QString::fromStdString(configuration));
        }
        // The same configuration's heatmaps where the new matrix has it.
        FConfigurations->setCurrentIndex(std::max(FConfigurations->findText(chosen), 0));
    }
    Rebuild();
}

void TMatrixView::Rebuild() {
    FPicture = FMatrix ? MakeMatrixPicture(*FMatrix, FConfigurations->currentText().toStdString())
                       : TMatrixPicture{};
    FHoverText.clear();
    FSummary->setText(FPicture.Summary.join(QLatin1Char('\n')));
    FCanvas->setAccessibleDescription(FSummary->text());
    FCanvas->update();
}

QString TMatrixView::TextAt(QPoint position) const {
    const TPictureCell* cell = PictureCellAt(
        FPicture, static_cast<const TMatrixCanvas*>(FCanvas)->Layout(), QPointF(position));
    return cell != nullptr ? cell->Tip : QString();
}

void TMatrixView::Hover(QPoint position, QPoint global) {
    const QString text = TextAt(position);
    if (text == FHoverText) {
        return;
    }
    FHoverText = text;
    if (text.isEmpty()) {
        QToolTip::hideText();
        return;
    }
    // Plain text, never read as markup.
    QToolTip::showText(
        global, QStringLiteral("<p style='white-space:pre'>%1</p>").arg(text.toHtmlEscaped()),
        FCanvas);
}

} // namespace orvane::charts
