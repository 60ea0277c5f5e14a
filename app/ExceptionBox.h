// How an exception that escaped an event handler is put in front of the user.
#pragma once

#include "bench/ShownText.h"

#include <exception>

namespace orvane {

// The application-modal stop box titled with the application title, showing the message
// by ExceptionBoxText's rule. Returns when closed.
void ShowExceptionBox(const std::exception& error);

} // namespace orvane
