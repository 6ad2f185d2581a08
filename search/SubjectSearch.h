#pragma once

#include "store/Connection.h"
#include "store/Result.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace velk::search
{

/// What the user asked for: the whole text of the subject box, unchanged, and the two settings.
struct SearchRequest
{
    std::string text;
    bool useWildcard = false;
    bool sortByDeviation = false;
};

/// SQLite refuses LIKE patterns longer than this many bytes.
inline constexpr std::size_t kMaxPatternBytes = 50000;

/// Number of cells in a result row, and of columns in the result grid.
inline constexpr std::size_t kResultColumns = 10;

/// The LIKE pattern of a request, without quotes: "%" + text + "%" with the wildcard, else the text itself.
/// "%" and "_" in the text stay wildcards in both modes.
std::string searchPattern(const SearchRequest& request);

/// The pattern between two double quote characters, as the status bar and the message box show it (escaped as
/// by store::shownText).
std::string shownPattern(const SearchRequest& request);

/// A subject as the list shows it: the stored text, with bytes that are not UTF-8 and control characters shown
/// escaped (store::shownText). Picking it from the list searches for the stored text, not for this one.
std::string shownSubject(const std::string& stored);

/// The statement that lists every distinct non-null subject of the six subject columns, sorted.
std::string subjectListStatement();

/// Every distinct non-null subject in use, in ascending (byte) order, from tblSubjectUse where the catalogue keeps
/// it (store::hasSubjectUse), else with subjectListStatement. Opens its own read-only connection.
/// Throws store::StoreError when the catalogue cannot be opened or read.
std::vector<std::string> subjectList(const std::string& connectionString);
/// The same on a connection the caller keeps open (the search window's, for one opening).
std::vector<std::string> subjectList(store::Connection& connection);

/// The search statement: six selects, one per subject position, joined by UNION and sorted by position,
/// catalogue and movement number, with the stored deviation first when sortByDeviation. Each select holds
/// one "?" for the pattern, so the statement takes the pattern six times as bound parameters.
std::string searchStatement(bool sortByDeviation);
/// The same statement; throughSubjectUse narrows each select to the rows whose subject is one of the distinct
/// subjects in tblSubjectUse the pattern matches (same rows, same order), and each select then takes the pattern
/// twice (twelve parameters). runSearch uses it for a pattern starting with a wildcard where the catalogue keeps
/// that table in step (store::hasSubjectUse).
std::string searchStatement(bool sortByDeviation, bool throughSubjectUse);

/// The search statement with only the columns its order needs (the deviation, the position, iMovementID, iKTN and
/// iMvmt, in the search statement's column order): the same rows in the same order, ties included, without reading
/// the subjects and descriptions of rows that may never be shown. Takes its parameters as searchStatement does.
std::string orderStatement(bool sortByDeviation, bool throughSubjectUse);

/// The subject list's statement where the catalogue keeps tblSubjectUse in step: the same subjects in the same
/// order as subjectListStatement, read from the distinct subjects alone.
std::string quickSubjectListStatement();

/// The header texts of the result grid and of the tool's output, in column order.
const std::vector<std::string>& resultHeaders();

/// Column widths of the result grid in twips, in column order.
const std::vector<int>& resultColumnWidths();

/// The movement of each row the search gives, in result order, read from the file with the order statement (through
/// tblSubjectUse as runSearch reads). Throws store::StoreError.
std::vector<std::int64_t> searchOrder(store::Connection& connection, const SearchRequest& request);

/// The cells of one result row: iKTN, iMVMT, Deviation, Sub1 to Sub6 (as shownSubject shows them), and the
/// description as plain text; Null gives the empty text.
using ResultRow = std::vector<std::string>;

/// The result rows of the movements, in the order given (an id may come more than once); a movement that is not in
/// the catalogue gives a row of empty cells. Throws store::StoreError.
std::vector<ResultRow> resultRows(store::Connection& connection, const std::vector<std::int64_t>& movementIds);

/// What one search found.
struct SearchMatches
{
    /// One row per (movement, matching subject position), in result order, kResultColumns cells each. runSearch
    /// fills them; SubjectSearchSession::search leaves them empty, its window reads the rows it shows with
    /// SubjectSearchSession::rows.
    std::vector<ResultRow> rows;
    /// The movement of each row, in result order (for the rows, and for exporting and printing the results).
    std::vector<std::int64_t> movementIds;
    /// The order came from the movements' numbers and deviations kept in memory by the search session.
    bool fromMemory = false;
    /// Number of rows (a movement matching in two positions counts twice).
    std::size_t matchCount = 0;
    /// "N matches for \"pattern\" found" or "No matches for \"pattern\" found.".
    std::string statusText;
};

/// Runs the search on its own read-only connection. An over-long pattern, a missing catalogue or a failed
/// statement gives a failure with a finished message; nothing is thrown.
store::Result<SearchMatches> runSearch(const std::string& connectionString, const SearchRequest& request);
/// The same on a read-only connection the caller keeps open, so that a second search finds the pages the
/// first one read still in the connection's cache.
store::Result<SearchMatches> runSearch(store::Connection& connection, const SearchRequest& request);

class MovementKeys;

/// One opening of the search window: it reads the subject list and every search through one read-only connection,
/// so that later searches find the pages earlier ones read still in its cache. Where that connection cannot be
/// opened, each search opens its own and says what is wrong each time. Nothing is thrown.
///
/// A search hands back the order of its rows only (the movement ids), and the window reads the rows it shows. On
/// opening, a thread of its own reads every movement's number and deviation (a few hundred milliseconds at 100,000
/// movements) on a second read-only connection; once read, a search takes the matching ids from the subject indexes
/// and orders them in memory (a few milliseconds for thousands of rows) instead of reading every matching row of
/// the movement table. That connection's data version tells when another program changed the file: the search then
/// reads the order from the file and the numbers are read again.
class SubjectSearchSession
{
public:
    SubjectSearchSession();
    ~SubjectSearchSession();
    SubjectSearchSession(const SubjectSearchSession&) = delete;
    SubjectSearchSession& operator=(const SubjectSearchSession&) = delete;

    /// Opens the catalogue, reads its subject list (as subjectList) and starts reading the movements' numbers; a
    /// failure carries the finished message and leaves the session searching on a connection per search.
    store::Result<std::vector<std::string>> open(const std::string& connectionString);
    /// Finds the order of the rows runSearch would give (movementIds, matchCount, statusText; rows left empty), on
    /// the session's connections when they are open on connectionString, otherwise on a connection of its own (and
    /// then with the rows).
    store::Result<SearchMatches> search(const std::string& connectionString, const SearchRequest& request);
    /// The result rows of the movements, as resultRows reads them, on the session's connection.
    store::Result<std::vector<ResultRow>> rows(const std::vector<std::int64_t>& movementIds);
    /// Waits until the reading of the movements' numbers under way, if any, is done; true when searches order in
    /// memory.
    bool waitForKeys();
    /// Lets go of the catalogue (stopping a reading under way).
    void close();

private:
    void startLoadingKeys();
    void stopLoadingKeys();
    std::optional<SearchMatches> searchInMemory(const SearchRequest& request);

    std::string m_connectionString;
    std::unique_ptr<store::Connection> m_reader;
    std::mutex m_mutex;
    std::unique_ptr<MovementKeys> m_keys; ///< with the connection they were read on; guarded by m_mutex
    std::thread m_loader;
    std::atomic<bool> m_cancel = false;
    std::atomic<bool> m_loading = false;
};

/// The status text for a number of matches of the request.
std::string statusText(std::size_t matchCount, const SearchRequest& request);

/// Joins cells with tab characters, as a grid row or an output line. A tab inside a cell becomes a blank so it
/// cannot shift the columns; with singleLine, line breaks become blanks too.
std::string joinCells(const std::vector<std::string>& cells, bool singleLine);

} // namespace velk::search
