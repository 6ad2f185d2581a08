#include "melody/MelodyIndex.h"
#include "store/Connection.h"
#include "store/ReferenceData.h"
#include "tests/support/TempCatalogue.h"

#include "tests/support/ToolRun.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace
{

using velk::store::Value;

using velk::test::ToolRun;

// Runs velk-catalogue with the arguments.
ToolRun runTool(const std::vector<std::string>& args)
{
    return velk::test::runProgram(VELK_CATALOGUE_EXE, args);
}

std::int64_t pitchId(const std::string& spelling)
{
    const auto* pitch = velk::store::referencePitchOf(spelling);
    return pitch ? pitch->id : 0;
}

class MelodyCommand : public ::testing::Test
{
protected:
    void SetUp() override
    {
        auto connection
            = velk::store::Connection::open(m_catalogue.connectionString(), velk::store::AccessMode::ReadWrite);
        add(connection, 7, 2, 4.5, {"c", "d", "e", "c", "d", "e"});
        add(connection, 3, 1, std::nullopt, {"g", "a", "b"});
    }

    void add(velk::store::Connection& connection,
             int ktn,
             int mvmt,
             std::optional<double> deviation,
             const std::vector<std::string>& spellings)
    {
        connection.execute("INSERT INTO tblMovement (iKTN, iMvmt, iOrder, Deviation) VALUES (?, ?, 1, ?)",
                           {Value(ktn), Value(mvmt), deviation ? Value(*deviation) : Value()});
        const auto id = connection.lastInsertId();
        for (const auto& spelling : spellings) {
            connection.execute("INSERT INTO tblMovementPitchJoin (iMovementID, iPitchID) VALUES (?, ?)",
                               {Value(id), Value(pitchId(spelling))});
        }
    }

    velk::test::TempCatalogue m_catalogue;
};

TEST_F(MelodyCommand, ReindexThenSearchPrintsTheRowsAndTheStatus)
{
    const ToolRun reindex = runTool({"melody", m_catalogue.file(), "--reindex"});
    EXPECT_EQ(reindex.exitCode, 0);
    EXPECT_NE(reindex.out.find("rebuilt: 9 positions indexed"), std::string::npos) << reindex.out;
    {
        auto connection
            = velk::store::Connection::open(m_catalogue.connectionString(), velk::store::AccessMode::ReadOnly);
        EXPECT_TRUE(velk::melody::melodyIndexIsCurrent(connection));
    }

    const ToolRun exact = runTool({"melody", m_catalogue.file(), "c d e"});
    EXPECT_EQ(exact.exitCode, 0);
    EXPECT_EQ(exact.out,
              "KTN\tMVMT\tPosition\tDeviation\n7\t2\t1\t4.5\n7\t2\t4\t4.5\n"
              "2 occurrences of “c d e” found\n");

    const ToolRun transposed = runTool({"melody", m_catalogue.file(), "c d e", "--transposed"});
    EXPECT_EQ(transposed.exitCode, 0);
    EXPECT_EQ(transposed.out,
              "KTN\tMVMT\tPosition\tDeviation\n3\t1\t1\t\n7\t2\t1\t4.5\n7\t2\t4\t4.5\n"
              "3 occurrences of “c d e” found\n");

    const ToolRun classes = runTool({"melody", m_catalogue.file(), "b* d f/", "--classes"});
    EXPECT_EQ(classes.exitCode, 0);
    EXPECT_NE(classes.out.find("2 occurrences of “b* d f/” found"), std::string::npos) << classes.out;
}

// Sequences written by another program (the fixture's plain inserts, then a delete) are indexed before the search
// answers, so it never reports a position that no longer exists.
TEST_F(MelodyCommand, ASequenceChangedByAnotherProgramIsSearchedAsItNowIs)
{
    const ToolRun before = runTool({"melody", m_catalogue.file(), "c d e"});
    EXPECT_EQ(before.exitCode, 0) << before.err;
    EXPECT_EQ(before.out,
              "KTN\tMVMT\tPosition\tDeviation\n7\t2\t1\t4.5\n7\t2\t4\t4.5\n2 occurrences of “c d e” found\n");
    velk::store::Connection::open(m_catalogue.connectionString(), velk::store::AccessMode::ReadWrite)
        .execute("delete from tblMovementPitchJoin where iMovementPitchID=(select min(iMovementPitchID) from "
                 "tblMovementPitchJoin where iMovementID=1)");
    const ToolRun after = runTool({"melody", m_catalogue.file(), "c d e"});
    EXPECT_EQ(after.exitCode, 0) << after.err;
    EXPECT_EQ(after.out, "KTN\tMVMT\tPosition\tDeviation\n7\t2\t3\t4.5\n1 occurrence of “c d e” found\n");
    auto connection = velk::store::Connection::open(m_catalogue.connectionString(), velk::store::AccessMode::ReadOnly);
    EXPECT_TRUE(velk::melody::melodyIndexIsCurrent(connection));
}

TEST_F(MelodyCommand, WithoutTheIndexTheStatusSaysSo)
{
    velk::store::Connection::open(m_catalogue.connectionString(), velk::store::AccessMode::ReadWrite)
        .executeScript("DROP TABLE tblMelodyIndex");
    const ToolRun run = runTool({"melody", m_catalogue.file(), "g a"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("3\t1\t1\t\n1 occurrence of “g a” found (the catalogue has no melody index"),
              std::string::npos)
        << run.out;
}

TEST_F(MelodyCommand, ExitCodes)
{
    const std::string file = m_catalogue.file();
    const std::vector<std::pair<std::vector<std::string>, int>> cases = {
        {{"melody"}, 2},
        {{"melody", file}, 2},
        {{"melody", file, "c d", "--classes", "--transposed"}, 2},
        {{"melody", file, "c d", "--reindex"}, 2},
        {{"melody", file, "--reindex", "--classes"}, 2},
        {{"melody", file, "c d", "--octave"}, 2},
        {{"melody", file, "c x*"}, 1},
        {{"melody", file, "c", "--transposed"}, 1},
        {{"melody", file, "c"}, 0},
        {{"melody", file + ".missing", "c d"}, 1},
        {{"melody", file + ".missing", "--reindex"}, 1},
    };
    for (const auto& [args, code] : cases) {
        std::string shown;
        for (const auto& arg : args) {
            shown += arg + " ";
        }
        EXPECT_EQ(runTool(args).exitCode, code) << shown;
    }
}

} // namespace
