#include "store/StoreError.h"

#include <sqlite3.h>

namespace velk::store
{

StoreError::StoreError(const std::string& message, int sqliteCode, FileFault fault)
    : std::runtime_error(message)
    , m_code(sqliteCode)
    , m_fault(fault)
{
}

int StoreError::code() const
{
    return m_code;
}

bool StoreError::isNotADatabase() const
{
    return (m_code & 0xff) == SQLITE_NOTADB;
}

FileFault StoreError::fault() const
{
    if (m_fault != FileFault::None) {
        return m_fault;
    }
    switch (m_code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return FileFault::Locked;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return FileFault::Damaged;
    default:
        return FileFault::None;
    }
}

} // namespace velk::store
