// The shared rules for shown texts.
#include "bench/ShownText.h"

namespace orvane {

std::string ExceptionBoxText(const std::string& message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') {
        return message + ".";
    }
    return message;
}

std::string WithNewlines(const std::string& message) {
    std::string text;
    text.reserve(message.size());
    for (std::size_t i = 0; i < message.size(); ++i) {
        if (message[i] != '\r') {
            text += message[i];
            continue;
        }
        text += '\n';
        if (i + 1 < message.size() && message[i + 1] == '\n') {
            ++i;
        }
    }
    return text;
}

} // namespace orvane
