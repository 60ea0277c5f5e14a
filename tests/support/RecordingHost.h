// A run host that records what the run asks of it, in order, and answers its questions as
// a test sets them up. A hook sees every event as it happens, to act at a chosen point.
#pragma once

#include "bench/BenchmarkRun.h"
#include "bench/MatrixPlan.h"
#include "bench/RunHost.h"
#include "bench/Scales.h"

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace orvane {

class TRecordingHost : public TRunHost {
public:
    TRecordingHost() { Positions[0] = 0; } // 1M: small and quick

    int Position(TScale scale) const override { return Positions[static_cast<int>(scale)]; }
    void SetPosition(TScale scale, int position) override {
        int& current = Positions[static_cast<int>(scale)];
        if (current == position) {
            return; // no handler for the same position
        }
        current = position;
        const auto p = static_cast<std::size_t>(position);
        if (scale == TScale::Files) {
            Record("bar files " + std::string(FileSizeLabels[p]));
        } else if (scale == TScale::Chunks) {
            Label = std::string(ChunkSizeLabels[p]);
            Record("bar chunks " + Label);
        }
        ProcessMessages(); // the change handler ends so
    }
    std::int32_t FileSize() const override {
        return FileSizes[static_cast<std::size_t>(Positions[0])];
    }
    void SetSizes(std::int32_t blockSize, std::int32_t chunkSize) override {
        Record("sizes " + std::to_string(blockSize) + " " + std::to_string(chunkSize));
    }
    std::string ChunkLabel() const override { return Label; }
    TAccessMethod AccessMethod() const override { return Method; }
    bool WriteBuffered() const override { return WriteBufferedBox; }
    bool ReadBuffered() const override { return ReadBufferedBox; }
    TMeasuringMode MeasuringMode() const override { return Mode; }
    void MeasuringStep(TMeasuringStep step) override {
        static const char* const names[] = {"settle", "flush", "drop"};
        Record(std::string("step ") + names[static_cast<int>(step)]);
    }
    void CeilingMeasured(const TCeiling& ceiling) override {
        Ceiling = ceiling;
        Record("ceiling");
    }
    void CeilingRefused(const std::string& reason) override { Record("ceiling refused " + reason); }
    bool& StopFlag() override { return Stop; }
    TTestFileChoice ChooseTestFile(std::string& fileName) override {
        Proposed = fileName;
        if (Answer.empty()) {
            return TTestFileChoice::Cancelled;
        }
        fileName = Answer;
        return TTestFileChoice::Chosen;
    }
    void ShowError(const std::string& text) override { Record("error " + text); }
    void ShowWarning(const std::string& text) override { Record("warning " + text); }
    void ShowNotEnoughSpace(std::int64_t freeBytes) override {
        FreeBytesShown = freeBytes;
        Record(std::string("error ") + NotEnoughSpaceText);
    }
    void ReportFailure(const std::exception& error) override {
        Record(std::string("failure ") + error.what());
    }
    void SetCaption(const std::string& caption) override { Record("caption " + caption); }
    void Lock() override { Record("lock"); }
    void Unlock() override { Record("unlock"); }
    void SetPhaseColour(TPhaseColour colour) override {
        static const char* const names[] = {"prepare", "write", "read", "idle"};
        Record(std::string("colour ") + names[static_cast<int>(colour)]);
    }
    void ProcessMessages() override { Record("process"); }
    void Pause(unsigned milliseconds) override { Record("pause " + std::to_string(milliseconds)); }
    void SetGaugeRange(std::int32_t maximum) override {
        Record("gauge range " + std::to_string(maximum));
    }
    void SetGaugeProgress(std::int32_t progress) override {
        if (progress == 0) {
            Record("gauge 0");
        } else {
            ++GaugeSteps;
            LastGauge = progress;
            if (Hook) {
                Hook("gauge step"); // not recorded: a pass has about a hundred
            }
        }
    }
    void ClearResults() override { Record("clear"); }
    void BeginMatrix(const TMatrixPlan& plan) override {
        Record("matrix of " + std::to_string(plan.Units().size()));
    }
    void MatrixCellBegins(const TMatrixPlan& plan, std::size_t unit) override {
        Record("cell " + MatrixUnitName(plan.Units()[unit]));
    }
    void AddMatrixRow(const TMatrixUnit& unit, const TResultRow& row) override {
        MatrixRows.push_back({unit, row});
        Record("matrix row " + MatrixUnitName(unit) + " " + RowCaption(row));
    }
    void AddResultRow(TResultList list, const TResultRow& row) override {
        (list == TResultList::Write ? WriteRows : ReadRows).push_back(row);
        Record("row " + RowCaption(row));
    }

    // Everything the run asked, in order (the gauge's steps within a pass only counted).
    std::vector<std::string> Events;
    std::function<void(const std::string&)> Hook;

    int Positions[3] = {8, 8, 0};
    std::string Label = "1K";
    TAccessMethod Method = TAccessMethod::amFile;
    bool WriteBufferedBox = false;
    bool ReadBufferedBox = false;
    TMeasuringMode Mode;
    bool Stop = false;
    std::string Answer; // empty: the dialog is cancelled
    std::string Proposed;
    std::vector<TResultRow> WriteRows;
    std::vector<TResultRow> ReadRows;
    std::vector<std::pair<TMatrixUnit, TResultRow>> MatrixRows;
    std::int64_t FreeBytesShown = -2;
    int GaugeSteps = 0;
    std::int32_t LastGauge = 0;
    std::optional<TCeiling> Ceiling;

private:
    void Record(std::string event) {
        Events.push_back(event);
        if (Hook) {
            Hook(Events.back());
        }
    }
};

// Whether the run named its test file as left behind in the error it reported.
inline bool LeftBehindIsReported(const TRecordingHost& host) {
    for (const std::string& e : host.Events) {
        if (e.rfind("failure", 0) == 0 && e.find("\"" + host.Answer + "\"") != std::string::npos &&
            e.find("left behind") != std::string::npos) {
            return true;
        }
    }
    return false;
}

} // namespace orvane
