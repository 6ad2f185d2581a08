// velk-catalogue synth: the catalogues the measurements run on must be sound, hold what was asked for and be the
// same for the same seed, or the figures of two runs could not be compared.

#include "store/Connection.h"
#include "store/ConnectionString.h"
#include "tests/support/TempCatalogue.h"
#include "tests/support/ToolRun.h"
#include "tools/CatalogueCheck.h"
#include "tools/Synth.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace velk::tools
{
namespace
{

namespace fs = std::filesystem;

std::string readBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class SynthCommand : public ::testing::Test
{
protected:
    test::TempFolder folder;

    test::ToolRun synth(const std::string& name, const std::vector<std::string>& options)
    {
        std::vector<std::string> args {"synth", file(name)};
        args.insert(args.end(), options.begin(), options.end());
        return test::runProgram(VELK_CATALOGUE_TOOL, args);
    }
    std::string file(const std::string& name) const
    {
        return (folder.path() / name).string();
    }
    std::int64_t count(const std::string& name, const std::string& sql) const
    {
        auto c = store::Connection::open(store::connectionStringForFile(file(name)), store::AccessMode::ReadOnly);
        return c.query(sql).rows().at(0).at(0).toInt64();
    }
};

TEST_F(SynthCommand, MakesASoundCatalogueOfWhatWasAskedForTheSameForTheSameSeed)
{
    const std::vector<std::string> options {"--movements", "60", "--positions", "50000", "--seed", "7"};
    ASSERT_EQ(synth("a.db", options).exitCode, 0);
    ASSERT_EQ(synth("b.db", options).exitCode, 0);
    EXPECT_EQ(tools::catalogueProblems(file("a.db")), std::vector<std::string>());
    EXPECT_EQ(readBytes(file("a.db")), readBytes(file("b.db")));

    EXPECT_EQ(count("a.db", "select count(*) from tblMovement"), 60);
    EXPECT_EQ(count("a.db", "select count(*) from tblMovementPitchJoin"), 50000);
    // The probe sequences come first, no sequence is longer than a movement may hold, and the rare subject is on
    // exactly ten movements.
    for (std::size_t m = 0; m < kSynthProbeLengths.size(); ++m) {
        EXPECT_EQ(
            count("a.db", "select count(*) from tblMovementPitchJoin where iMovementID = " + std::to_string(m + 1)),
            kSynthProbeLengths[m]);
    }
    EXPECT_LE(count("a.db", "select max(n) from (select count(*) as n from tblMovementPitchJoin group by iMovementID)"),
              kSynthLongestSequence);
    EXPECT_EQ(
        count("a.db", "select count(*) from tblMovement where 'Lamentation' in (Sub1, Sub2, Sub3, Sub4, Sub5, Sub6)"),
        10);
    // Every movement's stored deviation is there, as the tabulations page would have left it.
    EXPECT_EQ(count("a.db", "select count(*) from tblMovement where Deviation is null"), 0);

    ASSERT_EQ(synth("c.db", {"--movements", "60", "--positions", "50000", "--seed", "8"}).exitCode, 0);
    EXPECT_NE(readBytes(file("a.db")), readBytes(file("c.db")));
}

TEST_F(SynthCommand, RefusesWhatItCannotMakeWithUsageAndLeavesFilesAlone)
{
    const std::vector<std::vector<std::string>> wrong {
        {"--movements", "10"},
        {"--positions", "10"},
        {"--movements", "-1", "--positions", "10"},
        {"--movements", "ten", "--positions", "10"},
        {"--movements", "10", "--positions", "10x"},
        {"--movements", "0", "--positions", "1"},
        {"--movements", "1", "--positions", "32768"},
        {"--movements", "1", "--positions", "1", "--colour"},
        {"--movements"},
    };
    for (const auto& options : wrong) {
        const auto run = synth("x.db", options);
        EXPECT_EQ(run.exitCode, 2) << options.front() << " ... " << options.back();
        EXPECT_FALSE(run.err.empty());
        EXPECT_FALSE(fs::exists(file("x.db")));
    }

    ASSERT_EQ(synth("kept.db", {"--movements", "2", "--positions", "20"}).exitCode, 0);
    const std::string before = readBytes(file("kept.db"));
    const auto again = synth("kept.db", {"--movements", "3", "--positions", "30"});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_NE(again.err.find("already exists"), std::string::npos);
    EXPECT_EQ(readBytes(file("kept.db")), before);
    EXPECT_EQ(synth("kept.db", {"--movements", "3", "--positions", "30", "--force"}).exitCode, 0);
    EXPECT_EQ(count("kept.db", "select count(*) from tblMovement"), 3);
}

} // namespace
} // namespace velk::tools
