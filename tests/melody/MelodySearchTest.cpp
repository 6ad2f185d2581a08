#include "melody/MelodySearch.h"
#include "melody/MelodyIndex.h"
#include "store/Connection.h"
#include "store/ReferenceData.h"
#include "tests/support/TempCatalogue.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

namespace
{

using velk::melody::Mode;
using velk::store::AccessMode;
using velk::store::Connection;
using velk::store::Value;

std::int32_t pitchId(const std::string& spelling)
{
    for (const auto& pitch : velk::store::referencePitches()) {
        if (pitch.spelling == spelling) {
            return pitch.id;
        }
    }
    ADD_FAILURE() << "no reference pitch " << spelling;
    return 0;
}

std::vector<std::int32_t> ids(const std::string& spellings)
{
    std::vector<std::int32_t> result;
    std::istringstream in(spellings);
    std::string spelling;
    while (in >> spelling) {
        result.push_back(pitchId(spelling));
    }
    return result;
}

velk::pitches::PitchLookup referenceLookup()
{
    std::vector<velk::pitches::Pitch> pitches;
    for (const auto& pitch : velk::store::referencePitches()) {
        pitches.push_back({pitch.id, pitch.spelling, pitch.glyph});
    }
    return velk::pitches::PitchLookup(std::move(pitches));
}

/// The classes of the reference data, less the pitches named (which then belong to no class).
velk::melody::PitchClasses referenceClasses(const std::vector<std::string>& unclassed = {})
{
    std::unordered_map<std::int32_t, int> classes;
    for (const auto& pitch : velk::store::referencePitches()) {
        classes[pitch.id] = pitch.classId - 1;
    }
    for (const auto& spelling : unclassed) {
        classes.erase(pitchId(spelling));
    }
    return velk::melody::PitchClasses(std::move(classes));
}

// ---- Parsing -------------------------------------------------------------------------------------------------

struct ParseCase
{
    const char* name;
    std::string text;
    std::string message; ///< empty when the melody is taken
    std::string shown; ///< the melody as taken
};

std::string unknownSpelling(const std::string& spelling)
{
    return "“" + spelling
        + "” is not a pitch spelling; spellings are a letter, capital for the lower register, then *, **, / or //.";
}

class ParseMelody : public ::testing::TestWithParam<ParseCase>
{
};

TEST_P(ParseMelody, TakesSpellingsSplitAtAnyBlankOrNamesTheFault)
{
    const ParseCase& c = GetParam();
    const auto query = velk::melody::parseMelody(referenceLookup(), c.text);
    EXPECT_EQ(query.ok(), c.message.empty());
    if (query.ok()) {
        EXPECT_EQ(query->shown, c.shown);
        EXPECT_EQ(query->pitchIds, ids(c.shown));
    } else {
        EXPECT_EQ(query.message(), c.message);
    }
}

INSTANTIATE_TEST_SUITE_P(Melodies,
                         ParseMelody,
                         ::testing::Values(ParseCase {"unknownInTheMiddle", "c x* d", unknownSpelling("x*"), ""},
                                           ParseCase {"foreignSharp", "c C# d", unknownSpelling("C#"), ""},
                                           ParseCase {"threeMarks", "c d*** e", unknownSpelling("d***"), ""},
                                           ParseCase {"foreignLetter", "h", unknownSpelling("h"), ""},
                                           ParseCase {"firstOfTwoUnknown", "c D e q r", unknownSpelling("q"), ""},
                                           ParseCase {"empty", "", velk::melody::kTooFewPitches, ""},
                                           ParseCase {"blanks", "   ", velk::melody::kTooFewPitches, ""},
                                           ParseCase {"otherBlanks", " \t\n ", velk::melody::kTooFewPitches, ""},
                                           ParseCase {"onePitch", "c", "", "c"},
                                           ParseCase {"onePitchAmongBlanks", " \t e/ ", "", "e/"},
                                           ParseCase {"orderAndCaseKept", "  c\tD*  e//\n f ", "", "c D* e// f"}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Matching a sequence -------------------------------------------------------------------------------------

struct MatchCase
{
    const char* name;
    const char* sequence;
    const char* melody;
    Mode mode;
    std::vector<std::int64_t> positions;
};

class Occurrences : public ::testing::TestWithParam<MatchCase>
{
};

TEST_P(Occurrences, FindsEveryStartPosition)
{
    const MatchCase& c = GetParam();
    EXPECT_EQ(velk::melody::occurrences(ids(c.sequence), ids(c.melody), c.mode, referenceClasses()), c.positions);
}

INSTANTIATE_TEST_SUITE_P(
    Modes,
    Occurrences,
    ::testing::Values(MatchCase {"ExactRepeats", "c d e c d e", "c d e", Mode::Exact, {1, 4}},
                      MatchCase {"ExactTellsEnharmonicsApart", "c d f/ c d e", "c d e", Mode::Exact, {4}},
                      MatchCase {"ExactTellsRegistersApart", "C D E c d e", "c d e", Mode::Exact, {4}},
                      MatchCase {"ClassesJoinEnharmonics", "b* d f/ c e// e", "c d e", Mode::Classes, {1, 4}},
                      MatchCase {"ClassesJoinRegisters", "C D E c d e", "c d e", Mode::Classes, {1, 4}},
                      MatchCase {"ClassesKeepTheStartingClass", "d e f*", "c d e", Mode::Classes, {}},
                      MatchCase {"TransposedFromAnyClass", "d e f* g/ a/ b/", "c d e", Mode::Transposed, {1, 4}},
                      MatchCase {"TransposedThroughEnharmonics", "e* F** b// B", "c d e", Mode::Transposed, {1, 2}},
                      MatchCase {"TransposedWrapsAroundTheOctave", "a b c* b", "c d e", Mode::Transposed, {1}},
                      MatchCase {"TransposedKeepsTheDirection", "e d c", "c d e", Mode::Transposed, {}},
                      MatchCase {"TransposedIgnoresTheOctave", "c C c", "g g", Mode::Transposed, {1, 2}},
                      MatchCase {"RunAtTheVeryStart", "c d e f g", "c d", Mode::Exact, {1}},
                      MatchCase {"RunAtTheVeryEnd", "c d e f g", "f g", Mode::Exact, {4}},
                      MatchCase {"RunFillingTheSequence", "c d e", "c d e", Mode::Classes, {1}},
                      MatchCase {"MelodyLongerThanTheSequence", "c d", "c d e", Mode::Exact, {}},
                      MatchCase {"OverlapsEachCount", "c c c", "c c", Mode::Exact, {1, 2}},
                      MatchCase {"OverlapsInClasses", "c b* d// c", "c c", Mode::Classes, {1, 2, 3}},
                      MatchCase {"OverlapsTransposed", "c d e f* g*", "c d e", Mode::Transposed, {1, 2, 3}},
                      MatchCase {"OnePitchBySpelling", "c d b* c C", "c", Mode::Exact, {1, 4}},
                      MatchCase {"OnePitchByClass", "c d b* c C", "c", Mode::Classes, {1, 3, 4, 5}},
                      MatchCase {"OnePitchAbsent", "c d e", "f**", Mode::Exact, {}},
                      MatchCase {"NoPitchOccursNowhere", "c d e", "", Mode::Classes, {}}),
    [](const ::testing::TestParamInfo<MatchCase>& info) { return std::string(info.param.name); });

TEST(Occurrences, APitchWithoutClassBreaksRunsByClassAndStep)
{
    const auto classes = referenceClasses({"f"});
    const auto sequence = ids("c d f c d f");
    EXPECT_EQ(velk::melody::occurrences(sequence, ids("c d"), Mode::Classes, classes),
              (std::vector<std::int64_t> {1, 4}));
    EXPECT_TRUE(velk::melody::occurrences(sequence, ids("d f"), Mode::Classes, classes).empty());
    EXPECT_TRUE(velk::melody::occurrences(sequence, ids("d f"), Mode::Transposed, classes).empty());
    EXPECT_TRUE(velk::melody::occurrences(sequence, ids("f c"), Mode::Transposed, classes).empty());
    // The exact spelling still matches.
    EXPECT_EQ(velk::melody::occurrences(sequence, ids("d f"), Mode::Exact, classes),
              (std::vector<std::int64_t> {2, 5}));
}

TEST(IndexEntries, KeysCarryThreeStepsAndMarkWhereRunsEnd)
{
    using velk::melody::kNoStep;
    using velk::melody::melodyKey;
    // c d e g, then a pitch without class, then c c.
    const velk::melody::PitchClasses classes({{10, 0}, {11, 2}, {12, 4}, {13, 7}});
    const std::vector<velk::melody::IndexEntry> expected = {
        {1, melodyKey(2, 2, 3), 10},
        {2, melodyKey(2, 3, kNoStep), 11},
        {3, melodyKey(3, kNoStep, kNoStep), 12},
        {4, melodyKey(kNoStep, kNoStep, kNoStep), 13},
        {6, melodyKey(0, kNoStep, kNoStep), 10},
        {7, melodyKey(kNoStep, kNoStep, kNoStep), 10},
    };
    EXPECT_EQ(velk::melody::indexEntries({10, 11, 12, 13, 99, 10, 10}, classes), expected);
    EXPECT_EQ(melodyKey(11, 0, 1), 11 * 169 + 1);
    EXPECT_EQ(velk::melody::classStep(11, 1), 2);
    EXPECT_EQ(velk::melody::classStep(2, 0), 10);
    EXPECT_EQ(classes.pitchesOf(0), (std::vector<std::int32_t> {10}));
}

// ---- Searching a catalogue -----------------------------------------------------------------------------------

class MelodyCatalogue : public ::testing::Test
{
protected:
    Connection writable()
    {
        return Connection::open(m_catalogue.connectionString(), AccessMode::ReadWrite);
    }

    /// A movement with its sequence; indexed the way storing a sequence indexes it.
    std::int64_t
    add(int ktn, int mvmt, std::optional<double> deviation, const std::string& spellings, bool index = true)
    {
        Connection connection = writable();
        velk::store::Transaction transaction(connection);
        connection.execute("INSERT INTO tblMovement (iKTN, iMvmt, iOrder, Deviation) VALUES (?, ?, 1, ?)",
                           {Value(ktn), Value(mvmt), deviation ? Value(*deviation) : Value()});
        const std::int64_t id = connection.lastInsertId();
        store(connection, id, spellings, index);
        transaction.commit();
        return id;
    }

    /// Replaces a movement's sequence, as storing the pitches does.
    void store(Connection& connection, std::int64_t id, const std::string& spellings, bool index = true)
    {
        connection.execute("DELETE FROM tblMovementPitchJoin WHERE iMovementID = ?", {Value(id)});
        for (const std::int32_t pitch : ids(spellings)) {
            connection.execute("INSERT INTO tblMovementPitchJoin (iMovementID, iPitchID) VALUES (?, ?)",
                               {Value(id), Value(std::int64_t {pitch})});
        }
        if (index) {
            velk::melody::indexMovement(connection, id, ids(spellings));
        }
    }

    void restore(std::int64_t id, const std::string& spellings)
    {
        Connection connection = writable();
        velk::store::Transaction transaction(connection);
        store(connection, id, spellings);
        transaction.commit();
    }

    velk::store::Result<velk::melody::MelodyMatches> find(const std::string& spellings, Mode mode = Mode::Exact)
    {
        return velk::melody::findMelody(m_catalogue.connectionString(), spellings, mode);
    }

    using Found = std::vector<std::tuple<std::string, std::string, std::int64_t, std::string>>;
    static Found rows(const velk::store::Result<velk::melody::MelodyMatches>& result)
    {
        Found found;
        for (const auto& row : result->rows) {
            const auto cells = row.cells();
            found.emplace_back(cells[0], cells[1], row.position, cells[3]);
        }
        return found;
    }

    std::vector<std::tuple<std::int64_t, std::int64_t, std::int64_t>> indexRows()
    {
        Connection connection = writable();
        std::vector<std::tuple<std::int64_t, std::int64_t, std::int64_t>> result;
        connection.forEachRow("SELECT iKey, iMovementID, iPosition FROM tblMelodyIndex ORDER BY 1, 2, 3", {},
                              [&](const std::vector<Value>& row) {
                                  result.emplace_back(row[0].toInt64(), row[1].toInt64(), row[2].toInt64());
                              });
        return result;
    }

    void SetUp() override
    {
        Connection connection = writable();
        velk::melody::ensureMelodyIndex(connection);
    }

    velk::test::TempCatalogue m_catalogue;
};

TEST_F(MelodyCatalogue, RowsAreOrderedByKtnMovementAndPositionWithDeviationText)
{
    add(20, 2, 12.6, "c d e c d e");
    add(3, 1, std::nullopt, "g c d e");
    add(20, 1, 0.25, "e d c d e");
    add(3, 2, 1, "f g a");
    const auto result = find("c d e");
    ASSERT_TRUE(result.ok()) << result.message();
    EXPECT_FALSE(result->indexMissing);
    EXPECT_EQ(rows(result),
              (Found {{"3", "1", 2, ""}, {"20", "1", 3, "0.25"}, {"20", "2", 1, "12.6"}, {"20", "2", 4, "12.6"}}));
    EXPECT_EQ(result->statusText, "4 occurrences of “c d e” found");
    EXPECT_EQ(find("f g")->statusText, "1 occurrence of “f g” found");
    const auto none = find("b b b");
    EXPECT_TRUE(none.ok());
    EXPECT_TRUE(none->rows.empty());
    EXPECT_EQ(none->statusText, "No occurrences of “b b b” found.");
}

TEST_F(MelodyCatalogue, EachModeOverTheIndex)
{
    add(1, 1, std::nullopt, "C D E f g");
    add(2, 1, std::nullopt, "b* d f/ g");
    add(3, 1, std::nullopt, "d e f* g* a* c");
    add(4, 1, std::nullopt, "c d e");
    const std::vector<std::tuple<std::string, Mode, Found>> cases = {
        {"c d e", Mode::Exact, {{"4", "1", 1, ""}}},
        {"c d e", Mode::Classes, {{"1", "1", 1, ""}, {"2", "1", 1, ""}, {"4", "1", 1, ""}}},
        {"c d e",
         Mode::Transposed,
         {{"1", "1", 1, ""},
          {"2", "1", 1, ""},
          {"3", "1", 1, ""},
          {"3", "1", 2, ""},
          {"3", "1", 3, ""},
          {"3", "1", 4, ""},
          {"4", "1", 1, ""}}},
        {"e f g", Mode::Transposed, {{"1", "1", 3, ""}}},
        // Four and more pitches: two keys and the check against the stored sequence.
        {"D E f g", Mode::Exact, {{"1", "1", 2, ""}}},
        {"d e f g", Mode::Classes, {{"1", "1", 2, ""}}},
        {"c d e f* g* a*", Mode::Transposed, {{"3", "1", 1, ""}}},
        {"c d e f* g* a* c", Mode::Classes, {}},
        {"d e f* g* a* c", Mode::Classes, {{"3", "1", 1, ""}}},
        {"f g", Mode::Exact, {{"1", "1", 4, ""}}},
        {"e g", Mode::Transposed, {{"2", "1", 3, ""}}},
    };
    for (const auto& [melody, mode, expected] : cases) {
        const auto result = find(melody, mode);
        ASSERT_TRUE(result.ok()) << result.message();
        EXPECT_EQ(rows(result), expected) << melody << " mode " << static_cast<int>(mode);
    }
}

TEST_F(MelodyCatalogue, OnePitchIsFoundBySpellingAndByClass)
{
    add(1, 1, std::nullopt, "c d b* c**");
    add(2, 1, 4.5, "e c** d/ C");
    const std::vector<std::tuple<std::string, Mode, Found>> cases = {
        {"c**", Mode::Exact, {{"1", "1", 4, ""}, {"2", "1", 2, "4.5"}}},
        {"c**", Mode::Classes, {{"1", "1", 2, ""}, {"1", "1", 4, ""}, {"2", "1", 2, "4.5"}}},
        {"c", Mode::Classes, {{"1", "1", 1, ""}, {"1", "1", 3, ""}, {"2", "1", 4, "4.5"}}},
        {" C ", Mode::Exact, {{"2", "1", 4, "4.5"}}},
    };
    for (const auto& [melody, mode, expected] : cases) {
        const auto result = find(melody, mode);
        ASSERT_TRUE(result.ok()) << melody << ": " << result.message();
        EXPECT_EQ(rows(result), expected) << melody << " mode " << static_cast<int>(mode);
    }
    EXPECT_EQ(find("c**")->statusText, "2 occurrences of “c**” found");
}

TEST_F(MelodyCatalogue, OverlappingOccurrencesAreEachListed)
{
    add(1, 1, std::nullopt, "c c c");
    add(2, 1, std::nullopt, "c c c c c");
    EXPECT_EQ(rows(find("c c")),
              (Found {{"1", "1", 1, ""},
                      {"1", "1", 2, ""},
                      {"2", "1", 1, ""},
                      {"2", "1", 2, ""},
                      {"2", "1", 3, ""},
                      {"2", "1", 4, ""}}));
    EXPECT_EQ(rows(find("c c c c", Mode::Transposed)), (Found {{"2", "1", 1, ""}, {"2", "1", 2, ""}}));
}

TEST_F(MelodyCatalogue, BadMelodiesAndFilesGetMessages)
{
    add(1, 1, std::nullopt, "c d e");
    const auto unknown = find("c x* e");
    EXPECT_FALSE(unknown.ok());
    EXPECT_EQ(unknown.message(), velk::melody::unknownSpellingMessage("x*"));
    EXPECT_EQ(find(" ").message(), velk::melody::kTooFewPitches);
    EXPECT_EQ(find("c", Mode::Transposed).message(), velk::melody::kTransposedNeedsTwoPitches);
    const auto missing = velk::melody::findMelody((m_catalogue.folder() / "None.db").string(), "c d", Mode::Exact);
    EXPECT_FALSE(missing.ok());
    EXPECT_NE(missing.message().find("None.db"), std::string::npos) << missing.message();
}

TEST_F(MelodyCatalogue, TheIndexFollowsAChangedSequence)
{
    const auto id = add(1, 1, std::nullopt, "c d e f");
    add(2, 1, std::nullopt, "g a b c");
    restore(id, "a b c* d");
    EXPECT_TRUE(rows(find("c d e f")).empty());
    EXPECT_EQ(rows(find("c d e f", Mode::Transposed)), (Found {{"1", "1", 1, ""}, {"2", "1", 1, ""}}));
    EXPECT_EQ(rows(find("b c* d")), (Found {{"1", "1", 2, ""}}));
    restore(id, "");
    EXPECT_EQ(rows(find("c d e f", Mode::Transposed)), (Found {{"2", "1", 1, ""}}));
    Connection connection = writable();
    EXPECT_TRUE(velk::melody::melodyIndexIsCurrent(connection));
}

TEST_F(MelodyCatalogue, DeletingAMovementDropsItsIndexRows)
{
    const auto gone = add(1, 1, std::nullopt, "c d e f g");
    add(2, 1, std::nullopt, "c d e f g");
    {
        Connection connection = writable();
        connection.execute("DELETE FROM tblMovement WHERE iMovementID = ?", {Value(gone)});
        EXPECT_EQ(connection.query("SELECT Count(*) FROM tblMelodyIndex WHERE iMovementID = ?", {Value(gone)})
                      .rows()[0][0]
                      .toInt64(),
                  0);
        EXPECT_TRUE(velk::melody::melodyIndexIsCurrent(connection));
    }
    EXPECT_EQ(rows(find("c d e f g")), (Found {{"2", "1", 1, ""}}));
}

TEST_F(MelodyCatalogue, IndexingRunsInsideTheCallersTransaction)
{
    const auto id = add(1, 1, std::nullopt, "c d e");
    {
        Connection connection = writable();
        velk::store::Transaction transaction(connection);
        store(connection, id, "f g a");
        // No commit: the sequence and its index rows go back together.
    }
    EXPECT_EQ(rows(find("c d e")), (Found {{"1", "1", 1, ""}}));
    Connection connection = writable();
    EXPECT_TRUE(velk::melody::melodyIndexIsCurrent(connection));
}

TEST_F(MelodyCatalogue, RebuildEqualsIncremental)
{
    const auto a = add(1, 1, std::nullopt, "c d e f g a b c");
    add(1, 2, std::nullopt, "C D* e/ f** g");
    add(2, 1, std::nullopt, "e");
    add(2, 2, std::nullopt, "");
    restore(a, "g f e d c");
    const auto incremental = indexRows();
    EXPECT_FALSE(incremental.empty());
    Connection connection = writable();
    velk::melody::rebuildMelodyIndex(connection);
    EXPECT_EQ(indexRows(), incremental);
    EXPECT_TRUE(velk::melody::melodyIndexIsCurrent(connection));
}

// ---- An index that never answers stale ---------------------------------------------------------------------

/// What the search must answer: every (movement, position), read from the stored sequences themselves.
std::vector<std::pair<std::int64_t, std::int64_t>>
scannedAnswer(Connection& connection, const std::string& melody, Mode mode)
{
    const auto classes = velk::melody::PitchClasses::load(connection);
    std::vector<std::pair<std::int64_t, std::int64_t>> answer;
    const auto movements = connection.query("SELECT iMovementID FROM tblMovement ORDER BY iKTN, iMvmt, iOrder");
    for (const auto& movement : movements.rows()) {
        std::vector<std::int32_t> sequence;
        connection.forEachRow(
            "SELECT iPitchID FROM tblMovementPitchJoin WHERE iMovementID = ? ORDER BY iMovementPitchID", {movement[0]},
            [&](const std::vector<Value>& row) { sequence.push_back(static_cast<std::int32_t>(row[0].toInt64())); });
        for (const auto position : velk::melody::occurrences(sequence, ids(melody), mode, classes)) {
            answer.emplace_back(movement[0].toInt64(), position);
        }
    }
    return answer;
}

std::vector<std::pair<std::int64_t, std::int64_t>>
answerOf(const velk::store::Result<velk::melody::MelodyMatches>& result)
{
    std::vector<std::pair<std::int64_t, std::int64_t>> answer;
    for (const auto& row : result->rows) {
        answer.emplace_back(row.movementId, row.position);
    }
    return answer;
}

/// A change another program makes with plain SQL; ? is the id of movement 2.
struct OutsideChange
{
    const char* name;
    const char* sql;
};

class ChangedByAnotherProgram : public MelodyCatalogue, public ::testing::WithParamInterface<OutsideChange>
{
};

TEST_P(ChangedByAnotherProgram, IsIndexedBeforeTheNextSearchAnswers)
{
    add(1, 1, 2.5, "a g f g f e d");
    const auto second = add(2, 1, 3.5, "a g* f g* a g* f g*");
    add(3, 1, 4.5, "c a g* f g* b");
    ASSERT_EQ(second, 2);
    {
        Connection connection = writable();
        connection.executeScript(std::string("PRAGMA foreign_keys = OFF; ") + GetParam().sql);
        EXPECT_EQ(velk::melody::melodyIndexState(connection), velk::melody::IndexState::Behind);
    }
    for (const auto& [melody, mode] : std::vector<std::pair<std::string, Mode>> {{"A G* F G*", Mode::Exact},
                                                                                 {"a g* f g*", Mode::Exact},
                                                                                 {"g f g", Mode::Classes},
                                                                                 {"a g f g", Mode::Transposed},
                                                                                 {"g*", Mode::Exact}}) {
        const auto result = find(melody, mode);
        ASSERT_TRUE(result.ok()) << result.message();
        EXPECT_FALSE(result->indexBehind);
        Connection connection = writable();
        EXPECT_EQ(answerOf(result), scannedAnswer(connection, melody, mode)) << melody;
    }
    Connection connection = writable();
    EXPECT_EQ(velk::melody::melodyIndexState(connection), velk::melody::IndexState::Current);
    EXPECT_TRUE(velk::melody::melodyIndexProblems(connection).empty());
    const auto updated = indexRows();
    velk::melody::rebuildMelodyIndex(connection);
    EXPECT_EQ(indexRows(), updated) << "the update wrote what a rebuild writes";
}

INSTANTIATE_TEST_SUITE_P(
    Changes,
    ChangedByAnotherProgram,
    ::testing::Values(
        OutsideChange {"FirstPositionDeleted",
                       "DELETE FROM tblMovementPitchJoin WHERE iMovementPitchID = (SELECT Min(iMovementPitchID) FROM "
                       "tblMovementPitchJoin WHERE iMovementID = 2)"},
        OutsideChange {"PitchReplacedInPlace",
                       "UPDATE tblMovementPitchJoin SET iPitchID = (SELECT iPitchID FROM tblPitchLookup WHERE "
                       "txtPitch = 'b') WHERE iMovementPitchID = (SELECT Max(iMovementPitchID) FROM "
                       "tblMovementPitchJoin WHERE iMovementID = 2)"},
        OutsideChange {"PositionsAppended",
                       "INSERT INTO tblMovementPitchJoin (iMovementID, iPitchID) SELECT 1, iPitchID FROM "
                       "tblPitchLookup WHERE txtPitch IN ('a', 'g*')"},
        OutsideChange {"PositionMovedToAnotherMovement",
                       "UPDATE tblMovementPitchJoin SET iMovementID = 3 WHERE iMovementPitchID = (SELECT "
                       "Min(iMovementPitchID) FROM tblMovementPitchJoin WHERE iMovementID = 2)"},
        OutsideChange {"SequenceDeleted", "DELETE FROM tblMovementPitchJoin WHERE iMovementID = 2"},
        OutsideChange {"MovementDeletedLeavingItsSequence", "DELETE FROM tblMovement WHERE iMovementID = 2"},
        OutsideChange {"PitchMovedToAnotherClass",
                       "UPDATE tblPitchClassJoin SET iClassID = 1 WHERE iPitchID = (SELECT iPitchID FROM "
                       "tblPitchLookup WHERE txtPitch = 'f')"},
        OutsideChange {"ClassRowsRewritten", "UPDATE tblClassLookup SET iPitchID = iPitchID"}),
    [](const ::testing::TestParamInfo<OutsideChange>& info) { return std::string(info.param.name); });

TEST_F(MelodyCatalogue, AReadOnlyCatalogueWithAChangedSequenceIsAnsweredByReadingTheSequences)
{
    add(1, 1, std::nullopt, "a g* f g* a");
    {
        Connection connection = writable();
        connection.execute("DELETE FROM tblMovementPitchJoin WHERE iMovementPitchID = (SELECT Min(iMovementPitchID) "
                           "FROM tblMovementPitchJoin)");
    }
    std::filesystem::permissions(m_catalogue.file(),
                                 std::filesystem::perms::owner_write | std::filesystem::perms::group_write
                                     | std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove);
    const auto result = find("g* f g*");
    ASSERT_TRUE(result.ok()) << result.message();
    EXPECT_TRUE(result->indexBehind);
    EXPECT_EQ(rows(result), (Found {{"1", "1", 1, ""}}));
    EXPECT_EQ(result->statusText,
              "1 occurrence of “g* f g*” found (the melody index is behind the stored sequences "
              "and the catalogue cannot be written, so every sequence was read).");
    Connection connection = Connection::open(m_catalogue.connectionString(), AccessMode::ReadOnly);
    EXPECT_EQ(velk::melody::melodyIndexState(connection), velk::melody::IndexState::Behind) << "nothing was written";
}

TEST_F(MelodyCatalogue, ACatalogueMadeBeforeTheTrackingGetsItAndIsNeverAnsweredStale)
{
    const auto movement = add(1, 1, std::nullopt, "c d e f");
    const auto dropTracking = [&] {
        Connection connection = writable();
        for (const char* suffix :
             {"SequenceInsert", "SequenceUpdate", "SequenceDelete", "MovementDelete", "PitchClassInsert",
              "PitchClassUpdate", "PitchClassDelete", "ClassInsert", "ClassUpdate", "ClassDelete"}) {
            connection.execute(std::string("DROP TRIGGER trgMelodyPending") + suffix);
        }
        connection.execute("DROP TABLE tblMelodyIndexPending");
        // Changed while nothing tracked it.
        connection.execute("INSERT INTO tblMovementPitchJoin (iMovementID, iPitchID) VALUES (?, ?)",
                           {Value(movement), Value(std::int64_t {pitchId("g")})});
        EXPECT_EQ(velk::melody::melodyIndexState(connection), velk::melody::IndexState::Behind);
        EXPECT_FALSE(velk::melody::melodyIndexProblems(connection).empty()) << "the check sees the stale rows";
    };
    // A search on it brings the whole index up to date, and the tracking comes with it.
    dropTracking();
    EXPECT_EQ(rows(find("e f g")), (Found {{"1", "1", 3, ""}}));
    {
        Connection connection = writable();
        EXPECT_EQ(velk::melody::melodyIndexState(connection), velk::melody::IndexState::Current);
        connection.execute("DELETE FROM tblMovementPitchJoin WHERE iPitchID = ?", {Value(std::int64_t {pitchId("c")})});
        EXPECT_EQ(velk::melody::melodyIndexState(connection), velk::melody::IndexState::Behind);
    }
    EXPECT_EQ(rows(find("d e f g")), (Found {{"1", "1", 1, ""}}));

    // Opening it for writing (the movement window's start) gives it the tracking, the whole index marked behind.
    dropTracking();
    Connection connection = writable();
    velk::melody::ensureMelodyIndex(connection);
    EXPECT_EQ(velk::melody::melodyIndexState(connection), velk::melody::IndexState::Behind);
    EXPECT_TRUE(velk::melody::melodyIndexProblems(connection).empty()) << "known to be behind, so no problem";
    EXPECT_EQ(rows(find("e f g g")), (Found {{"1", "1", 2, ""}}));
    EXPECT_EQ(velk::melody::melodyIndexState(connection), velk::melody::IndexState::Current);
}

TEST_F(MelodyCatalogue, AStaleIndexIsReported)
{
    const auto stale = add(1, 1, std::nullopt, "c d e f");
    {
        Connection connection = writable();
        // Rows written behind the tracking's back, as by a program that dropped its triggers.
        connection.execute("DROP TRIGGER trgMelodyPendingSequenceInsert");
        connection.execute("INSERT INTO tblMovementPitchJoin (iMovementID, iPitchID) VALUES (?, ?)",
                           {Value(stale), Value(std::int64_t {pitchId("g")})});
        connection.executeScript(velk::store::kMelodyIndexTracking);
    }
    Connection connection = writable();
    const auto problems = velk::melody::melodyIndexProblems(connection);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("1 movement (iMovementID " + std::to_string(stale) + ")"), std::string::npos)
        << problems[0];
    EXPECT_NE(problems[0].find("--reindex"), std::string::npos);
    velk::melody::rebuildMelodyIndex(connection);
    EXPECT_TRUE(velk::melody::melodyIndexProblems(connection).empty());
}

TEST_F(MelodyCatalogue, ACatalogueWithoutTheIndexStillAnswers)
{
    add(2, 1, 3.5, "c d e c d e");
    add(1, 1, std::nullopt, "f g a b c d e");
    const auto indexed = find("c d e", Mode::Transposed);
    {
        Connection connection = writable();
        connection.execute("DROP TABLE tblMelodyIndex");
        EXPECT_FALSE(velk::melody::melodyIndexIsCurrent(connection));
        // Storing a sequence meanwhile does not start a partial index.
        velk::melody::indexMovement(connection, 1, ids("c d"));
        EXPECT_FALSE(velk::melody::hasMelodyIndex(connection));
    }
    const auto scanned = find("c d e", Mode::Transposed);
    ASSERT_TRUE(scanned.ok()) << scanned.message();
    EXPECT_TRUE(scanned->indexMissing);
    EXPECT_EQ(rows(scanned), rows(indexed));
    EXPECT_EQ(scanned->statusText.rfind("5 occurrences of “c d e” found (the catalogue has no melody index", 0), 0u)
        << scanned->statusText;
    EXPECT_NE(scanned->statusText.find("velk-catalogue melody --reindex " + m_catalogue.file()), std::string::npos);

    // Opening it writable builds the whole index from the stored sequences.
    Connection connection = writable();
    velk::melody::ensureMelodyIndex(connection);
    EXPECT_TRUE(velk::melody::melodyIndexIsCurrent(connection));
    EXPECT_EQ(rows(find("c d e", Mode::Transposed)), rows(indexed));
}

TEST_F(MelodyCatalogue, EnsureMayRunInsideASchemaTransaction)
{
    Connection connection = writable();
    connection.execute("DROP TABLE tblMelodyIndex");
    {
        velk::store::Transaction transaction(connection);
        velk::melody::ensureMelodyIndex(connection);
        transaction.commit();
    }
    EXPECT_TRUE(velk::melody::hasMelodyIndex(connection));
}

TEST_F(MelodyCatalogue, ExactSearchWithAPitchOutsideEveryClass)
{
    {
        Connection connection = writable();
        connection.execute("DELETE FROM tblPitchClassJoin WHERE iPitchID = ?", {Value(std::int64_t {pitchId("f")})});
    }
    add(1, 1, std::nullopt, "c d f g");
    add(2, 1, std::nullopt, "d e f a");
    EXPECT_EQ(rows(find("d f")), (Found {{"1", "1", 2, ""}}));
    EXPECT_EQ(rows(find("e f a")), (Found {{"2", "1", 2, ""}}));
    EXPECT_TRUE(rows(find("e f a", Mode::Classes)).empty());
    EXPECT_EQ(rows(find("c d", Mode::Transposed)), (Found {{"1", "1", 1, ""}, {"2", "1", 1, ""}}));
}

TEST_F(MelodyCatalogue, LongMelodiesAreCheckedToTheirLastPitch)
{
    // Sixteen pitches: more than the index lookups take in one statement, so the tail is read from the sequences.
    const std::string line = "c d e f g a b c b a g f e d c d";
    add(1, 1, std::nullopt, line + " e");
    add(2, 1, std::nullopt, "d e f* g a b c* d c* b a g f* e d e f*");
    add(3, 1, std::nullopt, "c d e f g a b c b a g f e d c e");
    for (const Mode mode : {Mode::Exact, Mode::Classes, Mode::Transposed}) {
        const auto result = find(line, mode);
        ASSERT_TRUE(result.ok()) << result.message();
        const Found expected
            = mode == Mode::Transposed ? Found {{"1", "1", 1, ""}, {"2", "1", 1, ""}} : Found {{"1", "1", 1, ""}};
        EXPECT_EQ(rows(result), expected) << static_cast<int>(mode);
    }
}

// Random sequences and melodies: the index must give exactly what reading every sequence gives.
TEST_F(MelodyCatalogue, IndexAgreesWithReadingEverySequence)
{
    std::mt19937 random(20240607);
    const auto& pitches = velk::store::referencePitches();
    // A small vocabulary, so that runs repeat and melodies recur.
    std::vector<std::string> vocabulary;
    for (const char* spelling : {"c", "d", "e", "f", "g", "a", "b", "C", "b*", "d//", "e/", "f*"}) {
        vocabulary.emplace_back(spelling);
    }
    ASSERT_FALSE(pitches.empty());
    std::vector<std::vector<std::string>> sequences;
    for (int m = 0; m < 40; ++m) {
        std::vector<std::string> sequence;
        const int length = static_cast<int>(random() % 40);
        std::string text;
        for (int i = 0; i < length; ++i) {
            sequence.push_back(vocabulary[random() % vocabulary.size()]);
            text += sequence.back() + " ";
        }
        add(m % 7, m, std::nullopt, text);
        sequences.push_back(sequence);
    }
    int checked = 0;
    for (int q = 0; q < 120; ++q) {
        const auto& source = sequences[random() % sequences.size()];
        if (source.size() < 2) {
            continue;
        }
        const std::size_t length = 2 + random() % std::min<std::size_t>(16, source.size() - 1);
        const std::size_t start = random() % (source.size() - length + 1);
        std::string melody;
        for (std::size_t i = start; i < start + length; ++i) {
            melody += source[i] + " ";
        }
        const Mode mode = static_cast<Mode>(q % 3);
        const auto indexed = find(melody, mode);
        ASSERT_TRUE(indexed.ok()) << indexed.message();
        EXPECT_FALSE(indexed->rows.empty()) << melody;
        // Reading the sequences directly, the same way the scan does.
        std::size_t expected = 0;
        for (const auto& sequence : sequences) {
            std::string text;
            for (const auto& s : sequence) {
                text += s + " ";
            }
            expected += velk::melody::occurrences(ids(text), ids(melody), mode, referenceClasses()).size();
        }
        EXPECT_EQ(indexed->rows.size(), expected) << melody << " mode " << static_cast<int>(mode);
        ++checked;
    }
    EXPECT_GT(checked, 100);
    {
        Connection connection = writable();
        connection.execute("DROP TABLE tblMelodyIndex");
    }
    for (const auto& [melody, mode] : std::vector<std::pair<std::string, Mode>> {
             {"c d", Mode::Exact}, {"c d e", Mode::Classes}, {"e f g a", Mode::Transposed}}) {
        Connection connection = writable();
        velk::melody::rebuildMelodyIndex(connection);
        const auto indexed = rows(find(melody, mode));
        connection.execute("DROP TABLE tblMelodyIndex");
        EXPECT_EQ(rows(find(melody, mode)), indexed) << melody;
    }
}

} // namespace
