#include "store/Connection.h"
#include "tests/support/TempCatalogue.h"

#include "tests/support/ToolRun.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace
{

using velk::store::AccessMode;
using velk::store::Connection;
using velk::store::Value;

using velk::test::ToolRun;

class TabulateCommand : public ::testing::Test
{
protected:
    ToolRun runTool(const std::vector<std::string>& args)
    {
        return velk::test::runProgram(VELK_CATALOGUE_TOOL, args);
    }
    std::int64_t addMovement(int ktn, int mvmt, const std::vector<int>& pitchIds)
    {
        auto connection = Connection::open(m_catalogue.connectionString(), AccessMode::ReadWrite);
        connection.execute("insert into tblMovement (iKTN, iMvmt, iOrder, Deviation) values (?, ?, 1, 99)",
                           {Value(ktn), Value(mvmt)});
        const std::int64_t id = connection.lastInsertId();
        for (const int pitchId : pitchIds) {
            connection.execute("insert into tblMovementPitchJoin (iMovementID, iPitchID) values (?, ?)",
                               {Value(id), Value(pitchId)});
        }
        return id;
    }

    double storedDeviation(std::int64_t id)
    {
        auto connection = Connection::open(m_catalogue.connectionString(), AccessMode::ReadOnly);
        return connection.query("select Deviation from tblMovement where iMovementID = ?", {Value(id)})
            .rows()
            .at(0)
            .at(0)
            .toDouble();
    }

    velk::test::TempCatalogue m_catalogue;
};

// Reference pitch ids: 38 is "c", 43 is "d" (both lower register, classes 1 and 3).
constexpr int kC = 38;
constexpr int kD = 43;

const char* const kSecondMovement = "KTN:\t5\tMvt.:\t1\tid:\t1\n"
                                    "Total Pitch Count:\t4\n"
                                    "Class\tCount\t%\n"
                                    "c\t3\t75\n"
                                    "c♯\t\t\n"
                                    "d\t1\t25\n"
                                    "e♭\t\t\n"
                                    "e\t\t\n"
                                    "f\t\t\n"
                                    "f♯\t\t\n"
                                    "g\t\t\n"
                                    "a♭\t\t\n"
                                    "a\t\t\n"
                                    "b♭\t\t\n"
                                    "b\t\t\n"
                                    "Pitch\tCount\t%\n"
                                    "c\t3\t75\n"
                                    "d\t1\t25\n"
                                    // 67 + 17 + 10 * 8 = 164, and 164 / 12 = 13.67
                                    "Average Deviation from 8.3%:\t13.7\n";

const char* const kEmptyMovement = "KTN:\t2\tMvt.:\t3\tid:\t2\n"
                                   "Total Pitch Count:\t0\n"
                                   "Class\tCount\t%\n"
                                   "Pitch\tCount\t%\n"
                                   "Average Deviation from 8.3%:\t0\n";

TEST_F(TabulateCommand, PrintsEveryMovementInCatalogueOrderAndStoresTheDeviations)
{
    const std::int64_t later = addMovement(5, 1, {kC, kD, kC, kC});
    const std::int64_t empty = addMovement(2, 3, {});

    const ToolRun all = runTool({"tabulate", m_catalogue.file()});
    EXPECT_EQ(all.exitCode, 0) << all.err;
    EXPECT_EQ(all.out, std::string(kEmptyMovement) + "\n" + kSecondMovement);
    EXPECT_EQ(storedDeviation(later), 99) << "nothing is stored without --store";

    // Both stored figures (99) belong to no sequence: the check says so and names the mend.
    const ToolRun checked = runTool({"check", m_catalogue.file()});
    EXPECT_EQ(checked.exitCode, 1) << checked.out << checked.err;
    for (const std::string movement : {"Movement 1 (KTN 5, Mvt. 1) stores the deviation 99, but its pitches give 13.7",
                                       "Movement 2 (KTN 2, Mvt. 3) stores the deviation 99, but its pitches give 0"}) {
        EXPECT_NE(checked.out.find(movement + "; velk-catalogue tabulate " + m_catalogue.file() + " --store mends it."),
                  std::string::npos)
            << checked.out;
    }

    const ToolRun stored = runTool({"tabulate", m_catalogue.file(), "--store"});
    EXPECT_EQ(stored.exitCode, 0) << stored.err;
    EXPECT_NE(stored.out.find("\nDeviation changed for 2 of 2 movements.\n"), std::string::npos) << stored.out;
    EXPECT_EQ(storedDeviation(later), 13.7);
    EXPECT_EQ(storedDeviation(empty), 0);
    EXPECT_EQ(runTool({"check", m_catalogue.file()}).out, m_catalogue.file() + ": sound\n");

    // Again, nothing is left to change, and it says so.
    const ToolRun again = runTool({"tabulate", m_catalogue.file(), "--store"});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_NE(again.out.find("\nEvery stored deviation was up to date (2 movements); nothing was changed.\n"),
              std::string::npos)
        << again.out;
}

TEST_F(TabulateCommand, CheckTakesAFigureStoredInFullSinglePrecisionAsTheFigure)
{
    const std::int64_t id = addMovement(5, 1, {kC, kD, kC, kC});
    {
        auto connection = Connection::open(m_catalogue.connectionString(), AccessMode::ReadWrite);
        connection.execute("update tblMovement set Deviation = ? where iMovementID = ?",
                           {Value(static_cast<double>(13.7f)), Value(id)});
    }
    EXPECT_EQ(runTool({"check", m_catalogue.file()}).out, m_catalogue.file() + ": sound\n");
    {
        auto connection = Connection::open(m_catalogue.connectionString(), AccessMode::ReadWrite);
        connection.execute("update tblMovement set Deviation = null where iMovementID = ?", {Value(id)});
    }
    const ToolRun checked = runTool({"check", m_catalogue.file()});
    EXPECT_EQ(checked.exitCode, 1);
    EXPECT_NE(checked.out.find("Movement 1 (KTN 5, Mvt. 1) stores no deviation, but its pitches give 13.7"),
              std::string::npos)
        << checked.out;
}

TEST_F(TabulateCommand, PrintsOneMovementById)
{
    addMovement(2, 3, {});
    const std::int64_t id = addMovement(5, 1, {kC, kD, kC, kC});
    ASSERT_EQ(id, 2);
    const ToolRun one = runTool({"tabulate", m_catalogue.file(), "2", "--store"});
    EXPECT_EQ(one.exitCode, 0) << one.err;
    std::string expected = kSecondMovement;
    expected.replace(expected.find("id:\t1"), 5, "id:\t2");
    EXPECT_EQ(one.out, expected + "\nDeviation changed for 1 of 1 movement.\n");
    EXPECT_EQ(storedDeviation(1), 99);
}

TEST_F(TabulateCommand, RefusesWrongArgumentsAndUnknownIds)
{
    addMovement(1, 1, {kC});
    EXPECT_EQ(runTool({"tabulate"}).exitCode, 2);
    EXPECT_EQ(runTool({"tabulate", m_catalogue.file(), "one"}).exitCode, 2);
    EXPECT_EQ(runTool({"tabulate", m_catalogue.file(), "1", "2"}).exitCode, 2);
    EXPECT_EQ(runTool({"tabulate", m_catalogue.file(), "--save"}).exitCode, 2);
    const ToolRun unknown = runTool({"tabulate", m_catalogue.file(), "7"});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_NE(unknown.err.find("no movement with the id 7"), std::string::npos) << unknown.err;
    EXPECT_EQ(runTool({"tabulate", (m_catalogue.folder() / "Gone.db").string()}).exitCode, 1);
}

} // namespace
