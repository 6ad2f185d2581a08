#include "melody/MelodyIndex.h"
#include "store/Connection.h"
#include "tabulations/Tabulation.h"
#include "tests/support/TempCatalogue.h"
#include "tests/support/ToolRun.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velk::tools
{
namespace
{

using test::ToolRun;

/// velk-catalogue pitches on a catalogue with a melody index and one movement holding c d e.
class PitchesCommandTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_id = m_catalogue.addMovement(7);
        auto connection = m_catalogue.writer();
        connection.execute("insert into tblMovementPitchJoin (iMovementID, iPitchID) select ?, iPitchID "
                           "from tblPitchLookup where txtPitch in ('c', 'd', 'e') order by iPitchID",
                           {m_id});
        melody::ensureMelodyIndex(connection);
    }

    ToolRun run(const std::vector<std::string>& args)
    {
        std::vector<std::string> all {"pitches", m_catalogue.file()};
        all.insert(all.end(), args.begin(), args.end());
        return test::runProgram(VELK_CATALOGUE_TOOL, all);
    }

    std::string stored()
    {
        auto connection = m_catalogue.writer();
        return connection
            .query("select coalesce(group_concat(txtPitch, ' '), '') from (select p.txtPitch from tblMovementPitchJoin "
                   "j join tblPitchLookup p on p.iPitchID = j.iPitchID where j.iMovementID = ? "
                   "order by j.iMovementPitchID)",
                   {m_id})
            .field(0)
            .toText();
    }

    test::TempCatalogue m_catalogue;
    std::int64_t m_id = 0;
};

TEST_F(PitchesCommandTest, PrintsTheSequence)
{
    const ToolRun shown = run({std::to_string(m_id)});
    EXPECT_EQ(shown.exitCode, 0) << shown.err;
    EXPECT_EQ(shown.out, "c d e\n");
}

TEST_F(PitchesCommandTest, PaeReplacesTheSequenceWithItsDeviationAndMelodyIndex)
{
    const ToolRun replaced = run({std::to_string(m_id), "--pae", ";pe2%G-2$xF 'F8{G_A}gB/''qC4-~?"});
    ASSERT_EQ(replaced.exitCode, 0) << replaced.err;
    EXPECT_EQ(replaced.out.substr(0, replaced.out.find('\t')),
              "3 pitches read from the Plaine & Easie Code; 2 grace notes were left out.\nF* G A\nDeviation:");
    EXPECT_EQ(stored(), "F* G A");
    auto connection = m_catalogue.writer();
    EXPECT_TRUE(tabulations::staleDeviations(connection).empty());
    EXPECT_EQ(connection.query("select Deviation from tblMovement where iMovementID = ?", {m_id}).field(0).toDouble(),
              tabulations::storedDeviation(tabulations::deviationOf(connection, m_id)));
    EXPECT_TRUE(melody::melodyIndexProblems(connection).empty());
    const ToolRun found = test::runProgram(VELK_CATALOGUE_TOOL, {"melody", m_catalogue.file(), "F* G A"});
    EXPECT_NE(found.out.find("\n7\t1\t1\t"), std::string::npos) << found.out << found.err;
}

TEST_F(PitchesCommandTest, ExportedCodeReadsBackAsTheSameLine)
{
    ASSERT_EQ(run({std::to_string(m_id), "--pae", "%G-2 ''4xCnC'C''bE'B''D"}).exitCode, 0);
    const std::string line = stored();
    const ToolRun exported
        = test::runProgram(VELK_CATALOGUE_TOOL, {"export", m_catalogue.file(), std::to_string(m_id), "--pae"});
    ASSERT_EQ(exported.exitCode, 0) << exported.err;
    ASSERT_FALSE(exported.out.empty());
    const std::string code = exported.out.substr(0, exported.out.size() - 1);
    ASSERT_EQ(run({std::to_string(m_id), "--pae", "%G-2 '4C"}).exitCode, 0);
    ASSERT_EQ(run({std::to_string(m_id), "--pae", code}).exitCode, 0);
    EXPECT_EQ(stored(), line) << code;
    // One output at a time, and a line needs its movement.
    EXPECT_EQ(test::runProgram(VELK_CATALOGUE_TOOL, {"export", m_catalogue.file(), "--pae"}).exitCode, 2);
    EXPECT_EQ(test::runProgram(VELK_CATALOGUE_TOOL,
                               {"export", m_catalogue.file(), std::to_string(m_id), "--pae", "--csv", "x.csv"})
                  .exitCode,
              2);
    EXPECT_EQ(test::runProgram(VELK_CATALOGUE_TOOL, {"export", m_catalogue.file(), "999", "--pae"}).exitCode, 1);
}

TEST_F(PitchesCommandTest, AFaultChangesNothing)
{
    for (const char* code : {"%G-2 ''2D^'A^xF", "%G-2 ,,C", "%G-2 =3/", "{\"clef\": \"G-2\""}) {
        const ToolRun refused = run({std::to_string(m_id), "--pae", code});
        EXPECT_EQ(refused.exitCode, 1) << code;
        EXPECT_NE(refused.err.find("The Plaine & Easie Code "), std::string::npos) << refused.err;
        EXPECT_NE(refused.err.find("The movement's pitches were left as they were."), std::string::npos) << refused.err;
        EXPECT_EQ(stored(), "c d e") << code;
    }
    const ToolRun missing = run({"999", "--pae", "%G-2 'C"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("has no movement with the id 999."), std::string::npos) << missing.err;
}

} // namespace
} // namespace velk::tools
