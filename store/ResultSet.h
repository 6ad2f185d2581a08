#pragma once

#include "store/Value.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velk::store
{

/// The rows of one statement, read to the end when the statement ran (so no half-read statement holds a lock),
/// with a current row that moves forward and back. Both BOF and EOF hold exactly when there are no rows.
class ResultSet
{
public:
    ResultSet() = default;
    ResultSet(std::vector<std::string> columns,
              std::vector<std::string> declaredTypes,
              std::vector<std::vector<Value>> rows);

    bool bof() const;
    bool eof() const;
    void moveFirst();
    void moveNext();
    void movePrevious();
    void moveLast();
    /// 1-based position of the current row; negative when there is none.
    long position() const;
    std::size_t recordCount() const;

    std::size_t columnCount() const;
    const std::vector<std::string>& columns() const;
    /// Declared SQL type of each column ("INTEGER", "TEXT", "REAL"), empty for expressions.
    const std::vector<std::string>& declaredTypes() const;
    /// Index of a column, matched without regard to case; -1 when there is none.
    int columnIndex(std::string_view name) const;

    /// A field of the current row by name (case-insensitive). Throws StoreError for an unknown name or no current row.
    const Value& field(std::string_view name) const;
    const Value& field(std::size_t column) const;

    /// All rows, for callers that walk them without moving the cursor.
    const std::vector<std::vector<Value>>& rows() const;
    /// Hands the rows over without copying them; the result set is empty afterwards.
    std::vector<std::vector<Value>> takeRows();

private:
    std::vector<std::string> m_columns;
    std::vector<std::string> m_types;
    std::vector<std::vector<Value>> m_rows;
    long m_index = 0; // 0-based; -1 before the first row, size() after the last
};

} // namespace velk::store
