#pragma once

#include "store/Schema.h"

#include "store/Connection.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace velk::melody
{

/// The table that indexes every sequence position by the steps between pitch classes that follow it.
inline constexpr const char* kMelodyIndexTable = "tblMelodyIndex";

/// The melody index as a schema script. One row per sequence position that has a pitch class: the key of the
/// steps that follow it, the pitch there, the movement and the 1-based position. The secondary index serves the
/// lookups of a movement's positions, the deletes of one movement's rows and the cascade from tblMovement.
using store::kMelodyIndexSchema;

/// A step between two pitch classes is (later - earlier) modulo 12, 0 to 11. kNoStep stands where the run of
/// classed pitches ends (the sequence ends, or the next pitch belongs to no class).
inline constexpr int kNoStep = 12;
/// Each key digit is a step or kNoStep.
inline constexpr int kKeyBase = 13;

/// The key of the three steps after a position: first * 169 + second * 13 + third. A kNoStep digit is always
/// followed by kNoStep digits.
std::int32_t melodyKey(int first, int second, int third);

/// The step from one pitch class to another (both 0 to 11): (to - from) modulo 12, 0 to 11.
int classStep(int from, int to);

/// The pitch class (0 = C to 11 = B) of each pitch, from tblPitchClassJoin: the iSemitone of its class in
/// tblClassLookup, or, in a catalogue made before that column, iClassID - 1 (1 is C, 12 is B). A pitch without a row
/// there, or whose classes have no semitone (or only class ids outside 1 to 12), has no class; a pitch in several
/// classes takes the one with the lowest class id.
class PitchClasses
{
public:
    PitchClasses() = default;
    /// pitch id -> class 0 to 11.
    explicit PitchClasses(std::unordered_map<std::int32_t, int> classes);

    /// Reads tblPitchClassJoin. Throws store::StoreError.
    static PitchClasses load(store::Connection& connection);

    /// The class of a pitch, nothing when it has none.
    std::optional<int> classOf(std::int32_t pitchId) const;
    /// The class of each pitch in order.
    std::vector<std::optional<int>> classesOf(const std::vector<std::int32_t>& pitchIds) const;
    /// Every pitch of a class, in ascending id.
    std::vector<std::int32_t> pitchesOf(int pitchClass) const;

private:
    std::unordered_map<std::int32_t, int> m_classes;
};

/// One row of the index of a sequence.
struct IndexEntry
{
    std::int64_t position; ///< 1-based position in the sequence
    std::int32_t key; ///< melodyKey of the steps that follow it (kNoStep digits where the run ends)
    std::int32_t pitchId; ///< the pitch at the position
    bool operator==(const IndexEntry&) const = default;
};

/// The index rows of a sequence: one row for every position whose pitch has a class, in ascending position.
std::vector<IndexEntry> indexEntries(const std::vector<std::int32_t>& pitchIds, const PitchClasses& classes);

/// True when the catalogue holds the melody index table.
bool hasMelodyIndex(store::Connection& connection);

/// Whether the melody index may answer a search.
enum class IndexState
{
    Missing, ///< the catalogue has no melody index
    Current, ///< it matches every stored sequence: nothing changed since it was written
    Behind ///< a sequence or a pitch class changed since (store::kMelodyIndexTracking), or the catalogue predates
           ///< the tracking of changes, so nobody can tell
};

/// The state of the melody index, told from the tracking table without reading the sequences. Only reads.
/// Throws store::StoreError.
IndexState melodyIndexState(store::Connection& connection);

/// Creates the melody index when the catalogue has none and fills it from the stored sequences; gives a catalogue
/// that predates the tracking of changes its tracking, with the whole index marked as behind (what changed before
/// cannot be told). As one unit (a savepoint, so it may run inside the caller's transaction or on its own); a
/// catalogue that has both is left as it is. Needs a writable connection. Throws store::StoreError.
void ensureMelodyIndex(store::Connection& connection);

/// Brings the melody index up to date with the stored sequences: only the movements whose sequences changed since
/// it was written, or the whole index when the pitch classes changed or the catalogue predates the tracking of
/// changes (which it then gets). As one unit (a savepoint). Returns the number of movements indexed again (0 when it
/// was current). Needs a writable connection. Throws store::StoreError.
std::size_t updateMelodyIndex(store::Connection& connection);

/// Replaces the index rows of one movement by those of the given sequence (in sequence order), and takes the
/// movement off the changes still to index. Runs inside the caller's transaction and neither begins nor commits
/// one. Does nothing when the catalogue has no melody index (a partial index would hide occurrences;
/// ensureMelodyIndex builds the whole one). Throws store::StoreError.
void indexMovement(store::Connection& connection, std::int64_t movementId, const std::vector<std::int32_t>& pitchIds);

/// Builds the melody index afresh from every stored sequence, creating the table and the tracking of changes when
/// they are missing, as one unit (a savepoint: inside the caller's transaction, or a transaction of its own). Throws
/// store::StoreError.
void rebuildMelodyIndex(store::Connection& connection);

/// Number of rows in the melody index; 0 when there is none.
std::int64_t melodyIndexSize(store::Connection& connection);

/// What is wrong with the melody index, each a finished sentence: missing, or rows that do not match the stored
/// sequences (naming up to three movements). Movements whose changes are tracked as still to index are no problem
/// (the next search indexes them first), nor is a whole index marked as behind. Empty when it is sound. Only reads.
/// Throws store::StoreError.
std::vector<std::string> melodyIndexProblems(store::Connection& connection);

/// True when the catalogue has the melody index and it matches every stored sequence but those tracked as changed.
bool melodyIndexIsCurrent(store::Connection& connection);

} // namespace velk::melody
