// orvane-chart, the helper of the orvane package that draws orvane-cli report's charts: the
// saved runs named on its command line (see ChartHelperArguments) as an SVG or PNG chart on
// its standard output, a message on standard error and exit status 1 where it can't, 2 for
// arguments it does not take. It keeps Qt out of orvane-cli.
#include "charts/ChartExport.h"
#include "charts/ChartFile.h"
#include "charts/ThroughputChart.h"
#include "platform/OsCalls.h"
#include "results/Fleet.h"
#include "results/SavedRun.h"

#include <QApplication>
#include <QChart>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <system_error>
#include <thread>
#include <variant>

namespace {

using namespace orvane;

const char* const UsageText = "orvane-chart: usage: orvane-chart --format svg|png [--log-scale] "
                              "[--by-host [--force]] -- FILE...; it draws for orvane-cli report "
                              "--chart\n";
const char* const NoThreadText =
    "orvane-chart: the chart is drawn with threads, and this process can't start one (a limit "
    "on processes or memory: ulimit -u, ulimit -v?)\n";
// What Qt says when a thread of its own does not start (qthread_unix.cpp).
const char* const QtThreadFailure = "QThread::start: Thread creation error";

// Only what tells why no chart came: Qt's warnings about a display are no one's business here.
// A thread Qt could not start is the end: whatever handed it work would wait for it forever.
void Quiet(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (message.startsWith(QLatin1String(QtThreadFailure))) {
        std::fputs(NoThreadText, stderr);
        std::_Exit(1);
    }
    if (type == QtCriticalMsg || type == QtFatalMsg) {
        std::fprintf(stderr, "orvane-chart: %s\n", qPrintable(message));
    }
}

// Where no thread can start at all, said before Qt is even started: a PNG needs them (Qt
// converts images on a pool of threads); an SVG is drawn without.
bool ThreadsStart() {
    try {
        std::thread([] {}).join();
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

bool WriteAll(const QByteArray& bytes) {
    const char* data = bytes.constData();
    auto left = static_cast<std::size_t>(bytes.size());
    while (left > 0) {
        const ssize_t n = platform::OsCalls().write(1, data, left);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + std::min(argc, 1), argv + argc);
    const std::optional<charts::TChartRequest> request =
        charts::ParseChartHelperArguments(arguments);
    if (!request) {
        std::fputs(UsageText, stderr);
        return 2;
    }
    std::vector<results::TSavedRun> runs;
    std::optional<results::TFleet> fleet;
    std::optional<results::TSavedMatrix> matrix; // a matrix file: its winner maps and heatmaps
    try {
        for (const std::string& file : request->Files) {
            results::TSavedResults saved = results::LoadSavedResults(file);
            if (auto* run = std::get_if<results::TSavedRun>(&saved)) {
                runs.push_back(std::move(*run));
            } else if (!matrix) {
                matrix = std::get<results::TSavedMatrix>(std::move(saved));
            }
        }
        if (request->ByHost) {
            fleet = results::MakeFleet(runs, request->Force);
        }
    } catch (const std::exception& error) {
        // orvane-cli escapes the text before it reaches a terminal.
        std::fprintf(stderr, "orvane-chart: %s\n", error.what());
        return 1;
    }
    if (request->Format == charts::TChartFormat::Png && !ThreadsStart()) {
        std::fputs(NoThreadText, stderr);
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(Quiet);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QByteArray bytes;
    if (matrix) {
        const std::string drawn = charts::RenderMatrixChart(*matrix, request->Format);
        bytes = QByteArray(drawn.data(), static_cast<qsizetype>(drawn.size()));
    } else {
        charts::TChartOptions options;
        options.LogThroughput = request->LogThroughput;
        const std::unique_ptr<QChart> chart(fleet ? charts::MakeFleetChart(*fleet, options)
                                                  : charts::MakeThroughputChart(runs, options));
        bytes = charts::RenderChart(*chart, request->Format);
    }
    if (bytes.isEmpty() || !WriteAll(bytes)) {
        std::fprintf(stderr, "orvane-chart: the chart could not be handed over: %s\n",
                     bytes.isEmpty() ? "nothing was drawn" : std::strerror(errno));
        return 1;
    }
    return 0;
}
