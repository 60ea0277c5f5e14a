// The matrix dialog.
#include "app/MatrixDialog.h"

#include "app/DesktopLook.h"
#include "bench/MatrixPlan.h"
#include "bench/Scales.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

namespace orvane {

namespace {

constexpr int RepeatChoices[] = {1, 3, 5};
const char* const UntilSteadyText = "until steady";
const char* const IntroText =
    "Every configuration at every block size and chunk size, in a shuffled order; the result "
    "opens in the chart window's Matrix tab.";

QString Label(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

bool Has(const std::vector<std::size_t>& list, std::size_t value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

} // namespace

TMatrixDialog::TMatrixDialog(const TMatrixRequest& initial, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("MatrixDialog"));
    setWindowTitle(QStringLiteral("Orvane - Matrix"));
    setPalette(DesktopPalette());
    setFont(DesktopFont());
    auto* intro = new QLabel(QString::fromLatin1(IntroText), this);
    intro->setWordWrap(true);

    FileSizeBox = new QComboBox(this);
    FileSizeBox->setObjectName(QStringLiteral("MatrixFileSize"));
    for (const std::string_view label : FileSizeLabels) {
        FileSizeBox->addItem(Label(label));
    }
    FileSizeBox->setCurrentIndex(initial.FileSizePosition);

    auto* blocks = new QGridLayout;
    for (std::size_t p = 0; p < BlockSizes.size(); ++p) {
        auto* box = new QCheckBox(Label(BlockSizeLabels[p]), this);
        box->setObjectName(QStringLiteral("MatrixBlock%1").arg(Label(BlockSizeLabels[p])));
        box->setChecked(Has(initial.BlockPositions, p));
        blocks->addWidget(box, 0, static_cast<int>(p));
        BlockBoxes.push_back(box);
    }
    auto* configurations = new QGridLayout;
    const auto all = MatrixConfigurations();
    for (std::size_t c = 0; c < all.size(); ++c) {
        auto* box = new QCheckBox(QString::fromLatin1(all[c].Name), this);
        box->setObjectName(QStringLiteral("MatrixConfiguration%1").arg(c));
        box->setChecked(Has(initial.Configurations, c));
        configurations->addWidget(box, static_cast<int>(c / 3), static_cast<int>(c % 3));
        ConfigurationBoxes.push_back(box);
    }
    DurableBox = new QCheckBox(QStringLiteral("&Durable writes"), this);
    DurableBox->setChecked(initial.Mode.Durable);
    ColdBox = new QCheckBox(QStringLiteral("&Cold reads"), this);
    ColdBox->setChecked(initial.Mode.Cold);
    auto* mode = new QHBoxLayout;
    mode->addWidget(DurableBox);
    mode->addWidget(ColdBox);
    mode->addStretch();
    RepeatsBox = new QComboBox(this);
    RepeatsBox->setObjectName(QStringLiteral("MatrixRepeats"));
    for (const int repeats : RepeatChoices) {
        RepeatsBox->addItem(QString::number(repeats), repeats);
    }
    RepeatsBox->addItem(QString::fromLatin1(UntilSteadyText), 0);
    RepeatsBox->setCurrentIndex(
        initial.Mode.UntilSteady ? 3 : std::max(RepeatsBox->findData(initial.Mode.Repeats), 0));

    Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    Buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("&Run"));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&File size:"), FileSizeBox);
    form->addRow(QStringLiteral("Block sizes:"), blocks);
    form->addRow(QStringLiteral("Configurations:"), configurations);
    form->addRow(QStringLiteral("Mode:"), mode);
    form->addRow(QStringLiteral("R&epeats:"), RepeatsBox);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(form);
    layout->addWidget(Buttons);
    connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    for (QCheckBox* box : BlockBoxes) {
        connect(box, &QCheckBox::toggled, this, &TMatrixDialog::Check);
    }
    for (QCheckBox* box : ConfigurationBoxes) {
        connect(box, &QCheckBox::toggled, this, &TMatrixDialog::Check);
    }
    Check();
}

TMatrixRequest TMatrixDialog::Request() const {
    TMatrixRequest request;
    request.FileSizePosition = FileSizeBox->currentIndex();
    request.BlockPositions.clear();
    for (std::size_t p = 0; p < BlockBoxes.size(); ++p) {
        if (BlockBoxes[p]->isChecked()) {
            request.BlockPositions.push_back(p);
        }
    }
    request.Configurations.clear();
    for (std::size_t c = 0; c < ConfigurationBoxes.size(); ++c) {
        if (ConfigurationBoxes[c]->isChecked()) {
            request.Configurations.push_back(c);
        }
    }
    request.Mode.Durable = DurableBox->isChecked();
    request.Mode.Cold = ColdBox->isChecked();
    const int repeats = RepeatsBox->currentData().toInt();
    request.Mode.UntilSteady = repeats == 0;
    request.Mode.MaxRepeats = MatrixMaxRepeats;
    request.Mode.Repeats = std::max(repeats, 1);
    return request;
}

void TMatrixDialog::Check() {
    const auto ticked = [](const std::vector<QCheckBox*>& boxes) {
        return std::any_of(boxes.begin(), boxes.end(), [](QCheckBox* b) { return b->isChecked(); });
    };
    Buttons->button(QDialogButtonBox::Ok)
        ->setEnabled(ticked(BlockBoxes) && ticked(ConfigurationBoxes));
}

} // namespace orvane
