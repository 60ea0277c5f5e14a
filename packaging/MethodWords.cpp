// Fills the access methods into a manual page or a shell completion at build time, from the
// one list of methods, so that no text about them can fall out of step with the program:
//   orvane-method-words TEMPLATE OUTPUT
// %METHODS% becomes "file mmio win32", %METHODS_BAR% "file | mmio | win32" and
// %METHODS_ROFF% the same with each name in italics for a manual page.
#include "bench/Methods.h"

#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

namespace {

std::string Joined(const char* before, const char* after, const char* separator) {
    std::string text;
    for (const orvane::TMethodOps* ops : orvane::Methods()) {
        text += (text.empty() ? "" : separator) + std::string(before) + ops->CliName + after;
    }
    return text;
}

void Replace(std::string& text, const std::string& word, const std::string& by) {
    for (std::size_t at = text.find(word); at != std::string::npos;
         at = text.find(word, at + by.size())) {
        text.replace(at, word.size(), by);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: orvane-method-words TEMPLATE OUTPUT\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (!in && !in.eof()) {
        std::cerr << argv[1] << ": can't be read\n";
        return 1;
    }
    // The longest word first: %METHODS% is a prefix of the others.
    Replace(text, "%METHODS_ROFF%", Joined("\\fI", "\\fR", " | "));
    Replace(text, "%METHODS_BAR%", Joined("", "", " | "));
    Replace(text, "%METHODS%", Joined("", "", " "));
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        std::cerr << argv[2] << ": can't be written\n";
        return 1;
    }
    return 0;
}
