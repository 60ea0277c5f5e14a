// How a message reads where the user sees it, in the window and on the command line alike.
#pragma once

#include <string>

namespace orvane {

// The exception box's rule: a full stop is added when the last byte sorts after "." (so
// after a letter, a digit, ":" or any byte from 128 up), never to an empty text.
std::string ExceptionBoxText(const std::string& message);

// CR LF or a lone CR (as the Windows texts break their lines) as a plain line feed.
std::string WithNewlines(const std::string& message);

} // namespace orvane
