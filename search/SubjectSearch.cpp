#include "search/SubjectSearch.h"

#include "rtf/Rtf.h"
#include "store/Connection.h"
#include "store/Schema.h"
#include "store/StoreError.h"
#include "store/Text.h"
#include "store/Value.h"

#include <exception>
#include <string_view>

namespace velk::search
{

namespace
{

std::string cellText(const store::Value& value, bool singlePrecision)
{
    if (value.isNull()) {
        return {};
    }
    // Deviation is stored from a single-precision figure; showing it as such avoids digits it never had.
    if (singlePrecision && value.isReal()) {
        return store::formatSingle(static_cast<float>(value.toDouble()));
    }
    return value.toText();
}

// The description is stored as rich text; the result shows only its text.
std::string descriptionText(const store::Value& value)
{
    if (value.isNull()) {
        return {};
    }
    return rtf::plainText(value.toText());
}

int requireColumn(const store::ResultSet& result, std::string_view name)
{
    const int index = result.columnIndex(name);
    if (index < 0) {
        throw store::StoreError("The search result has no column \"" + std::string(name) + "\".");
    }
    return index;
}

} // namespace

std::string searchPattern(const SearchRequest& request)
{
    if (request.useWildcard) {
        return "%" + request.text + "%";
    }
    return request.text;
}

std::string shownPattern(const SearchRequest& request)
{
    return "\"" + store::shownText(searchPattern(request)) + "\"";
}

std::string shownSubject(const std::string& stored)
{
    return store::shownText(stored);
}

std::string subjectListStatement()
{
    return std::string("SELECT DISTINCT Sub1 as Subject FROM tblMovement WHERE Sub1 is not null ")
        + "UNION SELECT DISTINCT Sub2 as Subject FROM tblMovement WHERE Sub2 is not null  "
        + "UNION SELECT DISTINCT Sub3 as Subject FROM tblMovement WHERE Sub3 is not null "
        + "UNION SELECT DISTINCT Sub4 as Subject FROM tblMovement WHERE Sub4 is not null "
        + "UNION SELECT DISTINCT Sub5 as Subject FROM tblMovement WHERE Sub5 is not null "
        + "UNION SELECT DISTINCT Sub6 as Subject FROM tblMovement WHERE Sub6 is not null " + "ORDER BY Subject";
}

std::vector<std::string> subjectList(const std::string& connectionString)
{
    auto connection = store::Connection::open(connectionString, store::AccessMode::ReadOnly);
    auto subjects = subjectList(connection);
    connection.close();
    return subjects;
}

std::string quickSubjectListStatement()
{
    // The triggers cannot see the row a REPLACE removes (delete triggers fire then only with recursive triggers),
    // so a subject may be counted after its last use is gone: each is confirmed by one seek in a subject index.
    std::string sql = "SELECT Subject FROM tblSubjectUse AS u WHERE nUses > 0 AND (";
    for (int n = 1; n <= 6; ++n) {
        const std::string column = "Sub" + std::to_string(n);
        sql += std::string(n > 1 ? " OR " : "") + "EXISTS (SELECT 1 FROM tblMovement WHERE " + column
            + " COLLATE NOCASE = u.Subject AND " + column + " = u.Subject)";
    }
    return sql + ") ORDER BY Subject";
}

std::vector<std::string> subjectList(store::Connection& connection)
{
    std::vector<std::string> subjects;
    const store::ResultSet result
        = connection.query(store::hasSubjectUse(connection) ? quickSubjectListStatement() : subjectListStatement());
    const int subject = requireColumn(result, "Subject");
    subjects.reserve(result.recordCount());
    for (const auto& row : result.rows()) {
        subjects.push_back(row[static_cast<std::size_t>(subject)].toText());
    }
    return subjects;
}

std::string searchStatement(bool sortByDeviation)
{
    return searchStatement(sortByDeviation, false);
}

std::string searchStatement(bool sortByDeviation, bool throughSubjectUse)
{
    // How text compares and sorts in the catalogue (SQLite, default settings):
    //  - LIKE ignores case for ASCII letters only: "joy" finds "Joy", but "ÄRGER" does not find "ärger".
    //    "%" and "_" are its wildcards; no ESCAPE clause is given, so a typed "%" or "_" stays a wildcard.
    //  - UNION removes duplicates and ORDER BY sorts text in binary (byte) order of the UTF-8 text, so
    //    capitals come before small letters and non-ASCII letters after all ASCII ones.
    //  - In ascending order, Null sorts first, so movements without a stored deviation come first.
    // The pattern is a bound parameter ("?", six times, one per select): the user's text never becomes SQL,
    // so quotes in it are literal characters and a text such as "Sub1" is not read as a column name.
    std::string sql;
    for (int n = 1; n <= 6; ++n) {
        const std::string position = std::to_string(n);
        sql += "SELECT tblMovement.Deviation, ";
        sql += "0";
        sql += " as phraseidx, ";
        sql += position;
        sql += " as subjpos, tblMovement.iMovementID, tblMovement.iKTN, tblMovement.iMvmt, tblMovement.Deviation, "
               "tblMovement.Sub1, tblMovement.Sub2, tblMovement.Sub3, tblMovement.Sub4, tblMovement.Sub5, "
               "tblMovement.Sub6, tblMovement.Description FROM tblMovement ";
        // "tblMovement.SubN Like ?" asked through the movement's id: the same rows, but the test runs over
        // the narrow subject index rather than the whole movement table (descriptions and comments included),
        // and a pattern without a leading wildcard seeks in it.
        sql += "WHERE tblMovement.iMovementID IN (SELECT iMovementID FROM tblMovement WHERE Sub";
        sql += position;
        sql += " Like ";
        sql += "?";
        if (throughSubjectUse) {
            // A pattern that starts with a wildcard cannot seek in the subject index, but the distinct subjects
            // it matches can: a row whose subject is LIKE the pattern has that subject in tblSubjectUse, and the
            // index finds every row holding it (NOCASE equality covers byte equality). LIKE above stays the test.
            sql += " AND Sub";
            sql += position;
            sql += " COLLATE NOCASE IN (SELECT Subject FROM tblSubjectUse WHERE Subject Like ?)";
        }
        sql += ") ";
        if (n < 6) {
            sql += "UNION ";
        }
    }
    sql += "ORDER BY ";
    if (sortByDeviation) {
        sql += "tblMovement.Deviation, ";
    }
    sql += "phraseidx, subjpos, tblMovement.iKTN, tblMovement.iMvmt";
    return sql;
}

const std::vector<std::string>& resultHeaders()
{
    static const std::vector<std::string> headers {"KTN",      "MVMT",     "Deviation", "Subject1", "Subject2",
                                                   "Subject3", "Subject4", "Subject5",  "Subject6", "Description"};
    return headers;
}

const std::vector<int>& resultColumnWidths()
{
    static const std::vector<int> widths {625, 700, 850, 1400, 1400, 1400, 1400, 1400, 1400, 1400 * 2};
    return widths;
}

std::string statusText(std::size_t matchCount, const SearchRequest& request)
{
    if (matchCount == 0) {
        return "No matches for " + shownPattern(request) + " found.";
    }
    return std::to_string(matchCount) + " matches for " + shownPattern(request) + " found";
}

namespace
{

/// The search's message when the pattern is too long for LIKE, or nothing.
std::optional<std::string> patternTooLong(const std::string& pattern)
{
    if (pattern.size() <= kMaxPatternBytes) {
        return std::nullopt;
    }
    return "The search text is too long: its pattern has " + std::to_string(pattern.size())
        + " bytes, and a search pattern may have at most " + std::to_string(kMaxPatternBytes)
        + " bytes. Nothing was searched.";
}

bool startsWithWildcard(const std::string& pattern)
{
    return !pattern.empty() && (pattern.front() == '%' || pattern.front() == '_');
}

store::Result<SearchMatches> failedSearch(const std::string& message)
{
    return store::Result<SearchMatches>::failure(message);
}

} // namespace

store::Result<SearchMatches> runSearch(const std::string& connectionString, const SearchRequest& request)
{
    if (const auto tooLong = patternTooLong(searchPattern(request))) {
        return failedSearch(*tooLong);
    }
    try {
        auto connection = store::Connection::open(connectionString, store::AccessMode::ReadOnly);
        auto result = runSearch(connection, request);
        connection.close();
        return result;
    } catch (const std::exception& error) {
        return failedSearch(error.what());
    }
}

store::Result<std::vector<std::string>> SubjectSearchSession::open(const std::string& connectionString)
{
    close();
    m_connectionString = connectionString;
    try {
        m_reader = std::make_unique<store::Connection>(
            store::Connection::open(connectionString, store::AccessMode::ReadOnly));
        return subjectList(*m_reader);
    } catch (const std::exception& error) {
        m_reader.reset();
        return store::Result<std::vector<std::string>>::failure(error.what());
    }
}

store::Result<SearchMatches> SubjectSearchSession::search(const std::string& connectionString,
                                                          const SearchRequest& request)
{
    if (m_reader && connectionString == m_connectionString) {
        return runSearch(*m_reader, request);
    }
    return runSearch(connectionString, request);
}

void SubjectSearchSession::close()
{
    m_reader.reset();
}

store::Result<SearchMatches> runSearch(store::Connection& connection, const SearchRequest& request)
{
    SearchMatches outcome;
    const std::string pattern = searchPattern(request);
    if (const auto tooLong = patternTooLong(pattern)) {
        return failedSearch(*tooLong);
    }
    try {
        const bool throughSubjectUse = startsWithWildcard(pattern) && store::hasSubjectUse(connection);
        const std::vector<store::Value> params(throughSubjectUse ? 12 : 6, store::Value(pattern));
        const store::ResultSet result
            = connection.query(searchStatement(request.sortByDeviation, throughSubjectUse), params);
        const int ktn = requireColumn(result, "iKTN");
        const int mvmt = requireColumn(result, "iMVMT");
        const int deviation = requireColumn(result, "Deviation");
        const int description = requireColumn(result, "Description");
        const int movementId = requireColumn(result, "iMovementID");
        int subjects[6];
        for (int n = 0; n < 6; ++n) {
            subjects[n] = requireColumn(result, "Sub" + std::to_string(n + 1));
        }
        outcome.rows.reserve(result.recordCount());
        for (const auto& row : result.rows()) {
            auto at = [&row](int column) -> const store::Value& {
                return row[static_cast<std::size_t>(column)];
            };
            std::vector<std::string> cells;
            cells.reserve(kResultColumns);
            cells.push_back(cellText(at(ktn), false));
            cells.push_back(cellText(at(mvmt), false));
            cells.push_back(cellText(at(deviation), true));
            for (int column : subjects) {
                cells.push_back(shownSubject(cellText(at(column), false)));
            }
            cells.push_back(descriptionText(at(description)));
            outcome.rows.push_back(std::move(cells));
            outcome.movementIds.push_back(at(movementId).toInt64());
        }
    } catch (const std::exception& error) {
        return failedSearch(error.what());
    }
    outcome.matchCount = outcome.rows.size();
    outcome.statusText = statusText(outcome.matchCount, request);
    return outcome;
}

std::string joinCells(const std::vector<std::string>& cells, bool singleLine)
{
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i > 0) {
            line += '\t';
        }
        for (char c : cells[i]) {
            const bool breaksColumns = c == '\t' || (singleLine && (c == '\n' || c == '\r'));
            line += breaksColumns ? ' ' : c;
        }
    }
    return line;
}

} // namespace velk::search
