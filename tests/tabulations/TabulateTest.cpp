#include "tabulations/Tabulation.h"

#include "store/Connection.h"
#include "store/ReferenceData.h"
#include "store/StoreError.h"
#include "tests/support/TempCatalogue.h"

#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace velk::tabulations
{

bool operator==(const TabulationRow& a, const TabulationRow& b)
{
    return a.glyph == b.glyph && a.countText == b.countText && a.percentText == b.percentText;
}

void PrintTo(const TabulationRow& row, std::ostream* os)
{
    *os << '[' << row.glyph << " | " << row.countText << " | " << row.percentText << ']';
}

namespace
{

using Rows = std::vector<TabulationRow>;

/// The class glyphs of the reference catalogue in ascending iClassID, each with empty cells.
Rows emptyClassRows()
{
    return {{"c", "", ""},  {"c♯", "", ""}, {"d", "", ""},  {"e♭", "", ""}, {"e", "", ""},  {"f", "", ""},
            {"f♯", "", ""}, {"g", "", ""},  {"a♭", "", ""}, {"a", "", ""},  {"b♭", "", ""}, {"b", "", ""}};
}

class Tabulate : public ::testing::Test
{
protected:
    store::Connection writer()
    {
        return m_catalogue.writer();
    }

    std::int64_t addMovement(int ktn)
    {
        return m_catalogue.addMovement(ktn);
    }

    /// Stores positions by spelling, in order.
    void storePositions(std::int64_t movementId, const std::vector<std::string>& spellings)
    {
        auto connection = writer();
        for (const auto& spelling : spellings) {
            const auto found
                = connection.query("select iPitchID from tblPitchLookup where txtPitch = ?", {store::Value(spelling)});
            ASSERT_EQ(found.recordCount(), 1u) << spelling;
            connection.execute("insert into tblMovementPitchJoin (iMovementID, iPitchID) values (?, ?)",
                               {store::Value(movementId), found.rows().front().front()});
        }
    }

    test::TempCatalogue m_catalogue;
};

TEST_F(Tabulate, ReferenceCatalogueHasTwelveClasses)
{
    ASSERT_EQ(store::referenceClasses().size(), 12u);
    const Tabulation none = tabulate(m_catalogue.connectionString(), 0);
    EXPECT_EQ(none.total, 0);
}

TEST_F(Tabulate, WorkedExampleGoldenTable)
{
    const std::int64_t movement = addMovement(1);
    const std::int64_t neighbour = addMovement(2);
    storePositions(neighbour, {"e", "f", "c"});
    // 4 in class C, 1 in class C sharp, 11 in class D, spelled in several ways and interleaved.
    storePositions(movement, {"c", "d", "D", "C", "d", "c**", "d/", "d", "e//", "B*", "D", "d", "c", "e//", "D", "d"});
    storePositions(neighbour, {"g"});

    const Tabulation t = tabulate(m_catalogue.connectionString(), movement);
    EXPECT_EQ(t.total, 16);

    Rows classes = emptyClassRows();
    classes[0] = {"c", "4", "25"};
    classes[1] = {"c♯", "1", "6.2"};
    classes[2] = {"d", "11", "68.8"};
    EXPECT_EQ(t.classRows, classes);
    std::vector<std::optional<std::int64_t>> counts(12);
    counts[0] = 4;
    counts[1] = 1;
    counts[2] = 11;
    EXPECT_EQ(t.classCounts, counts);

    const Rows reals = {{"C", "1", "6.2"},  {"D", "3", "18.8"}, {"B♯", "1", "6.2"}, {"c", "2", "12.5"},
                        {"c𝄪", "1", "6.2"}, {"d♭", "1", "6.2"}, {"d", "5", "31.2"}, {"e𝄫", "2", "12.5"}};
    EXPECT_EQ(t.realRows, reals);

    EXPECT_EQ(t.deviation, 12.6f);
    EXPECT_EQ(t.deviationText, "12.6");
}

TEST_F(Tabulate, OneInEachClassHasNoDeviation)
{
    const std::int64_t movement = addMovement(1);
    storePositions(movement, {"b", "a*", "A", "g*", "G", "F*", "f", "e", "e/", "D", "c*", "C"});
    const Tabulation t = tabulate(m_catalogue.connectionString(), movement);
    EXPECT_EQ(t.total, 12);
    ASSERT_EQ(t.classRows.size(), 12u);
    for (const TabulationRow& row : t.classRows) {
        EXPECT_EQ(row.countText, "1") << row.glyph;
        EXPECT_EQ(row.percentText, "8.3") << row.glyph;
    }
    EXPECT_EQ(t.realRows.size(), 12u);
    EXPECT_EQ(t.deviation, 0.0f);
    EXPECT_EQ(t.deviationText, "0");
}

TEST_F(Tabulate, ASpellingWithoutClassCountsInTheTotalAndTheRealRowsOnly)
{
    writer().execute("insert into tblPitchLookup (iPitchID, txtPitch, txtVelkFont) values (900, 'x', 'X')");
    const std::int64_t movement = addMovement(1);
    storePositions(movement, {"x", "c", "x", "c"});

    const Tabulation t = tabulate(m_catalogue.connectionString(), movement);
    EXPECT_EQ(t.total, 4);
    Rows classes = emptyClassRows();
    classes[0] = {"c", "2", "50"};
    EXPECT_EQ(t.classRows, classes) << "the class percentages add up to 50";
    EXPECT_EQ(t.realRows, (Rows {{"c", "2", "50"}, {"X", "2", "50"}}));
    // 42 + 11 * 8 = 130, and 130 / 12 = 10.83.
    EXPECT_EQ(t.deviationText, "10.8");
}

TEST_F(Tabulate, NothingToTabulateGivesAnEmptyTabulation)
{
    const std::int64_t empty = addMovement(1);
    storePositions(addMovement(2), {"c", "d"});
    for (const std::int64_t id : {empty, std::int64_t {0}, std::int64_t {-1}, std::int64_t {4711}}) {
        const Tabulation t = tabulate(m_catalogue.connectionString(), id);
        EXPECT_EQ(t.total, 0) << id;
        EXPECT_TRUE(t.classRows.empty()) << id;
        EXPECT_TRUE(t.realRows.empty()) << id;
        EXPECT_TRUE(t.classCounts.empty()) << id;
        EXPECT_EQ(t.deviation, 0.0f) << id;
        EXPECT_EQ(t.deviationText, "0") << id;
    }
}

// The figures that are stored with a sequence, and the ones the check compares against, are the figures of the
// tabulations page, whatever the reference data looks like.
TEST_F(Tabulate, EveryWayOfWorkingOutTheDeviationGivesTheTabulationsFigure)
{
    const std::vector<std::vector<std::string>> sequences = {
        {"c", "d", "e", "c", "d", "e", "g", "c"},
        {"c", "c*", "d", "e/", "e", "f", "f*", "g", "a/", "a", "b/", "b"},
        {"C", "C", "C", "C", "C", "C", "C", "C", "C", "C", "C", "C", "C", "C", "C", "C", "g*"},
        {"f*", "g/", "e**", "b*", "c", "d//"},
        {},
        {"a", "b", "a", "g", "a", "b", "c", "d", "e", "f", "e", "d", "c", "b", "a"},
    };
    std::vector<std::int64_t> ids;
    for (std::size_t i = 0; i < sequences.size(); ++i) {
        ids.push_back(addMovement(static_cast<int>(i + 1)));
        storePositions(ids.back(), sequences[i]);
    }
    const auto expectSameFigures = [&](const std::string& when) {
        auto connection = writer();
        const auto all = allDeviations(connection);
        const auto membership = ClassMembership::load(connection);
        ASSERT_EQ(all.size(), ids.size()) << when;
        for (const std::int64_t id : ids) {
            const float shown = tabulate(m_catalogue.connectionString(), id).deviation;
            EXPECT_EQ(deviationOf(connection, id), shown) << when << ", movement " << id;
            EXPECT_EQ(all.at(id), shown) << when << ", movement " << id;
            std::vector<std::int32_t> sequence;
            connection.forEachRow(
                "select iPitchID from tblMovementPitchJoin where iMovementID = ? order by iMovementPitchID",
                {store::Value(id)}, [&](const std::vector<store::Value>& row) {
                    sequence.push_back(static_cast<std::int32_t>(row.at(0).toInt64()));
                });
            EXPECT_EQ(membership.deviationOf(sequence), shown) << when << ", movement " << id << " counted in memory";
        }
    };
    expectSameFigures("the reference classes");
    {
        auto connection = writer();
        // A pitch in no class, a pitch in two classes, and a class whose pitch is not in the vocabulary.
        connection.execute("delete from tblPitchClassJoin where iPitchID = (select iPitchID from tblPitchLookup where "
                           "txtPitch = 'd')");
        connection.execute("insert into tblPitchClassJoin (iPitchID, iClassID) select iPitchID, 5 from tblPitchLookup "
                           "where txtPitch = 'c'");
        connection.execute("PRAGMA foreign_keys = OFF");
        connection.execute("update tblClassLookup set iPitchID = 9999 where iClassID = 8");
    }
    expectSameFigures("odd reference data");
}

/// A movement's tabulation built from the rows of the three statements as they stand, with the arithmetic of the
/// page: what tabulate must give however it works the figures out.
Tabulation byStatements(store::Connection& connection, std::int64_t movementId)
{
    Tabulation expected;
    expected.total = static_cast<std::int64_t>(connection.query(totalStatement(movementId)).recordCount());
    if (expected.total < 1) {
        return expected;
    }
    const auto classes = connection.query(classStatement(movementId));
    const auto classCount = static_cast<std::size_t>(classes.columnIndex("classcount"));
    for (const auto& row : classes.rows()) {
        std::optional<std::int64_t> count;
        TabulationRow shown {row.at(2).toText(), {}, {}};
        if (!row.at(classCount).isNull()) {
            count = row.at(classCount).toInt64();
            shown.countText = std::to_string(*count);
            shown.percentText = store::formatNumber(percentage(*count, expected.total));
        }
        expected.classRows.push_back(shown);
        expected.classCounts.push_back(count);
    }
    expected.deviation = averageDeviation(expected.classCounts, expected.total);
    expected.deviationText = store::formatSingle(expected.deviation);
    const auto reals = connection.query(realStatement(movementId));
    for (const auto& row : reals.rows()) {
        const std::int64_t count = row.at(3).toInt64();
        expected.realRows.push_back(
            {row.at(2).toText(), std::to_string(count), store::formatNumber(percentage(count, expected.total))});
    }
    return expected;
}

TEST_F(Tabulate, GivesTheRowsOfTheStatementsOnRandomAndOddCatalogues)
{
    std::vector<std::string> spellings;
    for (const auto& pitch : store::referencePitches()) {
        spellings.push_back(pitch.spelling);
    }
    std::mt19937 random(11);
    std::vector<std::int64_t> ids;
    for (const std::size_t length : {0, 1, 2, 12, 97, 500}) {
        std::vector<std::string> sequence(length);
        for (auto& spelling : sequence) {
            spelling = spellings[std::uniform_int_distribution<std::size_t>(0, spellings.size() - 1)(random)];
        }
        ids.push_back(addMovement(static_cast<int>(ids.size() + 1)));
        storePositions(ids.back(), sequence);
    }
    const auto expectTheStatementsRows = [&](const std::string& when) {
        auto connection = writer();
        for (const std::int64_t id : ids) {
            const Tabulation shown = tabulate(m_catalogue.connectionString(), id);
            const Tabulation expected = byStatements(connection, id);
            EXPECT_EQ(shown.total, expected.total) << when << ", movement " << id;
            EXPECT_EQ(shown.classRows, expected.classRows) << when << ", movement " << id;
            EXPECT_EQ(shown.classCounts, expected.classCounts) << when << ", movement " << id;
            EXPECT_EQ(shown.realRows, expected.realRows) << when << ", movement " << id;
            EXPECT_EQ(shown.deviation, expected.deviation) << when << ", movement " << id;
            EXPECT_EQ(shown.deviationText, expected.deviationText) << when << ", movement " << id;
        }
    };
    expectTheStatementsRows("the reference data");
    {
        // Another program changes sequences and the reference data: every tabulation shows it at once.
        auto other = writer();
        other.execute("delete from tblMovementPitchJoin where iMovementPitchID % 7 = 0");
        other.execute("update tblMovementPitchJoin set iPitchID = (select iPitchID from tblPitchLookup where "
                      "txtPitch = 'g') where iMovementPitchID % 5 = 0");
        other.execute("insert into tblPitchLookup (iPitchID, txtPitch, txtVelkFont) values (990, 'x', 'ξ')");
        other.execute("insert into tblMovementPitchJoin (iMovementID, iPitchID) select iMovementID, 990 from "
                      "tblMovement");
        other.execute("insert into tblPitchClassJoin (iPitchID, iClassID) select iPitchID, 3 from tblPitchLookup "
                      "where txtPitch = 'g'");
        other.execute("delete from tblPitchClassJoin where iPitchID = (select iPitchID from tblPitchLookup where "
                      "txtPitch = 'a')");
        other.execute("update tblPitchLookup set txtVelkFont = 'G!' where txtPitch = 'G'");
    }
    expectTheStatementsRows("changed by another program");
    {
        // Rows another program left without foreign keys: a position and a class whose pitch is in no vocabulary,
        // a class membership of a class that does not exist.
        auto other = writer();
        other.execute("PRAGMA foreign_keys = OFF");
        other.execute("insert into tblMovementPitchJoin (iMovementID, iPitchID) values (?, 4444)",
                      {store::Value(ids.back())});
        other.execute("insert into tblPitchClassJoin (iPitchID, iClassID) values (4444, 2), (990, 77)");
        other.execute("update tblClassLookup set iPitchID = 9999 where iClassID = 8");
        other.execute("insert into tblClassLookup (iClassID, iPitchID) values (13, 990)");
    }
    expectTheStatementsRows("odd reference data");
}

TEST_F(Tabulate, AMissingCatalogueIsAnError)
{
    EXPECT_THROW(tabulate((m_catalogue.folder() / "Gone.db").string(), 1), store::StoreError);
    // An id that is not looked up needs no catalogue.
    EXPECT_NO_THROW(tabulate((m_catalogue.folder() / "Gone.db").string(), 0));
}

} // namespace
} // namespace velk::tabulations
