// How a message reads where the user sees it, in the window and on the command line alike.
#pragma once

#include <string>
#include <string_view>

namespace orvane {

// The exception box's rule: a full stop is added when the last byte sorts after "." (so
// after a letter, a digit, ":" or any byte from 128 up), never to an empty text.
std::string ExceptionBoxText(const std::string& message);

// CR LF or a lone CR (as the Windows texts break their lines) as a plain line feed.
std::string WithNewlines(const std::string& message);

// Text that came from a file, a file name or an argument, made safe to print on a terminal:
// control characters (C0, DEL, and C1 as UTF-8 or as a lone byte) and bytes that are not
// UTF-8 are written as escapes ("\x1b", "\u009b"), so that nothing in a name can move the
// cursor, retitle the terminal or clear the screen. Printable text, UTF-8 included, stays.
std::string EscapeControls(std::string_view text);

// A message for a terminal: its line breaks (CR, LF or CR LF) as line feeds, everything else
// in it escaped as EscapeControls does.
std::string TerminalText(const std::string& message);

} // namespace orvane
