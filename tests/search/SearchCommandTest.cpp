#include "search/SubjectSearch.h"
#include "store/Connection.h"
#include "tests/support/TempCatalogue.h"

#include "tests/support/ToolRun.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

using Run = velk::test::ToolRun;

// Runs velk-catalogue with the arguments.
Run runTool(const std::vector<std::string>& args)
{
    return velk::test::runProgram(VELK_CATALOGUE_EXE, args);
}

const std::string kHeader
    = "KTN\tMVMT\tDeviation\tSubject1\tSubject2\tSubject3\tSubject4\tSubject5\tSubject6\tDescription\n";

class SearchCommand : public ::testing::Test
{
protected:
    void SetUp() override
    {
        auto connection
            = velk::store::Connection::open(m_catalogue.connectionString(), velk::store::AccessMode::ReadWrite);
        connection.execute("INSERT INTO tblMovement (iKTN, iMvmt, Sub1, Sub2, Deviation, Description) VALUES "
                           "(7, 1, 'Joy', NULL, 2.5, 'line one\nline\ttwo'), (3, 2, 'Grief', 'Joyful', NULL, NULL)");
        connection.close();
    }

    velk::test::TempCatalogue m_catalogue;
};

} // namespace

TEST_F(SearchCommand, ContainsByDefaultAndPrintsOneLinePerRow)
{
    const auto run = runTool({"search", m_catalogue.file(), "joy"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out,
              kHeader + "7\t1\t2.5\tJoy\t\t\t\t\t\tline one line two\n3\t2\t\tGrief\tJoyful\t\t\t\t\t\n"
                  + "2 matches for \"%joy%\" found\n");
}

TEST_F(SearchCommand, ExactAndDeviationOrder)
{
    const auto exact = runTool({"search", m_catalogue.file(), "Joy", "--exact"});
    EXPECT_EQ(exact.exitCode, 0);
    EXPECT_EQ(exact.out, kHeader + "7\t1\t2.5\tJoy\t\t\t\t\t\tline one line two\n1 matches for \"Joy\" found\n");

    const auto byDeviation = runTool({"search", "--by-deviation", m_catalogue.file(), "o"});
    EXPECT_EQ(byDeviation.exitCode, 0);
    EXPECT_EQ(byDeviation.out.substr(kHeader.size(), 2), "3\t");
}

TEST_F(SearchCommand, NoMatchIsNoFailure)
{
    const auto run = runTool({"search", m_catalogue.file(), "Sorrow", "--exact"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, kHeader + "No matches for \"Sorrow\" found.\n");
}

TEST_F(SearchCommand, FailuresAndBadArguments)
{
    EXPECT_EQ(runTool({"search", (m_catalogue.folder() / "absent.db").string(), "Joy"}).exitCode, 1);
    EXPECT_EQ(runTool({"search", m_catalogue.file(), std::string(velk::search::kMaxPatternBytes - 1, 'a')}).exitCode,
              1);
    EXPECT_EQ(runTool({"search", m_catalogue.file()}).exitCode, 2);
    EXPECT_EQ(runTool({"search", m_catalogue.file(), "Joy", "extra"}).exitCode, 2);
    EXPECT_EQ(runTool({"search", m_catalogue.file(), "Joy", "--fuzzy"}).exitCode, 2);
}
