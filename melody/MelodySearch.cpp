#include "melody/MelodySearch.h"

#include "melody/SequenceMemory.h"
#include "store/ConnectionString.h"
#include "store/StoreError.h"
#include "store/Value.h"

#include <sys/stat.h>

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <tuple>
#include <unordered_map>
#include <utility>

namespace velk::melody
{

namespace
{

using store::Value;

/// Movement ids per IN list; the statement keeps one shape (the last batch repeats its last id), so the
/// connection prepares it once.
constexpr std::size_t kIdBatch = 500;

using Hit = Occurrence;

std::string inList(std::size_t count)
{
    std::string list = "(";
    for (std::size_t i = 0; i < count; ++i) {
        list += i == 0 ? "?" : ",?";
    }
    return list + ")";
}

/// Runs the statement (which ends in an IN list of kIdBatch parameters) for the ids, batch by batch.
template <typename OnRow>
void forIdBatches(store::Connection& connection,
                  const std::string& statementStart,
                  const std::string& statementEnd,
                  const std::vector<std::int64_t>& ids,
                  OnRow onRow)
{
    const std::string sql = statementStart + inList(kIdBatch) + statementEnd;
    std::vector<Value> params;
    for (std::size_t start = 0; start < ids.size(); start += kIdBatch) {
        params.clear();
        for (std::size_t i = 0; i < kIdBatch; ++i) {
            params.emplace_back(ids[std::min(start + i, ids.size() - 1)]);
        }
        connection.forEachRow(sql, params, onRow);
    }
}

std::vector<std::int64_t> distinctMovements(const std::vector<Hit>& hits)
{
    std::vector<std::int64_t> ids;
    for (const Hit& hit : hits) {
        if (ids.empty() || ids.back() != hit.movementId) {
            ids.push_back(hit.movementId);
        }
    }
    return ids;
}

/// The steps between the classes of the melody; nothing when a pitch of it has no class.
std::optional<std::vector<int>> melodySteps(const std::vector<std::int32_t>& melody, const PitchClasses& classes)
{
    std::vector<int> steps;
    for (std::size_t i = 1; i < melody.size(); ++i) {
        const auto from = classes.classOf(melody[i - 1]);
        const auto to = classes.classOf(melody[i]);
        if (!from || !to) {
            return std::nullopt;
        }
        steps.push_back(classStep(*from, *to));
    }
    return steps;
}

/// Every occurrence, by reading every stored sequence.
std::vector<Hit>
scanAll(store::Connection& connection, const std::vector<std::int32_t>& melody, Mode mode, const PitchClasses& classes)
{
    std::vector<Hit> hits;
    std::int64_t current = 0;
    std::vector<std::int32_t> sequence;
    const auto finish = [&] {
        for (const std::int64_t position : occurrences(sequence, melody, mode, classes)) {
            hits.push_back({current, position});
        }
        sequence.clear();
    };
    connection.forEachRow("SELECT iMovementID, iPitchID FROM tblMovementPitchJoin ORDER BY iMovementID, "
                          "iMovementPitchID",
                          {}, [&](const std::vector<Value>& row) {
                              const std::int64_t movementId = row[0].toInt64();
                              if (!sequence.empty() && movementId != current) {
                                  finish();
                              }
                              current = movementId;
                              sequence.push_back(static_cast<std::int32_t>(row[1].toInt64()));
                          });
    if (!sequence.empty()) {
        finish();
    }
    return hits;
}

/// The keys a position may carry when it starts the melody's steps from offset i on (at least one step left):
/// the three steps themselves, or, near the melody's end, every key that begins with the steps that are left.
std::vector<Value> keysAt(const std::vector<int>& steps, std::size_t i)
{
    const std::size_t left = steps.size() - i;
    std::vector<Value> keys;
    if (left >= 3) {
        keys.emplace_back(std::int64_t {melodyKey(steps[i], steps[i + 1], steps[i + 2])});
    } else if (left == 2) {
        for (int third = 0; third <= kNoStep; ++third) {
            keys.emplace_back(std::int64_t {melodyKey(steps[i], steps[i + 1], third)});
        }
    } else {
        for (int second = 0; second <= kNoStep; ++second) {
            for (int third = 0; third <= kNoStep; ++third) {
                // Once a run has ended, every later digit says so too.
                if (second != kNoStep || third == kNoStep) {
                    keys.emplace_back(std::int64_t {melodyKey(steps[i], second, third)});
                }
            }
        }
    }
    return keys;
}

/// Joins of the index to itself beyond which the remaining pitches are checked against the stored sequences.
constexpr std::size_t kMaxJoins = 12;

/// Every occurrence, through the melody index. The first position of a run must carry a key that begins with the
/// melody's first steps (and, by spelling or class, its first pitch); the positions further on are looked up in the
/// same movement: every one of them by its pitch for exact spellings, every third one by its key otherwise, which
/// together check every step. A melody too long for the joins is checked against the stored sequences of the
/// movements that remain.
std::vector<Hit> searchIndex(store::Connection& connection,
                             const std::vector<std::int32_t>& melody,
                             const std::vector<int>& steps,
                             Mode mode,
                             const PitchClasses& classes)
{
    std::vector<Value> params = keysAt(steps, 0);
    std::string from = "tblMelodyIndex AS a0";
    std::string where = "a0.iKey IN " + inList(params.size());
    if (mode == Mode::Exact) {
        where += " AND a0.iPitchID = ?";
        params.emplace_back(std::int64_t {melody[0]});
    } else if (mode == Mode::Classes) {
        const auto pitches = classes.pitchesOf(*classes.classOf(melody[0]));
        where += " AND a0.iPitchID IN " + inList(pitches.size());
        for (const std::int32_t pitch : pitches) {
            params.emplace_back(std::int64_t {pitch});
        }
    }
    std::vector<std::size_t> offsets;
    for (std::size_t i = mode == Mode::Exact ? 1 : 3; i < melody.size(); i += mode == Mode::Exact ? 1 : 3) {
        if (mode == Mode::Exact || i < steps.size()) {
            offsets.push_back(i);
        }
    }
    const bool complete = offsets.size() <= kMaxJoins;
    offsets.resize(std::min(offsets.size(), kMaxJoins));
    for (const std::size_t i : offsets) {
        const std::string alias = "a" + std::to_string(i);
        // A CROSS JOIN keeps a0 as the outer loop; the positions further on are then single lookups.
        from += " CROSS JOIN tblMelodyIndex AS " + alias + " INDEXED BY idxMelodyIndexMovement";
        where += " AND " + alias + ".iMovementID = a0.iMovementID AND " + alias + ".iPosition = a0.iPosition + "
            + std::to_string(i);
        if (mode == Mode::Exact) {
            where += " AND " + alias + ".iPitchID = ?";
            params.emplace_back(std::int64_t {melody[i]});
        } else {
            const auto keys = keysAt(steps, i);
            // The unary plus keeps the key list a filter: as an index term it would cost a lookup per key.
            where += " AND +" + alias + ".iKey IN " + inList(keys.size());
            params.insert(params.end(), keys.begin(), keys.end());
        }
    }
    std::vector<Hit> candidates;
    connection.forEachRow("SELECT a0.iMovementID, a0.iPosition FROM " + from + " WHERE " + where, params,
                          [&](const std::vector<Value>& row) {
                              candidates.push_back({row[0].toInt64(), row[1].toInt64()});
                          });
    std::sort(candidates.begin(), candidates.end());
    if (complete) {
        return candidates;
    }

    std::unordered_map<std::int64_t, std::vector<std::int32_t>> sequences;
    forIdBatches(connection, "SELECT iMovementID, iPitchID FROM tblMovementPitchJoin WHERE iMovementID IN ",
                 " ORDER BY iMovementID, iMovementPitchID", distinctMovements(candidates),
                 [&](const std::vector<Value>& row) {
                     sequences[row[0].toInt64()].push_back(static_cast<std::int32_t>(row[1].toInt64()));
                 });
    std::vector<Hit> hits;
    for (const Hit& candidate : candidates) {
        const auto found = sequences.find(candidate.movementId);
        if (found != sequences.end() && candidate.position >= 1
            && occursAt(found->second, static_cast<std::size_t>(candidate.position - 1), melody, mode, classes)) {
            hits.push_back(candidate);
        }
    }
    return hits;
}

std::optional<std::int64_t> optionalInteger(const Value& value)
{
    if (value.isNull()) {
        return std::nullopt;
    }
    return value.toInt64();
}

/// The result rows of the hits, in result order; hits of a movement that is not in tblMovement are dropped.
std::vector<MelodyRow> describe(store::Connection& connection, const std::vector<Hit>& hits)
{
    std::unordered_map<std::int64_t, MelodyRow> movements;
    forIdBatches(connection,
                 "SELECT iMovementID, iKTN, iMvmt, iOrder, Deviation FROM tblMovement WHERE iMovementID IN ", "",
                 distinctMovements(hits), [&](const std::vector<Value>& row) {
                     MelodyRow movement;
                     movement.movementId = row[0].toInt64();
                     movement.ktn = optionalInteger(row[1]);
                     movement.mvmt = optionalInteger(row[2]);
                     movement.order = optionalInteger(row[3]);
                     if (!row[4].isNull()) {
                         movement.deviationText = store::formatSingle(static_cast<float>(row[4].toDouble()));
                     }
                     movements[movement.movementId] = std::move(movement);
                 });
    std::vector<MelodyRow> rows;
    rows.reserve(hits.size());
    for (const Hit& hit : hits) {
        const auto found = movements.find(hit.movementId);
        if (found != movements.end()) {
            rows.push_back(found->second);
            rows.back().position = hit.position;
        }
    }
    orderRows(rows);
    return rows;
}

/// The rows of every occurrence, read on one connection: through the melody index when it may be used, otherwise
/// from every stored sequence.
std::vector<MelodyRow>
occurrenceRows(store::Connection& connection, const ParsedMelody& query, Mode mode, bool indexUsable)
{
    const PitchClasses classes = PitchClasses::load(connection);
    const auto steps = melodySteps(query.pitchIds, classes);
    std::vector<Hit> hits;
    if (!indexUsable || (!steps && mode == Mode::Exact) || query.pitchIds.size() < 2) {
        // The index holds classed pitches only; an exact melody with a pitch outside every class is found by
        // reading the sequences. So is a single pitch: it has no steps to look up, and it stands at so many
        // positions that reading them all costs no more than going through the index.
        hits = scanAll(connection, query.pitchIds, mode, classes);
    } else if (steps) {
        hits = searchIndex(connection, query.pitchIds, *steps, mode, classes);
    }
    // Otherwise a pitch of the melody has no class, which never matches by class or by step.
    return describe(connection, hits);
}

/// Brings the melody index up to date on a writable connection of its own and answers through it in the same
/// transaction, so no other program's change can come in between. Nothing when the catalogue cannot be written
/// (read-only, locked past the busy timeout, full): the caller then reads every sequence.
std::optional<std::vector<MelodyRow>>
answerAfterUpdate(const std::string& connectionString, const ParsedMelody& query, Mode mode)
{
    try {
        store::Connection writer = store::Connection::open(connectionString, store::AccessMode::ReadWrite);
        if (writer.isReadOnly()) {
            return std::nullopt;
        }
        store::Transaction transaction(writer);
        updateMelodyIndex(writer);
        std::vector<MelodyRow> rows = occurrenceRows(writer, query, mode, true);
        transaction.commit();
        return rows;
    } catch (const store::StoreError&) {
        return std::nullopt;
    }
}

/// Adds a note in brackets to a status text, before its full stop.
void addNote(std::string& status, const std::string& note)
{
    if (!status.empty() && status.back() == '.') {
        status.pop_back();
    }
    status += " (" + note + ").";
}

std::string statusText(std::size_t count, const std::string& shown)
{
    const std::string quoted = "“" + shown + "”";
    if (count == 0) {
        return "No occurrences of " + quoted + " found.";
    }
    return std::to_string(count) + (count == 1 ? " occurrence of " : " occurrences of ") + quoted + " found";
}

store::Result<MelodyMatches> failure(std::string message)
{
    return store::Result<MelodyMatches>::failure(std::move(message));
}

/// The melody as typed, looked up in the catalogue's pitch table; a failure with the message when it cannot be searched
/// for in the mode.
store::Result<ParsedMelody> searchableMelody(store::Connection& connection, const std::string& spellings, Mode mode)
{
    store::Result<ParsedMelody> parsed = parseMelody(pitches::PitchLookup::load(connection), spellings);
    if (parsed && parsed.value().pitchIds.size() < 2 && mode == Mode::Transposed) {
        return store::Result<ParsedMelody>::failure(kTransposedNeedsTwoPitches);
    }
    return parsed;
}

/// The file a connection string names, told apart from another file later put at its path.
struct FileIdentity
{
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

std::optional<FileIdentity> fileIdentity(const std::string& connectionString)
{
    struct stat status = {};
    if (::stat(store::catalogueFileFromConnectionString(connectionString).c_str(), &status) != 0) {
        return std::nullopt;
    }
    return FileIdentity {status.st_dev, status.st_ino};
}

/// The sequences of the catalogue searched last, kept in memory with the read-only connection they were read on
/// (which holds the file open, so its identity cannot pass to another file while kept).
struct KeptCatalogue
{
    std::string connectionString;
    std::optional<FileIdentity> file;
    store::Connection connection;
    SequenceMemory memory;
};

/// The one copy in memory of the program, read by a thread of its own so that no search waits for it.
class SharedSequences
{
public:
    static SharedSequences& instance()
    {
        static SharedSequences shared;
        return shared;
    }

    SharedSequences() = default;
    SharedSequences(const SharedSequences&) = delete;
    SharedSequences& operator=(const SharedSequences&) = delete;
    ~SharedSequences()
    {
        forget();
    }

    /// The answer from memory; nothing when there is no current copy of this catalogue, and then reload tells
    /// whether one should be read (none is being read, and the file changed since the last was).
    std::optional<store::Result<MelodyMatches>>
    answer(const std::string& connectionString, const std::string& spellings, Mode mode, bool& reload)
    {
        const std::lock_guard lock(m_mutex);
        reload = false;
        if (!m_kept || m_kept->connectionString != connectionString) {
            m_kept.reset(); // one copy at a time
            reload = !m_loading;
            return std::nullopt;
        }
        try {
            if (fileIdentity(connectionString) != m_kept->file) {
                m_kept.reset();
                reload = !m_loading;
                return std::nullopt;
            }
            store::Connection& connection = m_kept->connection;
            const SequenceMemory& memory = m_kept->memory;
            // One state of the file for telling that the copy is current, for the pitches and for the rows.
            store::Transaction snapshot(connection);
            if (connection.dataVersion() != memory.dataVersion()) {
                snapshot.commit();
                m_kept.reset();
                reload = !m_loading;
                return std::nullopt;
            }
            if (!memory.usable() || memory.indexState() != IndexState::Current) {
                // The catalogue is read as before (it notes a missing index or brings it up to date) until it
                // changes.
                snapshot.commit();
                return std::nullopt;
            }
            const store::Result<ParsedMelody> parsed = searchableMelody(connection, spellings, mode);
            if (!parsed) {
                return failure(parsed.message());
            }
            const ParsedMelody& query = parsed.value();
            MelodyMatches result;
            result.fromMemory = true;
            result.melodyLength = query.pitchIds.size();
            result.rows = memory.rows(memory.find(query.pitchIds, mode));
            snapshot.commit();
            result.statusText = statusText(result.rows.size(), query.shown);
            return result;
        } catch (const store::StoreError&) {
            m_kept.reset();
            reload = !m_loading;
            return std::nullopt;
        }
    }

    /// Starts reading the catalogue's sequences on a thread of its own, unless a reading is under way.
    void startLoading(const std::string& connectionString)
    {
        const std::lock_guard lock(m_mutex);
        startLoadingLocked(connectionString);
    }

    /// Starts reading the catalogue's sequences unless a reading is under way or the copy kept is of this catalogue
    /// in its present state (the same file, no change since); never waits for a reading.
    void prepare(const std::string& connectionString)
    {
        const std::lock_guard lock(m_mutex);
        if (m_loading || (m_kept && m_kept->connectionString == connectionString && keptIsCurrent())) {
            return;
        }
        m_kept.reset(); // one copy at a time
        startLoadingLocked(connectionString);
    }

    /// Waits until no reading is under way; true when the catalogue's copy may answer.
    bool waitForLoading(const std::string& connectionString)
    {
        std::unique_lock lock(m_mutex);
        m_loaded.wait(lock, [this] { return !m_loading; });
        return m_kept && m_kept->connectionString == connectionString && m_kept->memory.usable()
            && m_kept->memory.indexState() == IndexState::Current;
    }

    void forget()
    {
        m_cancel = true;
        std::thread loader;
        {
            const std::lock_guard lock(m_mutex);
            loader = std::move(m_loader);
        }
        if (loader.joinable()) {
            loader.join();
        }
        const std::lock_guard lock(m_mutex);
        m_kept.reset();
    }

private:
    void startLoadingLocked(const std::string& connectionString)
    {
        if (m_loading) {
            return;
        }
        if (m_loader.joinable()) {
            m_loader.join(); // finished
        }
        m_loading = true;
        m_cancel = false;
        m_loader = std::thread([this, connectionString] { load(connectionString); });
    }

    /// True when nothing changed the kept catalogue since its copy was read (a copy that may not answer, as its
    /// melody index was behind, included: reading it again would give the same).
    bool keptIsCurrent()
    {
        try {
            return fileIdentity(m_kept->connectionString) == m_kept->file
                && m_kept->connection.dataVersion() == m_kept->memory.dataVersion();
        } catch (const store::StoreError&) {
            return false;
        }
    }

    void load(const std::string& connectionString)
    {
        std::unique_ptr<KeptCatalogue> kept;
        try {
            const auto file = fileIdentity(connectionString);
            store::Connection connection = store::Connection::open(connectionString, store::AccessMode::ReadOnly);
            std::optional<SequenceMemory> memory = SequenceMemory::load(connection, &m_cancel);
            if (memory) {
                kept.reset(new KeptCatalogue {connectionString, file, std::move(connection), std::move(*memory)});
            }
        } catch (const std::exception&) {
            // Searches go on reading the catalogue; the next one tries again.
        }
        const std::lock_guard lock(m_mutex);
        if (kept && !m_cancel) {
            m_kept = std::move(kept);
        }
        m_loading = false;
        m_loaded.notify_all();
    }

    std::mutex m_mutex;
    std::condition_variable m_loaded;
    std::unique_ptr<KeptCatalogue> m_kept;
    std::thread m_loader;
    bool m_loading = false;
    std::atomic<bool> m_cancel = false;
};

} // namespace

std::string unknownSpellingMessage(const std::string& spelling)
{
    return "“" + spelling
        + "” is not a pitch spelling; spellings are a letter, capital for the lower register, then *, **, / or //.";
}

store::Result<ParsedMelody> parseMelody(const pitches::PitchLookup& lookup, const std::string& spellings)
{
    ParsedMelody query;
    for (const std::string_view part : pitches::splitAtBlanks(spellings)) {
        const std::string spelling(part);
        const pitches::Pitch* pitch = lookup.find(spelling);
        if (pitch == nullptr) {
            return store::Result<ParsedMelody>::failure(unknownSpellingMessage(spelling));
        }
        query.pitchIds.push_back(pitch->id);
        query.shown += (query.shown.empty() ? "" : " ") + spelling;
    }
    if (query.pitchIds.empty()) {
        return store::Result<ParsedMelody>::failure(kTooFewPitches);
    }
    return query;
}

bool occursAt(const std::vector<std::int32_t>& sequence,
              std::size_t start,
              const std::vector<std::int32_t>& melody,
              Mode mode,
              const PitchClasses& classes)
{
    const std::size_t n = melody.size();
    if (n < 1 || start > sequence.size() || sequence.size() - start < n) {
        return false;
    }
    std::optional<int> previousSequence;
    std::optional<int> previousMelody;
    for (std::size_t i = 0; i < n; ++i) {
        const std::int32_t pitch = sequence[start + i];
        if (mode == Mode::Exact) {
            if (pitch != melody[i]) {
                return false;
            }
            continue;
        }
        const auto sequenceClass = classes.classOf(pitch);
        const auto melodyClass = classes.classOf(melody[i]);
        if (!sequenceClass || !melodyClass) {
            return false;
        }
        if (mode == Mode::Classes && *sequenceClass != *melodyClass) {
            return false;
        }
        if (mode == Mode::Transposed && i > 0
            && classStep(*previousSequence, *sequenceClass) != classStep(*previousMelody, *melodyClass)) {
            return false;
        }
        previousSequence = sequenceClass;
        previousMelody = melodyClass;
    }
    return true;
}

std::vector<std::int64_t> occurrences(const std::vector<std::int32_t>& sequence,
                                      const std::vector<std::int32_t>& melody,
                                      Mode mode,
                                      const PitchClasses& classes)
{
    std::vector<std::int64_t> positions;
    if (melody.empty()) {
        return positions;
    }
    for (std::size_t start = 0; start + melody.size() <= sequence.size(); ++start) {
        if (occursAt(sequence, start, melody, mode, classes)) {
            positions.push_back(static_cast<std::int64_t>(start + 1));
        }
    }
    return positions;
}

std::vector<std::string> MelodyRow::cells() const
{
    const auto text = [](const std::optional<std::int64_t>& value) {
        return value ? std::to_string(*value) : std::string();
    };
    return {text(ktn), text(mvmt), std::to_string(position), deviationText};
}

const std::vector<std::string>& resultHeaders()
{
    static const std::vector<std::string> headers = {"KTN", "MVMT", "Position", "Deviation"};
    return headers;
}

store::Result<MelodyMatches>
findMelodyInCatalogue(const std::string& connectionString, const std::string& spellings, Mode mode)
{
    try {
        store::Connection connection = store::Connection::open(connectionString, store::AccessMode::ReadOnly);
        // One search on a connection of its own: a small page cache does (and leaves the program smaller).
        connection.execute("PRAGMA cache_size = -4096");
        const store::Result<ParsedMelody> parsed = searchableMelody(connection, spellings, mode);
        if (!parsed) {
            return failure(parsed.message());
        }
        const ParsedMelody& query = parsed.value();
        MelodyMatches result;
        result.melodyLength = query.pitchIds.size();
        IndexState state = IndexState::Missing;
        {
            // One state of the file for telling whether the index is current and for the answer.
            store::Transaction snapshot(connection);
            state = melodyIndexState(connection);
            if (state != IndexState::Behind) {
                result.rows = occurrenceRows(connection, query, mode, state == IndexState::Current);
            }
            snapshot.commit();
        }
        if (state == IndexState::Behind) {
            auto updated = answerAfterUpdate(connectionString, query, mode);
            if (updated) {
                result.rows = std::move(*updated);
            } else {
                result.indexBehind = true;
                store::Transaction snapshot(connection);
                result.rows = occurrenceRows(connection, query, mode, false);
                snapshot.commit();
            }
        }
        result.indexMissing = state == IndexState::Missing;
        result.statusText = statusText(result.rows.size(), query.shown);
        const std::string file = store::catalogueFileFromConnectionString(connectionString);
        if (result.indexMissing) {
            addNote(result.statusText,
                    "the catalogue has no melody index, so every sequence was read; velk-catalogue "
                    "melody --reindex "
                        + file + " builds it");
        } else if (result.indexBehind) {
            addNote(result.statusText,
                    "the melody index is behind the stored sequences and the catalogue cannot be "
                    "written, so every sequence was read");
        }
        return result;
    } catch (const store::StoreError& error) {
        return failure(error.what());
    }
}

} // namespace velk::melody

namespace velk::melody
{

store::Result<MelodyMatches> findMelody(const std::string& connectionString, const std::string& spellings, Mode mode)
{
    SharedSequences& shared = SharedSequences::instance();
    bool reload = false;
    if (auto answer = shared.answer(connectionString, spellings, mode, reload)) {
        return std::move(*answer);
    }
    // Read after the search, which may bring the melody index up to date first.
    store::Result<MelodyMatches> result = findMelodyInCatalogue(connectionString, spellings, mode);
    if (reload && result) {
        shared.startLoading(connectionString);
    }
    return result;
}

bool keepSequencesInMemory(const std::string& connectionString)
{
    SharedSequences& shared = SharedSequences::instance();
    shared.forget(); // never two copies at once
    shared.startLoading(connectionString);
    return shared.waitForLoading(connectionString);
}

void prepareSequencesInMemory(const std::string& connectionString)
{
    SharedSequences::instance().prepare(connectionString);
}

bool waitForSequencesInMemory(const std::string& connectionString)
{
    return SharedSequences::instance().waitForLoading(connectionString);
}

void forgetSequencesInMemory()
{
    SharedSequences::instance().forget();
}

} // namespace velk::melody
