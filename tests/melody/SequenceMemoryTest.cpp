#include "melody/SequenceMemory.h"
#include "melody/MelodySearch.h"
#include "store/Connection.h"
#include "store/ReferenceData.h"
#include "tests/support/TempCatalogue.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace
{

using velk::melody::Mode;
using velk::store::AccessMode;
using velk::store::Connection;
using velk::store::Value;

using Row = std::tuple<std::int64_t,
                       std::optional<std::int64_t>,
                       std::optional<std::int64_t>,
                       std::optional<std::int64_t>,
                       std::int64_t,
                       std::string>;

std::vector<Row> rowsOf(const velk::melody::MelodyMatches& matches)
{
    std::vector<Row> rows;
    for (const auto& row : matches.rows) {
        rows.emplace_back(row.movementId, row.ktn, row.mvmt, row.order, row.position, row.deviationText);
    }
    return rows;
}

/// A catalogue of random movements and sequences over a small vocabulary (so that melodies recur), some pitches
/// taken out of every class, a movement row missing for one sequence, Null numbers and deviations.
class RandomCatalogue
{
public:
    explicit RandomCatalogue(unsigned seed)
        : m_random(seed)
    {
        Connection connection = m_catalogue.writer();
        connection.execute("PRAGMA foreign_keys = OFF"); // outside a transaction, or it does nothing
        velk::store::Transaction transaction(connection);
        // "e" and "b*" belong to no class; "c" sits in two.
        connection.execute("DELETE FROM tblPitchClassJoin WHERE iPitchID IN (SELECT iPitchID FROM tblPitchLookup "
                           "WHERE txtPitch IN ('e', 'b*'))");
        connection.execute("INSERT INTO tblPitchClassJoin (iPitchID, iClassID) SELECT iPitchID, 5 FROM "
                           "tblPitchLookup WHERE txtPitch = 'c'");
        for (int m = 0; m < 60; ++m) {
            const auto maybe = [&](std::int64_t value) {
                return m_random() % 9 == 0 ? Value() : Value(value);
            };
            connection.execute("INSERT INTO tblMovement (iKTN, iMvmt, iOrder, Deviation) VALUES (?, ?, ?, ?)",
                               {maybe(m_random() % 8), maybe(m_random() % 4), maybe(m_random() % 3),
                                m_random() % 5 == 0 ? Value() : Value(static_cast<double>(m_random() % 400) / 8)});
            addSequence(connection, connection.lastInsertId());
        }
        addSequence(connection, 9999); // a sequence whose movement row is gone
        velk::melody::rebuildMelodyIndex(connection);
        transaction.commit();
    }

    std::string connectionString() const
    {
        return m_catalogue.connectionString();
    }
    const velk::test::TempCatalogue& catalogue() const
    {
        return m_catalogue;
    }

    /// A melody taken from a stored sequence, or made up now and then.
    std::string melody()
    {
        const auto& source = m_sequences[m_random() % m_sequences.size()];
        std::string melody;
        if (source.empty() || m_random() % 6 == 0) {
            const std::size_t length = 1 + m_random() % 4;
            for (std::size_t i = 0; i < length; ++i) {
                melody += vocabulary()[m_random() % vocabulary().size()] + " ";
            }
            return melody;
        }
        const std::size_t length = 1 + m_random() % std::min<std::size_t>(8, source.size());
        const std::size_t start = m_random() % (source.size() - length + 1);
        for (std::size_t i = start; i < start + length; ++i) {
            melody += source[i] + " ";
        }
        return melody;
    }

    /// Spellings of the reference pitches: naturals, enharmonic spellings of the same classes, capitals.
    static const std::vector<std::string>& vocabulary()
    {
        static const std::vector<std::string> spellings
            = {"c", "d", "e", "f", "g", "a", "b", "C", "b*", "d//", "e/", "f*", "c*", "D"};
        return spellings;
    }

private:
    void addSequence(Connection& connection, std::int64_t movementId)
    {
        std::vector<std::string> sequence;
        const std::size_t length = m_random() % 45;
        for (std::size_t i = 0; i < length; ++i) {
            sequence.push_back(vocabulary()[m_random() % vocabulary().size()]);
            connection.execute("INSERT INTO tblMovementPitchJoin (iMovementID, iPitchID) SELECT ?, iPitchID FROM "
                               "tblPitchLookup WHERE txtPitch = ?",
                               {Value(movementId), Value(sequence.back())});
        }
        m_sequences.push_back(std::move(sequence));
    }

    velk::test::TempCatalogue m_catalogue;
    std::mt19937 m_random;
    std::vector<std::vector<std::string>> m_sequences;
};

/// Brings the melody index of the movements the statement lists up to date, as this program does when it stores a
/// sequence.
void indexMovements(Connection& connection, const std::string& movements)
{
    for (const std::int64_t id : connection.integers(movements)) {
        std::vector<std::int32_t> sequence;
        for (const std::int64_t pitch : connection.integers(
                 "SELECT iPitchID FROM tblMovementPitchJoin WHERE iMovementID = ? ORDER BY iMovementPitchID",
                 {Value(id)})) {
            sequence.push_back(static_cast<std::int32_t>(pitch));
        }
        velk::melody::indexMovement(connection, id, sequence);
    }
}

/// The answer of findMelody equals reading the catalogue: rows, order, status and failures; fromMemory, where
/// given, says whether it must have come from the copy in memory.
void expectSameAnswer(const std::string& connectionString,
                      const std::string& melody,
                      Mode mode,
                      std::optional<bool> fromMemory)
{
    const auto read = velk::melody::findMelodyInCatalogue(connectionString, melody, mode);
    const auto kept = velk::melody::findMelody(connectionString, melody, mode);
    const std::string what = "\"" + melody + "\" mode " + std::to_string(static_cast<int>(mode));
    ASSERT_EQ(kept.ok(), read.ok()) << what;
    if (!read.ok()) {
        EXPECT_EQ(kept.message(), read.message()) << what;
        return;
    }
    EXPECT_EQ(rowsOf(kept.value()), rowsOf(read.value())) << what;
    EXPECT_EQ(kept->statusText, read->statusText) << what;
    EXPECT_EQ(kept->melodyLength, read->melodyLength) << what; // what Play plays of each run
    EXPECT_EQ(kept->indexMissing, read->indexMissing) << what;
    EXPECT_FALSE(read->fromMemory);
    if (fromMemory) {
        EXPECT_EQ(kept->fromMemory, *fromMemory) << what;
    }
}

class SequenceMemorySeeds : public ::testing::TestWithParam<unsigned>
{
protected:
    void TearDown() override
    {
        velk::melody::forgetSequencesInMemory();
    }
};

TEST_P(SequenceMemorySeeds, AnswersExactlyAsReadingTheCatalogueInEveryMode)
{
    RandomCatalogue catalogue(GetParam());
    ASSERT_TRUE(velk::melody::keepSequencesInMemory(catalogue.connectionString()));
    for (int q = 0; q < 90; ++q) {
        expectSameAnswer(catalogue.connectionString(), catalogue.melody(), static_cast<Mode>(q % 3), true);
    }
    for (const char* bad : {"", "c x d", "c 'd"}) {
        expectSameAnswer(catalogue.connectionString(), bad, Mode::Exact, true);
    }
}

INSTANTIATE_TEST_SUITE_P(Catalogues, SequenceMemorySeeds, ::testing::Values(1u, 2u, 3u, 4u), [](const auto& info) {
    return "Seed" + std::to_string(info.param);
});

/// A change by another program with plain SQL (the melody index falls behind), or one stored as the program stores
/// a sequence (the index kept current in the same transaction); ? is a movement that holds a sequence.
struct Change
{
    const char* name;
    const char* sql;
    bool indexed; ///< the change brings the melody index up to date itself
};

class ChangedElsewhere : public ::testing::TestWithParam<Change>
{
protected:
    void TearDown() override
    {
        velk::melody::forgetSequencesInMemory();
    }
};

TEST_P(ChangedElsewhere, IsNeverAnsweredFromTheOldCopy)
{
    RandomCatalogue catalogue(7);
    const std::string connectionString = catalogue.connectionString();
    ASSERT_TRUE(velk::melody::keepSequencesInMemory(connectionString));
    std::vector<std::pair<std::string, Mode>> melodies;
    for (int q = 0; q < 30; ++q) {
        melodies.emplace_back(catalogue.melody(), static_cast<Mode>(q % 3));
    }
    {
        Connection other = catalogue.catalogue().writer();
        other.execute("PRAGMA foreign_keys = OFF");
        velk::store::Transaction transaction(other);
        other.executeScript(GetParam().sql);
        if (GetParam().indexed) {
            indexMovements(other, "SELECT iMovementID FROM tblMovement");
        }
        transaction.commit();
    }
    // The first search after the change reads the catalogue; the copy is read again meanwhile.
    for (std::size_t i = 0; i < melodies.size(); ++i) {
        expectSameAnswer(connectionString, melodies[i].first, melodies[i].second,
                         i == 0 ? std::optional<bool>(false) : std::nullopt);
    }
    ASSERT_TRUE(velk::melody::keepSequencesInMemory(connectionString));
    for (const auto& [melody, mode] : melodies) {
        expectSameAnswer(connectionString, melody, mode, true);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Changes,
    ChangedElsewhere,
    ::testing::Values(
        Change {"PitchReplacedAndIndexed",
                "UPDATE tblMovementPitchJoin SET iPitchID = (SELECT iPitchID FROM tblPitchLookup WHERE txtPitch = "
                "'a') WHERE iMovementPitchID % 3 = 0",
                true},
        Change {"PitchReplaced",
                "UPDATE tblMovementPitchJoin SET iPitchID = (SELECT iPitchID FROM tblPitchLookup WHERE txtPitch = "
                "'g') WHERE iMovementPitchID % 4 = 1",
                false},
        Change {"PositionsDeleted", "DELETE FROM tblMovementPitchJoin WHERE iMovementPitchID % 5 = 2", false},
        Change {"PositionsAppended",
                "INSERT INTO tblMovementPitchJoin (iMovementID, iPitchID) SELECT iMovementID, iPitchID FROM "
                "tblMovementPitchJoin WHERE iMovementID = 3",
                true},
        Change {"MovementDeleted", "DELETE FROM tblMovement WHERE iMovementID IN (1, 2, 3, 4, 5)", false},
        Change {"MovementRenumbered", "UPDATE tblMovement SET iKTN = 7 - iKTN, Deviation = NULL", true},
        Change {"PitchMovedToAnotherClass",
                "UPDATE tblPitchClassJoin SET iClassID = 3 WHERE iPitchID = (SELECT iPitchID FROM tblPitchLookup "
                "WHERE txtPitch = 'g')",
                false},
        Change {"SpellingChanged", "UPDATE tblPitchLookup SET txtPitch = 'x' WHERE txtPitch = 'd'", true}),
    [](const ::testing::TestParamInfo<Change>& info) { return std::string(info.param.name); });

TEST(SequenceMemory, AnotherFileAtThePathIsReadAfresh)
{
    RandomCatalogue first(11);
    RandomCatalogue second(12);
    ASSERT_TRUE(velk::melody::keepSequencesInMemory(first.connectionString()));
    std::filesystem::rename(second.catalogue().file(), first.catalogue().file());
    for (int q = 0; q < 20; ++q) {
        expectSameAnswer(first.connectionString(), second.melody(), static_cast<Mode>(q % 3),
                         q == 0 ? std::optional<bool>(false) : std::nullopt);
    }
    velk::melody::forgetSequencesInMemory();
}

TEST(SequenceMemory, ACatalogueWithoutACurrentIndexIsReadAsBefore)
{
    RandomCatalogue catalogue(13);
    {
        Connection connection = catalogue.catalogue().writer();
        connection.execute("DROP TABLE tblMelodyIndex");
    }
    EXPECT_FALSE(velk::melody::keepSequencesInMemory(catalogue.connectionString()));
    expectSameAnswer(catalogue.connectionString(), "c d", Mode::Exact, false);
    velk::melody::forgetSequencesInMemory();
}

TEST(SequenceMemory, TooManyDistinctPitchesAreNotKept)
{
    velk::test::TempCatalogue catalogue;
    {
        Connection connection = catalogue.writer();
        connection.execute("PRAGMA foreign_keys = OFF"); // outside a transaction, or it does nothing
        velk::store::Transaction transaction(connection);
        connection.execute("INSERT INTO tblMovement (iKTN) VALUES (1)");
        const std::int64_t movement = connection.lastInsertId();
        for (int pitch = 1; pitch <= 300; ++pitch) {
            connection.execute("INSERT INTO tblMovementPitchJoin (iMovementID, iPitchID) VALUES (?, ?)",
                               {Value(movement), Value(pitch)});
        }
        velk::melody::rebuildMelodyIndex(connection);
        transaction.commit();
    }
    Connection reader = Connection::open(catalogue.connectionString(), AccessMode::ReadOnly);
    const auto memory = velk::melody::SequenceMemory::load(reader);
    ASSERT_TRUE(memory.has_value());
    EXPECT_FALSE(memory->usable());
    EXPECT_FALSE(velk::melody::keepSequencesInMemory(catalogue.connectionString()));
    expectSameAnswer(catalogue.connectionString(), "c d", Mode::Exact, false);
    velk::melody::forgetSequencesInMemory();
}

class Prepared : public SequenceMemorySeeds
{
};

// The window starts the reading when it opens: the first search then answers from the copy, as reading the
// catalogue answers; preparing again keeps a current copy, and reads a changed catalogue afresh.
TEST_P(Prepared, TheFirstSearchAnswersFromTheCopyAndAChangeIsReadAfresh)
{
    RandomCatalogue catalogue(GetParam());
    const std::string connectionString = catalogue.connectionString();
    velk::melody::forgetSequencesInMemory();
    velk::melody::prepareSequencesInMemory(connectionString);
    ASSERT_TRUE(velk::melody::waitForSequencesInMemory(connectionString));
    for (int q = 0; q < 30; ++q) {
        expectSameAnswer(connectionString, catalogue.melody(), static_cast<Mode>(q % 3), true);
    }
    // Nothing changed: the copy stays and answers at once, with no reading started.
    velk::melody::prepareSequencesInMemory(connectionString);
    expectSameAnswer(connectionString, catalogue.melody(), Mode::Transposed, true);

    {
        Connection other = catalogue.catalogue().writer();
        other.execute("PRAGMA foreign_keys = OFF"); // a sequence whose movement row is gone is indexed too
        velk::store::Transaction transaction(other);
        other.execute("DELETE FROM tblMovementPitchJoin WHERE iMovementPitchID % 4 = 1");
        other.execute("UPDATE tblMovement SET iKTN = 20 - iKTN");
        // Indexed as this program stores a sequence (the movement without a row too), so the copy may answer.
        indexMovements(other, "SELECT iMovementID FROM tblMovement UNION SELECT iMovementID FROM tblMovementPitchJoin");
        transaction.commit();
    }
    velk::melody::prepareSequencesInMemory(connectionString);
    ASSERT_TRUE(velk::melody::waitForSequencesInMemory(connectionString));
    for (int q = 0; q < 30; ++q) {
        expectSameAnswer(connectionString, catalogue.melody(), static_cast<Mode>(q % 3), true);
    }
}

INSTANTIATE_TEST_SUITE_P(Catalogues, Prepared, ::testing::Values(21u, 22u), [](const auto& info) {
    return "Seed" + std::to_string(info.param);
});

TEST(Prepared, AnotherCatalogueOrAnotherFileAtThePathIsReadAfresh)
{
    RandomCatalogue first(23);
    RandomCatalogue second(24);
    velk::melody::prepareSequencesInMemory(first.connectionString());
    velk::melody::prepareSequencesInMemory(second.connectionString()); // a reading is under way: left to it
    EXPECT_TRUE(velk::melody::waitForSequencesInMemory(first.connectionString()));
    velk::melody::prepareSequencesInMemory(second.connectionString());
    EXPECT_TRUE(velk::melody::waitForSequencesInMemory(second.connectionString()));
    EXPECT_FALSE(velk::melody::waitForSequencesInMemory(first.connectionString())); // one copy at a time
    std::filesystem::rename(first.catalogue().file(), second.catalogue().file());
    velk::melody::prepareSequencesInMemory(second.connectionString());
    ASSERT_TRUE(velk::melody::waitForSequencesInMemory(second.connectionString()));
    for (int q = 0; q < 20; ++q) {
        expectSameAnswer(second.connectionString(), first.melody(), static_cast<Mode>(q % 3), true);
    }
    velk::melody::forgetSequencesInMemory();
}

// Closing the program while the copy is read: the reading stops and the program ends normally.
TEST(PreparedDeathTest, TheProgramEndsCleanlyWhileTheCopyIsRead)
{
    velk::test::TempCatalogue catalogue;
    {
        Connection connection = catalogue.writer();
        connection.execute("INSERT INTO tblMovement (iKTN) VALUES (1)");
        connection.execute("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 400000) "
                           "INSERT INTO tblMovementPitchJoin (iMovementID, iPitchID) SELECT 1, 1 + i % 20 FROM n");
    }
    velk::melody::forgetSequencesInMemory();
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            velk::melody::prepareSequencesInMemory(catalogue.connectionString());
            std::exit(3);
        },
        ::testing::ExitedWithCode(3), "");
}

} // namespace
