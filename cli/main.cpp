// orvane-cli: the Orvane benchmark without a window.
#include "cli/CliApp.h"

#include <iostream>
#include <unistd.h>

int main(int argc, char** argv) {
    return orvane::cli::RunCli({argv + 1, argv + argc}, std::cout, std::cerr,
                               ::isatty(STDERR_FILENO) != 0);
}
