// Errors that arise while another one is already on its way to the user (a close in a
// clean-up after a failed pass): they are kept here instead of vanishing, and whoever
// reports the first error adds them to its message.
#pragma once

#include <string>
#include <vector>

namespace orvane {

void NoteSecondaryError(const std::string& message);

// The errors noted so far on this thread, oldest first; the list is empty afterwards.
std::vector<std::string> TakeSecondaryErrors();

} // namespace orvane
