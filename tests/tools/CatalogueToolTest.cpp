#include "store/Connection.h"
#include "tests/support/TempCatalogue.h"

#include "tests/support/ToolRun.h"

#include <gtest/gtest.h>

#include <ostream>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace velk::tools
{
namespace
{

namespace fs = std::filesystem;

using test::ToolRun;

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class CatalogueToolTest : public ::testing::Test
{
protected:
    ToolRun run(const std::vector<std::string>& args)
    {
        return test::runProgram(VELK_CATALOGUE_TOOL, args);
    }
    std::string file(const std::string& name) const
    {
        return (m_folder.path() / name).string();
    }

    void alter(const std::string& path, const std::string& script)
    {
        store::Connection connection = store::Connection::openRaw(path, store::AccessMode::ReadWrite);
        connection.executeScript("PRAGMA foreign_keys = OFF; " + script);
    }

    test::TempFolder m_folder;
};

TEST_F(CatalogueToolTest, NewCatalogueIsSound)
{
    const ToolRun created = run({"new", file("Velk.db")});
    EXPECT_EQ(created.exitCode, 0) << created.err;
    const ToolRun checked = run({"check", file("Velk.db")});
    EXPECT_EQ(checked.exitCode, 0) << checked.out << checked.err;
    EXPECT_EQ(checked.out, file("Velk.db") + ": sound\n");
    store::Connection connection = store::Connection::open(file("Velk.db"), store::AccessMode::ReadOnly);
    EXPECT_EQ(connection.query("select count(*) from tblMovement").rows()[0][0].toInt64(), 0);
    EXPECT_EQ(connection.query("select count(*) from tblPitchLookup").rows()[0][0].toInt64(), 70);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_folder.path()), fs::directory_iterator()), 1)
        << "only the catalogue";
}

TEST_F(CatalogueToolTest, DemoCatalogueIsSound)
{
    EXPECT_EQ(run({"demo", file("Demo.db")}).exitCode, 0);
    const ToolRun checked = run({"check", file("Demo.db")});
    EXPECT_EQ(checked.exitCode, 0) << checked.out << checked.err;
    store::Connection connection = store::Connection::open(file("Demo.db"), store::AccessMode::ReadOnly);
    EXPECT_GE(connection.query("select count(*) from tblMovement").rows()[0][0].toInt64(), 25);
}

TEST_F(CatalogueToolTest, NeverOverwritesWithoutForce)
{
    for (const char* command : {"new", "demo"}) {
        std::ofstream(file("Velk.db")) << "precious";
        const ToolRun refused = run({command, file("Velk.db")});
        EXPECT_EQ(refused.exitCode, 1) << command;
        EXPECT_NE(refused.err.find("already exists"), std::string::npos) << refused.err;
        EXPECT_EQ(readFile(file("Velk.db")), "precious");
        EXPECT_EQ(run({command, file("Velk.db"), "--force"}).exitCode, 0) << command;
        EXPECT_EQ(run({"check", file("Velk.db")}).exitCode, 0) << command;
        fs::remove(file("Velk.db"));
    }
}

TEST_F(CatalogueToolTest, CheckReportsAnOrphanSequenceRow)
{
    ASSERT_EQ(run({"demo", file("Velk.db")}).exitCode, 0);
    alter(file("Velk.db"), "insert into tblMovementPitchJoin (iMovementID, iPitchID) values (9999, 3);");
    const ToolRun checked = run({"check", file("Velk.db")});
    EXPECT_EQ(checked.exitCode, 1);
    EXPECT_NE(checked.out.find("belongs to movement 9999, which does not exist."), std::string::npos) << checked.out;
    EXPECT_NE(checked.out.find(": 1 problem\n"), std::string::npos) << checked.out;
}

TEST_F(CatalogueToolTest, CheckReportsAMissingReferencePitch)
{
    ASSERT_EQ(run({"new", file("Velk.db")}).exitCode, 0);
    // "e/" (id 47) stands for class 4; the sequence row keeps pointing at it.
    alter(file("Velk.db"),
          "insert into tblMovement (iKTN) values (1);"
          "insert into tblMovementPitchJoin (iMovementID, iPitchID) values (1, 47);"
          "delete from tblPitchLookup where txtPitch = 'e/';");
    const ToolRun checked = run({"check", file("Velk.db")});
    EXPECT_EQ(checked.exitCode, 1);
    EXPECT_NE(checked.out.find("The pitch class 4 stands for pitch 47, which is not in tblPitchLookup."),
              std::string::npos)
        << checked.out;
    EXPECT_NE(checked.out.find("names pitch 47, which is not in tblPitchLookup."), std::string::npos) << checked.out;
    EXPECT_EQ(checked.out.find("sound"), std::string::npos);
}

TEST_F(CatalogueToolTest, CheckReportsDuplicateAndEmptySpellings)
{
    ASSERT_EQ(run({"new", file("Velk.db")}).exitCode, 0);
    alter(file("Velk.db"),
          "update tblPitchLookup set txtPitch = 'c' where iPitchID = 40;"
          "insert into tblPitchLookup (iPitchID, txtPitch, txtVelkFont) values (71, '', 'x');");
    const ToolRun checked = run({"check", file("Velk.db")});
    EXPECT_EQ(checked.exitCode, 1);
    EXPECT_NE(checked.out.find("The spelling \"c\" is used by 2 pitches."), std::string::npos) << checked.out;
    EXPECT_NE(checked.out.find("Pitch 71 has no spelling."), std::string::npos) << checked.out;
    // A pitch in no class is allowed (old catalogues have one): it counts in totals but in no class.
    EXPECT_EQ(checked.out.find("belongs to no pitch class"), std::string::npos) << checked.out;
}

TEST_F(CatalogueToolTest, APitchInNoClassIsSound)
{
    ASSERT_EQ(run({"new", file("Velk.db")}).exitCode, 0);
    alter(file("Velk.db"),
          "insert into tblPitchLookup (iPitchID, txtPitch, txtVelkFont) values (71, 'x', 'x');"
          "insert into tblMovement (iKTN) values (1);"
          "insert into tblMovementPitchJoin (iMovementID, iPitchID) values (1, 71);");
    const ToolRun checked = run({"check", file("Velk.db")});
    EXPECT_EQ(checked.exitCode, 0) << checked.out;
}

TEST_F(CatalogueToolTest, NonCatalogueGetsOneLineAndExitOne)
{
    std::ofstream(file("notes.txt")) << "shopping list\n";
    const std::string before = readFile(file("notes.txt"));
    for (const std::string& command : {std::string("check")}) {
        const ToolRun refused = run({command, file("notes.txt")});
        EXPECT_EQ(refused.exitCode, 1);
        EXPECT_EQ(refused.err,
                  "velk-catalogue check: " + file("notes.txt") + " is not a Velk catalogue: file is not a database.\n");
    }
    EXPECT_EQ(readFile(file("notes.txt")), before);
    std::ofstream(file("empty.db")).close();
    const ToolRun empty = run({"check", file("empty.db")});
    EXPECT_EQ(empty.exitCode, 1);
    EXPECT_NE(empty.err.find("the file is empty"), std::string::npos) << empty.err;
    EXPECT_EQ(fs::file_size(file("empty.db")), 0u);
    const ToolRun missing = run({"check", file("missing.db")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err,
              "velk-catalogue check: The catalogue missing.db was not found in " + m_folder.path().string() + ".\n");
    EXPECT_FALSE(fs::exists(file("missing.db")));
}

struct UsageCase
{
    std::vector<std::string> args;
    int exitCode;
};

void PrintTo(const UsageCase& c, std::ostream* out)
{
    for (const auto& arg : c.args) {
        *out << arg << ' ';
    }
}

class ToolUsageTest : public CatalogueToolTest, public ::testing::WithParamInterface<UsageCase>
{
};

TEST_P(ToolUsageTest, ExitCodeAndStream)
{
    const ToolRun result = run(GetParam().args);
    EXPECT_EQ(result.exitCode, GetParam().exitCode);
    if (GetParam().exitCode == 0) {
        EXPECT_NE(result.out.find("usage: velk-catalogue"), std::string::npos) << result.out;
    } else {
        EXPECT_NE(result.err.find("usage: velk-catalogue"), std::string::npos) << result.err;
        EXPECT_TRUE(result.out.empty()) << result.out;
    }
}

INSTANTIATE_TEST_SUITE_P(Arguments,
                         ToolUsageTest,
                         ::testing::Values(UsageCase {{"--help"}, 0},
                                           UsageCase {{"new", "--help"}, 0},
                                           UsageCase {{"check", "-h"}, 0},
                                           UsageCase {{}, 2},
                                           UsageCase {{"frobnicate"}, 2},
                                           UsageCase {{"new"}, 2},
                                           UsageCase {{"new", "a.db", "b.db"}, 2},
                                           UsageCase {{"demo", "a.db", "--overwrite"}, 2},
                                           UsageCase {{"check"}, 2}));

TEST_F(CatalogueToolTest, HelpListsEveryCommand)
{
    const ToolRun help = run({"--help"});
    for (const char* command : {"new", "demo", "check"}) {
        EXPECT_NE(help.out.find("  " + std::string(command) + " "), std::string::npos) << help.out;
    }
}

} // namespace
} // namespace velk::tools
