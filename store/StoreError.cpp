#include "store/StoreError.h"

namespace velk::store {

StoreError::StoreError(const std::string& message, int sqliteCode)
    : std::runtime_error(message)
    , m_code(sqliteCode)
{
}

int StoreError::code() const
{
    return m_code;
}

} // namespace velk::store
