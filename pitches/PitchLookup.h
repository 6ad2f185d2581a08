#pragma once

#include "store/Connection.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velk::pitches
{

/// One row of tblPitchLookup.
struct Pitch
{
    std::int32_t id; ///< iPitchID
    std::optional<std::string> spelling; ///< txtPitch, the text a user types; nothing when the column is Null
    std::string glyph; ///< txtVelkFont, drawn in the pitch font; empty when the column is Null
};

/// The pitch vocabulary held in memory, in ascending iPitchID, and the spelling lookup over it.
/// It is read once and never refreshed: pitches added to the file later are not seen.
class PitchLookup
{
public:
    PitchLookup() = default;
    /// Takes the pitches in any order and keeps them in ascending id (pitches with equal ids keep their order).
    explicit PitchLookup(std::vector<Pitch> pitches);

    /// Reads "select * from tblPitchLookup order by iPitchID" on the given connection (the caller keeps the
    /// connection or not). Throws store::StoreError.
    static PitchLookup load(store::Connection& connection);

    /// The first pitch (ascending iPitchID) whose spelling equals text exactly: case-sensitive, no trimming; a
    /// null spelling counts as the empty text. nullptr when none. The pointer lives as long as this lookup.
    const Pitch* find(std::string_view text) const;
    /// The first pitch with the given id; nullptr when none.
    const Pitch* byId(std::int32_t id) const;

    /// All pitches in ascending id.
    const std::vector<Pitch>& pitches() const;
    bool empty() const;

private:
    std::vector<Pitch> m_pitches;
};

/// The spellings of a run typed with blanks (spaces, tabs, line breaks) between them, in order; blanks at either
/// end and several blanks in a row separate nothing. The views point into text.
std::vector<std::string_view> splitAtBlanks(std::string_view text);

/// The number of characters in a UTF-8 text, counted as SQLite's LIKE counts them: a byte from 0xC0 up starts a
/// character that takes every continuation byte (0x80-0xBF) after it; any other byte is one character. The text
/// ends at its first NUL byte, as SQLite's LIKE sees it.
std::size_t codePointCount(std::string_view utf8);

/// A sharp spelling matches LIKE "_*" or LIKE "_**": exactly 2 characters with the second "*", or exactly 3
/// characters ending in "**". A four-character spelling ending in "**" is no sharp.
bool isSharpSpelling(std::string_view spelling);

/// A flat spelling matches LIKE "_/" or LIKE "_//": exactly 2 characters with the second "/", or exactly 3
/// characters ending in "//". A double flat counts as a flat, just as a double sharp counts as a sharp, so that
/// the flat and sharp counts of a movement treat both accidentals alike.
bool isFlatSpelling(std::string_view spelling);

} // namespace velk::pitches
