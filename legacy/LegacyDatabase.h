#pragma once

#include "store/Value.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace velk::legacy
{

/// A failure to read an old-format file: missing, not an Access database, a format the library cannot read, or
/// damaged. what() is a finished one-line message naming the file.
class LegacyError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

/// How a column's values come back.
enum class ColumnKind
{
    Integer, ///< Byte, Integer, Long Integer: a 64-bit integer
    Single, ///< Single: a double holding the shortest decimal form of the stored float (6.8, not 6.80000019)
    Double, ///< Double
    Boolean, ///< Yes/No: the integer 0 or 1, never Null
    Text, ///< Text and Memo: UTF-8 exactly as stored, whole (no length limit), "" distinct from Null
    Other ///< any other type (Date/Time, OLE, Money...): always Null
};

struct LegacyColumn
{
    std::string name;
    ColumnKind kind = ColumnKind::Other;
    std::string typeName; ///< the Access type, e.g. "Long Integer", "Memo"
};

/// One table read whole: its columns in file order and every live row (deleted records are not in it), in the
/// order the file holds them.
struct LegacyTable
{
    std::string name;
    std::vector<LegacyColumn> columns;
    std::vector<std::vector<store::Value>> rows;

    /// The index of a column, matched without regard to case; nothing when the table has no such column.
    std::optional<std::size_t> columnIndex(const std::string& column) const;
};

/// An Access-format file (Jet 3, Jet 4 or ACE, as far as mdbtools reads them), opened read-only. Every value is
/// read from the row itself, with its null flag, so none of the library's text forms (Yes/No as text, Single
/// printed with 8 digits, the bind-size cut of long texts, "" read like Null) reaches the caller.
class LegacyDatabase
{
public:
    /// Opens the file read-only. Throws LegacyError naming the file when it is missing, unreadable, not an Access
    /// database or in a format the library cannot read.
    static LegacyDatabase open(const std::string& file);

    LegacyDatabase(LegacyDatabase&&) noexcept;
    LegacyDatabase& operator=(LegacyDatabase&&) noexcept;
    ~LegacyDatabase();

    /// The file as opened.
    const std::string& file() const;
    /// The format in words, e.g. "Jet 4 (Access 2000-2003)".
    std::string formatName() const;
    /// The names of the user tables (no system tables), in the catalogue's order.
    std::vector<std::string> tableNames() const;
    /// The columns of a table, matched without regard to case; nothing when there is no such table.
    std::optional<std::vector<LegacyColumn>> columns(const std::string& table) const;
    /// The number of rows the table's definition announces (for progress; the rows read may differ).
    std::size_t announcedRows(const std::string& table) const;
    /// Reads every live row of a table. onRows is called now and then with the number of rows read so far.
    /// Throws LegacyError when the table is missing or a value cannot be read whole (a damaged file).
    LegacyTable readTable(const std::string& table, const std::function<void(std::size_t)>& onRows = {}) const;

private:
    struct Impl;
    explicit LegacyDatabase(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

} // namespace velk::legacy
