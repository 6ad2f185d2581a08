#include "melody/MelodyIndex.h"

#include "store/StoreError.h"
#include "store/Value.h"

#include <algorithm>
#include <exception>
#include <map>
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

void ensureMelodyIndex(store::Connection& connection)
{
    if (!hasMelodyIndex(connection)) {
        rebuildMelodyIndex(connection);
    }
}

void indexMovement(store::Connection& connection, std::int64_t movementId, const std::vector<std::int32_t>& pitchIds)
{
    if (!hasMelodyIndex(connection)) {
        return;
    }
    const PitchClasses classes = PitchClasses::load(connection);
    connection.execute("DELETE FROM tblMelodyIndex WHERE iMovementID = ?", {Value(movementId)});
    std::vector<Row> rows;
    for (const IndexEntry& entry : indexEntries(pitchIds, classes)) {
        rows.push_back({entry.key, entry.pitchId, movementId, entry.position});
    }
    insertRows(connection, rows);
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
    const PitchClasses classes = PitchClasses::load(connection);
    std::map<std::int64_t, Digest> expected;
    forEachSequence(connection, [&](std::int64_t movementId, const std::vector<std::int32_t>& pitches) {
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
