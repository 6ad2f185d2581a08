#include "melody/MelodyIndex.h"

#include "store/StoreError.h"
#include "store/Value.h"

#include <algorithm>
#include <exception>
#include <iterator>
#include <map>
#include <set>
#include <tuple>
#include <utility>

namespace velk::melody
{

namespace
{

using store::Value;

/// Rows per INSERT statement: 4 parameters each, well below SQLite's parameter limit, and the statement is
/// prepared once and reused from the connection's cache.
constexpr std::size_t kInsertBatch = 300;

/// Every stored sequence of an existing movement, position by position.
const char* const kAllSequences
    = "SELECT iMovementID, iPitchID FROM tblMovementPitchJoin "
      "WHERE iMovementID IN (SELECT iMovementID FROM tblMovement) ORDER BY iMovementID, iMovementPitchID";

struct Row
{
    std::int32_t key;
    std::int32_t pitchId;
    std::int64_t movementId;
    std::int64_t position;
};

std::string insertStatement(std::size_t rows)
{
    std::string sql = "INSERT INTO tblMelodyIndex (iKey, iPitchID, iMovementID, iPosition) VALUES ";
    for (std::size_t i = 0; i < rows; ++i) {
        sql += i == 0 ? "(?,?,?,?)" : ",(?,?,?,?)";
    }
    return sql;
}

void insertRows(store::Connection& connection, const std::vector<Row>& rows)
{
    const std::string full = insertStatement(kInsertBatch);
    std::vector<Value> params;
    params.reserve(kInsertBatch * 4);
    for (std::size_t start = 0; start < rows.size(); start += kInsertBatch) {
        const std::size_t count = std::min(kInsertBatch, rows.size() - start);
        params.clear();
        for (std::size_t i = start; i < start + count; ++i) {
            params.emplace_back(std::int64_t {rows[i].key});
            params.emplace_back(std::int64_t {rows[i].pitchId});
            params.emplace_back(rows[i].movementId);
            params.emplace_back(rows[i].position);
        }
        connection.execute(count == kInsertBatch ? full : insertStatement(count), params);
    }
}

/// A savepoint: nests inside the caller's transaction, or acts as a transaction of its own. Rolled back on
/// destruction unless released.
class Savepoint
{
public:
    explicit Savepoint(store::Connection& connection)
        : m_connection(connection)
    {
        m_connection.execute("SAVEPOINT velk_melody_index");
    }
    ~Savepoint()
    {
        if (!m_released) {
            try {
                m_connection.execute("ROLLBACK TO velk_melody_index");
                m_connection.execute("RELEASE velk_melody_index");
            } catch (const std::exception&) {
                // The failure that brought us here is the one to report.
            }
        }
    }
    Savepoint(const Savepoint&) = delete;
    Savepoint& operator=(const Savepoint&) = delete;
    void release()
    {
        m_connection.execute("RELEASE velk_melody_index");
        m_released = true;
    }

private:
    store::Connection& m_connection;
    bool m_released = false;
};

/// Walks every stored sequence of an existing movement, one movement at a time, in ascending iMovementID.
template <typename OnSequence>
void forEachSequence(store::Connection& connection, OnSequence onSequence)
{
    std::int64_t current = 0;
    bool any = false;
    std::vector<std::int32_t> pitches;
    connection.forEachRow(kAllSequences, {}, [&](const std::vector<Value>& row) {
        const std::int64_t movementId = row[0].toInt64();
        if (any && movementId != current) {
            onSequence(current, pitches);
            pitches.clear();
        }
        current = movementId;
        any = true;
        pitches.push_back(static_cast<std::int32_t>(row[1].toInt64()));
    });
    if (any) {
        onSequence(current, pitches);
    }
}

/// A digest of one movement's index rows in position order, and their number.
struct Digest
{
    std::uint64_t hash = 1469598103934665603ull;
    std::int64_t rows = 0;
    void add(std::int64_t position, std::int32_t key, std::int32_t pitchId)
    {
        for (const std::uint64_t part : {static_cast<std::uint64_t>(position), static_cast<std::uint64_t>(key),
                                         static_cast<std::uint64_t>(pitchId)}) {
            hash = (hash ^ part) * 1099511628211ull;
        }
        ++rows;
    }
    bool operator==(const Digest&) const = default;
};

std::string reindexHint(const store::Connection& connection)
{
    return "velk-catalogue melody --reindex " + connection.path();
}

/// The entry of tblMelodyIndexPending that puts the whole index behind (no movement has the id 0).
constexpr std::int64_t kWholeIndex = 0;

/// True when the catalogue has the tracking table and every trigger that fills it.
bool tracksChanges(store::Connection& connection)
{
    const auto row = connection
                         .query("SELECT (SELECT Count(*) FROM sqlite_master WHERE type = 'table' AND name = "
                                "'tblMelodyIndexPending' COLLATE NOCASE), (SELECT Count(*) FROM sqlite_master WHERE "
                                "type = 'trigger' AND name LIKE 'trgMelodyPending%')")
                         .rows()
                         .at(0);
    return row.at(0).toInt64() == 1 && row.at(1).toInt64() == store::kMelodyIndexTriggers;
}

/// The movements tracked as changed since their index rows were written (kWholeIndex among them when the whole
/// index is behind), in ascending order.
std::vector<std::int64_t> pendingMovements(store::Connection& connection)
{
    std::vector<std::int64_t> ids;
    connection.forEachRow("SELECT iMovementID FROM tblMelodyIndexPending ORDER BY iMovementID", {},
                          [&](const std::vector<Value>& row) { ids.push_back(row[0].toInt64()); });
    return ids;
}

/// Makes one movement's index rows those of its sequence and takes it off the pending changes. Only the rows that
/// differ from those stored are written: a change near the end of a long sequence touches a few rows, while one
/// that moves the positions after it (a pitch inserted or deleted early) rewrites the rows from there on.
void writeMovementRows(store::Connection& connection,
                       const PitchClasses& classes,
                       std::int64_t movementId,
                       const std::vector<std::int32_t>& pitchIds,
                       bool tracked)
{
    const auto order = [](const Row& a, const Row& b) {
        return std::tie(a.position, a.key, a.pitchId) < std::tie(b.position, b.key, b.pitchId);
    };
    std::vector<Row> wanted;
    for (const IndexEntry& entry : indexEntries(pitchIds, classes)) {
        wanted.push_back({entry.key, entry.pitchId, movementId, entry.position});
    }
    const std::vector<std::int64_t> values = connection.integers(
        "SELECT iKey, iPitchID, iPosition FROM tblMelodyIndex WHERE iMovementID = ? ORDER BY iPosition, iKey, iPitchID",
        {Value(movementId)});
    std::vector<Row> stored;
    stored.reserve(values.size() / 3);
    for (std::size_t i = 0; i + 2 < values.size(); i += 3) {
        stored.push_back({static_cast<std::int32_t>(values[i]), static_cast<std::int32_t>(values[i + 1]), movementId,
                          values[i + 2]});
    }
    std::vector<Row> gone;
    std::set_difference(stored.begin(), stored.end(), wanted.begin(), wanted.end(), std::back_inserter(gone), order);
    std::vector<Row> added;
    std::set_difference(wanted.begin(), wanted.end(), stored.begin(), stored.end(), std::back_inserter(added), order);
    if (gone.size() * 2 > stored.size()) {
        // Most rows go: one delete of them all and the insert of every row is quicker than deleting row by row.
        connection.execute("DELETE FROM tblMelodyIndex WHERE iMovementID = ?", {Value(movementId)});
        insertRows(connection, wanted);
    } else {
        for (const Row& row : gone) {
            connection.execute(
                "DELETE FROM tblMelodyIndex WHERE iKey = ? AND iPitchID = ? AND iMovementID = ? AND iPosition = ?",
                {Value(std::int64_t {row.key}), Value(std::int64_t {row.pitchId}), Value(movementId),
                 Value(row.position)});
        }
        insertRows(connection, added);
    }
    if (tracked) {
        connection.execute("DELETE FROM tblMelodyIndexPending WHERE iMovementID = ?", {Value(movementId)});
    }
}

} // namespace

std::int32_t melodyKey(int first, int second, int third)
{
    return static_cast<std::int32_t>((first * kKeyBase + second) * kKeyBase + third);
}

int classStep(int from, int to)
{
    return ((to - from) % 12 + 12) % 12;
}

PitchClasses::PitchClasses(std::unordered_map<std::int32_t, int> classes)
    : m_classes(std::move(classes))
{
}

PitchClasses PitchClasses::load(store::Connection& connection)
{
    std::unordered_map<std::int32_t, int> classes;
    if (store::hasColumn(connection, "tblClassLookup", "iSemitone")) {
        // The class's own semitone: an imported catalogue may number its classes from another note.
        connection.forEachRow("SELECT j.iPitchID, c.iSemitone FROM tblPitchClassJoin j JOIN tblClassLookup c ON "
                              "c.iClassID = j.iClassID WHERE c.iSemitone BETWEEN 0 AND 11 ORDER BY j.iPitchID, "
                              "c.iClassID DESC",
                              {}, [&](const std::vector<Value>& row) {
                                  classes[static_cast<std::int32_t>(row[0].toInt64())]
                                      = static_cast<int>(row[1].toInt64());
                              });
        return PitchClasses(std::move(classes));
    }
    connection.forEachRow("SELECT iPitchID, Min(iClassID) FROM tblPitchClassJoin "
                          "WHERE iClassID BETWEEN 1 AND 12 GROUP BY iPitchID",
                          {}, [&](const std::vector<Value>& row) {
                              classes[static_cast<std::int32_t>(row[0].toInt64())]
                                  = static_cast<int>(row[1].toInt64()) - 1;
                          });
    return PitchClasses(std::move(classes));
}

std::optional<int> PitchClasses::classOf(std::int32_t pitchId) const
{
    const auto found = m_classes.find(pitchId);
    if (found == m_classes.end()) {
        return std::nullopt;
    }
    return found->second;
}

std::vector<std::optional<int>> PitchClasses::classesOf(const std::vector<std::int32_t>& pitchIds) const
{
    std::vector<std::optional<int>> classes;
    classes.reserve(pitchIds.size());
    for (const std::int32_t id : pitchIds) {
        classes.push_back(classOf(id));
    }
    return classes;
}

std::vector<std::int32_t> PitchClasses::pitchesOf(int pitchClass) const
{
    std::vector<std::int32_t> pitches;
    for (const auto& [pitchId, itsClass] : m_classes) {
        if (itsClass == pitchClass) {
            pitches.push_back(pitchId);
        }
    }
    std::sort(pitches.begin(), pitches.end());
    return pitches;
}

std::vector<IndexEntry> indexEntries(const std::vector<std::int32_t>& pitchIds, const PitchClasses& classes)
{
    const std::vector<std::optional<int>> sequence = classes.classesOf(pitchIds);
    std::vector<IndexEntry> entries;
    const std::size_t n = sequence.size();
    // The step that starts at position i (0-based), or kNoStep where the run of classed pitches ends.
    const auto stepAt = [&](std::size_t i) {
        if (i + 1 >= n || !sequence[i] || !sequence[i + 1]) {
            return kNoStep;
        }
        return classStep(*sequence[i], *sequence[i + 1]);
    };
    for (std::size_t i = 0; i < n; ++i) {
        if (!sequence[i]) {
            continue;
        }
        const int first = stepAt(i);
        const int second = first == kNoStep ? kNoStep : stepAt(i + 1);
        const int third = second == kNoStep ? kNoStep : stepAt(i + 2);
        entries.push_back({static_cast<std::int64_t>(i + 1), melodyKey(first, second, third), pitchIds[i]});
    }
    return entries;
}

bool hasMelodyIndex(store::Connection& connection)
{
    return connection
               .query("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE",
                      {Value(kMelodyIndexTable)})
               .recordCount()
        > 0;
}

IndexState melodyIndexState(store::Connection& connection)
{
    if (!hasMelodyIndex(connection)) {
        return IndexState::Missing;
    }
    if (!tracksChanges(connection)
        || connection.query("SELECT Count(*) FROM (SELECT 1 FROM tblMelodyIndexPending LIMIT 1)")
                .rows()
                .at(0)
                .at(0)
                .toInt64()
            > 0) {
        return IndexState::Behind;
    }
    return IndexState::Current;
}

void ensureMelodyIndex(store::Connection& connection)
{
    if (!hasMelodyIndex(connection)) {
        rebuildMelodyIndex(connection);
        return;
    }
    if (!tracksChanges(connection)) {
        Savepoint savepoint(connection);
        connection.executeScript(store::kMelodyIndexTracking);
        connection.execute("INSERT OR IGNORE INTO tblMelodyIndexPending (iMovementID) VALUES (?)",
                           {Value(kWholeIndex)});
        savepoint.release();
    }
}

std::size_t updateMelodyIndex(store::Connection& connection)
{
    if (!hasMelodyIndex(connection) || !tracksChanges(connection)) {
        rebuildMelodyIndex(connection);
        return static_cast<std::size_t>(
            connection.query("SELECT Count(DISTINCT iMovementID) FROM tblMelodyIndex").rows().at(0).at(0).toInt64());
    }
    const std::vector<std::int64_t> pending = pendingMovements(connection);
    if (pending.empty()) {
        return 0;
    }
    if (std::find(pending.begin(), pending.end(), kWholeIndex) != pending.end()) {
        rebuildMelodyIndex(connection);
        return pending.size();
    }
    Savepoint savepoint(connection);
    const PitchClasses classes = PitchClasses::load(connection);
    for (const std::int64_t movementId : pending) {
        // A movement that is gone keeps no rows; its sequence rows, if another program left them, are not indexed.
        std::vector<std::int32_t> pitches;
        connection.forEachRow("SELECT iPitchID FROM tblMovementPitchJoin WHERE iMovementID = ? AND EXISTS (SELECT 1 "
                              "FROM tblMovement WHERE iMovementID = ?) ORDER BY iMovementPitchID",
                              {Value(movementId), Value(movementId)}, [&](const std::vector<Value>& row) {
                                  pitches.push_back(static_cast<std::int32_t>(row[0].toInt64()));
                              });
        writeMovementRows(connection, classes, movementId, pitches, true);
    }
    savepoint.release();
    return pending.size();
}

void indexMovement(store::Connection& connection, std::int64_t movementId, const std::vector<std::int32_t>& pitchIds)
{
    if (!hasMelodyIndex(connection)) {
        return;
    }
    writeMovementRows(connection, PitchClasses::load(connection), movementId, pitchIds, tracksChanges(connection));
}

void rebuildMelodyIndex(store::Connection& connection)
{
    Savepoint savepoint(connection);
    // Dropping and refilling in key order, with the secondary index built afterwards, is far quicker than
    // deleting and inserting row by row.
    connection.execute("DROP TABLE IF EXISTS tblMelodyIndex");
    connection.executeScript(kMelodyIndexSchema);
    connection.execute("DROP INDEX idxMelodyIndexMovement");
    const PitchClasses classes = PitchClasses::load(connection);
    std::vector<Row> rows;
    forEachSequence(connection, [&](std::int64_t movementId, const std::vector<std::int32_t>& pitches) {
        for (const IndexEntry& entry : indexEntries(pitches, classes)) {
            rows.push_back({entry.key, entry.pitchId, movementId, entry.position});
        }
    });
    std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
        return std::tie(a.key, a.pitchId, a.movementId, a.position)
            < std::tie(b.key, b.pitchId, b.movementId, b.position);
    });
    insertRows(connection, rows);
    connection.execute("CREATE INDEX idxMelodyIndexMovement ON tblMelodyIndex (iMovementID, iPosition)");
    connection.executeScript(store::kMelodyIndexTracking);
    connection.execute("DELETE FROM tblMelodyIndexPending");
    savepoint.release();
}

std::int64_t melodyIndexSize(store::Connection& connection)
{
    if (!hasMelodyIndex(connection)) {
        return 0;
    }
    return connection.query("SELECT Count(*) FROM tblMelodyIndex").rows().at(0).at(0).toInt64();
}

std::vector<std::string> melodyIndexProblems(store::Connection& connection)
{
    if (!hasMelodyIndex(connection)) {
        return {"The catalogue has no melody index; " + reindexHint(connection) + " builds it."};
    }
    // Tracked changes are not yet indexed, by design: the next search indexes them before it answers.
    std::set<std::int64_t> pending;
    if (tracksChanges(connection)) {
        for (const std::int64_t movementId : pendingMovements(connection)) {
            pending.insert(movementId);
        }
        if (pending.count(kWholeIndex) > 0) {
            return {};
        }
    }
    const PitchClasses classes = PitchClasses::load(connection);
    std::map<std::int64_t, Digest> expected;
    forEachSequence(connection, [&](std::int64_t movementId, const std::vector<std::int32_t>& pitches) {
        if (pending.count(movementId) > 0) {
            return;
        }
        Digest digest;
        for (const IndexEntry& entry : indexEntries(pitches, classes)) {
            digest.add(entry.position, entry.key, entry.pitchId);
        }
        if (digest.rows > 0) {
            expected[movementId] = digest;
        }
    });
    std::map<std::int64_t, Digest> stored;
    connection.forEachRow(
        "SELECT iMovementID, iPosition, iKey, iPitchID FROM tblMelodyIndex ORDER BY iMovementID, iPosition", {},
        [&](const std::vector<Value>& row) {
            if (pending.count(row[0].toInt64()) > 0) {
                return;
            }
            stored[row[0].toInt64()].add(row[1].toInt64(), static_cast<std::int32_t>(row[2].toInt64()),
                                         static_cast<std::int32_t>(row[3].toInt64()));
        });
    std::vector<std::int64_t> wrong;
    for (const auto& [movementId, digest] : expected) {
        const auto found = stored.find(movementId);
        if (found == stored.end() || !(found->second == digest)) {
            wrong.push_back(movementId);
        }
    }
    for (const auto& [movementId, digest] : stored) {
        if (expected.count(movementId) == 0) {
            wrong.push_back(movementId);
        }
    }
    if (wrong.empty()) {
        return {};
    }
    std::sort(wrong.begin(), wrong.end());
    std::string named;
    for (std::size_t i = 0; i < wrong.size() && i < 3; ++i) {
        named += (i == 0 ? "" : ", ") + std::to_string(wrong[i]);
    }
    if (wrong.size() > 3) {
        named += ", ...";
    }
    const std::string count = wrong.size() == 1 ? "1 movement" : std::to_string(wrong.size()) + " movements";
    return {"The melody index does not match the stored sequence of " + count + " (iMovementID " + named + "); "
            + reindexHint(connection) + " rebuilds it."};
}

bool melodyIndexIsCurrent(store::Connection& connection)
{
    return melodyIndexProblems(connection).empty();
}

} // namespace velk::melody
