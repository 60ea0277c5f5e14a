// The small dialog that sets up a matrix from the window: the file size, which block sizes and
// configurations, the measuring mode and the repeats. It follows the desktop's look, like the
// chart window; the main window keeps its own layout.
#pragma once

#include "bench/RunHost.h"

#include <QDialog>
#include <cstddef>
#include <vector>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;

namespace orvane {

// What the user asked the matrix to measure.
struct TMatrixRequest {
    int FileSizePosition = 4;                                  // 16M
    std::vector<std::size_t> BlockPositions = {0, 2, 4, 6, 8}; // 1, 4, 16, 64, 256
    std::vector<std::size_t> Configurations = {0, 1, 2, 3, 4};
    TMeasuringMode Mode;
};

class TMatrixDialog : public QDialog {
    Q_OBJECT
public:
    TMatrixDialog(const TMatrixRequest& initial, QWidget* parent = nullptr);

    // The request as the controls stand.
    TMatrixRequest Request() const;

    QComboBox* FileSizeBox = nullptr;
    std::vector<QCheckBox*> BlockBoxes;         // one per block size
    std::vector<QCheckBox*> ConfigurationBoxes; // one per configuration
    QCheckBox* DurableBox = nullptr;
    QCheckBox* ColdBox = nullptr;
    QComboBox* RepeatsBox = nullptr; // 1, 3, 5, until steady
    QDialogButtonBox* Buttons = nullptr;

private:
    // "Run" only with a block size and a configuration ticked.
    void Check();
};

} // namespace orvane
