#include "store/Connection.h"

#include "store/ConnectionString.h"
#include "store/Schema.h"
#include "store/StoreError.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <unordered_map>

namespace velk::store
{

namespace
{

struct DatabaseCloser
{
    void operator()(sqlite3* db) const
    {
        sqlite3_close_v2(db);
    }
};

struct StatementFinalizer
{
    void operator()(sqlite3_stmt* statement) const
    {
        sqlite3_finalize(statement);
    }
};

using DatabasePtr = std::unique_ptr<sqlite3, DatabaseCloser>;
using StatementPtr = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

// Enough for the handful of statements a window repeats; beyond that the cache starts over.
constexpr std::size_t kStatementCacheLimit = 64;

std::string absolutePath(const std::string& path)
{
    std::error_code error;
    auto absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

bool isReadOnlyCode(int code)
{
    return (code & 0xff) == SQLITE_READONLY;
}

/// The file exists but nobody may write to it (no write permission bit, or the process lacks the right).
bool isWriteProtected(const std::string& path)
{
    struct stat info
    {
    };
    if (::stat(path.c_str(), &info) != 0) {
        return false;
    }
    return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(path.c_str(), W_OK) != 0;
}

/// A program that stopped in the middle of a change leaves the change's journal beside the file. SQLite undoes
/// the change the next time the file is read, but only on a connection that may write; a read-only one fails.
bool hasJournal(const std::string& path)
{
    std::error_code error;
    return std::filesystem::file_size(path + "-journal", error) > 0 && !error;
}

std::string interruptedChangeMessage(const std::string& path)
{
    return "The catalogue " + path
        + " holds a change that a program left unfinished, and it cannot be undone because the file is "
          "read-only. Make the file writable and open it again.";
}

/// Lets a read-write connection undo an unfinished change, so that a read-only one then reads the last
/// committed state. Failures are left to the read-only connection to report.
void undoInterruptedChange(const std::string& file)
{
    sqlite3* raw = nullptr;
    if (sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) == SQLITE_OK) {
        // No busy timeout: a journal whose file is locked belongs to a writer still at work, not to one that stopped.
        sqlite3_exec(raw, "PRAGMA schema_version", nullptr, nullptr, nullptr);
    }
    sqlite3_close_v2(raw);
}

} // namespace

struct Connection::Impl
{
    DatabasePtr db;
    std::unordered_map<std::string, StatementPtr> cache;
    std::string path;
    bool readOnly = false;

    sqlite3* handle() const
    {
        if (!db) {
            throw StoreError("The connection to the catalogue " + path + " is closed.");
        }
        return db.get();
    }

    std::string errorText() const
    {
        return db ? sqlite3_errmsg(db.get()) : "no connection";
    }

    [[noreturn]] void fail(int code, const std::string& what, bool writing) const
    {
        const std::string detail = errorText();
        if (code == SQLITE_READONLY_ROLLBACK) {
            throw StoreError(interruptedChangeMessage(path), code);
        }
        if (writing && (isReadOnlyCode(code) || readOnly)) {
            throw StoreError(
                "The catalogue " + path + " is read-only, so the change could not be written (" + detail + ").", code);
        }
        if (writing) {
            throw StoreError("Could not write to the catalogue " + path + ": " + detail + ".", code);
        }
        throw StoreError(what + " on the catalogue " + path + " failed: " + detail + ".", code);
    }

    /// Takes a prepared statement out of the cache (or prepares one); give it back with release().
    StatementPtr acquire(const std::string& sql)
    {
        auto found = cache.find(sql);
        if (found != cache.end()) {
            StatementPtr statement = std::move(found->second);
            cache.erase(found);
            return statement;
        }
        sqlite3_stmt* raw = nullptr;
        const char* tail = nullptr;
        const int code = sqlite3_prepare_v2(handle(), sql.c_str(), static_cast<int>(sql.size()), &raw, &tail);
        StatementPtr statement(raw);
        if (code != SQLITE_OK) {
            fail(code, "Preparing a statement", false);
        }
        if (!statement) {
            throw StoreError("The statement \"" + sql + "\" is empty.");
        }
        if (tail != nullptr && std::string_view(tail).find_first_not_of(" \t\r\n;") != std::string_view::npos) {
            throw StoreError("The statement \"" + sql + "\" holds more than one statement.");
        }
        return statement;
    }

    void release(const std::string& sql, StatementPtr statement)
    {
        sqlite3_reset(statement.get());
        sqlite3_clear_bindings(statement.get());
        if (!db) {
            return;
        }
        if (cache.size() >= kStatementCacheLimit) {
            cache.clear();
        }
        cache[sql] = std::move(statement);
    }

    void bind(sqlite3_stmt* statement, const std::vector<Value>& params) const
    {
        const int expected = sqlite3_bind_parameter_count(statement);
        if (expected != static_cast<int>(params.size())) {
            throw StoreError("A statement on the catalogue " + path + " expects " + std::to_string(expected)
                             + " values but was given " + std::to_string(params.size()) + ".");
        }
        for (int i = 0; i < expected; ++i) {
            const Value& value = params[static_cast<std::size_t>(i)];
            int code = SQLITE_OK;
            if (value.isNull()) {
                code = sqlite3_bind_null(statement, i + 1);
            } else if (value.isInteger()) {
                code = sqlite3_bind_int64(statement, i + 1, value.toInt64());
            } else if (value.isReal()) {
                code = sqlite3_bind_double(statement, i + 1, value.toDouble());
            } else {
                const std::string text = value.toText();
                code
                    = sqlite3_bind_text(statement, i + 1, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
            }
            if (code != SQLITE_OK) {
                fail(code, "Binding a value", false);
            }
        }
    }

    static Value columnValue(sqlite3_stmt* statement, int column)
    {
        switch (sqlite3_column_type(statement, column)) {
        case SQLITE_INTEGER:
            return Value(static_cast<std::int64_t>(sqlite3_column_int64(statement, column)));
        case SQLITE_FLOAT:
            return Value(sqlite3_column_double(statement, column));
        case SQLITE_TEXT:
        case SQLITE_BLOB: {
            const auto* data = static_cast<const char*>(sqlite3_column_blob(statement, column));
            const int size = sqlite3_column_bytes(statement, column);
            return Value(std::string(data ? data : "", static_cast<std::size_t>(size)));
        }
        default:
            return Value();
        }
    }

    /// Runs a statement to its end, handing each row to onRow; returns the rows changed.
    int run(const std::string& sql,
            const std::vector<Value>& params,
            const std::function<void(sqlite3_stmt*)>& onStatement,
            const std::function<void(std::vector<Value>&&)>& onRow,
            const std::function<void(sqlite3_stmt*)>& onStep = {})
    {
        StatementPtr statement = acquire(sql);
        sqlite3_stmt* raw = statement.get();
        const bool writing = sqlite3_stmt_readonly(raw) == 0 || sql == "COMMIT";
        try {
            bind(raw, params);
            if (onStatement) {
                onStatement(raw);
            }
            const int columns = sqlite3_column_count(raw);
            for (;;) {
                const int code = sqlite3_step(raw);
                if (code == SQLITE_DONE) {
                    break;
                }
                if (code != SQLITE_ROW) {
                    fail(code, "A statement", writing);
                }
                if (onStep) {
                    onStep(raw);
                } else if (onRow) {
                    std::vector<Value> row;
                    row.reserve(static_cast<std::size_t>(columns));
                    for (int c = 0; c < columns; ++c) {
                        row.push_back(columnValue(raw, c));
                    }
                    onRow(std::move(row));
                }
            }
        } catch (...) {
            release(sql, std::move(statement));
            throw;
        }
        const int changed = writing ? sqlite3_changes(handle()) : 0;
        release(sql, std::move(statement));
        return changed;
    }

    void runPragma(const std::string& sql)
    {
        char* message = nullptr;
        const int code = sqlite3_exec(handle(), sql.c_str(), nullptr, nullptr, &message);
        if (code != SQLITE_OK) {
            const std::string detail = message ? message : sqlite3_errstr(code);
            sqlite3_free(message);
            if (code == SQLITE_READONLY_ROLLBACK) {
                throw StoreError(interruptedChangeMessage(path), code);
            }
            throw StoreError(path + " could not be set up: " + detail + ".", code);
        }
    }

    static std::unique_ptr<Impl> openFile(const std::string& file, AccessMode mode, bool create)
    {
        auto impl = std::make_unique<Impl>();
        impl->path = absolutePath(file);
        int flags = SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE;
        if (create) {
            flags |= SQLITE_OPEN_READWRITE;
        } else if (mode == AccessMode::ReadOnly || isWriteProtected(file)) {
            flags |= SQLITE_OPEN_READONLY;
            if (hasJournal(file) && !isWriteProtected(file)) {
                undoInterruptedChange(file);
            }
        } else {
            flags |= SQLITE_OPEN_READWRITE;
        }
        sqlite3* raw = nullptr;
        const int code = sqlite3_open_v2(file.c_str(), &raw, flags, nullptr);
        impl->db.reset(raw);
        if (code != SQLITE_OK) {
            const std::string detail = raw ? sqlite3_errmsg(raw) : sqlite3_errstr(code);
            throw StoreError("The catalogue " + impl->path + " could not be opened: " + detail + ".", code);
        }
        sqlite3* db = impl->db.get();
        // With these off, "..." in a statement is always a name, never a string constant.
        sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
        sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
        sqlite3_busy_timeout(db, 5000);
        impl->runPragma("PRAGMA foreign_keys = ON");
        impl->readOnly = sqlite3_db_readonly(db, "main") == 1;
        return impl;
    }

    static void finishSetup(Impl& impl)
    {
        // A rollback journal rather than WAL: a read-only file can then still be read, and no side files stay.
        if (!impl.readOnly) {
            impl.runPragma("PRAGMA journal_mode = DELETE");
        }
        impl.runPragma("PRAGMA synchronous = FULL");
        // Storing a long sequence changes many pages of the sequence table and of the melody index; with the
        // default cache of 2 MB they spill to the file before the commit and are written twice. A reader kept
        // open (the search window's) finds what earlier statements read. The cache grows only as pages are read.
        impl.runPragma("PRAGMA cache_size = -32768");
    }
};

Connection::Connection(std::unique_ptr<Impl> impl)
    : m_impl(std::move(impl))
{
}

Connection::Connection(Connection&&) noexcept = default;
Connection& Connection::operator=(Connection&&) noexcept = default;
Connection::~Connection() = default;

namespace
{

std::string lowerFirst(std::string text)
{
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z') {
        text[0] = static_cast<char>(text[0] - 'A' + 'a');
    }
    return text;
}

/// What the schema problems of a file say about it: nothing of a catalogue, a complete catalogue that only lacks
/// the application id, or a catalogue that lacks parts.
FileFault schemaFault(Connection& connection, const std::vector<std::string>& problems)
{
    if (problems.size() == 1 && problems.front() == kNoCatalogueTables) {
        return FileFault::NotACatalogue;
    }
    const std::int64_t applicationId = connection.query("PRAGMA application_id").rows().at(0).at(0).toInt64();
    if (problems.size() == 1 && applicationId != kApplicationId) {
        // A program that marks its files with an id of its own made this one; only an unmarked file may be ours.
        return applicationId == 0 ? FileFault::Foreign : FileFault::NotACatalogue;
    }
    return FileFault::Damaged;
}

void requireExistingFile(const std::string& file)
{
    std::error_code error;
    const std::filesystem::path path(file);
    if (!std::filesystem::exists(path, error)) {
        std::filesystem::path absolute = std::filesystem::absolute(path, error).lexically_normal();
        throw StoreError("The catalogue " + path.filename().string() + " was not found in "
                             + absolute.parent_path().string() + ".",
                         SQLITE_CANTOPEN, FileFault::Missing);
    }
    if (std::filesystem::is_directory(path, error)) {
        throw StoreError(absolutePath(file) + " is not a Velk catalogue: it is a folder.", SQLITE_CANTOPEN);
    }
}

} // namespace

Connection Connection::open(const std::string& connectionString, AccessMode mode)
{
    const std::string file = catalogueFileFromConnectionString(connectionString);
    requireExistingFile(file);
    std::error_code error;
    if (std::filesystem::file_size(file, error) == 0 && !error) {
        throw StoreError(absolutePath(file) + " is not a Velk catalogue: the file is empty.", SQLITE_NOTADB,
                         FileFault::Empty);
    }
    Connection connection(Impl::openFile(file, mode, false));
    std::vector<std::string> problems;
    try {
        problems = schemaProblems(connection);
    } catch (const StoreError& failure) {
        if ((failure.code() & 0xff) != SQLITE_NOTADB) {
            throw;
        }
        throw StoreError(connection.path() + " is not a Velk catalogue: " + sqlite3_errstr(SQLITE_NOTADB) + ".",
                         failure.code(), FileFault::NotACatalogue);
    }
    if (!problems.empty()) {
        std::string first = lowerFirst(problems.front());
        if (!first.empty() && first.back() == '.') {
            first.pop_back();
        }
        std::string message = connection.path() + " is not a Velk catalogue: " + first;
        if (problems.size() > 1) {
            message += " (and " + std::to_string(problems.size() - 1) + " more problem"
                + (problems.size() > 2 ? "s" : "") + ")";
        }
        throw StoreError(message + ".", SQLITE_NOTADB, schemaFault(connection, problems));
    }
    Impl::finishSetup(*connection.m_impl);
    return connection;
}

Connection Connection::openRaw(const std::string& path, AccessMode mode)
{
    requireExistingFile(path);
    Connection connection(Impl::openFile(path, mode, false));
    std::error_code error;
    if (std::filesystem::file_size(path, error) > 0) {
        try {
            Impl::finishSetup(*connection.m_impl);
        } catch (const StoreError& failure) {
            // Not a database at all: leave it to the caller's first statement to report.
            if ((failure.code() & 0xff) != SQLITE_NOTADB) {
                throw;
            }
        }
    }
    return connection;
}

Connection Connection::createFile(const std::string& path)
{
    // "x" creates the file only if it does not exist yet, atomically, so nothing is ever overwritten.
    std::FILE* created = std::fopen(path.c_str(), "wx");
    if (created == nullptr) {
        const int cause = errno;
        std::error_code error;
        if (std::filesystem::exists(path, error)) {
            throw StoreError("The file " + absolutePath(path) + " already exists; it was left as it is.",
                             SQLITE_CANTOPEN);
        }
        throw StoreError("The file " + absolutePath(path) + " could not be created: " + std::strerror(cause) + ".",
                         SQLITE_CANTOPEN);
    }
    std::fclose(created);
    auto impl = Impl::openFile(path, AccessMode::ReadWrite, true);
    Impl::finishSetup(*impl);
    return Connection(std::move(impl));
}

namespace
{

void readColumns(sqlite3_stmt* statement, std::vector<std::string>& columns, std::vector<std::string>& types)
{
    const int count = sqlite3_column_count(statement);
    for (int c = 0; c < count; ++c) {
        const char* name = sqlite3_column_name(statement, c);
        const char* type = sqlite3_column_decltype(statement, c);
        columns.emplace_back(name ? name : "");
        types.emplace_back(type ? type : "");
    }
}

} // namespace

ResultSet Connection::query(const std::string& sql, const std::vector<Value>& params)
{
    std::vector<std::string> columns;
    std::vector<std::string> types;
    std::vector<std::vector<Value>> rows;
    m_impl->run(
        sql, params, [&](sqlite3_stmt* statement) { readColumns(statement, columns, types); },
        [&](std::vector<Value>&& row) { rows.push_back(std::move(row)); });
    return ResultSet(std::move(columns), std::move(types), std::move(rows));
}

void Connection::forEachRow(const std::string& sql,
                            const std::vector<Value>& params,
                            const std::function<void(const std::vector<Value>&)>& onRow)
{
    m_impl->run(sql, params, {}, [&](std::vector<Value>&& row) { onRow(row); });
}

void Connection::forEachRow(const std::string& sql,
                            const std::vector<Value>& params,
                            const std::function<void(const std::vector<std::string>& columns,
                                                     const std::vector<std::string>& declaredTypes)>& onColumns,
                            const std::function<void(const std::vector<Value>&)>& onRow)
{
    m_impl->run(
        sql, params,
        [&](sqlite3_stmt* statement) {
            std::vector<std::string> columns;
            std::vector<std::string> types;
            readColumns(statement, columns, types);
            onColumns(columns, types);
        },
        [&](std::vector<Value>&& row) { onRow(row); });
}

std::int64_t Connection::dataVersion()
{
    return integers("PRAGMA data_version").at(0);
}

std::vector<std::int64_t> Connection::integers(const std::string& sql, const std::vector<Value>& params)
{
    std::vector<std::int64_t> values;
    int columns = 0;
    m_impl->run(
        sql, params, [&](sqlite3_stmt* statement) { columns = sqlite3_column_count(statement); }, {},
        [&](sqlite3_stmt* statement) {
            for (int c = 0; c < columns; ++c) {
                values.push_back(sqlite3_column_int64(statement, c));
            }
        });
    return values;
}

int Connection::execute(const std::string& sql, const std::vector<Value>& params)
{
    return m_impl->run(sql, params, {}, {});
}

void Connection::executeScript(const std::string& sql)
{
    char* message = nullptr;
    const int code = sqlite3_exec(m_impl->handle(), sql.c_str(), nullptr, nullptr, &message);
    if (code != SQLITE_OK) {
        const std::string detail = message ? message : sqlite3_errstr(code);
        sqlite3_free(message);
        if (isReadOnlyCode(code)) {
            throw StoreError("The catalogue " + m_impl->path + " is read-only, so the change could not be written ("
                                 + detail + ").",
                             code);
        }
        throw StoreError("A script on the catalogue " + m_impl->path + " failed: " + detail + ".", code);
    }
}

std::int64_t Connection::lastInsertId() const
{
    return sqlite3_last_insert_rowid(m_impl->handle());
}

bool Connection::isReadOnly() const
{
    return m_impl->readOnly;
}

const std::string& Connection::path() const
{
    return m_impl->path;
}

void Connection::begin()
{
    // A writer takes its lock up front, so the busy timeout applies instead of a deadlock on upgrade.
    execute(m_impl->readOnly ? "BEGIN" : "BEGIN IMMEDIATE");
}

void Connection::commit()
{
    try {
        execute("COMMIT");
    } catch (...) {
        rollback();
        throw;
    }
}

void Connection::rollback()
{
    if (m_impl->db && sqlite3_get_autocommit(m_impl->db.get()) == 0) {
        execute("ROLLBACK");
    }
}

void Connection::close()
{
    if (m_impl) {
        m_impl->cache.clear();
        m_impl->db.reset();
    }
}

Transaction::Transaction(Connection& connection)
    : m_connection(connection)
{
    m_connection.begin();
}

Transaction::~Transaction()
{
    if (!m_done) {
        try {
            m_connection.rollback();
        } catch (...) {
            // A failed rollback leaves SQLite to undo the transaction when the connection closes.
        }
    }
}

void Transaction::commit()
{
    m_done = true;
    m_connection.commit();
}

} // namespace velk::store
