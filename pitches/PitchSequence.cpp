#include "pitches/PitchSequence.h"

#include "store/Connection.h"
#include "store/ConnectionString.h"
#include "store/ResultSet.h"
#include "store/StoreError.h"
#include "tabulations/Tabulation.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>
#include <unordered_map>
#include <utility>

namespace velk::pitches
{

namespace
{

constexpr const char* kCountPrefix
    = "SELECT Count(tblmovementpitchjoin.iMovementID) AS pitchcount FROM tblpitchlookup LEFT JOIN "
      "tblmovementpitchjoin ON tblpitchlookup.iPitchID = tblmovementpitchjoin.iPitchID WHERE "
      "tblmovementpitchjoin.iMovementID=";

/// The failure message of savePitches. The store's messages already name the catalogue file in most cases;
/// where one does not, the file is named here.
std::string storeFailure(const std::string& file, std::string reason)
{
    if (!reason.empty() && reason.front() >= 'A' && reason.front() <= 'Z') {
        reason.front() = static_cast<char>(reason.front() - 'A' + 'a');
    }
    const std::string fileName = std::filesystem::path(file).filename().string();
    std::string message = reason.find(fileName) != std::string::npos
        ? "The pitches could not be stored: " + reason
        : "The pitches could not be stored in " + file + ": " + reason;
    if (message.back() != '.') {
        message += '.';
    }
    return message;
}

/// The catalogue file a connection string names, as an absolute path where it can be made one.
std::string catalogueFilePath(const std::string& connectionString)
{
    const std::string file = store::catalogueFileFromConnectionString(connectionString);
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(file, error);
    return error ? file : absolute.lexically_normal().string();
}

} // namespace

std::string sequenceStatement(std::int64_t movementId)
{
    return "SELECT tblMovementPitchJoin.iMovementID, tblMovementPitchJoin.iMovementPitchID, "
           "tblMovementPitchJoin.iPitchID, tblPitchLookup.txtVelkFont "
           " FROM tblMovementPitchJoin INNER JOIN tblPitchLookup ON tblMovementPitchJoin.iPitchID = "
           "tblPitchLookup.iPitchID  "
           "where imovementid = "
        + std::to_string(movementId) + " ORDER BY tblMovementPitchJoin.iMovementPitchID";
}

std::string flatCountStatement(std::int64_t movementId)
{
    return kCountPrefix + std::to_string(movementId)
        + " AND (tblpitchlookup.txtPitch LIKE '_/' OR tblpitchlookup.txtPitch LIKE '_//') GROUP BY "
          "tblmovementpitchjoin.iMovementID";
}

std::string sharpCountStatement(std::int64_t movementId)
{
    return kCountPrefix + std::to_string(movementId)
        + " AND (tblpitchlookup.txtPitch LIKE '_*' OR tblpitchlookup.txtPitch LIKE '_**') GROUP BY "
          "tblmovementpitchjoin.iMovementID";
}

MovementPitches loadMovementPitches(const std::string& connectionString, std::int64_t movementId)
{
    store::Connection connection = store::Connection::open(connectionString, store::AccessMode::ReadOnly);
    // One read of the sequence and one of the vocabulary, in one snapshot, give what the sequence statement and
    // the two count statements give: the join drops a position whose pitch is not in the vocabulary, and each
    // pitch's spelling is judged by the count statements' own LIKE patterns.
    struct Facts
    {
        std::string glyph;
        bool flat;
        bool sharp;
    };
    std::unordered_map<std::int64_t, Facts> vocabulary;
    MovementPitches result;
    connection.begin();
    connection.forEachRow(
        "SELECT iPitchID, txtVelkFont, Coalesce(txtPitch LIKE '_/' OR txtPitch LIKE '_//', 0), Coalesce(txtPitch "
        "LIKE '_*' OR txtPitch LIKE '_**', 0) FROM tblPitchLookup",
        {}, [&](const std::vector<store::Value>& row) {
            vocabulary[row.at(0).toInt64()] = {row.at(1).toText(), row.at(2).toInt64() != 0, row.at(3).toInt64() != 0};
        });
    const std::vector<std::int64_t> sequence = connection.integers(
        "SELECT iPitchID FROM tblMovementPitchJoin WHERE iMovementID = ? ORDER BY iMovementPitchID",
        {store::Value(movementId)});
    connection.commit();
    connection.close();
    result.entries.reserve(sequence.size());
    for (const std::int64_t pitchId : sequence) {
        const auto found = vocabulary.find(pitchId);
        if (found == vocabulary.end()) {
            continue;
        }
        result.entries.push_back({static_cast<std::int32_t>(pitchId), found->second.glyph});
        result.flatCount += found->second.flat ? 1 : 0;
        result.sharpCount += found->second.sharp ? 1 : 0;
    }
    return result;
}

namespace
{

/// One stored position of a movement: its row id and its pitch.
struct StoredRow
{
    std::int64_t id;
    std::int32_t pitchId;
};

std::vector<StoredRow> storedRows(store::Connection& connection, std::int64_t movementId)
{
    const std::vector<std::int64_t> values = connection.integers(
        "SELECT iMovementPitchID, iPitchID FROM tblMovementPitchJoin WHERE iMovementID = ? ORDER BY iMovementPitchID",
        {store::Value(movementId)});
    std::vector<StoredRow> rows;
    rows.reserve(values.size() / 2);
    for (std::size_t i = 0; i + 1 < values.size(); i += 2) {
        rows.push_back({values[i], static_cast<std::int32_t>(values[i + 1])});
    }
    return rows;
}

/// head followed by rows groups of columns placeholders: "(?,?),(?,?)".
std::string multiRowInsert(const std::string& head, std::size_t columns, std::size_t rows)
{
    std::string group = "(?";
    for (std::size_t c = 1; c < columns; ++c) {
        group += ",?";
    }
    group += ')';
    std::string sql = head;
    for (std::size_t i = 0; i < rows; ++i) {
        sql += i == 0 ? group : "," + group;
    }
    return sql;
}

/// Appends positions after the movement's stored ones (new ids are higher than any given before), many rows to a
/// statement.
void appendPositions(store::Connection& connection,
                     std::int64_t movementId,
                     std::vector<std::int32_t>::const_iterator first,
                     std::vector<std::int32_t>::const_iterator last)
{
    constexpr std::size_t kBatch = 400;
    const auto statement = [](std::size_t rows) {
        return multiRowInsert("insert into tblmovementpitchjoin (imovementid, ipitchid) values ", 2, rows);
    };
    const std::string full = statement(kBatch);
    std::vector<store::Value> params;
    params.reserve(kBatch * 2);
    while (first != last) {
        const auto count = std::min<std::size_t>(kBatch, static_cast<std::size_t>(last - first));
        params.clear();
        for (std::size_t i = 0; i < count; ++i, ++first) {
            params.emplace_back(movementId);
            params.emplace_back(std::int64_t {*first});
        }
        connection.execute(count == kBatch ? full : statement(count), params);
    }
}

/// Deletes the movement's stored positions whose ids lie from first to last (a run of its rows in sequence order).
void deletePositions(store::Connection& connection, std::int64_t movementId, std::int64_t first, std::int64_t last)
{
    connection.execute("DELETE FROM tblMovementPitchJoin WHERE iMovementID = ? AND iMovementPitchID BETWEEN ? AND ?",
                       {store::Value(movementId), store::Value(first), store::Value(last)});
}

/// Makes the movement's stored rows hold pitchIds, writing only what differs from what is stored: a run of pitches
/// appended is inserted after the stored rows, a run deleted has its rows deleted, and otherwise each position
/// whose pitch changed is updated in place (its iMovementPitchID stays), the rows beyond the new end deleted and
/// the positions beyond the old end appended. The stored order (ascending iMovementPitchID) is the sequence's.
void writeDifference(store::Connection& connection, std::int64_t movementId, const std::vector<std::int32_t>& pitchIds)
{
    const std::vector<StoredRow> stored = storedRows(connection, movementId);
    const std::size_t n = stored.size();
    const std::size_t m = pitchIds.size();
    const std::size_t shorter = std::min(n, m);
    std::size_t prefix = 0;
    while (prefix < shorter && stored[prefix].pitchId == pitchIds[prefix]) {
        ++prefix;
    }
    std::size_t suffix = 0;
    while (prefix + suffix < shorter && stored[n - 1 - suffix].pitchId == pitchIds[m - 1 - suffix]) {
        ++suffix;
    }
    if (n == m && prefix == n) {
        return;
    }
    if (m < n && prefix + suffix == m) {
        deletePositions(connection, movementId, stored[prefix].id, stored[n - suffix - 1].id);
        return;
    }
    for (std::size_t i = prefix; i < shorter; ++i) {
        if (stored[i].pitchId != pitchIds[i]) {
            connection.execute("UPDATE tblMovementPitchJoin SET iPitchID = ? WHERE iMovementPitchID = ?",
                               {store::Value(std::int64_t {pitchIds[i]}), store::Value(stored[i].id)});
        }
    }
    if (m < n) {
        deletePositions(connection, movementId, stored[m].id, stored[n - 1].id);
    } else if (m > n) {
        appendPositions(connection, movementId, pitchIds.begin() + static_cast<std::ptrdiff_t>(n), pitchIds.end());
    }
}

/// The changes, the deviation and what the caller adds, in one transaction; returns the deviation stored.
double replaceSequence(store::Connection& connection,
                       std::int64_t movementId,
                       const std::vector<std::int32_t>& pitchIds,
                       const std::function<void(store::Connection&)>& alsoInTransaction)
{
    store::Transaction transaction(connection);
    writeDifference(connection, movementId, pitchIds);
    // The figure belongs to the sequence: written with it, it can never describe an older one.
    const double deviation = tabulations::storeDeviation(connection, movementId, pitchIds);
    if (alsoInTransaction) {
        alsoInTransaction(connection);
    }
    transaction.commit();
    return deviation;
}

store::Result<SavedSequence> failed(std::string message)
{
    return store::Result<SavedSequence>::failure(std::move(message));
}

} // namespace

void insertStoredPositions(store::Connection& connection, const std::vector<StoredPosition>& positions)
{
    // Three parameters a row, well below SQLite's limit; the full statement is prepared once and reused.
    constexpr std::size_t kBatch = 300;
    const auto statement = [](std::size_t rows) {
        return multiRowInsert("insert into tblmovementpitchjoin (imovementpitchid, imovementid, ipitchid) values ", 3,
                              rows);
    };
    const std::string full = statement(kBatch);
    std::vector<store::Value> params;
    params.reserve(kBatch * 3);
    for (std::size_t start = 0; start < positions.size(); start += kBatch) {
        const std::size_t count = std::min(kBatch, positions.size() - start);
        params.clear();
        for (std::size_t i = start; i < start + count; ++i) {
            params.emplace_back(positions[i].id);
            params.emplace_back(positions[i].movementId);
            params.emplace_back(std::int64_t {positions[i].pitchId});
        }
        connection.execute(count == kBatch ? full : statement(count), params);
    }
}

store::Result<SavedSequence> savePitches(const std::string& connectionString,
                                         std::int64_t movementId,
                                         const std::vector<std::int32_t>& pitchIds,
                                         const std::function<void(store::Connection&)>& alsoInTransaction)
{
    if (movementId < 1) {
        return failed(kMovementNotSaved);
    }
    std::string file = connectionString;
    SavedSequence saved;
    try {
        file = catalogueFilePath(connectionString);
        store::Connection connection = store::Connection::open(connectionString, store::AccessMode::ReadWrite);
        saved.deviation = replaceSequence(connection, movementId, pitchIds, alsoInTransaction);
        connection.close();
    } catch (const store::StoreError& error) {
        return failed(storeFailure(file, error.what()));
    }
    return saved;
}

store::Result<SavedSequence> savePitches(store::Connection& connection,
                                         std::int64_t movementId,
                                         const std::vector<std::int32_t>& pitchIds,
                                         const std::function<void(store::Connection&)>& alsoInTransaction)
{
    if (movementId < 1) {
        return failed(kMovementNotSaved);
    }
    SavedSequence saved;
    try {
        saved.deviation = replaceSequence(connection, movementId, pitchIds, alsoInTransaction);
    } catch (const store::StoreError& error) {
        return failed(storeFailure(connection.path(), error.what()));
    }
    return saved;
}

} // namespace velk::pitches
