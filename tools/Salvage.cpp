#include "tools/Salvage.h"

#include "tools/CatalogueCheck.h"
#include "tools/CatalogueFile.h"

#include "melody/MelodyIndex.h"
#include "store/Connection.h"
#include "store/Schema.h"
#include "store/StoreError.h"
#include "tabulations/Tabulation.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <system_error>

extern char** environ;

namespace velk::tools
{

namespace fs = std::filesystem;

namespace
{

using store::Value;

const std::vector<std::string> kTables {"tblMovement",    "tblMovementPitchJoin", "tblPitchLookup",
                                        "tblClassLookup", "tblPitchClassJoin",    "tblMelodyIndex"};

/// A scratch folder beside the new catalogue, removed with everything in it when the object goes.
class ScratchFolder
{
public:
    explicit ScratchFolder(fs::path path)
        : m_path(std::move(path))
    {
        std::error_code error;
        fs::remove_all(m_path, error);
        if (!fs::create_directory(m_path, error)) {
            throw store::StoreError("The scratch folder " + m_path.string() + " could not be made: " + error.message()
                                    + ".");
        }
    }
    ~ScratchFolder()
    {
        std::error_code error;
        fs::remove_all(m_path, error);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const fs::path& path() const
    {
        return m_path;
    }

private:
    fs::path m_path;
};

/// Runs the sqlite3 shell with the arguments, standard input from input (or /dev/null) and standard output and
/// error into files. Returns its exit status; throws when the shell cannot be started.
int runShell(const std::vector<std::string>& args,
             const fs::path& input,
             const fs::path& output,
             const fs::path& errors)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, input.empty() ? "/dev/null" : input.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    std::vector<std::string> command {"sqlite3", "-batch"};
    command.insert(command.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& arg : command) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_t child = 0;
    const int started = posix_spawnp(&child, "sqlite3", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) {
        throw store::StoreError(std::string("The sqlite3 shell could not be started (") + std::strerror(started)
                                + "); it comes with the package sqlite3.");
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string readText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/// The shell's .dump ends a text that met damage with a rollback, which would throw away all it read.
void commitWhatWasRead(const fs::path& sql)
{
    const std::string ending = "ROLLBACK; -- due to errors\n";
    std::error_code error;
    const auto size = fs::file_size(sql, error);
    if (error || size < ending.size()) {
        return;
    }
    std::fstream file(sql, std::ios::in | std::ios::out | std::ios::binary);
    file.seekg(static_cast<std::streamoff>(size - ending.size()));
    std::string tail(ending.size(), '\0');
    file.read(tail.data(), static_cast<std::streamsize>(tail.size()));
    if (tail == ending) {
        file.close();
        fs::resize_file(sql, size - ending.size());
        std::ofstream(sql, std::ios::app | std::ios::binary) << "COMMIT;\n";
    }
}

/// Rows of a table as far as the file can tell: a count that fails on a damaged table may still succeed over
/// one of its indexes.
std::optional<std::int64_t> rowCount(store::Connection& connection, const std::string& table)
{
    std::vector<std::string> ways {""};
    try {
        connection.forEachRow(
            "select name from sqlite_master where type = 'index' and tbl_name = ?", {Value(table)},
            [&](const std::vector<Value>& row) { ways.push_back(" indexed by \"" + row[0].toText() + "\""); });
    } catch (const store::StoreError&) {
        // No list of indexes: the plain count alone.
    }
    for (const std::string& way : ways) {
        try {
            return connection.query("select count(*) from \"" + table + "\"" + way).rows().at(0).at(0).toInt64();
        } catch (const store::StoreError&) {
            // Try the next way.
        }
    }
    return std::nullopt;
}

struct MovementName
{
    std::string name;
    std::optional<std::int64_t> pitches;
};

/// The movements a file lists, by id, with the length of each sequence, read from the covering indexes where the
/// table itself is damaged; what cannot be read is left out.
std::map<std::int64_t, MovementName> movementsOf(store::Connection& connection)
{
    std::map<std::int64_t, MovementName> movements;
    for (const std::string& way : {std::string(" indexed by idxMovementOrder"), std::string()}) {
        try {
            connection.forEachRow("select iMovementID, iKTN, iMvmt from tblMovement" + way, {},
                                  [&](const std::vector<Value>& row) {
                                      movements[row[0].toInt64()].name = "KTN " + row[1].toText() + ", Mvt. "
                                          + row[2].toText() + " (id " + row[0].toText() + ")";
                                  });
            break;
        } catch (const store::StoreError&) {
            // Try the table itself.
        }
    }
    for (const std::string& way : {std::string(" indexed by idxMovementPitchJoinSequence"), std::string()}) {
        try {
            std::map<std::int64_t, std::int64_t> lengths;
            connection.forEachRow(
                "select iMovementID, count(*) from tblMovementPitchJoin" + way + " group by iMovementID", {},
                [&](const std::vector<Value>& row) { lengths[row[0].toInt64()] = row[1].toInt64(); });
            for (auto& [id, movement] : movements) {
                movement.pitches = lengths.count(id) ? lengths[id] : 0;
            }
            break;
        } catch (const store::StoreError&) {
            // Try the table itself.
        }
    }
    return movements;
}

std::int64_t countLines(const std::string& text, const std::string& start)
{
    std::int64_t count = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find('\n', at);
        if (text.compare(at, start.size(), start) == 0) {
            ++count;
        }
        at = end == std::string::npos ? text.size() : end + 1;
    }
    return count;
}

} // namespace

SalvageReport salvageCatalogue(const std::string& broken, const std::string& target)
{
    std::error_code error;
    const fs::path source = fs::absolute(broken, error).lexically_normal();
    const fs::path result = fs::absolute(target, error).lexically_normal();
    if (!fs::is_regular_file(source, error)) {
        throw store::StoreError("The catalogue " + source.string() + " was not found.");
    }
    if (fs::exists(result, error)) {
        throw store::StoreError(result.string() + " already exists; it was left as it is.");
    }
    if (const auto problem = folderProblem(result)) {
        throw store::StoreError("The catalogue " + result.string() + " could not be made: " + *problem + ".");
    }
    const ScratchFolder scratch(result.string() + ".salvage-" + std::to_string(::getpid()));

    // The copy takes the journal along: opening it undoes the unfinished change there, not in the original.
    const fs::path copy = scratch.path() / "copy.db";
    fs::copy_file(source, copy, error);
    if (error) {
        throw store::StoreError("The catalogue " + source.string() + " could not be copied: " + error.message() + ".");
    }
    for (const char* side : {"-journal", "-wal"}) {
        if (fs::exists(source.string() + side, error)) {
            fs::copy_file(source.string() + side, copy.string() + side, error);
        }
    }

    SalvageReport report;
    std::map<std::int64_t, MovementName> before;
    try {
        store::Connection connection = store::Connection::openRaw(copy.string(), store::AccessMode::ReadWrite);
        for (const std::string& table : kTables) {
            report.tables.push_back({table, rowCount(connection, table), std::nullopt});
        }
        before = movementsOf(connection);
    } catch (const store::StoreError&) {
        // Nothing could be read this way: the shell tries its own.
        report.tables.clear();
        for (const std::string& table : kTables) {
            report.tables.push_back({table, std::nullopt, std::nullopt});
        }
    }

    const fs::path sql = scratch.path() / "recovered.sql";
    const fs::path errors = scratch.path() / "errors.txt";
    report.method = ".recover";
    if (runShell({copy.string(), ".recover"}, {}, sql, errors) != 0) {
        // Debian 12's SQLite lacks the page reader .recover needs; .dump reads the tables as far as it can.
        report.method = ".dump";
        if (runShell({copy.string(), ".dump"}, {}, sql, errors) != 0) {
            throw store::StoreError("Nothing could be read from " + source.string() + ": "
                                    + readText(errors).substr(0, 300));
        }
        commitWhatWasRead(sql);
    }
    const fs::path made = scratch.path() / "salvaged.db";
    const fs::path importErrors = scratch.path() / "import-errors.txt";
    runShell({made.string()}, sql, scratch.path() / "import-output.txt", importErrors);
    const std::string refused = readText(importErrors);
    report.failedStatements
        = countLines(refused, "Parse error") + countLines(refused, "Runtime error") + countLines(refused, "Error:");
    if (!fs::exists(made, error) || fs::file_size(made, error) == 0) {
        throw store::StoreError("Nothing could be read from " + source.string() + ".");
    }

    {
        store::Connection connection = store::Connection::openRaw(made.string(), store::AccessMode::ReadWrite);
        connection.executeScript("PRAGMA foreign_keys = OFF");
        std::vector<std::string> schema = store::schemaProblems(connection);
        const bool onlyUnmarked = schema.size() == 1 && schema.front().find("application id") != std::string::npos;
        if (schema.empty() || onlyUnmarked) {
            store::Transaction transaction(connection);
            connection.executeScript("PRAGMA application_id = " + std::to_string(store::kApplicationId)
                                     + "; PRAGMA user_version = 1;");
            report.droppedSequenceRows = connection.execute(
                "delete from tblMovementPitchJoin where iMovementID not in (select iMovementID from tblMovement)");
            melody::rebuildMelodyIndex(connection);
            store::ensureIndexes(connection);
            // What the damaged file's list of subjects held may be partial: it is derived again.
            store::rebuildSubjectUse(connection);
            // A shortened or lost sequence no longer gives the figure stored with its movement.
            for (const auto& stale : tabulations::staleDeviations(connection)) {
                tabulations::storeDeviation(connection, stale.movementId);
                ++report.recomputedDeviations;
            }
            transaction.commit();
        }
        for (TableRows& rows : report.tables) {
            rows.after = rowCount(connection, rows.table);
        }
        const auto after = movementsOf(connection);
        for (const auto& [id, movement] : before) {
            const auto found = after.find(id);
            if (found == after.end()) {
                report.lostMovements.push_back(movement.name);
            } else if (movement.pitches && found->second.pitches && *found->second.pitches < *movement.pitches) {
                report.shortenedSequences.push_back(movement.name + " came back with "
                                                    + std::to_string(*found->second.pitches) + " of its "
                                                    + std::to_string(*movement.pitches) + " pitches");
            }
        }
        connection.close();
    }
    try {
        report.problems = catalogueProblems(made.string());
    } catch (const store::StoreError& failure) {
        report.problems = {failure.what()};
    }
    for (std::string& problem : report.problems) {
        for (std::size_t at = problem.find(made.string()); at != std::string::npos; at = problem.find(made.string())) {
            problem.replace(at, made.string().size(), result.string());
        }
    }
    // A hard link fails when the name is taken, even by a file that appeared meanwhile.
    fs::create_hard_link(made, result, error);
    if (error) {
        throw store::StoreError("The catalogue " + result.string() + " could not be written: " + error.message() + ".");
    }
    return report;
}

} // namespace velk::tools
