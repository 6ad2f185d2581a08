#include "store/StoreError.h"

#include <sqlite3.h>

namespace velk::store
{

StoreError::StoreError(const std::string& message, int sqliteCode)
    : std::runtime_error(message)
    , m_code(sqliteCode)
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

} // namespace velk::store
