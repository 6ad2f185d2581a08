#include "melody/MelodySearch.h"
#include "store/Connection.h"
#include "store/Schema.h"
#include "tests/support/TempCatalogue.h"

#include "tests/support/ToolRun.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

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

using test::readFile;

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
    // The pitch counts in the total and in no class: every class is 8.33 below the even spread.
    ASSERT_EQ(run({"tabulate", file("Velk.db"), "--store"}).exitCode, 0);
    const ToolRun checked = run({"check", file("Velk.db")});
    EXPECT_EQ(checked.exitCode, 0) << checked.out;
}

// The list of subjects in use: absent (an older catalogue) is sound and left alone by the check; out of step is a
// problem; --repair builds it in both cases, and then the search window's quick paths have it.
TEST_F(CatalogueToolTest, CheckRepairBuildsTheListOfSubjectsInUse)
{
    ASSERT_EQ(run({"demo", file("Velk.db")}).exitCode, 0);
    const auto hasList = [this] {
        store::Connection connection = store::Connection::openRaw(file("Velk.db"), store::AccessMode::ReadOnly);
        return store::hasSubjectUse(connection) && store::subjectUseProblems(connection).empty();
    };
    EXPECT_TRUE(hasList());
    alter(file("Velk.db"),
          "drop trigger trgSubjectUseInsert; drop trigger trgSubjectUseUpdate; drop trigger trgSubjectUseDelete;"
          "drop table tblSubjectUse; update tblMovement set Sub1 = 'Changed meanwhile' where iMovementID = 1;");
    const ToolRun older = run({"check", file("Velk.db")});
    EXPECT_EQ(older.exitCode, 0) << older.out;
    EXPECT_FALSE(hasList());

    const ToolRun repaired = run({"check", "--repair", file("Velk.db")});
    EXPECT_EQ(repaired.exitCode, 0) << repaired.out << repaired.err;
    EXPECT_NE(repaired.out.find("the list of subjects in use was built afresh"), std::string::npos) << repaired.out;
    EXPECT_TRUE(hasList());

    alter(file("Velk.db"), "update tblSubjectUse set nUses = nUses + 1 where Subject = 'Changed meanwhile';");
    const ToolRun miscounted = run({"check", file("Velk.db")});
    EXPECT_EQ(miscounted.exitCode, 1);
    EXPECT_NE(miscounted.out.find("\"Changed meanwhile\""), std::string::npos) << miscounted.out;
    EXPECT_EQ(run({"check", "--repair", file("Velk.db")}).exitCode, 0);
    EXPECT_TRUE(hasList());
    // A sound list is not written again.
    const ToolRun again = run({"check", "--repair", file("Velk.db")});
    EXPECT_EQ(again.out.find("built afresh"), std::string::npos) << again.out;
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

// Output that cannot be written is a failure, told on stderr.
class UnwritableOutputTest : public CatalogueToolTest, public ::testing::WithParamInterface<std::vector<std::string>>
{
};

TEST_P(UnwritableOutputTest, ExitsOneAndSaysSo)
{
    ASSERT_EQ(run({"demo", file("Velk.db")}).exitCode, 0);
    std::vector<std::string> args = GetParam();
    for (auto& arg : args) {
        if (arg == "FILE") {
            arg = file("Velk.db");
        }
    }
    const ToolRun result = test::runProgramWritingTo(VELK_CATALOGUE_TOOL, args, "/dev/full");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("the output could not be written"), std::string::npos) << result.err;
}

INSTANTIATE_TEST_SUITE_P(Commands,
                         UnwritableOutputTest,
                         ::testing::Values(std::vector<std::string> {"search", "FILE", "Joy"},
                                           std::vector<std::string> {"melody", "FILE", "A G* F G*"},
                                           std::vector<std::string> {"check", "FILE"},
                                           std::vector<std::string> {"tabulate", "FILE"},
                                           std::vector<std::string> {"--help"},
                                           std::vector<std::string> {"search", "--help"}));

// An interrupted build of a catalogue leaves nothing behind: neither the half-built file nor its journal.
class InterruptedBuildTest : public CatalogueToolTest, public ::testing::WithParamInterface<int>
{
};

TEST_P(InterruptedBuildTest, LeavesNoFilesBehind)
{
    const std::string target = file("Big.db");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::execl(VELK_CATALOGUE_TOOL, VELK_CATALOGUE_TOOL, "synth", target.c_str(), "--movements", "400000",
                "--positions", "4000000", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    const std::string building = target + ".new-" + std::to_string(child);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!fs::exists(building + "-journal") && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_TRUE(fs::exists(building)) << "the build never started";
    ::kill(child, GetParam());
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == GetParam()) << "ends as the signal asks";
    EXPECT_EQ(std::distance(fs::directory_iterator(m_folder.path()), fs::directory_iterator()), 0)
        << "left behind: " << (fs::exists(building) ? building : building + "-journal");
}

INSTANTIATE_TEST_SUITE_P(Signals, InterruptedBuildTest, ::testing::Values(SIGINT, SIGTERM));

struct MessageCase
{
    std::vector<std::string> args; ///< "DIR/" at the start of an argument stands for the test's folder
    int exitCode;
    std::string stderrHolds;
    std::string stdoutHolds = {};
};

void PrintTo(const MessageCase& c, std::ostream* out)
{
    for (const auto& arg : c.args) {
        *out << '"' << arg << "\" ";
    }
}

class ToolMessageTest : public CatalogueToolTest, public ::testing::WithParamInterface<MessageCase>
{
};

// The messages name what the user gave and the real cause, and show control characters and bytes that are
// not UTF-8 escaped, never raw.
TEST_P(ToolMessageTest, SaysWhatIsWrong)
{
    ASSERT_EQ(run({"demo", file("Velk.db")}).exitCode, 0);
    std::vector<std::string> args = GetParam().args;
    for (auto& arg : args) {
        if (arg.rfind("DIR/", 0) == 0) {
            arg = file(arg.substr(4));
        }
    }
    const ToolRun result = run(args);
    EXPECT_EQ(result.exitCode, GetParam().exitCode) << result.err;
    EXPECT_NE(result.err.find(GetParam().stderrHolds), std::string::npos) << result.err;
    EXPECT_NE(result.out.find(GetParam().stdoutHolds), std::string::npos) << result.out;
    for (const std::string& output : {result.out, result.err}) {
        EXPECT_EQ(output.find(".new-"), std::string::npos) << output;
        EXPECT_EQ(output.find('\x1b'), std::string::npos) << output;
        EXPECT_EQ(output.find('\xfc'), std::string::npos) << output;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases,
    ToolMessageTest,
    ::testing::Values(
        MessageCase {{"new", "DIR/nodir/x.db"}, 1, "x.db could not be made: the folder "},
        MessageCase {{"demo", "DIR/nodir/x.db"}, 1, "nodir does not exist."},
        MessageCase {{"new", "DIR/Velk.db/x.db"}, 1, "Velk.db is not a folder."},
        MessageCase {{"new", ""}, 2, "the file name is empty"},
        MessageCase {{"demo", ""}, 2, "the file name is empty"},
        MessageCase {{"synth", "", "--movements", "1", "--positions", "1"}, 2, "the file name is empty"},
        MessageCase {{"tabulate", "DIR/Velk.db", "99999999999999999999"}, 2, "99999999999999999999 is too large"},
        MessageCase {{"tabulate", "DIR/Velk.db", "12x"}, 2, "12x is not a whole number"},
        MessageCase {{"synth", "DIR/s.db", "--movements", "99999999999999999999", "--positions", "0"},
                     2,
                     "--movements 99999999999999999999 is too large"},
        MessageCase {{"search", "DIR/Velk.db", "Gr\xfc\xdf"}, 2, "\"Gr\\xFC\\xDF\" is not UTF-8 text"},
        MessageCase {{"melody", "DIR/Velk.db", "c\xfc"}, 2, "\"c\\xFC\" is not UTF-8 text"},
        MessageCase {{"search", "DIR/Velk.db", "\x1b[31mred"}, 0, "", "No matches for \"%\\x1B[31mred%\" found."},
        MessageCase {{"\x1b[2J"}, 2, "unknown command \\x1B[2J"},
        MessageCase {{"check", "DIR/\x1b[2J.db"}, 1, "\\x1B[2J.db was not found"}));

TEST_F(CatalogueToolTest, MelodyPrintsTheWindowsColumnHeaders)
{
    ASSERT_EQ(run({"demo", file("Velk.db")}).exitCode, 0);
    const ToolRun result = run({"melody", file("Velk.db"), "A G* F G*"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::string headers;
    for (const auto& header : melody::resultHeaders()) {
        headers += (headers.empty() ? "" : "\t") + header;
    }
    EXPECT_EQ(result.out.substr(0, result.out.find('\n')), headers);
}

TEST_F(CatalogueToolTest, CheckShowsTwentyProblemsOfAKindThenTheirCount)
{
    ASSERT_EQ(run({"demo", file("Velk.db")}).exitCode, 0);
    alter(file("Velk.db"),
          "insert into tblMovementPitchJoin (iMovementID, iPitchID) select 9999, 3 from tblMovementPitchJoin "
          "limit 25;"
          "update tblMovement set Sub2 = cast(x'4aff6f79' as text) where iMovementID = 1;");
    const ToolRun checked = run({"check", file("Velk.db")});
    EXPECT_EQ(checked.exitCode, 1);
    std::istringstream lines(checked.out);
    int orphans = 0;
    for (std::string line; std::getline(lines, line);) {
        orphans += line.find("which does not exist") != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(orphans, 20) << checked.out;
    EXPECT_NE(checked.out.find(": ... and 5 more problems of this kind.\n"), std::string::npos) << checked.out;
    EXPECT_NE(checked.out.find(": Movement 1: Sub2 holds text that is not UTF-8: \"J\\xFFoy\".\n"), std::string::npos)
        << checked.out;
    EXPECT_NE(checked.out.find(": 26 problems\n"), std::string::npos) << checked.out;
}

} // namespace
} // namespace velk::tools
