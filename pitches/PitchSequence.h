#pragma once

#include "store/Result.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace velk::store
{
class Connection;
}

namespace velk::pitches
{

/// One position of a movement's pitch sequence.
struct SequenceEntry
{
    std::int32_t pitchId; ///< iPitchID of the pitch at this position
    std::string glyph; ///< its txtVelkFont
};

/// A movement's stored sequence in ascending iMovementPitchID, with its sharp and flat counts (counted per
/// position: a sharp that occurs three times counts three).
struct MovementPitches
{
    std::vector<SequenceEntry> entries;
    std::int64_t sharpCount = 0;
    std::int64_t flatCount = 0;
};

/// The sequence query of a movement: its positions joined to their glyphs, in sequence order. The id goes in as
/// decimal text (a minus sign for a negative id).
std::string sequenceStatement(std::int64_t movementId);

/// The number of the movement's positions whose spelling is a flat (see isFlatSpelling); no row when there is
/// none.
std::string flatCountStatement(std::int64_t movementId);

/// The number of the movement's positions whose spelling is a sharp (see isSharpSpelling); no row when there is
/// none.
std::string sharpCountStatement(std::int64_t movementId);

/// Reads a movement's sequence with its flat and sharp counts, on one read-only connection of its own opened from
/// connectionString and closed before returning: exactly what sequenceStatement, flatCountStatement and
/// sharpCountStatement give (a count that returns no row is 0), worked out from one read of the sequence and one of
/// the pitch vocabulary. A movement without positions (or an id that names no movement, such as 0) gives no entries
/// and both counts 0. Throws store::StoreError.
MovementPitches loadMovementPitches(const std::string& connectionString, std::int64_t movementId);

/// The message of savePitches for a movement that has no id yet.
inline constexpr const char* kMovementNotSaved
    = "This movement has not been saved yet; save it before entering pitches.";

/// What savePitches stored besides the sequence.
struct SavedSequence
{
    double deviation = 0; ///< the movement's Deviation as now stored (tabulations::storedDeviation form)
};

/// Stores a movement's sequence, replacing what was stored, on a read-write connection of its own: in one
/// transaction it compares pitchIds with the stored rows and writes only the difference (pitches appended are
/// inserted after the stored rows, a replaced pitch's row is updated in place and keeps its iMovementPitchID, the
/// rows of deleted pitches are deleted; any other change rewrites the positions from its first difference on), then
/// writes the movement's Deviation worked out from the new sequence by the tabulations (0 for an empty sequence), so
/// the stored sequence and its figure are either wholly the old ones or wholly the new ones, and read back in the
/// given order. The stored rows are read inside the transaction, so what another program changed meanwhile is
/// overwritten too. An empty list stores an empty sequence.
/// Never stores under an id < 1 (failure kMovementNotSaved). On any failure nothing is changed and the result
/// carries a finished message naming the catalogue file.
/// alsoInTransaction, when given, runs inside the same transaction after the sequence is written (the melody index
/// is brought up to date there, so it never disagrees with the stored sequence).
store::Result<SavedSequence> savePitches(const std::string& connectionString,
                                         std::int64_t movementId,
                                         const std::vector<std::int32_t>& pitchIds,
                                         const std::function<void(store::Connection&)>& alsoInTransaction = {});
/// The same on a read-write connection the caller keeps open (the movement window's), whose page cache then
/// still holds the sequence's pages the next time.
store::Result<SavedSequence> savePitches(store::Connection& connection,
                                         std::int64_t movementId,
                                         const std::vector<std::int32_t>& pitchIds,
                                         const std::function<void(store::Connection&)>& alsoInTransaction = {});

/// One stored position with the id it was given.
struct StoredPosition
{
    std::int64_t id; ///< iMovementPitchID: a movement's positions are in ascending id
    std::int64_t movementId;
    std::int32_t pitchId;
};

/// Inserts positions with their own ids, as a catalogue taken over from elsewhere numbered them, inside the
/// caller's transaction (many rows to a statement). Later stores still get higher ids than any inserted here.
/// Throws store::StoreError (a taken id, a movement or pitch that does not exist).
void insertStoredPositions(store::Connection& connection, const std::vector<StoredPosition>& positions);

} // namespace velk::pitches
