// The quick paths of the subject search and of the subject list (through tblSubjectUse, and the search window's
// order from the movements' numbers kept in memory) against the statements they replace, on random catalogues, after
// changes made by another connection, and where the list of subjects in use cannot be trusted.

#include "search/SubjectSearch.h"

#include "store/Connection.h"
#include "store/ResultSet.h"
#include "store/Schema.h"
#include "store/Text.h"
#include "store/Value.h"
#include "tests/support/TempCatalogue.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using velk::search::SearchRequest;
using velk::store::AccessMode;
using velk::store::Connection;
using velk::store::Value;

namespace
{

// Subjects that differ only in case, in a wildcard character, a quote, a blank or a non-ASCII letter.
const std::vector<std::string> kSubjects {
    "Joy", "joy", "JOY",  "Joyful",     "Enjoy",        " Joy",         "Grief", "grief",       "100%",  "100",
    "a_b", "axb", "it's", "\"quoted\"", "\xC3\x84rger", "\xC3\xA4rger", "",      "Lamentation", "lament"};
const std::vector<std::string> kTexts {"Joy",  "joy",    "oy",         "o",   "",     "%",  "_",
                                       "100%", "a_b",    "_oy",        "%oy", "it's", "\"", "\xC3\x84",
                                       "rger", "Lament", "amentation", "J%y", "x"};

class SubjectUse : public ::testing::Test
{
protected:
    Connection writer() const
    {
        return Connection::open(m_catalogue.connectionString(), AccessMode::ReadWrite);
    }

    /// Adds movements with random subjects (Nulls among them), numbers that repeat and deviations that tie.
    void addRandomMovements(int count)
    {
        auto connection = writer();
        for (int i = 0; i < count; ++i) {
            std::vector<Value> params {Value(static_cast<std::int64_t>(m_random() % 5)),
                                       Value(static_cast<std::int64_t>(m_random() % 3))};
            for (int n = 0; n < 6; ++n) {
                params.push_back(m_random() % 3 == 0 ? Value() : Value(randomSubject()));
            }
            params.push_back(m_random() % 4 == 0 ? Value() : Value(static_cast<double>(m_random() % 3)));
            connection.execute("INSERT INTO tblMovement (iKTN, iMvmt, Sub1, Sub2, Sub3, Sub4, Sub5, Sub6, Deviation) "
                               "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)",
                               params);
        }
        connection.close();
    }

    /// Changes, moves and deletes movements as another program would, with statements of its own.
    void editAsAnotherProgram(Connection& connection)
    {
        for (int i = 0; i < 20; ++i) {
            const auto id = static_cast<std::int64_t>(m_random() % 60 + 1);
            const std::string column = "Sub" + std::to_string(m_random() % 6 + 1);
            connection.execute("UPDATE tblMovement SET " + column + " = ? WHERE iMovementID = ?",
                               {m_random() % 4 == 0 ? Value() : Value(randomSubject()), Value(id)});
        }
        connection.execute("UPDATE tblMovement SET Sub1 = Sub2, Sub2 = Sub1 WHERE iMovementID % 7 = 0");
        connection.execute("DELETE FROM tblMovement WHERE iMovementID % 11 = 0");
        // A replaced row is deleted without its delete triggers: the list may count a subject no longer used.
        connection.execute("UPDATE tblMovement SET Sub6 = 'Only here' WHERE iMovementID = 5");
        connection.execute(
            "INSERT OR REPLACE INTO tblMovement (iMovementID, iKTN, iMvmt, Sub1, Sub2) "
            "SELECT iMovementID, iKTN, iMvmt, 'Replaced', NULL FROM tblMovement WHERE iMovementID % 5 = 0");
        connection.execute("UPDATE tblMovement SET iMovementID = iMovementID + 1000 WHERE iMovementID % 13 = 0");
    }

    std::string randomSubject()
    {
        return kSubjects[m_random() % kSubjects.size()];
    }

    /// The rows of the statement the quick paths replace, as movement id, KTN, MVMT, deviation and the six subjects
    /// (Null shown empty).
    std::vector<std::string> referenceRows(const SearchRequest& request)
    {
        auto connection = Connection::open(m_catalogue.connectionString(), AccessMode::ReadOnly);
        const std::vector<Value> params(6, Value(velk::search::searchPattern(request)));
        std::vector<std::string> rows;
        const velk::store::ResultSet result
            = connection.query(velk::search::searchStatement(request.sortByDeviation), params);
        for (const auto& row : result.rows()) {
            std::string line = row.at(3).toText() + ":" + row.at(4).toText() + "/" + row.at(5).toText() + " "
                + (row.at(6).isReal() ? velk::store::formatSingle(static_cast<float>(row.at(6).toDouble()))
                                      : row.at(6).toText());
            for (std::size_t n = 7; n < 13; ++n) {
                line += "|" + row.at(n).toText();
            }
            rows.push_back(line);
        }
        return rows;
    }

    /// Result rows as referenceRows shows them.
    static std::vector<std::string> lines(const std::vector<std::int64_t>& ids,
                                          const std::vector<velk::search::ResultRow>& cells)
    {
        EXPECT_EQ(ids.size(), cells.size());
        std::vector<std::string> rows;
        for (std::size_t i = 0; i < ids.size() && i < cells.size(); ++i) {
            std::string line
                = std::to_string(ids[i]) + ":" + cells[i].at(0) + "/" + cells[i].at(1) + " " + cells[i].at(2);
            for (std::size_t n = 3; n < 9; ++n) {
                line += "|" + cells[i].at(n);
            }
            rows.push_back(line);
        }
        return rows;
    }

    std::vector<std::string> searchedRows(const SearchRequest& request)
    {
        const auto result = velk::search::runSearch(m_catalogue.connectionString(), request);
        EXPECT_TRUE(result.ok()) << result.message();
        return result.ok() ? lines(result->movementIds, result->rows) : std::vector<std::string>();
    }

    /// The search window's rows: the order from its session, then the rows it shows.
    std::vector<std::string>
    sessionRows(velk::search::SubjectSearchSession& session, const SearchRequest& request, bool& fromMemory)
    {
        const auto result = session.search(m_catalogue.connectionString(), request);
        EXPECT_TRUE(result.ok()) << result.message();
        if (!result.ok()) {
            return {};
        }
        EXPECT_TRUE(result->rows.empty());
        EXPECT_EQ(result->matchCount, result->movementIds.size());
        fromMemory = result->fromMemory;
        const auto rows = session.rows(result->movementIds);
        EXPECT_TRUE(rows.ok()) << rows.message();
        return rows.ok() ? lines(result->movementIds, rows.value()) : std::vector<std::string>();
    }

    std::vector<std::string> referenceList()
    {
        auto connection = Connection::open(m_catalogue.connectionString(), AccessMode::ReadOnly);
        std::vector<std::string> subjects;
        const velk::store::ResultSet result = connection.query(velk::search::subjectListStatement());
        for (const auto& row : result.rows()) {
            subjects.push_back(row.at(0).toText());
        }
        return subjects;
    }

    /// Every text of kTexts in both modes and both orders, and the subject list, against the reference: the search,
    /// and the search window's session once it orders in memory.
    void expectReferenceResults(const std::string& when)
    {
        EXPECT_EQ(velk::search::subjectList(m_catalogue.connectionString()), referenceList()) << when;
        velk::search::SubjectSearchSession session;
        ASSERT_TRUE(session.open(m_catalogue.connectionString()).ok());
        EXPECT_TRUE(session.waitForKeys()) << when;
        for (const std::string& text : kTexts) {
            for (const bool wildcard : {false, true}) {
                for (const bool byDeviation : {false, true}) {
                    const SearchRequest request {text, wildcard, byDeviation};
                    const auto reference = referenceRows(request);
                    EXPECT_EQ(searchedRows(request), reference)
                        << when << ": \"" << text << "\" wildcard " << wildcard << " by deviation " << byDeviation;
                    bool fromMemory = false;
                    EXPECT_EQ(sessionRows(session, request, fromMemory), reference)
                        << when << ", window: \"" << text << "\" wildcard " << wildcard << " by deviation "
                        << byDeviation;
                    EXPECT_TRUE(fromMemory) << when;
                }
            }
        }
    }

    bool hasSubjectUseOnly()
    {
        auto connection = Connection::open(m_catalogue.connectionString(), AccessMode::ReadOnly);
        return velk::store::hasSubjectUse(connection);
    }

    bool kept()
    {
        auto connection = Connection::open(m_catalogue.connectionString(), AccessMode::ReadOnly);
        return velk::store::hasSubjectUse(connection) && velk::store::subjectUseProblems(connection).empty();
    }

    velk::test::TempCatalogue m_catalogue;
    std::mt19937 m_random {20261207};
};

TEST_F(SubjectUse, NewCatalogueKeepsItAndGivesTheReferenceRows)
{
    EXPECT_TRUE(kept());
    expectReferenceResults("empty catalogue");
    addRandomMovements(60);
    EXPECT_TRUE(kept());
    expectReferenceResults("random catalogue");
}

TEST_F(SubjectUse, ChangesByAnotherConnectionAreKeptInStep)
{
    addRandomMovements(60);
    auto other = writer();
    editAsAnotherProgram(other);
    other.close();
    EXPECT_TRUE(hasSubjectUseOnly());
    expectReferenceResults("after another connection's changes");
}

// A program that dropped a trigger changes movements unseen: the list is no longer trusted, searches and the
// subject list read the movements, check tells it, and a rebuild makes it right again.
TEST_F(SubjectUse, LostTriggerFallsBackUntilRebuilt)
{
    for (const char* trigger : {"trgSubjectUseInsert", "trgSubjectUseUpdate", "trgSubjectUseDelete"}) {
        SCOPED_TRACE(trigger);
        addRandomMovements(30);
        auto other = writer();
        other.execute(std::string("DROP TRIGGER ") + trigger);
        editAsAnotherProgram(other);
        addRandomMovements(5);
        EXPECT_FALSE(velk::store::hasSubjectUse(other));
        EXPECT_FALSE(velk::store::subjectUseProblems(other).empty());
        expectReferenceResults(std::string("without ") + trigger);

        other.execute("BEGIN");
        velk::store::rebuildSubjectUse(other);
        other.execute("COMMIT");
        other.close();
        EXPECT_TRUE(kept());
        expectReferenceResults(std::string("rebuilt after ") + trigger);
    }
}

TEST_F(SubjectUse, CatalogueWithoutItIsReadAsBefore)
{
    addRandomMovements(40);
    auto other = writer();
    other.executeScript("DROP TRIGGER trgSubjectUseInsert; DROP TRIGGER trgSubjectUseUpdate; "
                        "DROP TRIGGER trgSubjectUseDelete; DROP TABLE tblSubjectUse;");
    editAsAnotherProgram(other);
    EXPECT_FALSE(velk::store::hasSubjectUse(other));
    EXPECT_TRUE(velk::store::subjectUseProblems(other).empty()); // an older catalogue has none: nothing is wrong
    other.close();
    expectReferenceResults("without the list");
}

// The window's session notices changes another program makes while it is open: the first search after reads its
// order from the file, and once the numbers are read again it orders in memory with the new state.
TEST_F(SubjectUse, WindowSessionNoticesChangesByAnotherProgram)
{
    addRandomMovements(60);
    velk::search::SubjectSearchSession session;
    ASSERT_TRUE(session.open(m_catalogue.connectionString()).ok());
    ASSERT_TRUE(session.waitForKeys());
    auto other = writer();
    editAsAnotherProgram(other);
    // Numbers and deviations change too: the order in memory would be wrong with the old ones.
    other.execute("UPDATE tblMovement SET iKTN = 9 - iKTN, Deviation = NULL WHERE iMovementID % 3 = 0");
    other.execute("UPDATE tblMovement SET Deviation = 7 WHERE iMovementID % 4 = 0");
    other.close();
    for (const bool byDeviation : {false, true}) {
        const SearchRequest request {"oy", true, byDeviation};
        bool fromMemory = true;
        EXPECT_EQ(sessionRows(session, request, fromMemory), referenceRows(request)) << byDeviation;
        EXPECT_TRUE(session.waitForKeys());
        EXPECT_EQ(sessionRows(session, request, fromMemory), referenceRows(request)) << byDeviation;
        EXPECT_TRUE(fromMemory);
    }
}

// A movement table that is not strict (made by another program) may hold numbers stored as text or as fractions,
// which sort as SQLite compares mixed values: the window's session then reads its order from the file, with the
// same rows as the statement.
TEST_F(SubjectUse, WindowSessionReadsOddNumbersFromTheFile)
{
    struct Case
    {
        const char* change;
    };
    const Case cases[] = {{"UPDATE tblMovement SET iKTN = 'K' || iKTN WHERE iMovementID % 4 = 0"},
                          {"UPDATE tblMovement SET iMvmt = iMvmt + 0.5 WHERE iMovementID % 3 = 0"},
                          {"UPDATE tblMovement SET Deviation = 'high' WHERE iMovementID % 5 = 0"},
                          {"UPDATE tblMovement SET Deviation = CAST(Deviation AS INTEGER) WHERE iMovementID % 2 = 0"}};
    addRandomMovements(40);
    {
        auto other = writer();
        other.executeScript("PRAGMA writable_schema = ON; UPDATE sqlite_schema SET sql = replace(sql, ') STRICT', ')') "
                            "WHERE name = 'tblMovement'; PRAGMA writable_schema = OFF;");
        other.close();
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.change);
        auto other = writer();
        other.execute(c.change);
        other.close();
        velk::search::SubjectSearchSession session;
        ASSERT_TRUE(session.open(m_catalogue.connectionString()).ok());
        session.waitForKeys();
        for (const bool byDeviation : {false, true}) {
            const SearchRequest request {"o", true, byDeviation};
            bool fromMemory = false;
            EXPECT_EQ(sessionRows(session, request, fromMemory), referenceRows(request)) << byDeviation;
        }
    }
}

// A count gone wrong (a row changed with the triggers off, then the triggers put back) is told by check.
TEST_F(SubjectUse, MiscountIsAProblem)
{
    addRandomMovements(10);
    auto other = writer();
    other.execute(
        "UPDATE tblSubjectUse SET nUses = nUses + 1 WHERE Subject = (SELECT min(Subject) FROM tblSubjectUse)");
    other.execute("INSERT INTO tblSubjectUse (Subject, nUses) VALUES ('nowhere', 2)");
    const auto problems = velk::store::subjectUseProblems(other);
    ASSERT_EQ(problems.size(), 3u);
    EXPECT_NE(problems[2].find("\"nowhere\" with 2 uses"), std::string::npos) << problems[2];
}

} // namespace
