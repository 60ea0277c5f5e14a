// The base of every error a user can meet: a message text, shown as it stands, and the
// help context some layers attach to it.
#pragma once

#include <exception>
#include <string>

namespace orvane {

class Exception : public std::exception {
public:
    explicit Exception(std::string message, int helpContext = 0)
        : FMessage(std::move(message)), FHelpContext(helpContext) {}

    const char* what() const noexcept override { return FMessage.c_str(); }
    const std::string& Message() const noexcept { return FMessage; }
    int HelpContext() const noexcept { return FHelpContext; }

private:
    std::string FMessage;
    int FHelpContext;
};

} // namespace orvane
