#include "search/SubjectSearch.h"

#include "rtf/Rtf.h"
#include "store/Connection.h"
#include "store/Schema.h"
#include "store/StoreError.h"
#include "store/Text.h"
#include "store/Value.h"

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <string_view>
#include <unordered_map>

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

/// The cells of a result row from a row of the movement table whose columns from first on are iKTN, iMvmt,
/// Deviation, Sub1 to Sub6 and Description.
ResultRow resultRow(const std::vector<store::Value>& row, std::size_t first)
{
    ResultRow cells;
    cells.reserve(kResultColumns);
    cells.push_back(cellText(row[first], false));
    cells.push_back(cellText(row[first + 1], false));
    cells.push_back(cellText(row[first + 2], true));
    for (std::size_t column = first + 3; column < first + 9; ++column) {
        cells.push_back(shownSubject(cellText(row[column], false)));
    }
    cells.push_back(descriptionText(row[first + 9]));
    return cells;
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

namespace
{

// The test of one select's subject position n: "SubN Like ?", with one more "?" through tblSubjectUse.
std::string subjectTest(int n, bool throughSubjectUse)
{
    const std::string column = "Sub" + std::to_string(n);
    std::string test = column + " Like ?";
    if (throughSubjectUse) {
        // A pattern that starts with a wildcard cannot seek in the subject index, but the distinct subjects it
        // matches can: a row whose subject is LIKE the pattern has that subject in tblSubjectUse, and the index
        // finds every row holding it (NOCASE equality covers byte equality). LIKE stays the test.
        test += " AND " + column + " COLLATE NOCASE IN (SELECT Subject FROM tblSubjectUse WHERE Subject Like ?)";
    }
    return test;
}

// The six selects, UNION and ORDER BY of the search; columns follows the movement's id in each select.
std::string compoundStatement(bool sortByDeviation, bool throughSubjectUse, const char* columns)
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
        sql += " as subjpos, tblMovement.iMovementID, ";
        sql += columns;
        sql += " FROM tblMovement ";
        // "tblMovement.SubN Like ?" asked through the movement's id: the same rows, but the test runs over
        // the narrow subject index rather than the whole movement table (descriptions and comments included),
        // and a pattern without a leading wildcard seeks in it.
        sql += "WHERE tblMovement.iMovementID IN (SELECT iMovementID FROM tblMovement WHERE ";
        sql += subjectTest(n, throughSubjectUse);
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

} // namespace

std::string searchStatement(bool sortByDeviation, bool throughSubjectUse)
{
    return compoundStatement(sortByDeviation, throughSubjectUse,
                             "tblMovement.iKTN, tblMovement.iMvmt, tblMovement.Deviation, tblMovement.Sub1, "
                             "tblMovement.Sub2, tblMovement.Sub3, tblMovement.Sub4, tblMovement.Sub5, "
                             "tblMovement.Sub6, tblMovement.Description");
}

std::string orderStatement(bool sortByDeviation, bool throughSubjectUse)
{
    // A compound select with ORDER BY breaks ties on the columns it does not sort by, in column order (its UNION
    // compares whole rows): the deviation, then the movement's id. Both are here in the same places, so ties fall
    // as in the search statement.
    return compoundStatement(sortByDeviation, throughSubjectUse, "tblMovement.iKTN, tblMovement.iMvmt");
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

/// The parameters of the search and order statements for a pattern: six, or twelve through tblSubjectUse.
std::vector<store::Value> statementParameters(const std::string& pattern, bool throughSubjectUse)
{
    return std::vector<store::Value>(throughSubjectUse ? 12 : 6, store::Value(pattern));
}

bool searchesThroughSubjectUse(store::Connection& connection, const std::string& pattern)
{
    return startsWithWildcard(pattern) && store::hasSubjectUse(connection);
}

SearchMatches matchesInOrder(std::vector<std::int64_t> movementIds, const SearchRequest& request)
{
    SearchMatches outcome;
    outcome.movementIds = std::move(movementIds);
    outcome.matchCount = outcome.movementIds.size();
    outcome.statusText = statusText(outcome.matchCount, request);
    return outcome;
}

/// Thrown inside a reading of the movements' numbers to stop it.
struct ReadingStopped
{
};

} // namespace

std::vector<std::int64_t> searchOrder(store::Connection& connection, const SearchRequest& request)
{
    const std::string pattern = searchPattern(request);
    const bool throughSubjectUse = searchesThroughSubjectUse(connection, pattern);
    const store::ResultSet result = connection.query(orderStatement(request.sortByDeviation, throughSubjectUse),
                                                     statementParameters(pattern, throughSubjectUse));
    const auto movementId = static_cast<std::size_t>(requireColumn(result, "iMovementID"));
    std::vector<std::int64_t> ids;
    ids.reserve(result.recordCount());
    for (const auto& row : result.rows()) {
        ids.push_back(row[movementId].toInt64());
    }
    return ids;
}

/// Every movement's number and deviation, read on a connection kept with them: the search's sort keys.
class MovementKeys
{
public:
    /// Reads them on a read-only connection of their own, in one read transaction. Nothing when stop became true;
    /// unusable keys when a number is not a whole number or a deviation not a number (the order statement then
    /// sorts as SQLite compares such values). Throws store::StoreError.
    static std::unique_ptr<MovementKeys> read(const std::string& connectionString, const std::atomic<bool>& stop)
    {
        auto connection = store::Connection::open(connectionString, store::AccessMode::ReadOnly);
        // The rows are kept here and the searches read the subject indexes only: a small cache will do.
        connection.execute("PRAGMA cache_size = -2048");
        std::unique_ptr<MovementKeys> keys(new MovementKeys(std::move(connection)));
        try {
            store::Transaction snapshot(keys->m_connection);
            keys->m_dataVersion = keys->m_connection.dataVersion();
            const auto count = keys->m_connection.integers("SELECT Count(*) FROM tblMovement").at(0);
            keys->m_keys.reserve(static_cast<std::size_t>(count));
            keys->m_connection.forEachRow(
                "SELECT iMovementID, iKTN, iMvmt, Deviation FROM tblMovement ORDER BY iMovementID", {},
                [&keys, &stop](const std::vector<store::Value>& row) {
                    if (stop) {
                        throw ReadingStopped {};
                    }
                    keys->add(row);
                });
            snapshot.commit();
        } catch (const ReadingStopped&) {
            return nullptr;
        }
        return keys;
    }

    /// True once another connection has changed the file since the keys were read. Throws store::StoreError.
    bool changed()
    {
        return m_connection.dataVersion() != m_dataVersion;
    }

    bool usable() const
    {
        return m_usable;
    }

    /// The order of the search's rows, as the order statement gives it; nothing when the file changed since the
    /// keys were read. Throws store::StoreError.
    std::optional<std::vector<std::int64_t>> order(const SearchRequest& request)
    {
        const std::string pattern = searchPattern(request);
        store::Transaction snapshot(m_connection);
        if (!m_usable || changed()) {
            snapshot.commit();
            return std::nullopt;
        }
        const bool throughSubjectUse = searchesThroughSubjectUse(m_connection, pattern);
        // Each select's own test, as in the order statement: the position and the ids of the rows it finds.
        std::string sql;
        for (int n = 1; n <= 6; ++n) {
            sql += (n > 1 ? " UNION ALL SELECT " : "SELECT ") + std::to_string(n)
                + ", iMovementID FROM tblMovement WHERE " + subjectTest(n, throughSubjectUse);
        }
        const std::vector<std::int64_t> found
            = m_connection.integers(sql, statementParameters(pattern, throughSubjectUse));
        snapshot.commit();
        struct Match
        {
            int position;
            const Key* key;
        };
        std::vector<Match> matches;
        matches.reserve(found.size() / 2);
        for (std::size_t i = 0; i + 1 < found.size(); i += 2) {
            const Key* key = find(found[i + 1]);
            if (key == nullptr) {
                return std::nullopt; // not the state the keys were read in
            }
            matches.push_back({static_cast<int>(found[i]), key});
        }
        // The order statement's order: the deviation when asked first, then position, KTN and movement number;
        // ties on the deviation and then the movement's id. Null comes first.
        const auto compareNumbers = [](bool nullA, auto a, bool nullB, auto b) {
            if (nullA || nullB) {
                return static_cast<int>(nullB) - static_cast<int>(nullA);
            }
            return a < b ? -1 : (b < a ? 1 : 0);
        };
        const bool byDeviation = request.sortByDeviation;
        std::stable_sort(matches.begin(), matches.end(), [&](const Match& a, const Match& b) {
            const Key& x = *a.key;
            const Key& y = *b.key;
            const int deviation = compareNumbers((x.nulls & kNullDeviation) != 0, x.deviation,
                                                 (y.nulls & kNullDeviation) != 0, y.deviation);
            int order = byDeviation ? deviation : 0;
            if (order == 0) {
                order = compareNumbers(false, a.position, false, b.position);
            }
            if (order == 0) {
                order = compareNumbers((x.nulls & kNullKtn) != 0, x.ktn, (y.nulls & kNullKtn) != 0, y.ktn);
            }
            if (order == 0) {
                order = compareNumbers((x.nulls & kNullMvmt) != 0, x.mvmt, (y.nulls & kNullMvmt) != 0, y.mvmt);
            }
            if (order == 0 && !byDeviation) {
                order = deviation;
            }
            return order != 0 ? order < 0 : x.id < y.id;
        });
        std::vector<std::int64_t> ids;
        ids.reserve(matches.size());
        for (const Match& match : matches) {
            ids.push_back(match.key->id);
        }
        return ids;
    }

private:
    static constexpr std::uint8_t kNullKtn = 1;
    static constexpr std::uint8_t kNullMvmt = 2;
    static constexpr std::uint8_t kNullDeviation = 4;

    struct Key
    {
        std::int64_t id = 0;
        std::int64_t ktn = 0;
        std::int64_t mvmt = 0;
        double deviation = 0;
        std::uint8_t nulls = 0;
    };

    explicit MovementKeys(store::Connection connection)
        : m_connection(std::move(connection))
    {
    }

    void add(const std::vector<store::Value>& row)
    {
        Key key;
        key.id = row[0].toInt64();
        const auto whole = [this, &key](const store::Value& value, std::uint8_t null) -> std::int64_t {
            if (value.isNull()) {
                key.nulls |= null;
                return 0;
            }
            m_usable = m_usable && value.isInteger();
            return value.isInteger() ? value.toInt64() : 0;
        };
        key.ktn = whole(row[1], kNullKtn);
        key.mvmt = whole(row[2], kNullMvmt);
        const store::Value& deviation = row[3];
        if (deviation.isNull()) {
            key.nulls |= kNullDeviation;
        } else if (deviation.isReal()) {
            key.deviation = deviation.toDouble();
        } else if (deviation.isInteger() && std::abs(deviation.toInt64()) <= (std::int64_t {1} << 53)) {
            key.deviation = static_cast<double>(deviation.toInt64()); // exact: compares as SQLite compares it
        } else {
            m_usable = false;
        }
        m_keys.push_back(key);
    }

    const Key* find(std::int64_t id) const
    {
        const auto at = std::lower_bound(m_keys.begin(), m_keys.end(), id,
                                         [](const Key& key, std::int64_t wanted) { return key.id < wanted; });
        return at != m_keys.end() && at->id == id ? &*at : nullptr;
    }

    store::Connection m_connection;
    std::int64_t m_dataVersion = 0;
    std::vector<Key> m_keys; ///< ascending id
    bool m_usable = true;
};

std::vector<ResultRow> resultRows(store::Connection& connection, const std::vector<std::int64_t>& movementIds)
{
    // The rows are read a batch at a time by id; SQLite takes a few hundred parameters in one statement well.
    constexpr std::size_t kBatch = 200;
    std::vector<ResultRow> rows(movementIds.size(), ResultRow(kResultColumns));
    std::unordered_map<std::int64_t, std::vector<std::size_t>> wanted;
    for (std::size_t i = 0; i < movementIds.size(); ++i) {
        wanted[movementIds[i]].push_back(i);
    }
    std::vector<store::Value> batch;
    const auto readBatch = [&] {
        std::string sql = "SELECT iMovementID, iKTN, iMvmt, Deviation, Sub1, Sub2, Sub3, Sub4, Sub5, Sub6, "
                          "Description FROM tblMovement WHERE iMovementID IN (";
        for (std::size_t i = 0; i < batch.size(); ++i) {
            sql += i == 0 ? "?" : ", ?";
        }
        connection.forEachRow(sql + ")", batch, [&](const std::vector<store::Value>& row) {
            const ResultRow cells = resultRow(row, 1);
            for (const std::size_t index : wanted[row[0].toInt64()]) {
                rows[index] = cells;
            }
        });
        batch.clear();
    };
    for (const auto& [id, indexes] : wanted) {
        batch.emplace_back(id);
        if (batch.size() == kBatch) {
            readBatch();
        }
    }
    if (!batch.empty()) {
        readBatch();
    }
    return rows;
}

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

store::Result<SearchMatches> runSearch(store::Connection& connection, const SearchRequest& request)
{
    if (const auto tooLong = patternTooLong(searchPattern(request))) {
        return failedSearch(*tooLong);
    }
    try {
        // Every row at once: the search statement itself, which reads them faster than by id.
        const std::string pattern = searchPattern(request);
        const bool throughSubjectUse = searchesThroughSubjectUse(connection, pattern);
        const store::ResultSet result = connection.query(searchStatement(request.sortByDeviation, throughSubjectUse),
                                                         statementParameters(pattern, throughSubjectUse));
        const auto movementId = static_cast<std::size_t>(requireColumn(result, "iMovementID"));
        // The statement's columns from iKTN on are those of a result row, in order.
        const auto first = static_cast<std::size_t>(requireColumn(result, "iKTN"));
        std::vector<std::int64_t> ids;
        std::vector<ResultRow> rows;
        ids.reserve(result.recordCount());
        rows.reserve(result.recordCount());
        for (const auto& row : result.rows()) {
            ids.push_back(row[movementId].toInt64());
            rows.push_back(resultRow(row, first));
        }
        SearchMatches outcome = matchesInOrder(std::move(ids), request);
        outcome.rows = std::move(rows);
        return outcome;
    } catch (const std::exception& error) {
        return failedSearch(error.what());
    }
}

SubjectSearchSession::SubjectSearchSession() = default;

SubjectSearchSession::~SubjectSearchSession()
{
    close();
}

store::Result<std::vector<std::string>> SubjectSearchSession::open(const std::string& connectionString)
{
    close();
    m_connectionString = connectionString;
    try {
        m_reader = std::make_unique<store::Connection>(
            store::Connection::open(connectionString, store::AccessMode::ReadOnly));
        // The list, the rows in view and (until the numbers are read) the order touch few pages: a small cache will do.
        m_reader->execute("PRAGMA cache_size = -4096");
        auto subjects = subjectList(*m_reader);
        startLoadingKeys();
        return subjects;
    } catch (const std::exception& error) {
        m_reader.reset();
        return store::Result<std::vector<std::string>>::failure(error.what());
    }
}

void SubjectSearchSession::startLoadingKeys()
{
    if (m_loading) {
        return;
    }
    if (m_loader.joinable()) {
        m_loader.join(); // finished
    }
    m_cancel = false;
    m_loading = true;
    m_loader = std::thread([this, connectionString = m_connectionString] {
        std::unique_ptr<MovementKeys> keys;
        try {
            keys = MovementKeys::read(connectionString, m_cancel);
        } catch (const std::exception&) {
            // Searches go on reading their order from the file.
        }
        {
            const std::lock_guard lock(m_mutex);
            if (keys && !m_cancel) {
                m_keys = std::move(keys);
            }
        }
        m_loading = false;
    });
}

void SubjectSearchSession::stopLoadingKeys()
{
    m_cancel = true;
    if (m_loader.joinable()) {
        m_loader.join();
    }
    m_loading = false;
}

bool SubjectSearchSession::waitForKeys()
{
    if (m_loader.joinable()) {
        m_loader.join();
    }
    const std::lock_guard lock(m_mutex);
    return m_keys && m_keys->usable();
}

std::optional<SearchMatches> SubjectSearchSession::searchInMemory(const SearchRequest& request)
{
    std::optional<std::vector<std::int64_t>> order;
    bool stale = false;
    {
        const std::lock_guard lock(m_mutex);
        if (!m_keys) {
            return std::nullopt;
        }
        try {
            // Keys that cannot order (a number that is not a whole number) are read again only once the file
            // changed.
            const bool tryKeys = m_keys->usable() || m_keys->changed();
            order = tryKeys ? m_keys->order(request) : std::nullopt;
            stale = tryKeys && !order;
        } catch (const std::exception&) {
            stale = true;
        }
        if (stale) {
            m_keys.reset();
        }
    }
    if (stale) {
        startLoadingKeys();
    }
    if (!order) {
        return std::nullopt;
    }
    SearchMatches outcome = matchesInOrder(std::move(*order), request);
    outcome.fromMemory = true;
    return outcome;
}

store::Result<SearchMatches> SubjectSearchSession::search(const std::string& connectionString,
                                                          const SearchRequest& request)
{
    if (!m_reader || connectionString != m_connectionString) {
        return runSearch(connectionString, request);
    }
    if (const auto tooLong = patternTooLong(searchPattern(request))) {
        return failedSearch(*tooLong);
    }
    if (auto inMemory = searchInMemory(request)) {
        return std::move(*inMemory);
    }
    try {
        return matchesInOrder(searchOrder(*m_reader, request), request);
    } catch (const std::exception& error) {
        return failedSearch(error.what());
    }
}

store::Result<std::vector<ResultRow>> SubjectSearchSession::rows(const std::vector<std::int64_t>& movementIds)
{
    try {
        if (!m_reader) {
            auto connection = store::Connection::open(m_connectionString, store::AccessMode::ReadOnly);
            return resultRows(connection, movementIds);
        }
        return resultRows(*m_reader, movementIds);
    } catch (const std::exception& error) {
        return store::Result<std::vector<ResultRow>>::failure(error.what());
    }
}

void SubjectSearchSession::close()
{
    stopLoadingKeys();
    const std::lock_guard lock(m_mutex);
    m_keys.reset();
    m_reader.reset();
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
