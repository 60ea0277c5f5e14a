// A matrix's results: the winner rule with its ties, the sentence per pass, the file written and
// read back unchanged in JSON and CSV, hostile matrix files refused as hostile runs are, the
// kinds told apart, and two matrices compared cell by cell.
#include "results/Matrix.h"
#include "results/Compare.h"
#include "results/MatrixReport.h"
#include "results/SavedRun.h"
#include "results/Winners.h"
#include "tests/support/SmallMatrix.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace orvane::results {
namespace {

using testing::MatrixRow;
using testing::SmallMatrix;

TEST(Winners, TheFastestWinsUnlessItsLeadIsWithinTheNoise) {
    struct Case {
        const char* what;
        double a, spreadA; // MiB/s of "file" and its samples' spread (-1: one sample)
        double b, spreadB; // of "win32"
        std::string winner;
        double margin;
    };
    const Case cases[] = {
        {"apart", 100, 0.01, 150, 0.01, "win32", 0.5},
        {"intervals overlap", 100, 0.2, 110, 0.2, "tie", 0.1},
        {"intervals touch", 100, 0.0, 100, 0.0, "tie", 0},
        {"narrow intervals, a small lead", 100, 0.001, 103, 0.001, "win32", 0.03},
        {"one sample, within 5 %", 100, -1, 104, -1, "tie", 0.04},
        {"one sample, beyond 5 %", 100, -1, 106, 0.01, "win32", 0.06},
        {"the first listed can win", 150, -1, 100, -1, "file", 0.5},
    };
    for (const Case& c : cases) {
        const TMatrixCell file{"file", true,
                               MatrixRow(TResultList::Read, 16, 1024, c.a, c.spreadA)};
        const TMatrixCell win32{"win32", true,
                                MatrixRow(TResultList::Read, 16, 1024, c.b, c.spreadB)};
        const TMatrixCell* cells[] = {&file, &win32};
        const TWinner winner = JudgeCells(cells);
        EXPECT_EQ(winner.Text(), c.winner) << c.what;
        ASSERT_TRUE(winner.Margin.has_value()) << c.what;
        EXPECT_NEAR(*winner.Margin, c.margin, 1e-6) << c.what;
        EXPECT_EQ(winner.Pass, TResultList::Read);
        EXPECT_EQ(winner.BlockBytes, 16u);
    }
    // Alone, a configuration wins without a margin; a cell too fast to time has no figure.
    const TMatrixCell alone{"mmio", true, MatrixRow(TResultList::Write, 1, 1024, 10)};
    TMatrixCell untimed{"file", true, MatrixRow(TResultList::Write, 1, 1024, 10)};
    untimed.Row.End = untimed.Row.Start;
    untimed.Row.DurationSamples = {0.0};
    const TMatrixCell* both[] = {&untimed, &alone};
    const TWinner winner = JudgeCells(both);
    EXPECT_EQ(winner.Text(), "mmio");
    EXPECT_FALSE(winner.Margin.has_value());
}

TEST(Winners, OneSentencePerPassSaysWhoWinsWhere) {
    const std::vector<TWinner> winners = MatrixWinners(SmallMatrix());
    EXPECT_EQ(WinnerSentence(winners, TResultList::Write),
              "writes: win32-buffered wins 20 of 22 cells; file wins 2 (16- and 256-byte blocks)");
    // At 1.5 MiB/s per KiB of chunk the 2K cells tie with file's 3 MiB/s.
    const std::vector<TWinner> close = MatrixWinners(SmallMatrix(3, 1.5));
    EXPECT_EQ(WinnerSentence(close, TResultList::Read),
              "reads: win32-buffered wins 18 of 22 cells; file wins 2 (16- and 256-byte blocks); "
              "ties: file and win32-buffered in 2 (16- and 256-byte blocks)");
    EXPECT_EQ(WinnerSentence({}, TResultList::Read), "reads: no cells measured");
}

TEST(MatrixFile, JsonAndCsvComeBackUnchanged) {
    TSavedMatrix matrix = SmallMatrix();
    matrix.Stopped = true;
    matrix.Info.Outcome = "stopped";
    matrix.Info.Host.Label = "bench \"7\", rack 2";
    for (const TFormat format : {TFormat::Json, TFormat::Csv}) {
        const TSavedResults read = ParseSavedResults(MatrixReportText(matrix, format), "m");
        ASSERT_TRUE(std::holds_alternative<TSavedMatrix>(read));
        const TSavedMatrix& back = std::get<TSavedMatrix>(read);
        EXPECT_EQ(back.Seed, 42u);
        EXPECT_TRUE(back.Stopped);
        EXPECT_EQ(back.Configurations, matrix.Configurations);
        EXPECT_EQ(back.BlockSizes, matrix.BlockSizes);
        EXPECT_EQ(back.Info.Host.Label, matrix.Info.Host.Label);
        ASSERT_EQ(back.Cells.size(), matrix.Cells.size());
        for (const TMatrixCell& cell : matrix.Cells) {
            const TResultRow& row = cell.Row;
            const TMatrixCell* found =
                FindMatrixCell(back, cell.Configuration, row.BlockBytes, row.ChunkBytes, row.Pass);
            ASSERT_NE(found, nullptr);
            EXPECT_EQ(found->ChunkIndependent, cell.ChunkIndependent);
            EXPECT_NEAR(found->Row.KiBPerSecond(), row.KiBPerSecond(), row.KiBPerSecond() * 1e-6);
            ASSERT_EQ(found->Row.DurationSamples.size(), 3u);
        }
        EXPECT_EQ(MatrixReportText(back, TFormat::Table), MatrixReportText(matrix, TFormat::Table));
    }
    const nlohmann::json json = nlohmann::json::parse(MatrixReportText(matrix, TFormat::Json));
    EXPECT_EQ(json["kind"], "matrix");
    EXPECT_EQ(json["stopped"], true);
    EXPECT_FALSE(json.contains("method")); // a run's own settings are no matrix's
    EXPECT_EQ(json["cells"].size(), matrix.Cells.size());
    EXPECT_EQ(json["winners"].size(), 44u);
    EXPECT_EQ(json["winners"][0]["winner"], "file");
}

TEST(MatrixFile, HostileMatrixFilesAreRefusedNamingTheField) {
    const nlohmann::json good =
        nlohmann::json::parse(MatrixReportText(SmallMatrix(), TFormat::Json));
    struct Case {
        void (*change)(nlohmann::json&);
        const char* error;
    };
    const Case cases[] = {
        {[](nlohmann::json& d) { d["schema"] = 99; }, "\"schema\" is not one this version reads"},
        {[](nlohmann::json& d) { d.erase("seed"); }, "\"seed\" is missing"},
        {[](nlohmann::json& d) { d["seed"] = -1; }, "\"seed\" is not a whole number"},
        {[](nlohmann::json& d) { d["seed"] = 9007199254740992ull; }, "\"seed\" is not a whole"},
        {[](nlohmann::json& d) {
             d["configurations"] = {"file", "ext4"};
         },
         "names \"ext4\", which is not a configuration"},
        {[](nlohmann::json& d) {
             d["configurations"] = {"file", "file"};
         },
         "names \"file\" twice"},
        {[](nlohmann::json& d) { d["configurations"] = nlohmann::json::array(); },
         "\"configurations\" is not a list of 1 to 5"},
        {[](nlohmann::json& d) {
             d["block_sizes"] = {16, 3};
         },
         "3, which is not a block size"},
        {[](nlohmann::json& d) { d["cells"][0]["configuration"] = "mmio"; },
         "\"cells[0].configuration\" is \"mmio\", not one of the matrix's"},
        {[](nlohmann::json& d) { d["cells"][0]["chunk_independent"] = false; },
         "\"cells[0].chunk_independent\" is false for \"file\""},
        {[](nlohmann::json& d) { d["cells"][1] = d["cells"][0]; }, "\"cells[1]\" repeats a cell"},
        {[](nlohmann::json& d) { d["cells"][0]["block_bytes"] = 64; },
         "\"cells[0].block_bytes\" is not one of the matrix's block sizes"},
        {[](nlohmann::json& d) { d["cells"][0]["file_bytes"] = 2097152; },
         "\"cells[0].file_bytes\" is not the matrix's file size"},
        {[](nlohmann::json& d) { d["cells"][0]["duration_s"] = 1e12; }, "longer than any run"},
        {[](nlohmann::json& d) { d["cells"][0]["pass"] = "erase"; }, "is neither write nor read"},
        {[](nlohmann::json& d) { d["kind"] = "fleet"; }, "\"kind\" is neither"},
    };
    for (const Case& c : cases) {
        nlohmann::json document = good;
        c.change(document);
        try {
            ParseSavedResults(document.dump(), "hostile.json");
            ADD_FAILURE() << "accepted: " << c.error;
        } catch (const EResultsFile& error) {
            EXPECT_NE(std::string(error.what()).find(c.error), std::string::npos) << error.what();
            EXPECT_EQ(std::string(error.what()).rfind("hostile.json: ", 0), 0u);
        }
    }
    // A matrix is no run where only a run will do.
    EXPECT_THROW(ParseSavedRun(good.dump(), "m.json"), EResultsFile);
}

TEST(MatrixCompare, TwoMatricesAreJudgedCellByCell) {
    TSavedMatrix first = SmallMatrix();
    TSavedMatrix second = SmallMatrix(3, 3); // win32-buffered half as fast again
    first.File = "a.json";
    second.File = "b.json";
    const nlohmann::json json =
        nlohmann::json::parse(MatrixComparisonText({first, second}, TFormat::Json));
    // file once per block size and pass, win32-buffered at each chunk size.
    ASSERT_EQ(json["rows"].size(), 2u * 2 * (1 + 11));
    std::map<std::string, int> verdicts;
    for (const auto& row : json["rows"]) {
        const std::string verdict = row["verdict"][1]["verdict"];
        ++verdicts[row["configuration"].get<std::string>() + " " + verdict];
        if (row["configuration"] == "file") {
            EXPECT_EQ(row["chunk"], "any");
        }
    }
    EXPECT_EQ(verdicts["file no change"], 4);
    EXPECT_EQ(verdicts["win32-buffered faster"], 44);
    const std::string table = MatrixComparisonText({first, second}, TFormat::Table);
    EXPECT_NE(table.find("matrix 2 vs matrix 1: write faster in 22 and no change in 2 of 24 rows"),
              std::string::npos)
        << table;
}

} // namespace
} // namespace orvane::results
