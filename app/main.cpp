// Orvane, the desktop disk-throughput benchmark.
#include "app/Startup.h"

int main(int argc, char** argv) {
    return orvane::RunOrvane(argc, argv);
}
