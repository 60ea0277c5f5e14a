// Runs an event handler's body so that no exception unwinds into Qt (built without
// exception support here): whatever escapes is shown in the exception box, and control
// returns to the event loop.
#pragma once

#include "app/Dialogs.h"
#include "fileio/Exception.h"

#include <exception>
#include <utility>

namespace orvane {

template <typename Body> void RunGuarded(TDialogs& dialogs, Body&& body) noexcept {
    try {
        std::forward<Body>(body)();
    } catch (const std::exception& error) {
        try {
            dialogs.ShowExceptionBox(error);
        } catch (...) {
            // Showing the box failed (out of memory, say); the handler still returns.
        }
    } catch (...) {
        try {
            dialogs.ShowExceptionBox(Exception("Unknown exception"));
        } catch (...) {
        }
    }
}

} // namespace orvane
