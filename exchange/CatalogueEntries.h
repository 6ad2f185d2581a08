#pragma once

#include "pitches/Notation.h"
#include "store/Value.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velk::store
{
class Connection;
}

namespace velk::exchange
{

/// Which movements an export or a printed catalogue holds.
struct Selection
{
    enum class Kind
    {
        All, ///< every movement, in the order of the movement list (KTN, movement, order)
        Work, ///< the movements of one work (KTN), in the same order
        Movements ///< the given movements in the given order, each once (a search's results)
    };
    Kind kind = Kind::All;
    std::int64_t ktn = 0;
    std::vector<std::int64_t> movementIds;

    static Selection all();
    static Selection work(std::int64_t ktn);
    static Selection movements(std::vector<std::int64_t> movementIds);
};

/// One movement as stored: every column of tblMovement and its line.
struct MovementEntry
{
    std::vector<store::Value> fields; ///< in the order of CatalogueEntries::columns
    std::vector<std::string> spellings; ///< the sequence's spellings in order (empty for a pitch without one)
    pitches::NotatedLine line; ///< the sequence in the movement's octave setting
};

/// The movements of a selection with the columns of tblMovement as the catalogue has them (an older catalogue may
/// lack a newer column; another program's file may carry more).
struct CatalogueEntries
{
    std::vector<std::string> columns;
    std::vector<MovementEntry> entries;

    /// The index of a column (case-insensitive); nothing when the catalogue lacks it.
    std::optional<std::size_t> columnIndex(std::string_view name) const;
    /// A field of an entry by column name; Null when the catalogue lacks the column.
    const store::Value& field(const MovementEntry& entry, std::string_view name) const;
};

/// A whole-number field; nothing for Null.
std::optional<std::int64_t> wholeNumber(const store::Value& value);

/// The voices ticked for a movement, in score order ("Soprano", "Alto", "Tenor", "Bass").
std::vector<std::string> voiceNames(const CatalogueEntries& entries, const MovementEntry& entry);

/// Reads the selected movements and their sequences on a connection the caller holds. Movement ids of a
/// Movements selection that no longer exist are left out. Throws store::StoreError.
CatalogueEntries readEntries(store::Connection& connection, const Selection& selection);

/// A field as text, made well-formed UTF-8: the empty text for Null, numbers in their shortest decimal form.
std::string fieldText(const store::Value& value);

/// The text made well-formed UTF-8: a byte that is not part of a UTF-8 character becomes U+FFFD.
std::string utf8Text(std::string_view text);

} // namespace velk::exchange
