#pragma once

#include <stdexcept>
#include <string>

namespace velk::store
{

/// Raised by the store for every failure of the catalogue: a file that is missing or not a catalogue, a failed
/// statement, a failed write. what() is a finished message that names the catalogue file where it matters.
class StoreError : public std::runtime_error
{
public:
    explicit StoreError(const std::string& message, int sqliteCode = 0);
    /// The SQLite result code behind the failure, 0 when it did not come from SQLite.
    int code() const;
    /// True when the file behind the failure is no SQLite database at all.
    bool isNotADatabase() const;

private:
    int m_code;
};

} // namespace velk::store
