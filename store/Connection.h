#pragma once

#include "store/ResultSet.h"
#include "store/Value.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace velk::store
{

enum class AccessMode
{
    ReadOnly,
    ReadWrite
};

/// One connection to a catalogue file. Every failure throws StoreError with a finished message.
/// The connection runs with foreign keys on, double-quoted string literals off (a "..." is always a name),
/// a rollback journal with full sync (so a killed process leaves the old or the new state, and a
/// read-only file can still be browsed) and a busy timeout. A read-only connection to a writable file that finds
/// a change left unfinished by a killed program lets a read-write connection undo it first, so it reads the last
/// committed state; on a write-protected file that is an error saying so.
class Connection
{
public:
    /// Opens an existing catalogue. A missing file is an error naming the file and the folder it was looked
    /// for in; nothing is ever created here. A file that is not a Velk catalogue is an error too.
    static Connection open(const std::string& connectionString, AccessMode mode);
    /// Creates a new empty SQLite file (no schema); fails if the file exists.
    static Connection createFile(const std::string& path);
    /// Opens any SQLite file without the catalogue check (for the check tool and the schema code).
    static Connection openRaw(const std::string& path, AccessMode mode);

    Connection(Connection&&) noexcept;
    Connection& operator=(Connection&&) noexcept;
    ~Connection();

    /// Runs a statement with positional parameters (?) and returns all its rows.
    ResultSet query(const std::string& sql, const std::vector<Value>& params = {});
    /// Runs a statement with positional parameters and walks its rows one by one without keeping them.
    void forEachRow(const std::string& sql,
                    const std::vector<Value>& params,
                    const std::function<void(const std::vector<Value>&)>& onRow);
    /// The same, handing onColumns the names and declared types of the columns (as ResultSet gives them) before
    /// the first row: a long read kept in a form of the caller's own needs no ResultSet of every row first.
    void forEachRow(const std::string& sql,
                    const std::vector<Value>& params,
                    const std::function<void(const std::vector<std::string>& columns,
                                             const std::vector<std::string>& declaredTypes)>& onColumns,
                    const std::function<void(const std::vector<Value>&)>& onRow);
    /// Runs a statement whose columns are all integers and returns every column of every row, row after row (a
    /// long sequence is read this way without a Value for each field). Null reads as 0.
    std::vector<std::int64_t> integers(const std::string& sql, const std::vector<Value>& params = {});
    /// Runs a statement that returns no rows; returns the number of rows it changed.
    int execute(const std::string& sql, const std::vector<Value>& params = {});
    /// Runs several statements without parameters (schema scripts).
    void executeScript(const std::string& sql);

    std::int64_t lastInsertId() const;
    /// PRAGMA data_version: the same connection gives another value once any other connection has changed the
    /// file, so a copy read through it can tell that it has gone stale. Throws StoreError.
    std::int64_t dataVersion();
    bool isReadOnly() const;
    /// The catalogue file as opened.
    const std::string& path() const;

    void begin();
    void commit();
    void rollback();
    void close();

private:
    struct Impl;
    explicit Connection(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

/// Begins a transaction and rolls it back on destruction unless commit() ran.
class Transaction
{
public:
    explicit Transaction(Connection& connection);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();

private:
    Connection& m_connection;
    bool m_done = false;
};

} // namespace velk::store
