#include "search/SubjectSearch.h"

#include "store/Connection.h"
#include "store/ConnectionString.h"
#include "store/ResultSet.h"
#include "store/Value.h"
#include "tests/support/TempCatalogue.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

using velk::search::runSearch;
using velk::search::SearchMatches;
using velk::search::SearchRequest;
using velk::store::Result;
using velk::store::Value;

namespace
{

struct Movement
{
    int ktn = 1;
    int mvmt = 1;
    std::optional<double> deviation;
    std::array<std::optional<std::string>, 6> subjects {};
    std::optional<std::string> description;
};

Value optionalValue(const std::optional<std::string>& text)
{
    return text ? Value(*text) : Value();
}

class SearchCatalogue : public ::testing::Test
{
protected:
    void insert(const std::vector<Movement>& movements)
    {
        auto connection
            = velk::store::Connection::open(m_catalogue.connectionString(), velk::store::AccessMode::ReadWrite);
        for (const auto& m : movements) {
            std::vector<Value> params {Value(m.ktn), Value(m.mvmt), Value(1)};
            for (const auto& subject : m.subjects) {
                params.push_back(optionalValue(subject));
            }
            params.push_back(optionalValue(m.description));
            params.push_back(m.deviation ? Value(*m.deviation) : Value());
            connection.execute("INSERT INTO tblMovement (iKTN, iMvmt, iOrder, Sub1, Sub2, Sub3, Sub4, Sub5, Sub6, "
                               "Description, Deviation) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                               params);
        }
        connection.close();
    }

    Result<SearchMatches> search(const std::string& text, bool wildcard = false, bool byDeviation = false)
    {
        return runSearch(m_catalogue.connectionString(), SearchRequest {text, wildcard, byDeviation});
    }

    std::string cs() const
    {
        return m_catalogue.connectionString();
    }

    /// "KTN/MVMT" of each result row, in order.
    static std::vector<std::string> keys(const Result<SearchMatches>& result)
    {
        std::vector<std::string> out;
        for (const auto& row : result->rows) {
            out.push_back(row.at(0) + "/" + row.at(1));
        }
        return out;
    }

    velk::test::TempCatalogue m_catalogue;
};

Movement withSubjects(int ktn,
                      int mvmt,
                      std::array<std::optional<std::string>, 6> subjects,
                      std::optional<double> deviation = std::nullopt)
{
    Movement m;
    m.ktn = ktn;
    m.mvmt = mvmt;
    m.subjects = std::move(subjects);
    m.deviation = deviation;
    return m;
}

// The statement as the search window has always built it, for "joy" with the wildcard and Deviation order.
const std::string kWorkedExample
    = "SELECT tblMovement.Deviation, 0 as phraseidx, 1 as subjpos, tblMovement.iMovementID, tblMovement.iKTN, "
      "tblMovement.iMvmt, tblMovement.Deviation, tblMovement.Sub1, tblMovement.Sub2, tblMovement.Sub3, "
      "tblMovement.Sub4, tblMovement.Sub5, tblMovement.Sub6, tblMovement.Description FROM tblMovement WHERE "
      "tblMovement.Sub1 Like \"%joy%\" UNION SELECT tblMovement.Deviation, 0 as phraseidx, 2 as subjpos, "
      "tblMovement.iMovementID, tblMovement.iKTN, tblMovement.iMvmt, tblMovement.Deviation, tblMovement.Sub1, "
      "tblMovement.Sub2, tblMovement.Sub3, tblMovement.Sub4, tblMovement.Sub5, tblMovement.Sub6, "
      "tblMovement.Description FROM tblMovement WHERE tblMovement.Sub2 Like \"%joy%\" UNION SELECT "
      "tblMovement.Deviation, 0 as phraseidx, 3 as subjpos, tblMovement.iMovementID, tblMovement.iKTN, "
      "tblMovement.iMvmt, tblMovement.Deviation, tblMovement.Sub1, tblMovement.Sub2, tblMovement.Sub3, "
      "tblMovement.Sub4, tblMovement.Sub5, tblMovement.Sub6, tblMovement.Description FROM tblMovement WHERE "
      "tblMovement.Sub3 Like \"%joy%\" UNION SELECT tblMovement.Deviation, 0 as phraseidx, 4 as subjpos, "
      "tblMovement.iMovementID, tblMovement.iKTN, tblMovement.iMvmt, tblMovement.Deviation, tblMovement.Sub1, "
      "tblMovement.Sub2, tblMovement.Sub3, tblMovement.Sub4, tblMovement.Sub5, tblMovement.Sub6, "
      "tblMovement.Description FROM tblMovement WHERE tblMovement.Sub4 Like \"%joy%\" UNION SELECT "
      "tblMovement.Deviation, 0 as phraseidx, 5 as subjpos, tblMovement.iMovementID, tblMovement.iKTN, "
      "tblMovement.iMvmt, tblMovement.Deviation, tblMovement.Sub1, tblMovement.Sub2, tblMovement.Sub3, "
      "tblMovement.Sub4, tblMovement.Sub5, tblMovement.Sub6, tblMovement.Description FROM tblMovement WHERE "
      "tblMovement.Sub5 Like \"%joy%\" UNION SELECT tblMovement.Deviation, 0 as phraseidx, 6 as subjpos, "
      "tblMovement.iMovementID, tblMovement.iKTN, tblMovement.iMvmt, tblMovement.Deviation, tblMovement.Sub1, "
      "tblMovement.Sub2, tblMovement.Sub3, tblMovement.Sub4, tblMovement.Sub5, tblMovement.Sub6, "
      "tblMovement.Description FROM tblMovement WHERE tblMovement.Sub6 Like \"%joy%\" ORDER BY "
      "tblMovement.Deviation, phraseidx, subjpos, tblMovement.iKTN, tblMovement.iMvmt";

std::string replaceAll(std::string text, const std::string& from, const std::string& to)
{
    for (auto pos = text.find(from); pos != std::string::npos; pos = text.find(from, pos + to.size())) {
        text.replace(pos, from.size(), to);
    }
    return text;
}

/// The worked example with placeholders, each "tblMovement.SubN Like ?" asked through the movement's id so that
/// it runs over the subject's index.
std::string withPlaceholders(const std::string& statement)
{
    std::string result = replaceAll(statement, "\"%joy%\"", "?");
    for (int n = 1; n <= 6; ++n) {
        const std::string sub = "Sub" + std::to_string(n);
        result = replaceAll(result, "WHERE tblMovement." + sub + " Like ? ",
                            "WHERE tblMovement.iMovementID IN (SELECT iMovementID FROM tblMovement WHERE " + sub
                                + " Like ?) ");
    }
    return result;
}

} // namespace

TEST(SearchStatement, DeviationOrderIsTheWorkedExampleWithPlaceholders)
{
    EXPECT_EQ(velk::search::searchStatement(true), withPlaceholders(kWorkedExample));
}

TEST(SearchStatement, PriorityOrderDropsOnlyTheDeviationKey)
{
    const std::string expected = replaceAll(withPlaceholders(kWorkedExample),
                                            "ORDER BY tblMovement.Deviation, phraseidx", "ORDER BY phraseidx");
    EXPECT_EQ(velk::search::searchStatement(false), expected);
    EXPECT_TRUE(expected.ends_with("ORDER BY phraseidx, subjpos, tblMovement.iKTN, tblMovement.iMvmt"));
}

struct PatternCase
{
    std::string name;
    std::string text;
    bool wildcard;
    std::string pattern;
    std::string shown;
    std::string none;
    std::string one;
};

void PrintTo(const PatternCase& c, std::ostream* os)
{
    *os << c.name;
}

class Patterns : public ::testing::TestWithParam<PatternCase>
{
};

TEST_P(Patterns, PatternAndStatusTexts)
{
    const auto& c = GetParam();
    const SearchRequest request {c.text, c.wildcard, false};
    EXPECT_EQ(velk::search::searchPattern(request), c.pattern);
    EXPECT_EQ(velk::search::shownPattern(request), c.shown);
    EXPECT_EQ(velk::search::statusText(0, request), c.none);
    EXPECT_EQ(velk::search::statusText(1, request), c.one);
}

INSTANTIATE_TEST_SUITE_P(
    SearchText,
    Patterns,
    ::testing::Values(PatternCase {"WildcardJoy", "joy", true, "%joy%", "\"%joy%\"", "No matches for \"%joy%\" found.",
                                   "1 matches for \"%joy%\" found"},
                      PatternCase {"ExactJoy", "joy", false, "joy", "\"joy\"", "No matches for \"joy\" found.",
                                   "1 matches for \"joy\" found"},
                      PatternCase {"BlanksKept", " a b ", false, " a b ", "\" a b \"",
                                   "No matches for \" a b \" found.", "1 matches for \" a b \" found"},
                      PatternCase {"EmptyWithWildcard", "", true, "%%", "\"%%\"", "No matches for \"%%\" found.",
                                   "1 matches for \"%%\" found"},
                      PatternCase {"EmptyExact", "", false, "", "\"\"", "No matches for \"\" found.",
                                   "1 matches for \"\" found"}),
    [](const ::testing::TestParamInfo<PatternCase>& info) { return info.param.name; });

TEST(SearchStatus, CountsBeyondSixteenBits)
{
    EXPECT_EQ(velk::search::statusText(70000, SearchRequest {"x", false, false}), "70000 matches for \"x\" found");
}

TEST(JoinCells, TabsInsideCellsCannotShiftColumns)
{
    EXPECT_EQ(velk::search::joinCells({"a\tb", "c\nd", ""}, false), "a b\tc\nd\t");
    EXPECT_EQ(velk::search::joinCells({"a\tb", "c\r\nd", ""}, true), "a b\tc  d\t");
}

TEST_F(SearchCatalogue, ExactAndWildcardMatches)
{
    insert(
        {withSubjects(1, 1, {"Joy"}), withSubjects(2, 1, {"Sorrow", "Joy of life"}), withSubjects(3, 1, {"Sorrow"})});
    const auto exact = search("Joy");
    ASSERT_TRUE(exact.ok()) << exact.message();
    EXPECT_EQ(keys(exact), (std::vector<std::string> {"1/1"}));
    EXPECT_EQ(exact->statusText, "1 matches for \"Joy\" found");

    // LIKE ignores the case of ASCII letters.
    const auto wildcard = search("joy", true);
    EXPECT_EQ(keys(wildcard), (std::vector<std::string> {"1/1", "2/1"}));
    EXPECT_EQ(wildcard->matchCount, 2u);
    EXPECT_EQ(wildcard->statusText, "2 matches for \"%joy%\" found");

    const auto none = search("Joy of", false);
    ASSERT_TRUE(none.ok());
    EXPECT_TRUE(none->rows.empty());
    EXPECT_EQ(none->matchCount, 0u);
    EXPECT_EQ(none->statusText, "No matches for \"Joy of\" found.");
}

// Without the subject indexes every search reads every movement six times; on a large catalogue that is the
// difference between a tenth of a second and a millisecond.
TEST_F(SearchCatalogue, EachSubjectIsTestedInItsIndexNotInTheMovementTable)
{
    insert({withSubjects(1, 1, {"Joy"}), withSubjects(2, 1, {"Sorrow", "Joy of life"})});
    auto connection = velk::store::Connection::open(cs(), velk::store::AccessMode::ReadOnly);
    for (const std::string pattern : {"Joy", "%joy%"}) {
        std::string plan;
        const auto rows = connection.query("EXPLAIN QUERY PLAN " + velk::search::searchStatement(true),
                                           std::vector<Value>(6, Value(pattern)));
        for (const auto& row : rows.rows()) {
            plan += row.back().toText() + "\n";
        }
        for (int n = 1; n <= 6; ++n) {
            EXPECT_NE(plan.find("COVERING INDEX idxMovementSub" + std::to_string(n)), std::string::npos)
                << pattern << ":\n"
                << plan;
        }
        EXPECT_EQ(plan.find("SCAN tblMovement\n"), std::string::npos) << pattern << ":\n" << plan;
    }
    // Case is still ignored for ASCII letters when the index is used.
    EXPECT_EQ(keys(search("JOY")), (std::vector<std::string> {"1/1"}));
}

TEST_F(SearchCatalogue, MovementMatchingTwiceIsListedAndCountedTwice)
{
    insert({withSubjects(5, 2, {"Joy", "Grief", "Joy"}), withSubjects(4, 1, {std::nullopt, "Joy"})});
    const auto result = search("Joy");
    ASSERT_TRUE(result.ok());
    // Priority order: subject position, then catalogue number.
    EXPECT_EQ(keys(result), (std::vector<std::string> {"5/2", "4/1", "5/2"}));
    EXPECT_EQ(result->matchCount, 3u);
    EXPECT_EQ(result->statusText, "3 matches for \"Joy\" found");
}

TEST_F(SearchCatalogue, BothOrdersWithNullDeviationsFirst)
{
    insert({withSubjects(1, 1, {std::nullopt, "Joy"}, 3.5), withSubjects(2, 1, {"Joy"}, 7.25),
            withSubjects(3, 1, {"Joy"}), withSubjects(4, 1, {std::nullopt, std::nullopt, "Joy"}, 1.0),
            withSubjects(2, 3, {std::nullopt, "Joy"})});
    EXPECT_EQ(keys(search("Joy", false, false)), (std::vector<std::string> {"2/1", "3/1", "1/1", "2/3", "4/1"}));
    const auto byDeviation = search("Joy", false, true);
    EXPECT_EQ(keys(byDeviation), (std::vector<std::string> {"3/1", "2/3", "4/1", "1/1", "2/1"}));
    EXPECT_EQ(byDeviation->rows.at(0).at(2), "");
    EXPECT_EQ(byDeviation->rows.at(2).at(2), "1");
    EXPECT_EQ(byDeviation->rows.at(4).at(2), "7.25");
}

TEST_F(SearchCatalogue, WildcardCharactersActWithWildcardOff)
{
    insert({withSubjects(1, 1, {"Joy"}), withSubjects(2, 1, {"Jay"}), withSubjects(3, 1, {"Joyful"})});
    EXPECT_EQ(keys(search("J_y")), (std::vector<std::string> {"1/1", "2/1"}));
    EXPECT_EQ(keys(search("Joy%")), (std::vector<std::string> {"1/1", "3/1"}));
}

struct LiteralCase
{
    std::string name;
    std::string subject;
    std::string text;
};

void PrintTo(const LiteralCase& c, std::ostream* os)
{
    *os << c.name;
}

class LiteralTexts : public SearchCatalogue, public ::testing::WithParamInterface<LiteralCase>
{
};

TEST_P(LiteralTexts, FoundLiterallyAndHarmNothing)
{
    const auto& c = GetParam();
    insert({withSubjects(1, 1, {"Joy"}), withSubjects(2, 1, {c.subject}), withSubjects(3, 1, {"Grief"})});
    const auto result = search(c.text);
    ASSERT_TRUE(result.ok()) << result.message();
    EXPECT_EQ(keys(result), (std::vector<std::string> {"2/1"}));
    EXPECT_EQ(result->statusText, "1 matches for \"" + c.text + "\" found");
    // The catalogue is untouched: every movement is still found.
    EXPECT_EQ(search("", true)->matchCount, 3u);
}

INSTANTIATE_TEST_SUITE_P(SearchText,
                         LiteralTexts,
                         ::testing::Values(LiteralCase {"DoubleQuotes", "He said \"yes\"", "He said \"yes\""},
                                           LiteralCase {"SingleQuote", "Don't", "Don't"},
                                           LiteralCase {"QuoteInjection", "x\" OR 1=1 OR \"", "x\" OR 1=1 OR \""},
                                           LiteralCase {"DropTable", "'; DROP TABLE tblMovement; --",
                                                        "'; DROP TABLE tblMovement; --"},
                                           LiteralCase {"ColumnName", "Sub1", "Sub1"},
                                           LiteralCase {"QualifiedColumnName", "tblMovement.Sub2", "tblMovement.Sub2"},
                                           LiteralCase {"NonAscii", "Grüß", "Grüß"},
                                           LiteralCase {"NonAsciiWithAsciiCase", "Grüß", "grüß"}),
                         [](const ::testing::TestParamInfo<LiteralCase>& info) { return info.param.name; });

TEST_F(SearchCatalogue, NonAsciiLettersKeepTheirCase)
{
    insert({withSubjects(1, 1, {"Grüß Gott"}), withSubjects(2, 1, {"ärger"})});
    EXPECT_EQ(search("GRÜSS", true)->matchCount, 0u);
    EXPECT_EQ(search("GRÜß", true)->matchCount, 0u);
    EXPECT_EQ(search("ÄRGER")->matchCount, 0u);
    EXPECT_EQ(keys(search("ärger")), (std::vector<std::string> {"2/1"}));
}

TEST_F(SearchCatalogue, CellsAsShown)
{
    Movement m = withSubjects(12, 3, {"Joy", std::nullopt, "Grief", std::nullopt, std::nullopt, "End"}, 12.6f);
    m.description = "{\\rtf1\\ansi{\\fonttbl{\\f0 Book Antiqua;}}\\f0 Hello \\b world\\b0\\par}";
    insert({m, withSubjects(13, 1, {"Joy"}, 0.5)});
    const auto result = search("Joy");
    ASSERT_EQ(result->rows.size(), 2u);
    const std::string description = "Hello world";
    const std::vector<std::string> first {"12", "3", "12.6", "Joy", "", "Grief", "", "", "End", description};
    EXPECT_EQ(result->rows[0], first);
    const std::vector<std::string> second {"13", "1", "0.5", "Joy", "", "", "", "", "", ""};
    EXPECT_EQ(result->rows[1], second);
}

TEST_F(SearchCatalogue, PatternLengthLimit)
{
    insert({withSubjects(1, 1, {std::string(velk::search::kMaxPatternBytes, 'a')})});
    // The longest pattern SQLite takes still runs.
    const auto longest = search(std::string(velk::search::kMaxPatternBytes, 'a'));
    ASSERT_TRUE(longest.ok()) << longest.message();
    EXPECT_EQ(longest->matchCount, 1u);

    const auto tooLong = search(std::string(velk::search::kMaxPatternBytes - 1, 'a'), true);
    EXPECT_FALSE(tooLong.ok());
    EXPECT_NE(tooLong.message().find("too long"), std::string::npos) << tooLong.message();
    EXPECT_NE(tooLong.message().find("50000"), std::string::npos) << tooLong.message();
    EXPECT_THROW(static_cast<void>(tooLong.value()), std::logic_error) << "a failure hands back no rows or status";
}

TEST_F(SearchCatalogue, EmptyTextWithWildcardFindsEverySubject)
{
    insert({withSubjects(1, 1, {"a", "b"}), withSubjects(2, 1, {}), withSubjects(3, 1, {"", std::nullopt, "c"})});
    EXPECT_EQ(keys(search("", true)), (std::vector<std::string> {"1/1", "3/1", "1/1", "3/1"}));
    EXPECT_EQ(keys(search("", false)), (std::vector<std::string> {"3/1"}));
}

TEST_F(SearchCatalogue, MissingCatalogueIsAMessage)
{
    const auto missing = (m_catalogue.folder() / "absent.db").string();
    const auto result = runSearch(velk::store::connectionStringForFile(missing), SearchRequest {"Joy", true, false});
    EXPECT_FALSE(result.ok());
    EXPECT_FALSE(result.message().empty());
    EXPECT_THROW(static_cast<void>(result.value()), std::logic_error) << "a failure hands back no status text";
}

// The subject list as the window has always read it: seven pieces, run as they stand. However the list is read,
// it must give these rows.
const std::string kReferenceSubjectList
    = "SELECT DISTINCT Sub1 as Subject FROM tblMovement WHERE Sub1 is not null "
      "UNION SELECT DISTINCT Sub2 as Subject FROM tblMovement WHERE Sub2 is not null  "
      "UNION SELECT DISTINCT Sub3 as Subject FROM tblMovement WHERE Sub3 is not null "
      "UNION SELECT DISTINCT Sub4 as Subject FROM tblMovement WHERE Sub4 is not null "
      "UNION SELECT DISTINCT Sub5 as Subject FROM tblMovement WHERE Sub5 is not null "
      "UNION SELECT DISTINCT Sub6 as Subject FROM tblMovement WHERE Sub6 is not null "
      "ORDER BY Subject";

TEST_F(SearchCatalogue, SubjectListGivesTheRowsOfTheReferenceStatement)
{
    const auto compare = [this](const char* when) {
        auto connection = velk::store::Connection::open(cs(), velk::store::AccessMode::ReadOnly);
        std::vector<std::string> expected;
        const velk::store::ResultSet reference = connection.query(kReferenceSubjectList);
        for (const auto& row : reference.rows()) {
            expected.push_back(row.at(0).toText());
        }
        EXPECT_EQ(velk::search::subjectList(connection), expected) << when;
        connection.close();
    };
    compare("empty catalogue");
    // Every column, repeats within and across movements, case and accents, blanks and empty texts, Nulls.
    insert({withSubjects(1, 1, {"Joy", std::nullopt, std::nullopt, "grief", "", " Joy"}),
            withSubjects(2, 1, {std::nullopt, "joy", std::nullopt, "Joy", std::nullopt, "Joy "}),
            withSubjects(3, 1, {"\xC3\x84rger", "Zeal", "Joy", std::nullopt, "Zeal", "alpha"}),
            withSubjects(4, 2, {std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt}),
            withSubjects(5, 3, {"100%", "a_b", "\"quoted\"", "it's", "Ärger", "grief"})});
    compare("filled catalogue");
}

TEST_F(SearchCatalogue, SubjectListIsDistinctSortedAndWithoutNulls)
{
    EXPECT_TRUE(velk::search::subjectList(cs()).empty());
    insert({withSubjects(1, 1, {"Joy", std::nullopt, std::nullopt, "grief"}),
            withSubjects(2, 1, {std::nullopt, std::nullopt, std::nullopt, "Joy"}),
            withSubjects(3, 1, {"Ärger", "Zeal", "Joy", std::nullopt, std::nullopt, "alpha"})});
    // Binary order: capitals, then small letters, then non-ASCII letters.
    EXPECT_EQ(velk::search::subjectList(cs()), (std::vector<std::string> {"Joy", "Zeal", "alpha", "grief", "Ärger"}));
}

// An opening reads through one connection; a catalogue that cannot be opened is told, and each search then
// tries on a connection of its own (so a catalogue that appears meanwhile is found).
TEST_F(SearchCatalogue, SessionListsAndSearchesOnOneOpeningAndTellsAFailedOne)
{
    insert({withSubjects(1, 1, {"Joy", "Grief"}), withSubjects(2, 1, {"Joy"})});
    velk::search::SubjectSearchSession session;
    const auto subjects = session.open(cs());
    ASSERT_TRUE(subjects.ok()) << subjects.message();
    EXPECT_EQ(subjects.value(), (std::vector<std::string> {"Grief", "Joy"}));
    const auto found = session.search(cs(), SearchRequest {"Joy", false, false});
    ASSERT_TRUE(found.ok()) << found.message();
    EXPECT_EQ(found->statusText, "2 matches for \"Joy\" found");
    // The window reads the rows it shows; a movement gone meanwhile shows as an empty row.
    const auto rows = session.rows({found->movementIds.at(1), 999, found->movementIds.at(0)});
    ASSERT_TRUE(rows.ok()) << rows.message();
    ASSERT_EQ(rows->size(), 3u);
    EXPECT_EQ(rows->at(0).at(0) + "/" + rows->at(0).at(1), "2/1");
    EXPECT_EQ(rows->at(1), velk::search::ResultRow(velk::search::kResultColumns));
    EXPECT_EQ(rows->at(2).at(0) + "/" + rows->at(2).at(1), "1/1");

    const std::string missing = velk::store::connectionStringForFile((m_catalogue.folder() / "none.db").string());
    const auto none = session.open(missing);
    EXPECT_FALSE(none.ok());
    EXPECT_NE(none.message().find("none.db"), std::string::npos) << none.message();
    const auto searched = session.search(missing, SearchRequest {"Joy", false, false});
    EXPECT_FALSE(searched.ok());
    EXPECT_NE(searched.message().find("none.db"), std::string::npos) << searched.message();
}
