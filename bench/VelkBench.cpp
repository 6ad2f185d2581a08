// Measurements of the program's user actions on synthetic catalogues, each beside the same statements run
// through the bare SQLite C API with prepared statements.
//
// The catalogues are made by `velk-catalogue synth` (bench/run does it) and named synth-N.db in the folder
// VELK_BENCH_DIR (default: the working directory). Movements 1 to 4 of each hold sequences of 100, 1,000,
// 10,000 and 32,767 positions.
//
// `velk_bench --peak-memory FILE` instead starts up on FILE as the window does and prints the peak resident
// memory in kB after it, then after a subject search (the search window's connection, list and rows kept) and
// melodic searches in each mode (the copy of the sequences read and kept).

#include "melody/MelodyIndex.h"
#include "melody/MelodySearch.h"
#include "movement/MovementController.h"
#include "pitches/PitchLookup.h"
#include "pitches/PitchSequence.h"
#include "search/SubjectSearch.h"
#include "store/Connection.h"
#include "store/ConnectionString.h"
#include "tabulations/Tabulation.h"
#include "tests/movement/FakeMovementView.h"
#include "tools/Synth.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace
{

namespace fs = std::filesystem;
using velk::movement::MovementController;
using velk::test::FakeMovementView;

constexpr std::int64_t kSizes[] = {1000, 10000, 100000};

fs::path benchFolder()
{
    const char* folder = std::getenv("VELK_BENCH_DIR");
    return folder != nullptr ? fs::path(folder) : fs::current_path();
}

fs::path catalogue(std::int64_t movements)
{
    return benchFolder() / ("synth-" + std::to_string(movements) + ".db");
}

/// The id of the movement holding the probe sequence of the given length.
std::int64_t probeMovement(std::int64_t length)
{
    for (std::size_t i = 0; i < velk::tools::kSynthProbeLengths.size(); ++i) {
        if (velk::tools::kSynthProbeLengths[i] == length) {
            return static_cast<std::int64_t>(i) + 1;
        }
    }
    throw std::logic_error("no probe sequence of that length");
}

bool haveCatalogue(benchmark::State& state, const fs::path& file)
{
    if (!fs::exists(file)) {
        state.SkipWithError(("missing " + file.string() + " (bench/run makes it)").c_str());
        return false;
    }
    return true;
}

/// The movement window's logic started on a catalogue, as the program starts (with a view that draws nothing).
struct StartedWindow
{
    explicit StartedWindow(const fs::path& file)
        : controller(view, velk::store::connectionStringForFile(file.string()))
    {
        controller.Load();
    }
    FakeMovementView view;
    MovementController controller;
};

// ---------------------------------------------------------------------------------------------------------
// The bare SQLite baseline: one connection, statements prepared once, every column of every row read.

class Bare
{
public:
    explicit Bare(const fs::path& file, bool writable = false)
    {
        const int flags = writable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY;
        if (sqlite3_open_v2(file.c_str(), &m_db, flags, nullptr) != SQLITE_OK) {
            throw std::runtime_error(sqlite3_errmsg(m_db));
        }
        sqlite3_exec(m_db,
                     "PRAGMA foreign_keys = ON; PRAGMA journal_mode = DELETE; PRAGMA synchronous = FULL; "
                     "PRAGMA cache_size = -32768",
                     nullptr, nullptr, nullptr);
    }
    ~Bare()
    {
        for (auto& [text, statement] : m_statements) {
            sqlite3_finalize(statement);
        }
        sqlite3_close_v2(m_db);
    }
    Bare(const Bare&) = delete;
    Bare& operator=(const Bare&) = delete;

    sqlite3_stmt* prepared(const std::string& sql)
    {
        sqlite3_stmt*& statement = m_statements[sql];
        if (statement == nullptr && sqlite3_prepare_v2(m_db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
            throw std::runtime_error(sqlite3_errmsg(m_db));
        }
        return statement;
    }

    /// Runs a statement with text or integer parameters and reads every column of every row as the store does
    /// (integers, doubles and texts copied out); returns the number of rows.
    std::size_t run(const std::string& sql, const std::vector<std::string>& texts = {})
    {
        sqlite3_stmt* statement = prepared(sql);
        for (std::size_t i = 0; i < texts.size(); ++i) {
            sqlite3_bind_text(statement, static_cast<int>(i) + 1, texts[i].c_str(), static_cast<int>(texts[i].size()),
                              SQLITE_TRANSIENT);
        }
        std::size_t rows = 0;
        const int columns = sqlite3_column_count(statement);
        std::vector<std::string> row(static_cast<std::size_t>(columns));
        while (sqlite3_step(statement) == SQLITE_ROW) {
            for (int c = 0; c < columns; ++c) {
                switch (sqlite3_column_type(statement, c)) {
                case SQLITE_INTEGER:
                    benchmark::DoNotOptimize(sqlite3_column_int64(statement, c));
                    break;
                case SQLITE_FLOAT:
                    benchmark::DoNotOptimize(sqlite3_column_double(statement, c));
                    break;
                case SQLITE_TEXT:
                    row[static_cast<std::size_t>(c)].assign(
                        reinterpret_cast<const char*>(sqlite3_column_text(statement, c)),
                        static_cast<std::size_t>(sqlite3_column_bytes(statement, c)));
                    break;
                default:
                    break;
                }
            }
            ++rows;
        }
        sqlite3_reset(statement);
        sqlite3_clear_bindings(statement);
        return rows;
    }

    void exec(const char* sql)
    {
        char* error = nullptr;
        if (sqlite3_exec(m_db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
            const std::string what = error != nullptr ? error : "failed";
            sqlite3_free(error);
            throw std::runtime_error(what);
        }
    }

    /// Runs a prepared statement with integer parameters that returns no rows.
    void change(const std::string& sql, std::initializer_list<std::int64_t> values)
    {
        sqlite3_stmt* statement = prepared(sql);
        int i = 0;
        for (const std::int64_t v : values) {
            sqlite3_bind_int64(statement, ++i, v);
        }
        if (sqlite3_step(statement) != SQLITE_DONE) {
            throw std::runtime_error(sqlite3_errmsg(m_db));
        }
        sqlite3_reset(statement);
    }

private:
    sqlite3* m_db = nullptr;
    std::map<std::string, sqlite3_stmt*> m_statements;
};

/// The statements the display of one movement's pitches runs.
void barePitches(Bare& bare, std::int64_t movementId)
{
    benchmark::DoNotOptimize(bare.run(velk::pitches::sequenceStatement(movementId)));
    benchmark::DoNotOptimize(bare.run(velk::pitches::flatCountStatement(movementId)));
    benchmark::DoNotOptimize(bare.run(velk::pitches::sharpCountStatement(movementId)));
}

// ---------------------------------------------------------------------------------------------------------
// 1. Start-up: open the catalogue, fill the movement recordset and the pitch lookup, first movement current.

void StartUp(benchmark::State& state)
{
    const fs::path file = catalogue(state.range(0));
    if (!haveCatalogue(state, file)) {
        return;
    }
    const std::string connection = velk::store::connectionStringForFile(file.string());
    for (auto _ : state) {
        FakeMovementView view;
        MovementController controller(view, connection);
        if (!controller.Load().ok()) {
            state.SkipWithError("load failed");
            return;
        }
        benchmark::DoNotOptimize(controller.records().iLastMovementID());
    }
}

void StartUpBare(benchmark::State& state)
{
    const fs::path file = catalogue(state.range(0));
    if (!haveCatalogue(state, file)) {
        return;
    }
    for (auto _ : state) {
        Bare bare(file);
        benchmark::DoNotOptimize(bare.run("select * from tblMovement order by iKTN, imvmt, iOrder"));
        benchmark::DoNotOptimize(bare.run("select * from tblPitchLookup order by iPitchID"));
        barePitches(bare, 1);
    }
}

// ---------------------------------------------------------------------------------------------------------
// 2. A record move with its completion: caption, rich text and the pitches of a 1,000-position sequence.

void RecordMove(benchmark::State& state)
{
    const fs::path file = catalogue(state.range(0));
    if (!haveCatalogue(state, file)) {
        return;
    }
    StartedWindow window(file);
    MovementController& controller = window.controller;
    auto& recordset = *controller.records().recordset();
    for (auto _ : state) {
        recordset.moveNext(); // to movement 2, 1,000 positions
        state.PauseTiming();
        if (controller.pitches().pitchRows().size() != 1000) {
            state.SkipWithError("movement 2 does not hold 1,000 positions");
            return;
        }
        recordset.movePrevious();
        state.ResumeTiming();
    }
}

/// Runs body(resource) once, with a Resource (a Bare connection, a StartedWindow) opened on the catalogue of
/// range(0); skipped when the catalogue has not been made.
template <typename Resource, typename Body>
void withCatalogue(benchmark::State& state, Body body)
{
    const fs::path file = catalogue(state.range(0));
    if (!haveCatalogue(state, file)) {
        return;
    }
    Resource resource(file);
    body(resource);
}

/// Runs body(bare) in every iteration, on one bare connection to the catalogue of range(0).
template <typename Body>
void onCatalogueBare(benchmark::State& state, Body body)
{
    withCatalogue<Bare>(state, [&](Bare& bare) {
        for (auto _ : state) {
            body(bare);
        }
    });
}

void RecordMoveBare(benchmark::State& state)
{
    onCatalogueBare(state, [](Bare& bare) { barePitches(bare, probeMovement(1000)); });
}

// ---------------------------------------------------------------------------------------------------------
// 3. The pitch display and the tabulations of sequences of 100, 10,000 and 32,767 positions.

/// Runs body(window, id) once, with the window started on the catalogue of range(0) and id the probe movement
/// holding range(1) positions.
template <typename Body>
void onProbeMovementWindow(benchmark::State& state, Body body)
{
    withCatalogue<StartedWindow>(state, [&](StartedWindow& window) { body(window, probeMovement(state.range(1))); });
}

void LoadMovementPitches(benchmark::State& state)
{
    onProbeMovementWindow(state, [&](StartedWindow& window, std::int64_t id) {
        MovementController& controller = window.controller;
        for (auto _ : state) {
            controller.pitches().LoadMovementPitches(id);
        }
        if (controller.pitches().pitchRows().size() != static_cast<std::size_t>(state.range(1))) {
            state.SkipWithError("wrong number of positions");
        }
    });
}

/// Runs body(bare, id) in every iteration, on one bare connection to the catalogue of range(0), for the probe
/// movement holding range(1) positions.
template <typename Body>
void onProbeMovementBare(benchmark::State& state, Body body)
{
    const std::int64_t id = probeMovement(state.range(1));
    onCatalogueBare(state, [&](Bare& bare) { body(bare, id); });
}

void LoadMovementPitchesBare(benchmark::State& state)
{
    onProbeMovementBare(state, barePitches);
}

void LoadTabulations(benchmark::State& state)
{
    onProbeMovementWindow(state, [&](StartedWindow& window, std::int64_t id) {
        MovementController& controller = window.controller;
        for (std::int64_t i = 1; i < id; ++i) {
            controller.records().recordset()->moveNext();
        }
        controller.TabClick(velk::movement::kTabTabulations);
        for (auto _ : state) {
            controller.tabulations().LoadTabulations(id);
        }
        if (window.view.total != std::to_string(state.range(1))) {
            state.SkipWithError("wrong total");
        }
    });
}

void LoadTabulationsBare(benchmark::State& state)
{
    onProbeMovementBare(state, [](Bare& bare, std::int64_t id) {
        benchmark::DoNotOptimize(bare.run(velk::tabulations::totalStatement(id)));
        benchmark::DoNotOptimize(bare.run(velk::tabulations::realStatement(id)));
        benchmark::DoNotOptimize(bare.run(velk::tabulations::classStatement(id)));
    });
}

// ---------------------------------------------------------------------------------------------------------
// 4. Storing the sequence of 32,767 positions (with its melody index) after an edit. range(1) = 1: the catalogue
// is copied to memory (/dev/shm), where the durable commit's flushes cost nothing, so that the difference to 0 is
// the commit. range(2) is the edit (Edit below).

enum Edit : std::int64_t
{
    kReorder, ///< the whole sequence reversed: every position rewritten
    kReplaceOne, ///< the middle pitch replaced
    kAppendOne, ///< a pitch appended
    kDeleteLast, ///< the last pitch deleted
    kDeleteMiddle, ///< the middle pitch deleted: the positions after it move
    kInsertFirst, ///< a pitch inserted before the first: every position moves
};

/// Applies an edit to a sequence, as the pitches page would before storing it.
void applyEdit(std::vector<std::int32_t>& ids, std::int64_t edit)
{
    const std::size_t middle = ids.size() / 2;
    switch (edit) {
    case kReorder:
        std::reverse(ids.begin(), ids.end());
        break;
    case kReplaceOne:
        ids[middle] = ids[middle] == ids[middle + 1] ? ids[middle + 2] : ids[middle + 1];
        break;
    case kAppendOne:
        ids.push_back(ids[middle]);
        break;
    case kDeleteLast:
        ids.pop_back();
        break;
    case kDeleteMiddle:
        ids.erase(ids.begin() + static_cast<std::ptrdiff_t>(middle));
        break;
    case kInsertFirst:
        ids.insert(ids.begin(), ids[middle]);
        break;
    default:
        break;
    }
}

fs::path scratchCopy(const fs::path& file, bool inMemory)
{
    const fs::path folder = inMemory ? fs::path("/dev/shm") : file.parent_path();
    const fs::path copy = folder / ("velk-bench-" + file.filename().string());
    fs::copy_file(file, copy, fs::copy_options::overwrite_existing);
    return copy;
}

std::vector<std::int32_t> storedSequence(const fs::path& file, std::int64_t id)
{
    std::vector<std::int32_t> ids;
    for (const auto& entry : velk::pitches::loadMovementPitches(file.string(), id).entries) {
        ids.push_back(entry.pitchId);
    }
    return ids;
}

void SavePitches(benchmark::State& state)
{
    const fs::path file = catalogue(state.range(0));
    if (!haveCatalogue(state, file)) {
        return;
    }
    const fs::path copy = scratchCopy(file, state.range(1) == 1);
    {
        // As in the movement window: its read-write connection stays open from start-up to the end.
        auto connection = velk::store::Connection::open(velk::store::connectionStringForFile(copy.string()),
                                                        velk::store::AccessMode::ReadWrite);
        const std::int64_t id = probeMovement(velk::tools::kSynthLongestSequence);
        std::vector<std::int32_t> ids = storedSequence(copy, id);
        for (auto _ : state) {
            applyEdit(ids, state.range(2));
            const auto stored = velk::pitches::savePitches(
                connection, id, ids, [&](velk::store::Connection& c) { velk::melody::indexMovement(c, id, ids); });
            if (!stored) {
                state.SkipWithError(stored.message().c_str());
                break;
            }
        }
        if (storedSequence(copy, id) != ids) {
            state.SkipWithError("the stored sequence is not the edited one");
        }
    }
    fs::remove(copy);
}

/// The least a store of the edit writes, through the bare API: the stored row ids read, the sequence's rows
/// changed as the edit needs (all of them deleted and inserted again where every position moves), the melody
/// index rows that differ deleted and inserted, the deviation written, one commit.
void SavePitchesBare(benchmark::State& state)
{
    const fs::path file = catalogue(state.range(0));
    if (!haveCatalogue(state, file)) {
        return;
    }
    const fs::path copy = scratchCopy(file, state.range(1) == 1);
    const std::int64_t id = probeMovement(velk::tools::kSynthLongestSequence);
    std::vector<std::int32_t> ids = storedSequence(copy, id);
    const std::int64_t edit = state.range(2);
    {
        Bare bare(copy, true);
        velk::store::Connection classes
            = velk::store::Connection::open(copy.string(), velk::store::AccessMode::ReadOnly);
        const auto pitchClasses = velk::melody::PitchClasses::load(classes);
        classes.close();
        sqlite3_stmt* rowIds = bare.prepared(
            "select iMovementPitchID from tblMovementPitchJoin where iMovementID = ? order by iMovementPitchID");
        for (auto _ : state) {
            const std::vector<std::int32_t> before = ids;
            applyEdit(ids, edit);
            bare.exec("BEGIN IMMEDIATE");
            std::vector<std::int64_t> rows;
            sqlite3_bind_int64(rowIds, 1, id);
            while (sqlite3_step(rowIds) == SQLITE_ROW) {
                rows.push_back(sqlite3_column_int64(rowIds, 0));
            }
            sqlite3_reset(rowIds);
            const std::size_t middle = before.size() / 2;
            if (edit == kReplaceOne) {
                bare.change("update tblMovementPitchJoin set iPitchID = ? where iMovementPitchID = ?",
                            {ids[middle], rows[middle]});
            } else if (edit == kAppendOne) {
                bare.change("insert into tblMovementPitchJoin (iMovementID, iPitchID) values (?, ?)", {id, ids.back()});
            } else if (edit == kDeleteLast || edit == kDeleteMiddle) {
                bare.change("delete from tblMovementPitchJoin where iMovementPitchID = ?",
                            {rows[edit == kDeleteLast ? rows.size() - 1 : middle]});
            } else {
                bare.change("delete from tblMovementPitchJoin where iMovementID = ?", {id});
                for (const std::int32_t pitch : ids) {
                    bare.change("insert into tblMovementPitchJoin (iMovementID, iPitchID) values (?, ?)", {id, pitch});
                }
            }
            const auto oldEntries = velk::melody::indexEntries(before, pitchClasses);
            const auto newEntries = velk::melody::indexEntries(ids, pitchClasses);
            const auto order = [](const velk::melody::IndexEntry& a, const velk::melody::IndexEntry& b) {
                return std::tie(a.position, a.key, a.pitchId) < std::tie(b.position, b.key, b.pitchId);
            };
            std::vector<velk::melody::IndexEntry> gone;
            std::set_difference(oldEntries.begin(), oldEntries.end(), newEntries.begin(), newEntries.end(),
                                std::back_inserter(gone), order);
            std::vector<velk::melody::IndexEntry> added;
            std::set_difference(newEntries.begin(), newEntries.end(), oldEntries.begin(), oldEntries.end(),
                                std::back_inserter(added), order);
            for (const auto& entry : gone) {
                bare.change("delete from tblMelodyIndex where iKey = ? and iPitchID = ? and iMovementID = ? and "
                            "iPosition = ?",
                            {entry.key, entry.pitchId, id, entry.position});
            }
            for (const auto& entry : added) {
                bare.change("insert into tblMelodyIndex (iKey, iPitchID, iMovementID, iPosition) values (?, ?, ?, ?)",
                            {entry.key, entry.pitchId, id, entry.position});
            }
            bare.change("update tblMovement set Deviation = ? where iMovementID = ?", {1, id});
            bare.exec("COMMIT");
        }
    }
    fs::remove(copy);
}

// ---------------------------------------------------------------------------------------------------------
// 5. The subject search: range(1) 0 exact, 1 with Wildcard; range(2) 0 the rare subject (10 matches), 1 a
// common one (about a tenth of the movements).

velk::search::SearchRequest searchRequest(const benchmark::State& state)
{
    velk::search::SearchRequest request;
    request.useWildcard = state.range(1) == 1;
    request.text = state.range(2) == 0 ? std::string(velk::tools::kSynthRareSubject) : std::string("Joy");
    if (request.useWildcard) {
        request.text = request.text.substr(1); // "amentation", "oy": found inside the subject
    }
    return request;
}

/// Rows of the result grid in view at once (a tall window).
constexpr std::size_t kRowsInView = 40;

/// What the search window does for a search once it has read the movements' numbers (in the background on opening):
/// the order of the rows, then the rows in view (the last ones: the grid goes to the last row).
void SubjectSearch(benchmark::State& state)
{
    const fs::path file = catalogue(state.range(0));
    if (!haveCatalogue(state, file)) {
        return;
    }
    const std::string connection = velk::store::connectionStringForFile(file.string());
    velk::search::SubjectSearchSession session;
    if (!session.open(connection).ok() || !session.waitForKeys()) {
        state.SkipWithError("the search window's session could not read the movements' numbers");
        return;
    }
    const auto request = searchRequest(state);
    std::size_t matches = 0;
    bool fromMemory = true;
    for (auto _ : state) {
        const auto result = session.search(connection, request);
        matches = result ? result->matchCount : 0;
        fromMemory = fromMemory && result && result->fromMemory;
        if (result) {
            const auto& ids = result->movementIds;
            const auto inView = std::min(ids.size(), kRowsInView);
            benchmark::DoNotOptimize(session.rows({ids.end() - static_cast<std::ptrdiff_t>(inView), ids.end()}));
        }
    }
    state.counters["matches"] = static_cast<double>(matches);
    state.counters["from memory"] = fromMemory ? 1 : 0;
}

/// Runs search(connection, request) on one read-only connection to the catalogue, as often as the benchmark asks.
template <typename Search>
void searchOnOneConnection(benchmark::State& state, Search search)
{
    const fs::path file = catalogue(state.range(0));
    if (!haveCatalogue(state, file)) {
        return;
    }
    auto connection = velk::store::Connection::open(velk::store::connectionStringForFile(file.string()),
                                                    velk::store::AccessMode::ReadOnly);
    const auto request = searchRequest(state);
    for (auto _ : state) {
        benchmark::DoNotOptimize(search(connection, request));
    }
}

/// The same before the numbers are read (the first moments after the window opened, or after another program
/// changed the file): the order is read from the file.
void SubjectSearchReadingOrder(benchmark::State& state)
{
    searchOnOneConnection(
        state, [](auto& connection, const auto& request) { return velk::search::searchOrder(connection, request); });
}

/// Every row at once, as `velk-catalogue search` reads them.
void SubjectSearchAllRows(benchmark::State& state)
{
    searchOnOneConnection(
        state, [](auto& connection, const auto& request) { return velk::search::runSearch(connection, request); });
}

/// Reading the movements' numbers and deviations, which the search window does on a thread of its own on opening.
void SubjectSearchKeys(benchmark::State& state)
{
    const fs::path file = catalogue(state.range(0));
    if (!haveCatalogue(state, file)) {
        return;
    }
    const std::string connection = velk::store::connectionStringForFile(file.string());
    for (auto _ : state) {
        velk::search::SubjectSearchSession session;
        session.open(connection);
        benchmark::DoNotOptimize(session.waitForKeys());
    }
}

void SubjectSearchBare(benchmark::State& state)
{
    const auto request = searchRequest(state);
    const std::string statement = velk::search::searchStatement(request.sortByDeviation);
    const std::vector<std::string> patterns(
        static_cast<std::size_t>(std::count(statement.begin(), statement.end(), '?')),
        velk::search::searchPattern(request));
    onCatalogueBare(state, [&](Bare& bare) { benchmark::DoNotOptimize(bare.run(statement, patterns)); });
}

// The search window's subject list, read each time the window opens.

void SubjectList(benchmark::State& state)
{
    const fs::path file = catalogue(state.range(0));
    if (!haveCatalogue(state, file)) {
        return;
    }
    const std::string connection = velk::store::connectionStringForFile(file.string());
    std::size_t subjects = 0;
    for (auto _ : state) {
        subjects = velk::search::subjectList(connection).size();
    }
    state.counters["subjects"] = static_cast<double>(subjects);
}

void SubjectListBare(benchmark::State& state)
{
    const std::string statement = velk::search::subjectListStatement();
    onCatalogueBare(state, [&](Bare& bare) { benchmark::DoNotOptimize(bare.run(statement)); });
}

// ---------------------------------------------------------------------------------------------------------
// 8. The melodic search: range(1) is the mode (0 exact, 1 classes, 2 transposed).

void FindMelody(benchmark::State& state)
{
    const fs::path file = catalogue(state.range(0));
    if (!haveCatalogue(state, file)) {
        return;
    }
    const std::string connection = velk::store::connectionStringForFile(file.string());
    const auto mode = static_cast<velk::melody::Mode>(state.range(1));
    // The window's searches after its first: the copy of the sequences in memory has been read in the background.
    if (!velk::melody::keepSequencesInMemory(connection)) {
        state.SkipWithError("the sequences could not be kept in memory");
        return;
    }
    std::size_t rows = 0;
    bool fromMemory = true;
    for (auto _ : state) {
        const auto result = velk::melody::findMelody(connection, "c d e f g", mode);
        rows = result ? result->rows.size() : 0;
        fromMemory = fromMemory && result && result->fromMemory;
    }
    state.counters["matches"] = static_cast<double>(rows);
    state.counters["from memory"] = fromMemory ? 1 : 0;
}

/// The same search reading the catalogue (the melody index and the movements), as the first search of a catalogue
/// and the first after a change do while the copy in memory is read again.
void FindMelodyRead(benchmark::State& state)
{
    const fs::path file = catalogue(state.range(0));
    if (!haveCatalogue(state, file)) {
        return;
    }
    const std::string connection = velk::store::connectionStringForFile(file.string());
    const auto mode = static_cast<velk::melody::Mode>(state.range(1));
    std::size_t rows = 0;
    for (auto _ : state) {
        const auto result = velk::melody::findMelodyInCatalogue(connection, "c d e f g", mode);
        rows = result ? result->rows.size() : 0;
    }
    state.counters["matches"] = static_cast<double>(rows);
}

/// Reading every sequence into the copy in memory, which the window does on a thread of its own.
void KeepSequences(benchmark::State& state)
{
    const fs::path file = catalogue(state.range(0));
    if (!haveCatalogue(state, file)) {
        return;
    }
    const std::string connection = velk::store::connectionStringForFile(file.string());
    for (auto _ : state) {
        velk::melody::forgetSequencesInMemory();
        benchmark::DoNotOptimize(velk::melody::keepSequencesInMemory(connection));
    }
}

/// The practical limit of a melodic search: every stored position held in memory as compact arrays (pitch ids and
/// pitch classes, a movement's positions in a row), scanned from end to end for the same melody in the same mode.
/// Loading the arrays is not timed; the window would have to keep them up to date.
void FindMelodyScan(benchmark::State& state)
{
    const fs::path file = catalogue(state.range(0));
    if (!haveCatalogue(state, file)) {
        return;
    }
    auto connection = velk::store::Connection::open(velk::store::connectionStringForFile(file.string()),
                                                    velk::store::AccessMode::ReadOnly);
    const auto classes = velk::melody::PitchClasses::load(connection);
    const auto melody = velk::melody::parseMelody(velk::pitches::PitchLookup::load(connection), "c d e f g");
    const std::vector<std::int64_t> rows = connection.integers(
        "SELECT iMovementID, iPitchID FROM tblMovementPitchJoin WHERE iMovementID IN (SELECT iMovementID FROM "
        "tblMovement) ORDER BY iMovementID, iMovementPitchID");
    connection.close();
    constexpr std::int8_t kNoClass = -1;
    std::vector<std::int32_t> pitches;
    std::vector<std::int8_t> pitchClasses;
    std::vector<std::size_t> starts; // where each movement's positions begin, and the end
    for (std::size_t i = 0; i + 1 < rows.size(); i += 2) {
        if (i == 0 || rows[i] != rows[i - 2]) {
            starts.push_back(pitches.size());
        }
        pitches.push_back(static_cast<std::int32_t>(rows[i + 1]));
        const auto itsClass = classes.classOf(pitches.back());
        pitchClasses.push_back(itsClass ? static_cast<std::int8_t>(*itsClass) : kNoClass);
    }
    starts.push_back(pitches.size());
    const std::vector<std::int32_t>& wanted = melody->pitchIds;
    std::vector<std::int8_t> wantedClasses;
    for (const std::int32_t id : wanted) {
        wantedClasses.push_back(static_cast<std::int8_t>(classes.classOf(id).value_or(kNoClass)));
    }
    // The step into each position from the one before (semitones modulo 12), held with the classes.
    const auto step = [](std::int8_t from, std::int8_t to) {
        return static_cast<std::int8_t>((to - from + 12) % 12);
    };
    std::vector<std::int8_t> steps(pitchClasses.size(), kNoClass);
    for (std::size_t i = 1; i < pitchClasses.size(); ++i) {
        if (pitchClasses[i - 1] != kNoClass && pitchClasses[i] != kNoClass) {
            steps[i] = step(pitchClasses[i - 1], pitchClasses[i]);
        }
    }
    std::vector<std::int8_t> wantedSteps(wantedClasses.size(), kNoClass);
    for (std::size_t k = 1; k < wantedClasses.size(); ++k) {
        wantedSteps[k] = step(wantedClasses[k - 1], wantedClasses[k]);
    }
    const auto mode = static_cast<velk::melody::Mode>(state.range(1));
    const auto matchesAt = [&](std::size_t at) {
        for (std::size_t k = 0; k < wanted.size(); ++k) {
            switch (mode) {
            case velk::melody::Mode::Exact:
                if (pitches[at + k] != wanted[k]) {
                    return false;
                }
                break;
            case velk::melody::Mode::Classes:
                if (pitchClasses[at + k] == kNoClass || pitchClasses[at + k] != wantedClasses[k]) {
                    return false;
                }
                break;
            case velk::melody::Mode::Transposed:
                if (pitchClasses[at + k] == kNoClass || (k > 0 && steps[at + k] != wantedSteps[k])) {
                    return false;
                }
                break;
            }
        }
        return true;
    };
    std::size_t found = 0;
    for (auto _ : state) {
        found = 0;
        for (std::size_t m = 0; m + 1 < starts.size(); ++m) {
            for (std::size_t at = starts[m]; at + wanted.size() <= starts[m + 1]; ++at) {
                found += matchesAt(at) ? 1 : 0;
            }
        }
        benchmark::DoNotOptimize(found);
    }
    state.counters["matches"] = static_cast<double>(found);
}

// ---------------------------------------------------------------------------------------------------------
// 9. One pitch appended to a line of 32,767 positions: Enter in the pitch entry box of the pitches page, with the
// command state refreshed after it. Backspace takes it back between the measurements.

void AppendPitch(benchmark::State& state)
{
    onProbeMovementWindow(state, [&](StartedWindow& window, std::int64_t id) {
        MovementController& controller = window.controller;
        for (std::int64_t i = 1; i < id; ++i) {
            controller.records().recordset()->moveNext();
        }
        controller.TabClick(velk::movement::kTabPitches);
        controller.ToolbarClick(velk::movement::New);
        for (auto _ : state) {
            controller.PitchKeyPress(13, "c*");
            state.PauseTiming();
            controller.PitchBackspace("", false);
            state.ResumeTiming();
        }
        if (controller.pitches().pitchRows().size() != static_cast<std::size_t>(state.range(1))
            || !window.view.told.empty()) {
            state.SkipWithError("the pitch was not appended and taken back");
        }
    });
}

void sizesAndLongestLine(benchmark::internal::Benchmark* b)
{
    for (const std::int64_t size : kSizes) {
        b->Args({size, velk::tools::kSynthLongestSequence});
    }
}

void sizes(benchmark::internal::Benchmark* b)
{
    for (const std::int64_t size : kSizes) {
        b->Args({size});
    }
}

void sizesAndSequences(benchmark::internal::Benchmark* b)
{
    for (const std::int64_t size : kSizes) {
        for (const std::int64_t length : {100, 10000, 32767}) {
            b->Args({size, length});
        }
    }
}

void sizesSyncAndEdits(benchmark::internal::Benchmark* b)
{
    for (const std::int64_t size : kSizes) {
        for (const std::int64_t edit : {kReorder, kReplaceOne, kAppendOne, kDeleteLast, kDeleteMiddle, kInsertFirst}) {
            // The edits of one pitch at the size the targets are set for.
            if (edit == kReorder || size == kSizes[2]) {
                b->Args({size, 0, edit});
                b->Args({size, 1, edit});
            }
        }
    }
}

void sizesAndSearches(benchmark::internal::Benchmark* b)
{
    for (const std::int64_t size : kSizes) {
        for (const int wildcard : {0, 1}) {
            for (const int common : {0, 1}) {
                b->Args({size, wildcard, common});
            }
        }
    }
}

void sizesAndModes(benchmark::internal::Benchmark* b)
{
    for (const std::int64_t size : kSizes) {
        for (const int mode : {0, 1, 2}) {
            b->Args({size, mode});
        }
    }
}

BENCHMARK(StartUp)->Apply(sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(StartUpBare)->Apply(sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(RecordMove)->Apply(sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(RecordMoveBare)->Apply(sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(LoadMovementPitches)->Apply(sizesAndSequences)->Unit(benchmark::kMillisecond);
BENCHMARK(LoadMovementPitchesBare)->Apply(sizesAndSequences)->Unit(benchmark::kMillisecond);
BENCHMARK(LoadTabulations)->Apply(sizesAndSequences)->Unit(benchmark::kMillisecond);
BENCHMARK(LoadTabulationsBare)->Apply(sizesAndSequences)->Unit(benchmark::kMillisecond);
BENCHMARK(SavePitches)->Apply(sizesSyncAndEdits)->Unit(benchmark::kMillisecond);
BENCHMARK(SavePitchesBare)->Apply(sizesSyncAndEdits)->Unit(benchmark::kMillisecond);
BENCHMARK(SubjectSearch)->Apply(sizesAndSearches)->Unit(benchmark::kMillisecond);
BENCHMARK(SubjectSearchBare)->Apply(sizesAndSearches)->Unit(benchmark::kMillisecond);
BENCHMARK(SubjectSearchReadingOrder)->Apply(sizesAndSearches)->Unit(benchmark::kMillisecond);
BENCHMARK(SubjectSearchAllRows)->Apply(sizesAndSearches)->Unit(benchmark::kMillisecond);
BENCHMARK(SubjectSearchKeys)->Apply(sizes)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(SubjectList)->Apply(sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(SubjectListBare)->Apply(sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(FindMelody)->Apply(sizesAndModes)->Unit(benchmark::kMillisecond);
BENCHMARK(FindMelodyScan)->Apply(sizesAndModes)->Unit(benchmark::kMillisecond);
BENCHMARK(AppendPitch)->Apply(sizesAndLongestLine)->Unit(benchmark::kMillisecond);
BENCHMARK(FindMelodyRead)->Apply(sizesAndModes)->Unit(benchmark::kMillisecond);
BENCHMARK(KeepSequences)->Apply(sizes)->Unit(benchmark::kMillisecond)->Iterations(3);

/// Peak resident memory (kB) of this process so far.
long peakResidentKilobytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::strtol(line.c_str() + 6, nullptr, 10);
        }
    }
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--peak-memory") == 0) {
        FakeMovementView view;
        MovementController controller(view, velk::store::connectionStringForFile(argv[2]));
        const auto loaded = controller.Load();
        if (!loaded.ok()) {
            std::cerr << loaded.message() << "\n";
            return 1;
        }
        controller.records().recordset()->moveLast();
        const long startUp = peakResidentKilobytes();
        const std::string connection = velk::store::connectionStringForFile(argv[2]);
        // Then the subject search window, kept open with its connection, its list and the rows of a common subject.
        auto subjects = velk::store::Connection::open(connection, velk::store::AccessMode::ReadOnly);
        const auto list = velk::search::subjectList(subjects);
        const auto found = velk::search::runSearch(subjects, {"Joy", false, false});
        if (!found) {
            std::cerr << found.message() << "\n";
            return 1;
        }
        // And the melodic search window: opening it starts reading the copy of the sequences in the background;
        // a search typed at once reads the catalogue meanwhile, the later ones answer from the copy, in each mode.
        velk::melody::prepareSequencesInMemory(connection);
        velk::melody::findMelody(connection, "c d e f g", velk::melody::Mode::Exact);
        velk::melody::waitForSequencesInMemory(connection);
        for (const auto mode :
             {velk::melody::Mode::Exact, velk::melody::Mode::Classes, velk::melody::Mode::Transposed}) {
            velk::melody::findMelody(connection, "c d e f g", mode);
        }
        std::cout << startUp << " " << peakResidentKilobytes() << "\n";
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
