#pragma once

#include "melody/MelodyIndex.h"

#include "store/Connection.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

namespace velk::melody
{

enum class Mode;
struct MelodyRow;

/// Puts result rows in their order: KTN, Mvt., iOrder, iMovementID and position, Null first.
void orderRows(std::vector<MelodyRow>& rows);

/// Where a melody occurs: the movement and the 1-based position at which the run starts.
struct Occurrence
{
    std::int64_t movementId = 0;
    std::int64_t position = 0;
    bool operator<(const Occurrence& other) const;
    bool operator==(const Occurrence&) const = default;
};

/// Every stored sequence of one catalogue held in memory as two byte arrays over all positions, movement after
/// movement: a code for the pitch id (whose class a small table gives) and the step into the position from the one
/// before in the same movement; with the movements' numbers and deviations. About 2 bytes a position (10 MB for
/// 5,000,000 positions, 4 MB for 100,000 movements), searched from end to end in a few milliseconds. It answers as
/// reading the sequences would (occurrences() of each sequence) for the state of the file it was read from: the
/// connection's data version tells when that state has gone.
class SequenceMemory
{
public:
    /// Reads the pitch classes, the state of the melody index and every sequence (tblMovementPitchJoin in
    /// iMovementID, iMovementPitchID order) on the connection, in short read transactions so that writers never
    /// wait long; keeps the connection's page cache small. Nothing when the file changed between the first and the
    /// last of them, or when cancel became true. Throws store::StoreError.
    static std::optional<SequenceMemory> load(store::Connection& connection, const std::atomic<bool>* cancel = nullptr);

    /// PRAGMA data_version of the connection it was read on, when it was read: the same connection gives another
    /// value once any other connection has changed the file.
    std::int64_t dataVersion() const;
    /// The state of the melody index when it was read.
    IndexState indexState() const;
    /// False when the sequences held more than 255 distinct pitch ids, which the arrays cannot tell apart: it then
    /// holds no positions and must not answer.
    bool usable() const;
    /// The bytes its arrays take.
    std::size_t bytes() const;

    /// Every occurrence of the melody, overlapping ones included, ascending by movement id and position: what
    /// occurrences() gives for each stored sequence (with the classes it was read with).
    std::vector<Occurrence> find(const std::vector<std::int32_t>& melody, Mode mode) const;
    /// The result rows of the occurrences, in result order, from the movements' numbers and deviations read with
    /// the sequences; occurrences in a movement that is not in tblMovement are dropped.
    std::vector<MelodyRow> rows(const std::vector<Occurrence>& occurrences) const;

private:
    /// A row of tblMovement as the result rows show it.
    struct Movement
    {
        std::int64_t id = 0;
        std::int64_t ktn = 0;
        std::int64_t mvmt = 0;
        std::int64_t order = 0;
        float deviation = 0;
        std::uint8_t nulls = 0; ///< kNull... bits
    };

    SequenceMemory() = default;
    std::vector<Movement> m_movements; ///< ascending id
    PitchClasses m_pitchClasses;
    std::vector<std::int64_t> m_movementIds; ///< ascending
    std::vector<std::uint32_t> m_starts; ///< where each movement's positions begin, then the end
    std::vector<std::int32_t> m_pitchOfCode;
    std::vector<std::int8_t> m_classOfCode; ///< -1 where the pitch has no class
    std::vector<std::uint8_t> m_codes;
    std::vector<std::uint8_t> m_steps; ///< kNoStep at a movement's first position or next to an unclassed pitch
    std::int64_t m_dataVersion = 0;
    IndexState m_indexState = IndexState::Missing;
    bool m_usable = true;
};

} // namespace velk::melody
