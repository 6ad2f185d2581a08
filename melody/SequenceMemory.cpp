#include "melody/SequenceMemory.h"

#include "melody/MelodySearch.h"
#include "store/Value.h"

#include <algorithm>
#include <cstring>
#include <tuple>
#include <unordered_map>

namespace velk::melody
{

namespace
{

/// The sequence rows read per read transaction.
constexpr std::int64_t kBatchRows = 20000;
constexpr std::size_t kMaxCodes = 255;
constexpr std::uint8_t kNullKtn = 1;
constexpr std::uint8_t kNullMvmt = 2;
constexpr std::uint8_t kNullOrder = 4;
constexpr std::uint8_t kNullDeviation = 8;

/// Every start at which the pattern stands in the text, ascending, overlapping ones included.
template <typename OnMatch>
void forEachMatch(const std::vector<std::uint8_t>& text, const std::vector<std::uint8_t>& pattern, OnMatch onMatch)
{
    if (pattern.empty() || pattern.size() > text.size()) {
        return;
    }
    const std::uint8_t* const begin = text.data();
    const std::uint8_t* const end = begin + text.size();
    const std::uint8_t* from = begin;
    while (static_cast<std::size_t>(end - from) >= pattern.size()) {
        // The C library's search skips ahead by pairs of bytes: several times a plain loop's speed here.
        const void* found = ::memmem(from, static_cast<std::size_t>(end - from), pattern.data(), pattern.size());
        if (found == nullptr) {
            return;
        }
        const auto* at = static_cast<const std::uint8_t*>(found);
        onMatch(static_cast<std::size_t>(at - begin));
        from = at + 1;
    }
}

} // namespace

void orderRows(std::vector<MelodyRow>& rows)
{
    std::sort(rows.begin(), rows.end(), [](const MelodyRow& a, const MelodyRow& b) {
        return std::tie(a.ktn, a.mvmt, a.order, a.movementId, a.position)
            < std::tie(b.ktn, b.mvmt, b.order, b.movementId, b.position);
    });
}

bool Occurrence::operator<(const Occurrence& other) const
{
    return std::tie(movementId, position) < std::tie(other.movementId, other.position);
}

std::optional<SequenceMemory> SequenceMemory::load(store::Connection& connection, const std::atomic<bool>* cancel)
{
    SequenceMemory memory;
    std::unordered_map<std::int32_t, std::uint8_t> codeOf;
    PitchClasses& classes = memory.m_pitchClasses;
    // The positions are kept here; pages read once need no cache.
    connection.execute("PRAGMA cache_size = -2048");
    {
        store::Transaction transaction(connection);
        memory.m_dataVersion = connection.dataVersion();
        memory.m_indexState = melodyIndexState(connection);
        // The arrays are sized once: growing them would need twice their size for a while.
        const auto positions
            = static_cast<std::size_t>(connection.integers("SELECT Count(*) FROM tblMovementPitchJoin").at(0));
        memory.m_codes.reserve(positions);
        memory.m_steps.reserve(positions);
        const auto movements = static_cast<std::size_t>(connection.integers("SELECT Count(*) FROM tblMovement").at(0));
        memory.m_movements.reserve(movements);
        memory.m_movementIds.reserve(movements);
        memory.m_starts.reserve(movements + 1);
        classes = PitchClasses::load(connection);
        connection.forEachRow("SELECT iMovementID, iKTN, iMvmt, iOrder, Deviation FROM tblMovement ORDER BY "
                              "iMovementID",
                              {}, [&](const std::vector<store::Value>& row) {
                                  Movement movement;
                                  movement.id = row[0].toInt64();
                                  const auto number = [&](std::size_t column, std::uint8_t null) {
                                      movement.nulls |= row[column].isNull() ? null : 0;
                                      return row[column].isNull() ? 0 : row[column].toInt64();
                                  };
                                  movement.ktn = number(1, kNullKtn);
                                  movement.mvmt = number(2, kNullMvmt);
                                  movement.order = number(3, kNullOrder);
                                  movement.nulls |= row[4].isNull() ? kNullDeviation : 0;
                                  movement.deviation = row[4].isNull() ? 0 : static_cast<float>(row[4].toDouble());
                                  memory.m_movements.push_back(movement);
                              });
        transaction.commit();
    }
    std::int64_t lastMovement = 0;
    std::int64_t lastRow = 0;
    bool first = true;
    while (true) {
        if (cancel != nullptr && cancel->load()) {
            return std::nullopt;
        }
        std::vector<std::int64_t> rows;
        {
            store::Transaction transaction(connection);
            if (connection.dataVersion() != memory.m_dataVersion) {
                return std::nullopt;
            }
            rows = connection.integers(
                first ? "SELECT iMovementID, iMovementPitchID, iPitchID FROM tblMovementPitchJoin ORDER BY "
                        "iMovementID, iMovementPitchID LIMIT ?"
                      : "SELECT iMovementID, iMovementPitchID, iPitchID FROM tblMovementPitchJoin WHERE "
                        "(iMovementID, iMovementPitchID) > (?, ?) ORDER BY iMovementID, iMovementPitchID LIMIT ?",
                first ? std::vector<store::Value> {store::Value(kBatchRows)}
                      : std::vector<store::Value> {store::Value(lastMovement), store::Value(lastRow),
                                                   store::Value(kBatchRows)});
            transaction.commit();
        }
        for (std::size_t i = 0; i + 2 < rows.size(); i += 3) {
            const std::int64_t movementId = rows[i];
            if ((first && i == 0) || movementId != lastMovement) {
                memory.m_movementIds.push_back(movementId);
                memory.m_starts.push_back(static_cast<std::uint32_t>(memory.m_codes.size()));
            }
            const bool startsMovement = memory.m_starts.back() == memory.m_codes.size();
            const auto pitch = static_cast<std::int32_t>(rows[i + 2]);
            auto [code, added] = codeOf.try_emplace(pitch, static_cast<std::uint8_t>(memory.m_pitchOfCode.size()));
            if (added) {
                if (memory.m_pitchOfCode.size() == kMaxCodes) {
                    SequenceMemory unusable;
                    unusable.m_dataVersion = memory.m_dataVersion;
                    unusable.m_usable = false;
                    return unusable;
                }
                memory.m_pitchOfCode.push_back(pitch);
                const auto itsClass = classes.classOf(pitch);
                memory.m_classOfCode.push_back(itsClass ? static_cast<std::int8_t>(*itsClass) : -1);
            }
            const std::int8_t pitchClass = memory.m_classOfCode[code->second];
            const std::int8_t before = startsMovement ? -1 : memory.m_classOfCode[memory.m_codes.back()];
            memory.m_codes.push_back(code->second);
            memory.m_steps.push_back(pitchClass < 0 || before < 0
                                         ? static_cast<std::uint8_t>(kNoStep)
                                         : static_cast<std::uint8_t>(classStep(before, pitchClass)));
            lastMovement = movementId;
            lastRow = rows[i + 1];
            first = false;
        }
        if (static_cast<std::int64_t>(rows.size() / 3) < kBatchRows) {
            break;
        }
    }
    memory.m_starts.push_back(static_cast<std::uint32_t>(memory.m_codes.size()));
    {
        store::Transaction transaction(connection);
        const bool unchanged = connection.dataVersion() == memory.m_dataVersion;
        transaction.commit();
        if (!unchanged) {
            return std::nullopt;
        }
    }
    memory.m_movements.shrink_to_fit();
    memory.m_codes.shrink_to_fit();
    memory.m_steps.shrink_to_fit();
    return memory;
}

std::int64_t SequenceMemory::dataVersion() const
{
    return m_dataVersion;
}

IndexState SequenceMemory::indexState() const
{
    return m_indexState;
}

bool SequenceMemory::usable() const
{
    return m_usable;
}

std::vector<MelodyRow> SequenceMemory::rows(const std::vector<Occurrence>& occurrences) const
{
    std::vector<MelodyRow> rows;
    rows.reserve(occurrences.size());
    for (const Occurrence& occurrence : occurrences) {
        const auto movement = std::lower_bound(m_movements.begin(), m_movements.end(), occurrence.movementId,
                                               [](const Movement& m, std::int64_t id) { return m.id < id; });
        if (movement == m_movements.end() || movement->id != occurrence.movementId) {
            continue;
        }
        const auto number = [&](std::int64_t value, std::uint8_t null) {
            return (movement->nulls & null) != 0 ? std::nullopt : std::optional<std::int64_t>(value);
        };
        MelodyRow& row = rows.emplace_back();
        row.movementId = movement->id;
        row.ktn = number(movement->ktn, kNullKtn);
        row.mvmt = number(movement->mvmt, kNullMvmt);
        row.order = number(movement->order, kNullOrder);
        row.position = occurrence.position;
        if ((movement->nulls & kNullDeviation) == 0) {
            row.deviationText = store::formatSingle(movement->deviation);
        }
    }
    orderRows(rows);
    return rows;
}

std::size_t SequenceMemory::bytes() const
{
    return m_movements.capacity() * sizeof(Movement) + m_movementIds.capacity() * sizeof(std::int64_t)
        + m_starts.capacity() * sizeof(std::uint32_t) + m_codes.capacity() + m_steps.capacity();
}

std::vector<Occurrence> SequenceMemory::find(const std::vector<std::int32_t>& melody, Mode mode) const
{
    std::vector<Occurrence> found;
    if (melody.empty()) {
        return found;
    }
    // The text to search, the pattern to look for in it, and how far before its match the run starts.
    const std::vector<std::uint8_t>* text = &m_codes;
    std::vector<std::uint8_t> pattern;
    std::size_t lead = 0;
    int firstClass = -1; ///< the class the run must start in, if any
    if (mode == Mode::Exact) {
        for (const std::int32_t pitch : melody) {
            const auto code = std::find(m_pitchOfCode.begin(), m_pitchOfCode.end(), pitch);
            if (code == m_pitchOfCode.end()) {
                return found; // a pitch that no sequence holds
            }
            pattern.push_back(static_cast<std::uint8_t>(code - m_pitchOfCode.begin()));
        }
    } else {
        std::vector<int> melodyClasses;
        for (const std::int32_t pitch : melody) {
            const auto itsClass = m_pitchClasses.classOf(pitch);
            if (!itsClass) {
                return found; // a pitch without a class matches nothing by class or step
            }
            melodyClasses.push_back(*itsClass);
        }
        // By class, a run is a run of the same steps that starts in the melody's first class.
        if (mode == Mode::Classes) {
            firstClass = melodyClasses[0];
        }
        text = &m_steps;
        lead = 1;
        for (std::size_t i = 1; i < melodyClasses.size(); ++i) {
            pattern.push_back(static_cast<std::uint8_t>(classStep(melodyClasses[i - 1], melodyClasses[i])));
        }
    }
    std::size_t movement = 0;
    const auto record = [&](std::size_t start) {
        while (m_starts[movement + 1] <= start) {
            ++movement;
        }
        if (start < m_starts[movement] || start + melody.size() > m_starts[movement + 1]) {
            return; // the run would cross into the next movement
        }
        if (firstClass >= 0 && m_classOfCode[m_codes[start]] != firstClass) {
            return;
        }
        found.push_back({m_movementIds[movement], static_cast<std::int64_t>(start - m_starts[movement] + 1)});
    };
    if (pattern.empty()) {
        // One pitch stands wherever a pitch of its class (Classes) or of any class (Transposed) stands.
        for (std::size_t i = 0; i < m_codes.size(); ++i) {
            if (m_classOfCode[m_codes[i]] >= 0) {
                record(i);
            }
        }
        return found;
    }
    forEachMatch(*text, pattern, [&](std::size_t at) { record(at - lead); });
    return found;
}

} // namespace velk::melody
