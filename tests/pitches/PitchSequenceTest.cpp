#include "pitches/PitchSequence.h"
#include "pitches/PitchLookup.h"

#include "melody/MelodyIndex.h"

#include "store/Connection.h"
#include "store/ReferenceData.h"
#include "store/StoreError.h"
#include "tabulations/Tabulation.h"
#include "tests/support/TempCatalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace velk::pitches
{
namespace
{

/// The id of a reference spelling ("c*", "B//").
std::int32_t idOf(const std::string& spelling)
{
    for (const auto& p : store::referencePitches()) {
        if (p.spelling == spelling) {
            return p.id;
        }
    }
    ADD_FAILURE() << "no reference pitch " << spelling;
    return 0;
}

std::string glyphOf(std::int32_t id)
{
    for (const auto& p : store::referencePitches()) {
        if (p.id == id) {
            return p.glyph;
        }
    }
    return {};
}

class SequenceStore : public ::testing::Test
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

    /// Stores positions directly, bypassing savePitches.
    void storePositions(std::int64_t movementId, const std::vector<std::int32_t>& pitchIds)
    {
        auto connection = writer();
        for (const auto id : pitchIds) {
            connection.execute("insert into tblMovementPitchJoin (iMovementID, iPitchID) values (?, ?)",
                               {store::Value(movementId), store::Value(id)});
        }
    }

    void addPitch(std::int32_t id, const std::string& spelling)
    {
        writer().execute("insert into tblPitchLookup (iPitchID, txtPitch, txtVelkFont) values (?, ?, ?)",
                         {store::Value(id), store::Value(spelling), store::Value("glyph " + spelling)});
    }

    std::vector<std::int32_t> storedIds(std::int64_t movementId)
    {
        std::vector<std::int32_t> ids;
        for (const auto& entry : loadMovementPitches(m_catalogue.connectionString(), movementId).entries) {
            ids.push_back(entry.pitchId);
        }
        return ids;
    }

    test::TempCatalogue m_catalogue;
};

// A movement's sequence and its two counts as the window has always read them, run as they stand. However the
// sequence is read, it must give these rows.
std::string referenceSequence(std::int64_t movementId)
{
    return "SELECT tblMovementPitchJoin.iMovementID, tblMovementPitchJoin.iMovementPitchID, "
           "tblMovementPitchJoin.iPitchID, tblPitchLookup.txtVelkFont  FROM tblMovementPitchJoin INNER JOIN "
           "tblPitchLookup ON tblMovementPitchJoin.iPitchID = tblPitchLookup.iPitchID  where imovementid = "
        + std::to_string(movementId) + " ORDER BY tblMovementPitchJoin.iMovementPitchID";
}

std::string referenceCount(std::int64_t movementId, const std::string& oneMark, const std::string& twoMarks)
{
    return "SELECT Count(tblmovementpitchjoin.iMovementID) AS pitchcount FROM tblpitchlookup LEFT JOIN "
           "tblmovementpitchjoin ON tblpitchlookup.iPitchID = tblmovementpitchjoin.iPitchID WHERE "
           "tblmovementpitchjoin.iMovementID="
        + std::to_string(movementId) + " AND (tblpitchlookup.txtPitch LIKE '_" + oneMark
        + "' OR tblpitchlookup.txtPitch LIKE '_" + twoMarks + "') GROUP BY tblmovementpitchjoin.iMovementID";
}

TEST_F(SequenceStore, LoadGivesTheRowsOfTheReferenceStatements)
{
    // Spellings at the edges of the rules besides the reference vocabulary.
    addPitch(901, "\xC3\xA4*"); // ä*
    addPitch(902, "\xC3\xA4//"); // ä//
    addPitch(903, "c***");
    addPitch(904, "*/");
    addPitch(905, "");
    const std::int64_t mixed = addMovement(1);
    const std::int64_t neighbour = addMovement(2);
    const std::int64_t odd = addMovement(3);
    const std::int64_t empty = addMovement(4);
    storePositions(neighbour, {idOf("e/"), idOf("c*")});
    storePositions(mixed, {idOf("f*"), idOf("c"), idOf("f*"), idOf("B//"), idOf("G**"), idOf("d/"), idOf("c")});
    storePositions(neighbour, {idOf("e/")});
    storePositions(odd, {901, 902, 903, 904, 905, idOf("a")});

    auto connection = writer();
    const auto expectTheStatementsRows = [&](const std::string& when) {
        for (const std::int64_t id : {mixed, neighbour, odd, empty, std::int64_t {0}, std::int64_t {-3}}) {
            const MovementPitches loaded = loadMovementPitches(m_catalogue.connectionString(), id);
            const auto rows = connection.query(referenceSequence(id)).rows();
            ASSERT_EQ(loaded.entries.size(), rows.size()) << when << ' ' << id;
            for (std::size_t i = 0; i < rows.size(); ++i) {
                EXPECT_EQ(loaded.entries[i].pitchId, rows[i].at(2).toInt64()) << when << ' ' << id << ' ' << i;
                EXPECT_EQ(loaded.entries[i].glyph, rows[i].at(3).toText()) << when << ' ' << id << ' ' << i;
            }
            const auto count = [&](const std::string& one, const std::string& two) {
                const auto counted = connection.query(referenceCount(id, one, two)).rows();
                return counted.empty() ? std::int64_t {0} : counted.front().at(0).toInt64();
            };
            EXPECT_EQ(loaded.sharpCount, count("*", "**")) << when << ' ' << id;
            EXPECT_EQ(loaded.flatCount, count("/", "//")) << when << ' ' << id;
        }
    };
    expectTheStatementsRows("as stored");
    // Another program respells and redraws pitches, and leaves a position whose pitch is in no vocabulary and
    // a pitch without spelling: the next load shows it all.
    connection.execute("update tblPitchLookup set txtPitch = 'F/', txtVelkFont = 'F flat' where iPitchID = ?",
                       {store::Value(std::int64_t {idOf("c")})});
    connection.execute("update tblPitchLookup set txtPitch = null where iPitchID = ?",
                       {store::Value(std::int64_t {idOf("f*")})});
    connection.execute("PRAGMA foreign_keys = OFF");
    connection.execute("insert into tblMovementPitchJoin (iMovementID, iPitchID) values (?, 4444)",
                       {store::Value(mixed)});
    storePositions(mixed, {idOf("B//")});
    expectTheStatementsRows("changed by another program");
    connection.close();
}

TEST_F(SequenceStore, SqlCountsAgreeWithTheSpellingRulesForEveryPitch)
{
    // The reference vocabulary plus spellings at the edges of the rules, each alone in a movement of its own.
    addPitch(901, "\xC3\xA4*"); // ä*
    addPitch(902, "\xC3\xA4//"); // ä//
    addPitch(903, "c***");
    addPitch(904, "c///");
    addPitch(905, "\xE2\x99\xAF**"); // ♯**
    addPitch(906, "x");
    addPitch(907, "*/");
    addPitch(908, " *");
    addPitch(909, "");
    addPitch(910, "\xF0\x9D\x84\x9E/"); // 𝄞/
    auto connection = store::Connection::open(m_catalogue.connectionString(), store::AccessMode::ReadOnly);
    const PitchLookup lookup = PitchLookup::load(connection);
    connection.close();

    int sharps = 0;
    int flats = 0;
    for (const Pitch& pitch : lookup.pitches()) {
        const std::int64_t movement = addMovement(pitch.id);
        storePositions(movement, {pitch.id});
        const MovementPitches loaded = loadMovementPitches(m_catalogue.connectionString(), movement);
        const std::string spelling = pitch.spelling.value_or("");
        EXPECT_EQ(loaded.sharpCount, isSharpSpelling(spelling) ? 1 : 0) << '"' << spelling << '"';
        EXPECT_EQ(loaded.flatCount, isFlatSpelling(spelling) ? 1 : 0) << '"' << spelling << '"';
        sharps += isSharpSpelling(spelling);
        flats += isFlatSpelling(spelling);
    }
    // Two sharp and two flat forms of each of the 14 reference letters, and three of the extra spellings each.
    EXPECT_EQ(sharps, 28 + 3);
    EXPECT_EQ(flats, 28 + 3);
}

TEST_F(SequenceStore, EmptyMovementAndUnknownIdsGiveNothing)
{
    const std::int64_t empty = addMovement(1);
    const std::int64_t other = addMovement(2);
    storePositions(other, {idOf("c*"), idOf("d/")});
    for (const std::int64_t id : {empty, std::int64_t {0}, std::int64_t {-1}, std::int64_t {999}}) {
        const MovementPitches loaded = loadMovementPitches(m_catalogue.connectionString(), id);
        EXPECT_TRUE(loaded.entries.empty()) << id;
        EXPECT_EQ(loaded.sharpCount, 0) << id;
        EXPECT_EQ(loaded.flatCount, 0) << id;
    }
}

TEST_F(SequenceStore, RepeatsAreShownAndCountedPerPosition)
{
    const std::int64_t movement = addMovement(1);
    const std::int64_t neighbour = addMovement(2);
    const std::vector<std::int32_t> sequence
        = {idOf("f*"), idOf("c"), idOf("f*"), idOf("B//"), idOf("f*"), idOf("G**"), idOf("c")};
    storePositions(neighbour, {idOf("e/"), idOf("c*")});
    storePositions(movement, sequence);
    storePositions(neighbour, {idOf("e/")});

    const MovementPitches loaded = loadMovementPitches(m_catalogue.connectionString(), movement);
    ASSERT_EQ(loaded.entries.size(), sequence.size());
    for (std::size_t i = 0; i < sequence.size(); ++i) {
        EXPECT_EQ(loaded.entries[i].pitchId, sequence[i]) << i;
        EXPECT_EQ(loaded.entries[i].glyph, glyphOf(sequence[i])) << i;
    }
    EXPECT_EQ(loaded.sharpCount, 4);
    EXPECT_EQ(loaded.flatCount, 1);

    const MovementPitches other = loadMovementPitches(m_catalogue.connectionString(), neighbour);
    EXPECT_EQ(other.sharpCount, 1);
    EXPECT_EQ(other.flatCount, 2);
}

TEST_F(SequenceStore, SaveReplacesTheWholeSequenceAndReadsBackInTheNewOrder)
{
    const std::int64_t movement = addMovement(1);
    const std::int64_t neighbour = addMovement(2);
    storePositions(neighbour, {idOf("a")});
    const std::vector<std::int32_t> first = {idOf("c"), idOf("d"), idOf("e"), idOf("c")};
    const std::vector<std::int32_t> second = {idOf("e"), idOf("c"), idOf("d*")};

    ASSERT_TRUE(savePitches(m_catalogue.connectionString(), movement, first)) << "first store";
    EXPECT_EQ(storedIds(movement), first);
    const auto replaced = savePitches(m_catalogue.connectionString(), movement, second);
    ASSERT_TRUE(replaced) << replaced.message();
    EXPECT_EQ(storedIds(movement), second);
    EXPECT_EQ(loadMovementPitches(m_catalogue.connectionString(), movement).sharpCount, 1);

    ASSERT_TRUE(savePitches(m_catalogue.connectionString(), movement, {}));
    EXPECT_TRUE(storedIds(movement).empty());
    EXPECT_EQ(storedIds(neighbour), std::vector<std::int32_t> {idOf("a")}) << "another movement is untouched";
}

TEST_F(SequenceStore, RefusesAMovementWithoutId)
{
    storePositions(addMovement(1), {idOf("c")});
    for (const std::int64_t id : {std::int64_t {0}, std::int64_t {-5}}) {
        const auto outcome = savePitches(m_catalogue.connectionString(), id, {idOf("c")});
        EXPECT_FALSE(outcome);
        EXPECT_EQ(outcome.message(), "This movement has not been saved yet; save it before entering pitches.");
    }
    auto connection = writer();
    EXPECT_EQ(connection.query("select * from tblMovementPitchJoin where iMovementID < 1").recordCount(), 0u);
}

TEST_F(SequenceStore, AFailedInsertRollsBackTheDelete)
{
    const std::int64_t movement = addMovement(1);
    const std::vector<std::int32_t> old = {idOf("c"), idOf("g")};
    storePositions(movement, old);
    // 4242 names no pitch, so its insert fails after the delete has run.
    const auto outcome = savePitches(m_catalogue.connectionString(), movement, {idOf("d"), 4242});
    EXPECT_FALSE(outcome);
    EXPECT_EQ(outcome.message().rfind("The pitches could not be stored", 0), 0u) << outcome.message();
    EXPECT_NE(outcome.message().find(m_catalogue.file()), std::string::npos) << outcome.message();
    EXPECT_EQ(storedIds(movement), old);
}

TEST_F(SequenceStore, AReadOnlyFileFailsCleanly)
{
    const std::int64_t movement = addMovement(1);
    const std::vector<std::int32_t> old = {idOf("c"), idOf("g*")};
    storePositions(movement, old);
    std::filesystem::permissions(m_catalogue.file(),
                                 std::filesystem::perms::owner_read | std::filesystem::perms::group_read
                                     | std::filesystem::perms::others_read);
    if (!store::Connection::open(m_catalogue.connectionString(), store::AccessMode::ReadWrite).isReadOnly()) {
        GTEST_SKIP() << "the catalogue stays writable after chmod 0444";
    }
    const auto outcome = savePitches(m_catalogue.connectionString(), movement, {idOf("d")});
    EXPECT_FALSE(outcome);
    EXPECT_NE(outcome.message().find(m_catalogue.file()), std::string::npos) << outcome.message();
    EXPECT_NE(outcome.message().find("read"), std::string::npos) << outcome.message();
    EXPECT_EQ(outcome.message().back(), '.');
    EXPECT_EQ(storedIds(movement), old);
}

TEST_F(SequenceStore, ALockedFileFailsCleanly)
{
    const std::int64_t movement = addMovement(1);
    const std::vector<std::int32_t> old = {idOf("c"), idOf("b/")};
    storePositions(movement, old);
    {
        // Another writer holds the catalogue's write lock for longer than the store waits.
        auto other = writer();
        store::Transaction holding(other);
        other.execute("update tblMovement set iOrder = 2 where iMovementID = ?", {store::Value(movement)});
        const auto outcome = savePitches(m_catalogue.connectionString(), movement, {idOf("d")});
        EXPECT_FALSE(outcome);
        EXPECT_NE(outcome.message().find(m_catalogue.file()), std::string::npos) << outcome.message();
    }
    EXPECT_EQ(storedIds(movement), old);
}

TEST_F(SequenceStore, AMissingFileIsAnErrorForLoadingAndAFailureForSaving)
{
    const std::string missing = (m_catalogue.folder() / "Gone.db").string();
    EXPECT_THROW(loadMovementPitches(missing, 1), store::StoreError);
    const auto outcome = savePitches(missing, 1, {1});
    EXPECT_FALSE(outcome);
    EXPECT_NE(outcome.message().find("Gone.db"), std::string::npos) << outcome.message();
}

// ---- Storing only what changed -------------------------------------------------------------------------------

/// What an edit does to the rows that were stored.
enum class KeepsRows
{
    All, ///< every row stays (a pitch replaced in place, or nothing changed)
    AsPrefix, ///< the stored rows stay, in front of the new ones
    Some, ///< the remaining rows are stored rows (pitches deleted)
    Unsaid, ///< rewritten from the first difference on
};

struct Edit
{
    const char* name;
    std::vector<std::int32_t> (*apply)(std::vector<std::int32_t>);
    KeepsRows keeps;
};

class StoreOnlyTheDifference : public SequenceStore, public ::testing::WithParamInterface<Edit>
{
protected:
    /// Every pitch a position may hold here: the reference vocabulary and one pitch that belongs to no class.
    std::vector<std::int32_t> vocabulary()
    {
        std::vector<std::int32_t> ids;
        for (const auto& p : store::referencePitches()) {
            ids.push_back(p.id);
        }
        ids.push_back(kClassless);
        return ids;
    }

    std::vector<std::int64_t> rowIds(std::int64_t movementId)
    {
        std::vector<std::int64_t> ids;
        auto connection = writer();
        connection.forEachRow(
            "select iMovementPitchID from tblMovementPitchJoin where iMovementID = ? order by iMovementPitchID",
            {store::Value(movementId)},
            [&](const std::vector<store::Value>& row) { ids.push_back(row.at(0).toInt64()); });
        return ids;
    }

    /// Stores as the movement window does: the melody index brought up to date in the same transaction.
    void save(std::int64_t movementId, const std::vector<std::int32_t>& pitchIds)
    {
        const auto stored = savePitches(m_catalogue.connectionString(), movementId, pitchIds,
                                        [&](store::Connection& c) { melody::indexMovement(c, movementId, pitchIds); });
        ASSERT_TRUE(stored) << stored.message();
        auto connection = writer();
        const auto figure
            = connection.query("select Deviation from tblMovement where iMovementID = ?", {store::Value(movementId)});
        EXPECT_EQ(figure.rows().at(0).at(0).toDouble(), stored->deviation);
        EXPECT_EQ(stored->deviation, tabulations::storedDeviation(tabulations::deviationOf(connection, movementId)))
            << "the deviation counted in memory is the one the class statement gives";
        EXPECT_TRUE(melody::melodyIndexProblems(connection).empty()) << melody::melodyIndexProblems(connection).at(0);
        EXPECT_EQ(connection
                      .query("select Count(*) from tblMelodyIndexPending where iMovementID in (0, ?)",
                             {store::Value(movementId)})
                      .rows()
                      .at(0)
                      .at(0)
                      .toInt64(),
                  0);
    }

    static constexpr std::int32_t kClassless = 950;
};

TEST_P(StoreOnlyTheDifference, StoresTheEditedSequenceTouchingOnlyTheRowsItMust)
{
    addPitch(kClassless, "x");
    {
        auto connection = writer();
        melody::ensureMelodyIndex(connection);
    }
    const auto pitches = vocabulary();
    std::mt19937 random(7);
    std::uniform_int_distribution<std::size_t> pick(0, pitches.size() - 1);
    const std::int64_t movement = addMovement(1);
    const std::int64_t neighbour = addMovement(2);
    for (const std::size_t length : {0, 1, 2, 5, 40}) {
        std::vector<std::int32_t> before(length);
        for (auto& id : before) {
            id = pitches[pick(random)];
        }
        save(neighbour, before);
        save(movement, before);
        const std::vector<std::int64_t> rowsBefore = rowIds(movement);
        const std::vector<std::int32_t> after = GetParam().apply(before);
        save(movement, after);
        EXPECT_EQ(storedIds(movement), after) << "from " << length << " positions";
        EXPECT_EQ(storedIds(neighbour), before) << "another movement is untouched";
        const std::vector<std::int64_t> rowsAfter = rowIds(movement);
        switch (GetParam().keeps) {
        case KeepsRows::All:
            EXPECT_EQ(rowsAfter, rowsBefore) << "from " << length << " positions";
            break;
        case KeepsRows::AsPrefix:
            EXPECT_TRUE(std::equal(rowsBefore.begin(), rowsBefore.end(), rowsAfter.begin()));
            break;
        case KeepsRows::Some:
            EXPECT_TRUE(std::includes(rowsBefore.begin(), rowsBefore.end(), rowsAfter.begin(), rowsAfter.end()));
            break;
        case KeepsRows::Unsaid:
            break;
        }
    }
}

using Pitches = std::vector<std::int32_t>;

INSTANTIATE_TEST_SUITE_P(
    Edits,
    StoreOnlyTheDifference,
    ::testing::Values(Edit {"Unchanged", [](Pitches p) { return p; }, KeepsRows::All},
                      Edit {"ReplaceFirst",
                            [](Pitches p) {
                                if (!p.empty()) {
                                    p.front() = p.front() == 950 ? 1 : 950;
                                }
                                return p;
                            },
                            KeepsRows::All},
                      Edit {"ReplaceMiddleAndLast",
                            [](Pitches p) {
                                if (p.size() > 2) {
                                    p[p.size() / 2] = p[p.size() / 2] == 1 ? 2 : 1;
                                }
                                if (!p.empty()) {
                                    p.back() = p.back() == 3 ? 950 : 3;
                                }
                                return p;
                            },
                            KeepsRows::All},
                      Edit {"AppendOne",
                            [](Pitches p) {
                                p.push_back(5);
                                return p;
                            },
                            KeepsRows::AsPrefix},
                      Edit {"AppendSeveral",
                            [](Pitches p) {
                                p.insert(p.end(), {950, 4, 4, 8});
                                return p;
                            },
                            KeepsRows::AsPrefix},
                      Edit {"DeleteFirst",
                            [](Pitches p) {
                                if (!p.empty()) {
                                    p.erase(p.begin());
                                }
                                return p;
                            },
                            KeepsRows::Some},
                      Edit {"DeleteMiddleRun",
                            [](Pitches p) {
                                if (p.size() > 4) {
                                    p.erase(p.begin() + 1, p.begin() + 4);
                                }
                                return p;
                            },
                            KeepsRows::Some},
                      Edit {"DeleteLast",
                            [](Pitches p) {
                                if (!p.empty()) {
                                    p.pop_back();
                                }
                                return p;
                            },
                            KeepsRows::Some},
                      Edit {"DeleteAll", [](Pitches) { return Pitches {}; }, KeepsRows::Some},
                      Edit {"InsertAtStart",
                            [](Pitches p) {
                                p.insert(p.begin(), 950);
                                return p;
                            },
                            KeepsRows::Unsaid},
                      Edit {"InsertInTheMiddle",
                            [](Pitches p) {
                                p.insert(p.begin() + static_cast<std::ptrdiff_t>(p.size() / 2), {2, 2});
                                return p;
                            },
                            KeepsRows::Unsaid},
                      Edit {"Reverse",
                            [](Pitches p) {
                                std::reverse(p.begin(), p.end());
                                return p;
                            },
                            KeepsRows::All},
                      Edit {"DeleteOneAndAppendTwo",
                            [](Pitches p) {
                                if (!p.empty()) {
                                    p.erase(p.begin());
                                }
                                p.insert(p.end(), {7, 950});
                                return p;
                            },
                            KeepsRows::Unsaid},
                      Edit {"ShorterAndDifferent",
                            [](Pitches p) {
                                p.resize(p.size() / 3);
                                std::reverse(p.begin(), p.end());
                                p.push_back(9);
                                return p;
                            },
                            KeepsRows::Unsaid}),
    [](const ::testing::TestParamInfo<Edit>& info) { return std::string(info.param.name); });

TEST_F(StoreOnlyTheDifference, WhatAnotherProgramChangedMeanwhileIsOverwrittenWithWhatTheWindowShows)
{
    {
        auto connection = writer();
        melody::ensureMelodyIndex(connection);
    }
    const std::int64_t movement = addMovement(1);
    const Pitches shown = {idOf("c"), idOf("d"), idOf("e"), idOf("f"), idOf("g"), idOf("a")};
    save(movement, shown);
    {
        // Another program deletes one position, changes another, appends one and drops an index row.
        auto other = writer();
        other.execute("delete from tblMovementPitchJoin where iMovementPitchID = (select Min(iMovementPitchID) from "
                      "tblMovementPitchJoin where iMovementID = ?)",
                      {store::Value(movement)});
        other.execute("update tblMovementPitchJoin set iPitchID = ? where iMovementPitchID = (select "
                      "Max(iMovementPitchID) from tblMovementPitchJoin where iMovementID = ?)",
                      {store::Value(std::int64_t {idOf("b")}), store::Value(movement)});
        other.execute("insert into tblMovementPitchJoin (iMovementID, iPitchID) values (?, ?)",
                      {store::Value(movement), store::Value(std::int64_t {idOf("c*")})});
        other.execute("delete from tblMelodyIndex where iPosition = 3");
        other.execute("update tblMovement set Deviation = 99 where iMovementID = ?", {store::Value(movement)});
    }
    Pitches edited = shown;
    edited[2] = idOf("e/");
    save(movement, edited);
    EXPECT_EQ(storedIds(movement), edited);
}

} // namespace
} // namespace velk::pitches
