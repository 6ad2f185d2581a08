#include "store/ResultSet.h"

#include "store/StoreError.h"

#include <algorithm>
#include <cctype>

namespace velk::store
{

namespace
{

bool sameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

ResultSet::ResultSet(std::vector<std::string> columns,
                     std::vector<std::string> declaredTypes,
                     std::vector<std::vector<Value>> rows)
    : m_columns(std::move(columns))
    , m_types(std::move(declaredTypes))
    , m_rows(std::move(rows))
{
}

bool ResultSet::bof() const
{
    return m_rows.empty() || m_index < 0;
}

bool ResultSet::eof() const
{
    return m_rows.empty() || m_index >= static_cast<long>(m_rows.size());
}

void ResultSet::moveFirst()
{
    m_index = 0;
}

void ResultSet::moveNext()
{
    m_index = std::min(m_index + 1, static_cast<long>(m_rows.size()));
}

void ResultSet::movePrevious()
{
    m_index = std::max(m_index - 1, -1L);
}

void ResultSet::moveLast()
{
    m_index = m_rows.empty() ? 0 : static_cast<long>(m_rows.size()) - 1;
}

long ResultSet::position() const
{
    return bof() || eof() ? -1 : m_index + 1;
}

std::vector<std::vector<Value>> ResultSet::takeRows()
{
    std::vector<std::vector<Value>> rows = std::move(m_rows);
    m_rows.clear();
    m_index = 0;
    return rows;
}

std::size_t ResultSet::recordCount() const
{
    return m_rows.size();
}

std::size_t ResultSet::columnCount() const
{
    return m_columns.size();
}

const std::vector<std::string>& ResultSet::columns() const
{
    return m_columns;
}

const std::vector<std::string>& ResultSet::declaredTypes() const
{
    return m_types;
}

int ResultSet::columnIndex(std::string_view name) const
{
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        if (sameName(m_columns[i], name)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

const Value& ResultSet::field(std::string_view name) const
{
    const int column = columnIndex(name);
    if (column < 0) {
        throw StoreError("The result has no field named " + std::string(name) + ".");
    }
    return field(static_cast<std::size_t>(column));
}

const Value& ResultSet::field(std::size_t column) const
{
    if (bof() || eof()) {
        throw StoreError("The result has no current row.");
    }
    if (column >= m_columns.size()) {
        throw StoreError("The result has no field number " + std::to_string(column) + ".");
    }
    return m_rows[static_cast<std::size_t>(m_index)][column];
}

const std::vector<std::vector<Value>>& ResultSet::rows() const
{
    return m_rows;
}

} // namespace velk::store
