// How an exception that escaped an event handler is put in front of the user.
#pragma once

#include <exception>
#include <string>

namespace orvane {

// The message as the box shows it: a full stop is added when the last byte sorts after
// "." (so after a letter, a digit, ":" or any byte from 128 up), never to an empty text.
std::string ExceptionBoxText(const std::string& message);

// The application-modal stop box titled with the application title. Returns when closed.
void ShowExceptionBox(const std::exception& error);

} // namespace orvane
