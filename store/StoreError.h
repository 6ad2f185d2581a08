#pragma once

#include <stdexcept>
#include <string>

namespace velk::store
{

/// What is wrong with a catalogue file as a whole, where a failure tells: each calls for its own advice.
enum class FileFault
{
    None, ///< nothing wrong with the file as such (a failed statement, a read-only file, ...)
    Missing, ///< no file of that name
    Empty, ///< a file of 0 bytes
    Locked, ///< another program holds a lock on it beyond the busy timeout
    Damaged, ///< malformed, cut short, or a catalogue that lacks tables or columns
    Foreign, ///< every table and column of a catalogue, but not the application id a catalogue carries
    NotACatalogue, ///< no database at all, or a database without any of the catalogue tables
};

/// Raised by the store for every failure of the catalogue: a file that is missing or not a catalogue, a failed
/// statement, a failed write. what() is a finished message that names the catalogue file where it matters.
class StoreError : public std::runtime_error
{
public:
    explicit StoreError(const std::string& message, int sqliteCode = 0, FileFault fault = FileFault::None);
    /// The SQLite result code behind the failure, 0 when it did not come from SQLite.
    int code() const;
    /// True when the file behind the failure is no SQLite database at all.
    bool isNotADatabase() const;
    /// What is wrong with the file: as given when the error was raised, else as its SQLite code tells (busy or
    /// locked: Locked; corrupt: Damaged).
    FileFault fault() const;

private:
    int m_code;
    FileFault m_fault;
};

} // namespace velk::store
