// The quick paths of the subject search and of the subject list (through tblSubjectUse) against the statements
// they replace, on random catalogues, after changes made by another connection, and where the list of subjects in
// use cannot be trusted.

#include "search/SubjectSearch.h"

#include "store/Connection.h"
#include "store/ResultSet.h"
#include "store/Schema.h"
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

    /// The rows of the statement the quick path replaces, as KTN, MVMT and the six subjects (Null shown empty).
    std::vector<std::string> referenceRows(const SearchRequest& request)
    {
        auto connection = Connection::open(m_catalogue.connectionString(), AccessMode::ReadOnly);
        const std::vector<Value> params(6, Value(velk::search::searchPattern(request)));
        std::vector<std::string> rows;
        const velk::store::ResultSet result
            = connection.query(velk::search::searchStatement(request.sortByDeviation), params);
        for (const auto& row : result.rows()) {
            std::string line = row.at(4).toText() + "/" + row.at(5).toText();
            for (std::size_t n = 7; n < 13; ++n) {
                line += "|" + row.at(n).toText();
            }
            rows.push_back(line);
        }
        return rows;
    }

    std::vector<std::string> searchedRows(const SearchRequest& request)
    {
        const auto result = velk::search::runSearch(m_catalogue.connectionString(), request);
        EXPECT_TRUE(result.ok()) << result.message();
        std::vector<std::string> rows;
        for (const auto& cells : result.ok() ? result->rows : std::vector<std::vector<std::string>>()) {
            std::string line = cells.at(0) + "/" + cells.at(1);
            for (std::size_t n = 3; n < 9; ++n) {
                line += "|" + cells.at(n);
            }
            rows.push_back(line);
        }
        return rows;
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

    /// Every text of kTexts in both modes and both orders, and the subject list, against the reference.
    void expectReferenceResults(const std::string& when)
    {
        EXPECT_EQ(velk::search::subjectList(m_catalogue.connectionString()), referenceList()) << when;
        for (const std::string& text : kTexts) {
            for (const bool wildcard : {false, true}) {
                for (const bool byDeviation : {false, true}) {
                    const SearchRequest request {text, wildcard, byDeviation};
                    EXPECT_EQ(searchedRows(request), referenceRows(request))
                        << when << ": \"" << text << "\" wildcard " << wildcard << " by deviation " << byDeviation;
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
