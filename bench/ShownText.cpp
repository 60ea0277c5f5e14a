// The shared rules for shown texts.
#include "bench/ShownText.h"

#include <cstdio>

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

namespace {

// The length of the UTF-8 sequence starting at `i`, or 0 where the bytes are not UTF-8
// (overlong forms and surrogates included).
std::size_t Utf8Length(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    unsigned minimum = 0;
    unsigned value = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, minimum = 0x80, value = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, minimum = 0x800, value = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, minimum = 0x10000, value = lead & 0x07u;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0u) != 0x80u) {
            return 0;
        }
        value = (value << 6) | (byte(i + k) & 0x3Fu);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return 0;
    }
    return length;
}

} // namespace

std::string EscapeControls(std::string_view text) {
    std::string safe;
    safe.reserve(text.size());
    char escape[8];
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte < 0x7F) {
            safe += text[i++];
            continue;
        }
        if (byte < 0x80) { // C0 and DEL
            std::snprintf(escape, sizeof escape, "\\x%02x", byte);
            safe += escape;
            ++i;
            continue;
        }
        const std::size_t length = Utf8Length(text, i);
        if (length == 0) {
            std::snprintf(escape, sizeof escape, "\\x%02x", byte);
            safe += escape;
            ++i;
        } else if (length == 2 && byte == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
            std::snprintf(escape, sizeof escape, "\\u%04x",
                          static_cast<unsigned char>(text[i + 1]));
            safe += escape;
            i += 2;
        } else {
            safe.append(text.substr(i, length));
            i += length;
        }
    }
    return safe;
}

std::string TerminalText(const std::string& message) {
    const std::string lines = WithNewlines(message);
    std::string text;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = lines.find('\n', start);
        text += EscapeControls(std::string_view(lines).substr(start, end - start));
        if (end == std::string::npos) {
            return text;
        }
        text += '\n';
        start = end + 1;
    }
}

} // namespace orvane
