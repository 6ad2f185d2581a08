#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace velk::test
{

/// One value as mdb-json prints it: a JSON string or a bare number; a column it leaves out is not in the row.
struct OracleValue
{
    bool isText = false;
    std::string text; ///< the unescaped string, or the number as printed
};

using OracleRow = std::map<std::string, OracleValue>;

/// The rows of a table as mdbtools' own mdb-json reads them (a second reader to compare with, through the library's
/// bound columns and its own text forms). Nothing when mdb-json is not installed.
std::optional<std::vector<OracleRow>> oracleRows(const std::string& file, const std::string& table);

} // namespace velk::test
