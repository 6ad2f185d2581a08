#pragma once

#include "pitches/Notation.h"

#include <cstdint>
#include <optional>

namespace velk::store
{
class Connection;
}

namespace velk::pitches
{

/// The column of tblMovement that holds a movement's octave setting (the octave of its capitals: 2, 3 or 4, or
/// Null for the default from its voices). Catalogues made before it lack it until opened for writing.
inline constexpr const char* kCapitalOctaveColumn = "iCapitalOctave";

/// A movement's octave setting as stored, and the voices that give its default.
struct OctaveSetting
{
    std::optional<std::int64_t> stored; ///< iCapitalOctave as stored (Null, or a catalogue without it)
    Voices voices;

    /// The octave of the capitals in force: the stored one when it is 2, 3 or 4, the voices' default otherwise.
    int capitalOctave() const;
};

/// Reads a movement's voices and octave setting. Nothing when no movement has the id. Throws store::StoreError.
std::optional<OctaveSetting> loadOctaveSetting(store::Connection& connection, std::int64_t movementId);

/// What a movement's line needs to be drawn, played or written out.
struct MovementLine
{
    std::int64_t movementId = 0;
    std::optional<std::int64_t> storedOctave; ///< iCapitalOctave as stored (Null, or a catalogue without it)
    Voices voices;
    std::vector<std::int32_t> pitchIds; ///< the sequence, in order
    NotatedLine line; ///< its notes in the movement's octave setting
};

/// Reads a movement's voices, octave setting and sequence (spellings from tblPitchLookup; a position whose pitch
/// has no spelling is an empty spelling). Nothing when no movement has the id. Throws store::StoreError.
std::optional<MovementLine> loadMovementLine(store::Connection& connection, std::int64_t movementId);

/// Stores a movement's octave setting (Null: the default from its voices) in a transaction of its own.
/// A setting other than 2, 3 or 4 is refused with std::invalid_argument. Throws store::StoreError.
void storeCapitalOctave(store::Connection& connection, std::int64_t movementId, std::optional<int> octave);

} // namespace velk::pitches
