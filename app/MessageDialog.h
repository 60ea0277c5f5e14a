// The modal message dialog of a kind (warning or error) with the single button "OK".
#pragma once

#include "app/Dialogs.h"

#include <QString>
#include <memory>

class QDialog;

namespace orvane {

// Builds the dialog without showing it: title and icon from the kind, the text (a carriage
// return starts a new line) wrapped at half the screen's width, "OK" as both the default
// and the cancel button.
std::unique_ptr<QDialog> CreateMessageDialog(const QString& text, TMsgDlgType kind);

// Shows it centred on the screen and modally; returns the result of the button pressed.
int ShowMessageDialog(const std::string& text, TMsgDlgType kind, TMsgDlgButtons buttons);

} // namespace orvane
