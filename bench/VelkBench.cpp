// Measurements of the program's user actions on synthetic catalogues, each beside the same statements run
// through the bare SQLite C API with prepared statements.
//
// The catalogues are made by `velk-catalogue synth` (bench/run does it) and named synth-N.db in the folder
// VELK_BENCH_DIR (default: the working directory). Movements 1 to 4 of each hold sequences of 100, 1,000,
// 10,000 and 32,767 positions.
//
// `velk_bench --peak-memory FILE` instead starts up on FILE as the window does and prints the peak resident
// memory in kB.

#include "melody/MelodyIndex.h"
#include "melody/MelodySearch.h"
#include "movement/MovementController.h"
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
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
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
// 4. Storing a sequence of 32,767 positions (with its melody index). range(1) = 1: the catalogue is copied to
// memory (/dev/shm), where the durable commit's flushes cost nothing, so that the difference to 0 is the commit.

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
    // As in the movement window: its read-write connection stays open from start-up to the end.
    auto connection = velk::store::Connection::open(velk::store::connectionStringForFile(copy.string()),
                                                    velk::store::AccessMode::ReadWrite);
    const std::int64_t id = probeMovement(velk::tools::kSynthLongestSequence);
    std::vector<std::int32_t> ids = storedSequence(copy, id);
    for (auto _ : state) {
        std::swap(ids.front(), ids.back()); // a different sequence each time
        const auto stored = velk::pitches::savePitches(
            connection, id, ids, [&](velk::store::Connection& c) { velk::melody::indexMovement(c, id, ids); });
        if (!stored) {
            state.SkipWithError(stored.message().c_str());
            break;
        }
    }
    fs::remove(copy);
}

void SavePitchesBare(benchmark::State& state)
{
    const fs::path file = catalogue(state.range(0));
    if (!haveCatalogue(state, file)) {
        return;
    }
    const fs::path copy = scratchCopy(file, state.range(1) == 1);
    const std::int64_t id = probeMovement(velk::tools::kSynthLongestSequence);
    std::vector<std::int32_t> ids = storedSequence(copy, id);
    {
        Bare bare(copy, true);
        velk::store::Connection classes
            = velk::store::Connection::open(copy.string(), velk::store::AccessMode::ReadOnly);
        const auto pitchClasses = velk::melody::PitchClasses::load(classes);
        for (auto _ : state) {
            std::swap(ids.front(), ids.back());
            bare.exec("BEGIN");
            bare.change("delete from tblMovementPitchJoin where iMovementID = ?", {id});
            for (const std::int32_t pitch : ids) {
                bare.change("insert into tblMovementPitchJoin (iMovementID, iPitchID) values (?, ?)", {id, pitch});
            }
            bare.change("delete from tblMelodyIndex where iMovementID = ?", {id});
            for (const auto& entry : velk::melody::indexEntries(ids, pitchClasses)) {
                bare.change("insert into tblMelodyIndex (iKey, iPitchID, iMovementID, iPosition) values (?, ?, ?, ?)",
                            {entry.key, entry.pitchId, id, entry.position});
            }
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

void SubjectSearch(benchmark::State& state)
{
    const fs::path file = catalogue(state.range(0));
    if (!haveCatalogue(state, file)) {
        return;
    }
    // As in the search window: one read-only connection for the window's opening, searched again and again.
    auto connection = velk::store::Connection::open(velk::store::connectionStringForFile(file.string()),
                                                    velk::store::AccessMode::ReadOnly);
    const auto request = searchRequest(state);
    std::size_t matches = 0;
    for (auto _ : state) {
        const auto result = velk::search::runSearch(connection, request);
        matches = result ? result->matchCount : 0;
    }
    state.counters["matches"] = static_cast<double>(matches);
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
    std::size_t rows = 0;
    for (auto _ : state) {
        const auto result = velk::melody::findMelody(connection, "c d e f g", mode);
        rows = result ? result->rows.size() : 0;
    }
    state.counters["matches"] = static_cast<double>(rows);
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

void sizesAndSync(benchmark::internal::Benchmark* b)
{
    for (const std::int64_t size : kSizes) {
        b->Args({size, 0});
        b->Args({size, 1});
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
BENCHMARK(SavePitches)->Apply(sizesAndSync)->Unit(benchmark::kMillisecond);
BENCHMARK(SavePitchesBare)->Apply(sizesAndSync)->Unit(benchmark::kMillisecond);
BENCHMARK(SubjectSearch)->Apply(sizesAndSearches)->Unit(benchmark::kMillisecond);
BENCHMARK(SubjectSearchBare)->Apply(sizesAndSearches)->Unit(benchmark::kMillisecond);
BENCHMARK(SubjectList)->Apply(sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(SubjectListBare)->Apply(sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(FindMelody)->Apply(sizesAndModes)->Unit(benchmark::kMillisecond);
BENCHMARK(AppendPitch)->Apply(sizesAndLongestLine)->Unit(benchmark::kMillisecond);

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
        std::cout << peakResidentKilobytes() << "\n";
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
